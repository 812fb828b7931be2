// How long the ADC section's operations take on the simulated board, without
// a trace: one transfer, a full read with its texts, and a full capture of
// all channels with its file.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "adc/adc_operations.h"
#include "board/cvn_board_link.h"
#include "board/firmware_path.h"
#include "board/sim/sim_board.h"

namespace {

using namespace kx;

// Answers every save dialog with the same path and forgets everything else.
class BenchOperator final : public board::OperatorPort {
 public:
  explicit BenchOperator(std::string save_path = {}) : save_path_(std::move(save_path)) {}
  void ShowMessage(std::string_view text, std::string_view, board::MessageIcon) override {
    last_message_ = text;
  }
  void SetStatusLine(std::string_view text) override { status_ = text; }
  std::optional<std::string> AskSavePath(std::string_view) override { return save_path_; }
  void SetCaptureStatus(std::string_view) override {}
  void SetCaptureProgress(int, int) override {}

  const std::string& LastMessage() const { return last_message_; }

 private:
  std::string save_path_;
  std::string status_;
  std::string last_message_;
};

void BM_TransferAdcWord(benchmark::State& state) {
  board::sim::SimBoard board;
  BenchOperator port;
  board::CvnBoardLink link(board.Cvn(), port, board::ProgramFolder());
  link.LoadUSB();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    benchmark::DoNotOptimize(link.TransferAdcWord(0x8B30));
  }
}
BENCHMARK(BM_TransferAdcWord);

void BM_ReadAllWithTexts(benchmark::State& state) {
  board::sim::SimBoard board;
  BenchOperator port;
  board::CvnBoardLink link(board.Cvn(), port, board::ProgramFolder());
  link.LoadUSB();
  adc::AdcOperations ops(link, port, AdcWordRules::Version2);
  ops.ChooseListEntry({1, 0, 1});
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    ops.ReadAll("2.50");
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
  BenchOperator port((folder / "samples.dat").string());
  board::CvnBoardLink link(board.Cvn(), port, board::ProgramFolder());
  link.LoadUSB();
  adc::AdcOperations ops(link, port, AdcWordRules::Version2);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    ops.CaptureAllChannels();
  }
  if (!port.LastMessage().empty()) {
    state.SkipWithError(port.LastMessage().c_str());
  }
  state.SetItemsProcessed(state.iterations() * adc::AllChannelsTransfers);
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_CaptureAllChannels)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
