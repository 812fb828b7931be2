// kx7312-view on long data logs: `--report` of a day (864,000 rows at ten
// a second, sixteen channels with volts) and of a week (6 million rows) as
// whole processes with their peak memory, a whole-log draw of sixteen
// channels from the levels, and one --follow update of ten new rows on a
// short and on a day-long log. The logs are written once per run, with the
// logger's own row format, into a private temporary folder.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>  // environ

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "analysis/log_file.h"
#include "analysis/log_trace.h"
#include "bench/bench_log.h"

namespace {

namespace fs = std::filesystem;

using kx::bench::kDayLogRows;
using kx::bench::kLogRowsPerSecond;
using kx::bench::kWeekLogRows;

// KX_BENCH_LOG_FOLDER names a folder to write the logs to and keep them
// in (to time them by hand: /usr/bin/time -v kx7312-view --report FILE).
class TempFolder {
 public:
  TempFolder() {
    if (const char* kept = std::getenv("KX_BENCH_LOG_FOLDER"); kept != nullptr && *kept != '\0') {
      path_ = kept;
      keep_ = true;
      return;
    }
    std::string pattern = (fs::temp_directory_path() / "kx_bench_view_log.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      std::exit(1);
    }
    path_ = pattern;
  }
  ~TempFolder() {
    std::error_code error;
    if (!keep_) {
      fs::remove_all(path_, error);
    }
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
  bool keep_ = false;
};

TempFolder& Folder() {
  static TempFolder folder;
  return folder;
}

// The log of `rows` rows, written on first use.
std::string LogOf(int rows) {
  static std::map<int, std::string> written;
  if (const auto found = written.find(rows); found != written.end()) {
    return found->second;
  }
  std::string path = (Folder().Path() / fmt::format("log{}.csv", rows)).string();
  written[rows] = path;
  if (std::error_code error; fs::exists(path, error)) {
    return path;  // kept from an earlier run
  }
  if (const std::string error = kx::bench::WriteBenchLog(path, rows); !error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  return path;
}

// kx7312-view --report as a process: the wall time per run and its peak
// resident memory.
void Report(benchmark::State& state, int rows) {
  const std::string path = LogOf(rows);
  state.counters["file_MB"] = static_cast<double>(fs::file_size(path)) / 1e6;
  long peak_kb = 0;
  double cpu_seconds = 0.0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> words = {KX7312VIEW, "--report", path};
    std::vector<char*> argv;
    argv.reserve(words.size() + 1);
    for (std::string& word : words) {
      argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, KX7312VIEW, &actions, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("kx7312-view did not start");
      break;
    }
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("kx7312-view --report failed");
      break;
    }
    peak_kb = std::max(peak_kb, usage.ru_maxrss);
    // The machine may be shared: the process's own CPU time says more
    // than the wall clock then.
    cpu_seconds += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  state.counters["peak_RSS_MB"] = static_cast<double>(peak_kb) / 1024.0;
  state.counters["process_CPU_s"] =
      benchmark::Counter(cpu_seconds, benchmark::Counter::kAvgIterations);
  state.counters["rows"] = rows;
}

void BM_ReportDayLog(benchmark::State& state) {
  Report(state, kDayLogRows);
}
BENCHMARK(BM_ReportDayLog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_ReportWeekLog(benchmark::State& state) {
  Report(state, kWeekLogRows);
}
BENCHMARK(BM_ReportWeekLog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// What one redraw of the whole day costs: sixteen channels from the levels.
void BM_DrawWholeDay(benchmark::State& state) {
  const kx::analysis::LogRead read = kx::analysis::ReadLogFile(LogOf(kDayLogRows));
  if (!read.log) {
    state.SkipWithError(read.error.c_str());
    return;
  }
  const kx::analysis::LogData& log = *read.log;
  std::size_t points = 0;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    points = 0;
    for (std::size_t c = 0; c < log.columns.size(); ++c) {
      const kx::analysis::LogTrace trace =
          kx::analysis::TraceColumn(log, c, true, log.seconds.front(), log.seconds.back(), 1000);
      for (const kx::analysis::TraceRun& run : trace.runs) {
        points += run.line.size();
      }
    }
    benchmark::DoNotOptimize(points);
  }
  state.counters["points"] = static_cast<double>(points);
  state.counters["log_MB_in_memory"] = static_cast<double>(log.Bytes()) / 1e6;
}
BENCHMARK(BM_DrawWholeDay)->Unit(benchmark::kMillisecond);

// One --follow read of ten appended rows, after an hour and after a day:
// the cost stays the same.
void BM_FollowTenRows(benchmark::State& state) {
  const int rows = static_cast<int>(state.range(0));
  const std::string source = LogOf(rows);
  const std::string path = (Folder().Path() / fmt::format("follow{}.csv", rows)).string();
  fs::copy_file(source, path, fs::copy_options::overwrite_existing);
  kx::analysis::LogRead read = kx::analysis::ReadLogFile(path);
  if (!read.log) {
    state.SkipWithError(read.error.c_str());
    return;
  }
  kx::analysis::LogData log = std::move(*read.log);
  std::mt19937_64 random(8);
  int next = rows;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    state.PauseTiming();
    const std::string more = kx::bench::BenchLogLines(next, 10, random);
    next += 10;
    std::ofstream(path, std::ios::binary | std::ios::app) << more;
    state.ResumeTiming();
    if (const std::string error = kx::analysis::FollowLogFile(path, log); !error.empty()) {
      state.SkipWithError(error.c_str());
      break;
    }
  }
  state.counters["rows"] = static_cast<double>(log.Rows());
}
BENCHMARK(BM_FollowTenRows)
    ->Arg(std::int64_t{3600} * kLogRowsPerSecond)
    ->Arg(kDayLogRows)
    ->Unit(benchmark::kMicrosecond);

}  // namespace

// `--write-log ROWS FILE` writes that log and stops (for
// compare_view_log.py); anything else runs the benchmarks.
int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--write-log") {
    const std::string_view count = argv[2];
    int rows = 0;
    const auto [end, failed] = std::from_chars(count.data(), count.data() + count.size(), rows);
    const std::string error =
        failed != std::errc{} || end != count.data() + count.size() || rows < 0
            ? "not a number of rows: " + std::string(count)
            : kx::bench::WriteBenchLog(argv[3], rows);
    if (!error.empty()) {
      std::fprintf(stderr, "%s\n", error.c_str());
    }
    return error.empty() ? 0 : 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
