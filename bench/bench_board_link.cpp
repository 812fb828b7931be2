// How long the panel's busiest routines take on the simulated board, with and
// without a trace file: a full ADC read is 17 transfers, a DAC load 16 words.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "board/cvn_board_link.h"
#include "board/firmware_path.h"
#include "board/link_requests.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"

namespace {

using namespace kx::board;

// The build puts the firmware image beside this binary.
std::string ProgramFolderForBench() {
  return ProgramFolder();
}

void ReadAllChannels(BoardLink& link) {
  link.TransferAdcWord(static_cast<std::int32_t>(0xFFFF8310U));
  for (int c = 1; c < 16; ++c) {
    benchmark::DoNotOptimize(link.TransferAdcWord(0x8310 + 0x400 * c));
  }
  benchmark::DoNotOptimize(link.TransferAdcWord(0x8310 + 0x400 * 15));
}

void LoadSixteenChannels(BoardLink& link) {
  for (int i = 0; i < 8; ++i) {
    link.WriteDacWord(DacLowRequest, 0x0000FF00 + i * 0x100000);
  }
  for (int i = 0; i < 8; ++i) {
    link.WriteDacWord(DacHighRequest, 0x0000FF00 + i * 0x100000);
  }
}

void BM_AdcReadDirect(benchmark::State& state) {
  sim::SimBoard board;
  CvnBoardLink link(board.Cvn(), ProgramFolderForBench());
  link.LoadUSB();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    ReadAllChannels(link);
    benchmark::DoNotOptimize(link.TakeSent());
  }
}
BENCHMARK(BM_AdcReadDirect);

void BM_AdcReadTraced(benchmark::State& state) {
  sim::SimBoard board;
  const auto path = std::filesystem::temp_directory_path() / "kx7312-bench-trace.txt";
  std::ofstream file(path);
  trace::TraceSink sink(file);
  trace::TracingCvnCyusbUsb4 tracer(board.Cvn(), sink);
  CvnBoardLink link(tracer, ProgramFolderForBench());
  link.LoadUSB();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    ReadAllChannels(link);
    benchmark::DoNotOptimize(link.TakeSent());
  }
  file.close();
  std::filesystem::remove(path);
}
BENCHMARK(BM_AdcReadTraced);

void BM_DacLoadDirect(benchmark::State& state) {
  sim::SimBoard board;
  CvnBoardLink link(board.Cvn(), ProgramFolderForBench());
  link.LoadUSB();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    LoadSixteenChannels(link);
    benchmark::DoNotOptimize(link.TakeSent());
  }
}
BENCHMARK(BM_DacLoadDirect);

}  // namespace

BENCHMARK_MAIN();
