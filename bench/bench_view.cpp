// kx7312-view's costs a person waits for: opening a 512-set capture with
// all sixteen channels drawn, the spectrum of 1024 samples, and opening a
// data log of ten hours at one row a second.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QChartView>
#include <QPixmap>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "adc/sample_file.h"
#include "analysis/log_file.h"
#include "analysis/spectrum.h"
#include "bench/bench_log.h"
#include "logger/log_format.h"
#include "view/viewer_window.h"

namespace {

// What the simulated board gives for a sine with noise on every channel.
std::string SineCapture() {
  std::mt19937_64 random(1);
  std::normal_distribution<double> noise(0.0, 2.0);
  std::vector<kx::adc::SampleSet> sets(kx::adc::AllChannelsSampleSets);
  for (int s = 0; s < kx::adc::AllChannelsSampleSets; ++s) {
    for (int c = 0; c < kx::adc::AdcChannels; ++c) {
      const double value =
          2048 + 1600 * std::sin(2 * std::numbers::pi * 0.0605 * s + c) + noise(random);
      sets[static_cast<std::size_t>(s)][static_cast<std::size_t>(c)] =
          static_cast<std::int32_t>(std::clamp(std::round(value), 0.0, 4095.0));
    }
  }
  return kx::adc::AllChannelsFileText(sets);
}

// Opens `text` as a file and renders the plot with all its series, as the
// screen would, once per iteration.
void OpenAndDraw(benchmark::State& state, const std::string& name, const std::string& text) {
  const std::filesystem::path path = std::filesystem::temp_directory_path() / name;
  std::ofstream(path, std::ios::binary) << text;
  kx::view::ViewerWindow window;
  window.show();
  QApplication::processEvents();
  auto* view = window.findChild<QChartView*>(QStringLiteral("timeView"));
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    if (!window.OpenFile(QString::fromStdString(path.string()))) {
      state.SkipWithError("the file did not open");
      break;
    }
    const QPixmap drawn = view->grab();
    benchmark::DoNotOptimize(drawn.cacheKey());
  }
  std::filesystem::remove(path);
}

void BM_OpenAndDrawAllSixteenChannels(benchmark::State& state) {
  OpenAndDraw(state, "kx_bench_view_capture.txt", SineCapture());
}
BENCHMARK(BM_OpenAndDrawAllSixteenChannels)->Unit(benchmark::kMillisecond);

// Ten hours at 1 s, sixteen channels with volts, the board away for a
// minute every hour.
std::string TenHourLog() {
  kx::logger::LogLayout layout;
  layout.straight_binary = false;
  layout.reference_volts = 2.5;
  for (int c = 0; c < kx::adc::AdcChannels; ++c) {
    layout.channels.push_back(c);
  }
  layout.started = "2026-12-08T00:00:00.000000Z";
  std::string text = kx::logger::HeaderLine(layout) + kx::logger::ColumnLine(layout);
  std::mt19937_64 random(3);
  std::normal_distribution<double> noise(0.0, 2.0);
  const auto start = std::chrono::sys_days{std::chrono::year{2026} / 12 / 8};
  for (int n = 0; n < 36000; ++n) {
    kx::logger::LogRow row;
    row.utc = start + std::chrono::seconds{n};
    row.since_start = std::chrono::seconds{n};
    if (n % 3600 < 60) {
      row.gap_status = -9;
    } else {
      for (int c = 0; c < kx::adc::AdcChannels; ++c) {
        const auto code = static_cast<std::int32_t>(
            std::round(100 * c + 500 * std::sin(n / 600.0 + c) + noise(random)));
        row.figures.push_back({static_cast<double>(code), code, code, 0.0});
      }
    }
    text += kx::logger::RowLine(layout, row);
  }
  return text;
}

void BM_ReadTenHourLog(benchmark::State& state) {
  const std::string text = TenHourLog();
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const kx::analysis::LogRead read = kx::analysis::ParseLog(text);
    benchmark::DoNotOptimize(read.log->Rows());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReadTenHourLog)->Unit(benchmark::kMillisecond);

void BM_OpenAndDrawTenHourLog(benchmark::State& state) {
  OpenAndDraw(state, "kx_bench_view_log.csv", TenHourLog());
}
BENCHMARK(BM_OpenAndDrawTenHourLog)->Unit(benchmark::kMillisecond);

// The window made, shown, and the day-long log of KX_BENCH_DAY_LOG (see
// compare_view_log.py) opened and its time plot drawn, once per iteration:
// what a person waits for after Qt has started.
void BM_OpenAndDrawDayLog(benchmark::State& state) {
  const QString path = qEnvironmentVariable("KX_BENCH_DAY_LOG");
  if (path.isEmpty()) {
    state.SkipWithError("KX_BENCH_DAY_LOG names no log");
    return;
  }
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    kx::view::ViewerWindow window;
    window.show();
    QApplication::processEvents();
    if (!window.OpenFile(path)) {
      state.SkipWithError("the log did not open");
      break;
    }
    const QPixmap drawn = window.findChild<QChartView*>(QStringLiteral("timeView"))->grab();
    benchmark::DoNotOptimize(drawn.cacheKey());
  }
}
BENCHMARK(BM_OpenAndDrawDayLog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// One --follow update in the window: 100 rows appended to ten hours at ten
// rows a second (360,000 rows), read on and every tab given them; with
// Arg(1) the time plot is painted too. The CPU time is the figure: the
// file's writes and the paint's pixels are not the reader's.
void BM_FollowHundredRowsTenHourLog(benchmark::State& state) {
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "kx_bench_view_follow.csv";
  if (const std::string error = kx::bench::WriteBenchLog(path.string(), kx::bench::kTenHourLogRows);
      !error.empty()) {
    state.SkipWithError(error.c_str());
    return;
  }
  kx::view::ViewerWindow window;
  window.show();
  if (!window.OpenFile(QString::fromStdString(path.string()))) {
    state.SkipWithError("the log did not open");
    return;
  }
  window.SetFollow(true);
  QApplication::processEvents();
  auto* view = window.findChild<QChartView*>(QStringLiteral("timeView"));
  std::mt19937_64 random(9);
  int next = kx::bench::kTenHourLogRows;
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    state.PauseTiming();
    std::ofstream(path, std::ios::binary | std::ios::app)
        << kx::bench::BenchLogLines(next, 100, random);
    next += 100;
    state.ResumeTiming();
    window.Reload();
    if (state.range(0) != 0) {
      const QPixmap drawn = view->grab();
      benchmark::DoNotOptimize(drawn.cacheKey());
    }
  }
  state.counters["rows"] = static_cast<double>(window.Log()->Rows());
  window.SetFollow(false);
  std::filesystem::remove(path);
}
BENCHMARK(BM_FollowHundredRowsTenHourLog)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_Spectrum1024Samples(benchmark::State& state) {
  std::mt19937_64 random(2);
  std::normal_distribution<double> noise(0.0, 2.0);
  std::vector<double> samples;
  samples.reserve(1024);
  for (int i = 0; i < 1024; ++i) {
    samples.push_back(std::round(2048 + 1600 * std::sin(0.37 * i) + noise(random)));
  }
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    const auto spectrum =
        kx::analysis::AnalyseSpectrum(samples, kx::analysis::WindowKind::BlackmanHarris);
    benchmark::DoNotOptimize(spectrum->snr_db);
  }
}
BENCHMARK(BM_Spectrum1024Samples)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
