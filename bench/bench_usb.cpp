// The libusb backend against the emulated board: vendor requests per second
// through the whole stack (link, libusb, usbfs calls answered by the board),
// the loader's write rate, and a firmware download from the first request to
// the board reopened at its new address. Runs under umockdev-wrapper only:
//   TMPDIR=/tmp umockdev-wrapper ./build/bin/kx_bench_usb
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
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
  explicit BootedBoard(bool classic)
      : rig(kx::testing::RunningBoard()),
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
