// The data logger's own cost per row on the simulated board: the reads
// through kx7312ctl's session (the link watch, "Read ADC"), the statistics,
// the row's text and its write and flush to a file. The board's own time
// comes on top on real hardware.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "board/firmware_path.h"
#include "board/sim/sim_board.h"
#include "commands/console_port.h"
#include "commands/log_source.h"
#include "commands/session.h"
#include "logger/data_logger.h"
#include "logger/log_file.h"

namespace {

using namespace kx;

// Args: reads per row, channels logged.
void BM_LogRow(benchmark::State& state) {
  const auto average = static_cast<int>(state.range(0));
  const auto channels = static_cast<int>(state.range(1));
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / "kx7312-bench-logger";
  std::filesystem::create_directories(folder);

  board::sim::SimSettings settings;
  for (int channel = 0; channel < channels; ++channel) {
    settings.signal_inputs[channel] = {1.0, 0.5, 0.01, 0.0, 2.0, 7};
  }
  board::sim::SimBoard board(settings);
  commands::ConsolePort port;
  commands::Session session(Version2Edition, {&board.Cvn(), &board.Io()}, port,
                            board::FirmwareFolder());
  session.StartUp();

  commands::AdcLog log;
  log.file = (folder / "run.csv").string();
  log.every = std::chrono::milliseconds(10);
  log.average = average;
  for (int channel = 0; channel < channels; ++channel) {
    log.channels.push_back(channel);
  }
  logger::LogFile::Opened opened = logger::LogFile::Create(log.file, true);
  if (!opened.file) {
    state.SkipWithError(opened.error.c_str());
    return;
  }
  logger::SystemLogClock clock;
  commands::LogSource source(session, log.reference);
  logger::DataLogger logger(
      commands::LogLayoutOf(Version2Edition, session.Board().Adc().Configuration(), log),
      {log.every, std::nullopt}, source, *opened.file, clock);
  if (logger.Begin()) {
    state.SkipWithError("the log file could not be written");
    return;
  }
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    // Rows taken back to back: the logger's time without the waits.
    if (logger.TakeRow({}) != logger::DataLogger::Row::Written) {
      state.SkipWithError("a row could not be written");
      break;
    }
  }
  state.counters["reads_per_row"] = average;
  (void)opened.file->Close();
  std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LogRow)->Args({1, 16})->Args({100, 16})->Args({100, 1})->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
