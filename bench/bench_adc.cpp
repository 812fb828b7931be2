// How long the ADC section's operations take on the simulated board, without
// a trace: one transfer, a full read with its texts, and a full capture of
// all channels with its file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "adc/adc_operations.h"
#include "board/cvn_board_link.h"
#include "board/firmware_path.h"
#include "board/link_record.h"
#include "board/sim/sim_board.h"
#include "session/board_session.h"

namespace {

using namespace kx;

void BM_TransferAdcWord(benchmark::State& state) {
  board::sim::SimBoard board;
  board::CvnBoardLink link(board.Cvn(), board::ProgramFolder());
  link.LoadUSB();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    benchmark::DoNotOptimize(link.TransferAdcWord(0x8B30));
    benchmark::DoNotOptimize(link.TakeSent());
  }
}
BENCHMARK(BM_TransferAdcWord);

void BM_ReadAllWithTexts(benchmark::State& state) {
  board::sim::SimBoard board;
  board::CvnBoardLink link(board.Cvn(), board::ProgramFolder());
  link.LoadUSB();
  adc::AdcOperations ops(link, AdcWordRules::Version2);
  ops.ChooseListEntry({1, 0, 1});
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    benchmark::DoNotOptimize(board::StatusLineText(ops.ReadAll("2.50").done.sent));
    benchmark::DoNotOptimize(ops.CodeTexts(true));
    benchmark::DoNotOptimize(ops.VoltTexts().data());
  }
}
BENCHMARK(BM_ReadAllWithTexts);

void BM_CaptureAllChannels(benchmark::State& state) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "kx7312-bench-adc-capture";
  std::filesystem::create_directories(folder);
  board::sim::SimBoard board;
  const std::string path = (folder / "samples.dat").string();
  board::CvnBoardLink link(board.Cvn(), board::ProgramFolder());
  link.LoadUSB();
  adc::AdcOperations ops(link, AdcWordRules::Version2);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    // The panel's capture: the file step, then the status line's text.
    const session::CaptureReport report =
        session::CaptureToFile(ops, session::CaptureKind::AllChannels, path);
    benchmark::DoNotOptimize(board::StatusLineText(report.samples.sent));
    if (report.failure) {
      state.SkipWithError(report.failure->c_str());
      break;
    }
  }
  state.SetItemsProcessed(state.iterations() * adc::AllChannelsTransfers);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CaptureAllChannels)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
