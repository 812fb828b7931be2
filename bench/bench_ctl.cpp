// How long kx7312ctl takes as a whole process on the simulated board: one
// `adc read` (start-up included), and a 10,000-line script on one start-up.
// The same script run in this process shows what the process itself costs.
// And how much memory a 32 MB script takes to check.
#include <benchmark/benchmark.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "board/firmware_path.h"
#include "board/sim/sim_board.h"
#include "ctl/run_ctl.h"
#include "ctl/script.h"

namespace {

using namespace kx;

#ifdef _WIN32
constexpr const char* kNowhere = "NUL";
#else
constexpr const char* kNowhere = "/dev/null";
#endif

constexpr int kScriptLines = 10000;

// A characterisation loop: load a code, read every channel back, write one
// ADC word, pulse LDAC; 2,500 times.
std::string LongScript() {
  std::ostringstream script;
  script << "# " << kScriptLines << " lines\n";
  for (int i = 0; i < kScriptLines / 4; ++i) {
    script << "dac load " << i % 16 << '=' << std::hex << (i * 7) % 0x1000 << std::dec << '\n'
           << "adc read --format volts\n"
           << "adc write 8310\n"
           << "line pulse-ldac\n";
  }
  return script.str();
}

std::string ScriptFile() {
  static const std::string path = [] {
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / "kx_bench_ctl_script.txt";
    std::ofstream(file, std::ios::binary) << LongScript();
    return file.string();
  }();
  return path;
}

void RunTool(benchmark::State& state, const std::string& args) {
  const std::string command = std::string("\"") + KX7312CTL + "\" " + args + " >" + kNowhere;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    if (std::system(command.c_str()) != 0) {
      state.SkipWithError("kx7312ctl failed");
      return;
    }
  }
}

void BM_ProcessAdcRead(benchmark::State& state) {
  RunTool(state, "--simulate adc read");
}
BENCHMARK(BM_ProcessAdcRead)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ProcessScript10000Lines(benchmark::State& state) {
  RunTool(state, "--simulate script \"" + ScriptFile() + "\"");
}
BENCHMARK(BM_ProcessScript10000Lines)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_InProcessScript10000Lines(benchmark::State& state) {
  const ctl::CommandList list = ctl::ParseScript(LongScript(), "bench", Version2Edition);
  if (!list.error.empty()) {
    state.SkipWithError(list.error.c_str());
    return;
  }
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    board::sim::SimBoard board;
    commands::ConsolePort port;
    commands::LinkSetup link{{&board.Cvn(), &board.Io()}, port, board::ProgramFolder(), {}};
    std::ostringstream out;
    std::ostringstream err;
    benchmark::DoNotOptimize(
        ctl::RunCommands(Version2Edition, link, list.commands, false, out, err));
  }
}
BENCHMARK(BM_InProcessScript10000Lines)->Unit(benchmark::kMillisecond);

void BM_ParseScript10000Lines(benchmark::State& state) {
  const std::string text = LongScript();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)  //
                          // NOLINT(clang-analyzer-deadcode.DeadStores)
    benchmark::DoNotOptimize(ctl::ParseScript(text, "bench", Version2Edition));
  }
}
BENCHMARK(BM_ParseScript10000Lines)->Unit(benchmark::kMillisecond);

#ifndef _WIN32
// The memory a large script costs: 32 MB of "adc read" lines (the shortest
// command, so the most commands per byte), checked whole by a kx7312ctl
// process whose board is absent, so that it stops at the start-up. Reports
// the process's peak resident size, also per byte of script.
void BM_ProcessLargeScriptPeakMemory(benchmark::State& state) {
  constexpr std::size_t kScriptBytes = std::size_t{32} * 1000 * 1000;
  const std::filesystem::path folder = std::filesystem::temp_directory_path();
  const std::string script = (folder / "kx_bench_ctl_large_script.txt").string();
  const std::string settings = (folder / "kx_bench_ctl_absent_board.json").string();
  {
    std::ofstream out(script, std::ios::binary);
    const std::string line = "adc read\n";
    for (std::size_t written = 0; written + line.size() <= kScriptBytes; written += line.size()) {
      out << line;
    }
    std::ofstream(settings) << R"({"present": false})";
  }
  long peak_kilobytes = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const pid_t child = ::fork();
    if (child == 0) {
      const int nowhere = ::open(kNowhere, O_WRONLY);
      ::dup2(nowhere, STDOUT_FILENO);
      ::dup2(nowhere, STDERR_FILENO);
      ::execl(KX7312CTL, KX7312CTL, "--simulate", "--sim-settings", settings.c_str(), "script",
              script.c_str(), static_cast<char*>(nullptr));
      std::_Exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 1) {
      state.SkipWithError("kx7312ctl did not stop at the absent board");
      break;
    }
    peak_kilobytes = std::max(peak_kilobytes, usage.ru_maxrss);
  }
  std::filesystem::remove(script);
  std::filesystem::remove(settings);
  const double peak_bytes = static_cast<double>(peak_kilobytes) * 1024.0;
  state.counters["peak_MB"] = peak_bytes / 1e6;
  state.counters["peak_per_script_byte"] = peak_bytes / static_cast<double>(kScriptBytes);
}
BENCHMARK(BM_ProcessLargeScriptPeakMemory)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);
#endif

}  // namespace

BENCHMARK_MAIN();
