// The two characterisation tests as kx7312ctl runs them (its session, the
// libusb backend) on the emulated USB board with the bus timing model: the
// ADC's code-density test of 262,144 samples and a full DAC sweep, 4096
// codes with 16 reads each. Each is timed against the bus time of the
// transfers that reached the board (their number times the model's bus time
// per transfer); the counter bus_ratio is the one over the other. Runs under
// umockdev-wrapper only:
//   TMPDIR=/tmp umockdev-wrapper ./build/bin/kx_bench_characterise
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <chrono>
#include <cstdint>
#include <string>

#include "commands/command.h"
#include "commands/console_port.h"
#include "commands/session.h"
#include "session/edition.h"
#include "usb_rig.h"

namespace {

using namespace kx;
using kx::testing::EmulatedUsbBoard;

// The scaled USB 2.0 bus of bench_usb.cpp's queued runs (27 us of bus time
// per control transfer, 100 us until the host sees it complete), here times
// 40: queued, the emulator's own cost per request stays under half of it.
constexpr int kBusScale = 40;
constexpr kx::testing::BusTiming kBus{std::chrono::microseconds(27 * kBusScale),
                                      std::chrono::microseconds(100 * kBusScale)};
constexpr int kChannel = 2;

// kx7312ctl's session on the emulated board, started up as a call starts,
// the ADC on its 0 to VREF range, the bus model on from then.
struct UsbCall {
  explicit UsbCall(const board::sim::SimSettings& chip)
      : rig(Setup(chip)),
        session(Version2Edition, {rig.library.get(), rig.library.get()}, port,
                kx::testing::FirmwareFolder()) {
    rig.board.PlugIn();
    ok = session.StartUp().Succeeded() &&
         session.Run({"adc configure", commands::AdcConfigure{true, false, false}, {}}).Succeeded();
    rig.board.SetBusTiming(kBus);
  }
  static kx::testing::EmulatedBoardSetup Setup(const board::sim::SimSettings& chip) {
    kx::testing::EmulatedBoardSetup setup = kx::testing::RunningBoard();
    setup.replies = kx::testing::AdcReplyShape::ShiftedLeftOne;  // as version2 reads them
    setup.chip = chip;
    return setup;
  }

  kx::testing::UsbRig rig;
  commands::ConsolePort port;
  commands::Session session;
  bool ok = false;
};

// One run of `action` per iteration, with the counters against the bus.
void RunAgainstBus(benchmark::State& state, const board::sim::SimSettings& chip,
                   const commands::Action& action) {
  if (!EmulatedUsbBoard::InMockEnvironment()) {
    state.SkipWithError("run under umockdev-wrapper");
    return;
  }
  UsbCall call(chip);
  if (!call.ok) {
    state.SkipWithError("the emulated board did not start up");
    return;
  }
  std::uint64_t transfers = 0;
  std::chrono::duration<double> took{0};
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    call.rig.board.ClearControls();
    const auto start = std::chrono::steady_clock::now();
    const commands::Outcome outcome = call.session.Run({"", action, {}});
    took += std::chrono::steady_clock::now() - start;
    if (!outcome.Succeeded()) {
      state.SkipWithError(outcome.error.c_str());
      return;
    }
    transfers += call.rig.board.Controls().size();
  }
  const auto runs = static_cast<double>(state.iterations());
  const double bus_seconds =
      static_cast<double>(transfers) * std::chrono::duration<double>(kBus.bus).count();
  state.counters["transfers"] = static_cast<double>(transfers) / runs;
  state.counters["bus_s"] = bus_seconds / runs;
  state.counters["bus_ratio"] = took.count() / bus_seconds;
  state.SetLabel(fmt::format("B {} us, L {} us", kBus.bus.count(), kBus.latency.count()));
}

void BM_AdcHistogram(benchmark::State& state) {
  board::sim::SimSettings chip;
  // A sine a little beyond both ends of the range, its phase moving by the
  // golden ratio's fraction of a cycle from conversion to conversion.
  chip.signal_inputs[kChannel] = {1.25, 1.27, 0.3819660113, 0.0, 0.4, 1};
  RunAgainstBus(state, chip,
                commands::AdcHistogram{kChannel, 262144, linearity::DensityMethod::Sine, ""});
}
BENCHMARK(BM_AdcHistogram)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void BM_DacSweep(benchmark::State& state) {
  commands::DacSweep sweep;
  sweep.channel = sweep.adc_channel = kChannel;  // the board's own wiring
  sweep.codes = {0, 4095, 1};
  sweep.average = 16;
  RunAgainstBus(state, {}, sweep);
}
BENCHMARK(BM_DacSweep)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
