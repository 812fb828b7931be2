// The libusb backend against the emulated board: vendor requests per second
// through the whole stack (link, libusb, usbfs calls answered by the board),
// ADC words one at a time against queued, with the bus timing model on and
// off, the loader's write rate, and a firmware download from the first
// request to the board reopened at its new address. Runs under
// umockdev-wrapper only:
//   TMPDIR=/tmp umockdev-wrapper ./build/bin/kx_bench_usb
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "board/cvn_board_link.h"
#include "board/link_requests.h"
#include "board/usb/firmware_loader.h"
#include "board/usb/usb_context.h"
#include "board/usb/usb_device.h"
#include "board/usb/usb_status.h"
#include "board/usb_board_io_link.h"
#include "usb_rig.h"

namespace {

using kx::testing::EmulatedUsbBoard;
using kx::testing::FakeOperator;
using kx::testing::FirmwareFolder;
using kx::testing::UsbRig;
namespace usb = kx::board::usb;

const std::string kImage = FirmwareFolder() + "/KX7312FW.hex";

// Anywhere else libusb would reach this machine's real devices.
bool Emulated(benchmark::State& state) {
  if (!EmulatedUsbBoard::InMockEnvironment()) {
    state.SkipWithError("run under umockdev-wrapper");
    return false;
  }
  return true;
}

// A board booted through the given link, straight on the library (no trace).
struct BootedBoard {
  explicit BootedBoard(bool classic, usb::UsbOptions options = {})
      : rig(kx::testing::RunningBoard(), std::move(options)),
        version2(*rig.library, FirmwareFolder()),
        classic_link(*rig.library, FirmwareFolder()) {
    rig.board.PlugIn();
    port.ShowLoad(Link(classic).LoadUSB());
    if (Link(classic).State().LinkStatus != 0 || !port.messages.empty()) {
      throw std::runtime_error("the emulated board did not boot");
    }
  }
  kx::board::BoardLink& Link(bool classic) {
    return classic ? static_cast<kx::board::BoardLink&>(classic_link) : version2;
  }

  UsbRig rig;
  FakeOperator port;
  kx::board::CvnBoardLink version2;
  kx::board::UsbBoardIoLink classic_link;
};

void BM_AdcTransfer(benchmark::State& state) {
  if (!Emulated(state)) {
    return;
  }
  const bool classic = state.range(0) != 0;
  BootedBoard board(classic);
  kx::board::BoardLink& link = board.Link(classic);
  std::int64_t done = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    benchmark::DoNotOptimize(link.TransferAdcWord(0x8330));
    if (++done % 4096 == 0) {
      board.rig.board.ClearControls();
      benchmark::DoNotOptimize(board.Link(classic).TakeSent());
    }
  }
  if (link.State().LinkStatus != 3) {
    state.SkipWithError("a transfer failed");
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(classic ? "VendorIORequest" : "Vendor_Request");
}
BENCHMARK(BM_AdcTransfer)->Arg(0)->Arg(1)->UseRealTime();

void BM_DacWrite(benchmark::State& state) {
  if (!Emulated(state)) {
    return;
  }
  BootedBoard board(false);
  std::int64_t done = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    board.version2.WriteDacWord(kx::board::DacLowRequest, 0x0357FF00);
    if (++done % 4096 == 0) {
      board.rig.board.ClearControls();
      benchmark::DoNotOptimize(board.version2.TakeSent());
    }
  }
  if (board.version2.State().LinkStatus != 0) {
    state.SkipWithError("a write failed");
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DacWrite)->UseRealTime();

// The bus timing model scaled up by kBusScale, L / B kept at 100 / 27 (a
// USB 2.0 bus: 27 us of bus time per control transfer, 100 us until the
// host sees it complete), so that the emulator's own cost per request (its
// socket round trips, BM_AdcTransfer) stays under half of the bus time B.
constexpr int kBusScale = 80;
constexpr kx::testing::BusTiming kScaledBus{std::chrono::microseconds(27 * kBusScale),
                                            std::chrono::microseconds(100 * kBusScale)};
constexpr int kBatchWords = 256;

// kBatchWords ADC words through TransferAdcWords in chunks of 128, as a
// capture sends them. Argument 0: the backend's window (1 is one request at
// a time, each a synchronous transfer, as before queuing); argument 1: the
// timing model on (1) or off (0).
void BM_AdcBatch(benchmark::State& state) {
  if (!Emulated(state)) {
    return;
  }
  usb::UsbOptions options;
  options.transfer_window = static_cast<int>(state.range(0));
  BootedBoard board(false, options);
  if (state.range(1) != 0) {
    board.rig.board.SetBusTiming(kScaledBus);
  }
  kx::board::BoardLink& link = board.Link(false);
  const std::vector<std::int32_t> words(kBatchWords, 0x8330);
  std::vector<std::int32_t> replies(words.size());
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    for (std::size_t sent = 0; sent < words.size();) {
      const std::size_t count = std::min<std::size_t>(128, words.size() - sent);
      const std::size_t made = link.TransferAdcWords(std::span(words).subspan(sent, count),
                                                     std::span(replies).subspan(sent, count));
      if (made != count || link.State().LinkStatus != 3) {
        state.SkipWithError("a transfer failed");
        return;
      }
      sent += made;
    }
    board.rig.board.ClearControls();
  }
  state.SetItemsProcessed(state.iterations() * kBatchWords);
  // Seconds per word, printed with an SI prefix (u, m).
  state.counters["per_word"] =
      benchmark::Counter(static_cast<double>(kBatchWords) * static_cast<double>(state.iterations()),
                         benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetLabel(state.range(1) != 0 ? "bus model on" : "bus model off");
}
BENCHMARK(BM_AdcBatch)
    ->ArgsProduct({{1, 2, 4, 8, 16, 32, 64}, {1}})
    ->ArgsProduct({{1, 16}, {0}})
    ->Iterations(2)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The same run timed both ways in each iteration on the model bus, one
// request at a time and then queued with the backend's window; the counter
// speed_up is the ratio of the two times.
void BM_QueuedSpeedUp(benchmark::State& state) {
  if (!Emulated(state)) {
    return;
  }
  BootedBoard board(false);
  board.rig.board.SetBusTiming(kScaledBus);
  kx::board::BoardLink& link = board.Link(false);
  const std::vector<std::int32_t> words(kBatchWords, 0x8330);
  std::vector<std::int32_t> replies(words.size());
  using Clock = std::chrono::steady_clock;
  const auto timed = [&](int window) {
    board.rig.library->SetTransferWindow(window);
    const Clock::time_point start = Clock::now();
    for (std::size_t sent = 0; sent < words.size();) {
      const std::size_t count = std::min<std::size_t>(128, words.size() - sent);
      sent += link.TransferAdcWords(std::span(words).subspan(sent, count),
                                    std::span(replies).subspan(sent, count));
    }
    board.rig.board.ClearControls();
    return std::chrono::duration<double>(Clock::now() - start).count();
  };
  double single = 0;
  double queued = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    single += timed(1);
    queued += timed(usb::DefaultTransferWindow);
    if (link.State().LinkStatus != 3) {
      state.SkipWithError("a transfer failed");
      return;
    }
  }
  const auto runs = static_cast<double>(state.iterations());
  state.counters["one_at_a_time_ms"] = single / runs * 1e3;
  state.counters["queued_ms"] = queued / runs * 1e3;
  state.counters["speed_up"] = single / queued;
  state.SetLabel(fmt::format("{} words, B {} us, L {} us, window {}", kBatchWords,
                             kScaledBus.bus.count(), kScaledBus.latency.count(),
                             usb::DefaultTransferWindow));
}
BENCHMARK(BM_QueuedSpeedUp)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

// The loader taking an image in 1 KiB chunks, CPU held and released around
// it. The bytes are not the board's own firmware, so it stays on the bus.
void BM_LoaderWrite(benchmark::State& state) {
  if (!Emulated(state)) {
    return;
  }
  EmulatedUsbBoard board(kx::testing::WaitingBoard());
  board.PlugIn();
  usb::UsbContext::Created created = usb::UsbContext::Create();
  if (!created.context) {
    state.SkipWithError(created.error.c_str());
    return;
  }
  const usb::UsbOptions options;
  usb::BoardSearch search = usb::FindBoards(created.context->Get(), options, nullptr);
  usb::OpenDevice device;
  if (search.boards.empty() || usb::OpenDevice::Open(search.boards[0].device, device) != 0) {
    state.SkipWithError("no emulated board to open");
    return;
  }
  const auto bytes = static_cast<std::size_t>(state.range(0));
  std::vector<usb::FirmwareChunk> chunks;
  for (std::size_t at = 0; at < bytes; at += usb::MaxChunkBytes) {
    chunks.push_back(
        {static_cast<std::uint16_t>(at), std::vector<std::uint8_t>(usb::MaxChunkBytes, 0x5A)});
  }
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const usb::LoaderOutcome outcome = usb::WriteFirmware(device.Get(), chunks, options.timings);
    if (outcome.status != usb::DownloadOk) {
      state.SkipWithError(outcome.problem.c_str());
      break;
    }
    board.ClearControls();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_LoaderWrite)->Arg(16384)->UseRealTime()->Unit(benchmark::kMillisecond);

// firmware/KX7312FW.hex from the first loader request to the board reopened
// at its new address, running: the programs' fixed waits, and the emulated
// board leaving the bus 1 ms after its CPU starts and coming back 5 ms later.
void BM_FirmwareDownload(benchmark::State& state) {
  if (!Emulated(state)) {
    return;
  }
  UsbRig rig;
  rig.board.PlugIn();
  std::int32_t number = 0;
  std::int32_t handle = 0;
  kx::board::BoardList list{};
  rig.library->Search_For_Boards(0x1234, 0x7312, number, list);
  if (rig.library->Connect(0x1234, 0x7312, list[0], handle) != 0) {
    state.SkipWithError("no emulated board to connect to");
    return;
  }
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const std::int16_t status = rig.library->Download_Firmware(handle, kImage.c_str());
    if (status != usb::DownloadOk) {
      state.SkipWithError(rig.library->LastProblem().c_str());
      break;
    }
  }
}
// Each download gives the board a new address, and there are only 127.
BENCHMARK(BM_FirmwareDownload)->Iterations(50)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
