#include "view/run_view.h"

#include <fmt/format.h>

#include <QApplication>
#include <QDir>
#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "adc/sample_file.h"
#include "analysis/capture_report.h"
#include "analysis/linearity_result.h"
#include "analysis/log_file.h"
#include "analysis/log_report.h"
#include "analysis/numpy_export.h"
#include "board/bounded_file.h"
#include "view/view_options.h"
#include "view/viewer_window.h"

namespace kx::view {
namespace {

// A log has no spectrum and records its own scale.
int PrintLogReport(const ViewOptions& options) {
  const analysis::LogRead read = analysis::ReadLogFile(options.file);
  if (!read.log) {
    std::cerr << "kx7312-view: " << read.error << "\n";
    return 1;
  }
  if (options.channel_given) {
    std::cerr << "kx7312-view: --channel chooses the spectrum's channel; a log has no spectrum\n";
    return 2;
  }
  const analysis::LogStats stats = analysis::LogStatistics(*read.log);
  std::cout << (options.json ? analysis::LogReportJson(options.file, *read.log, stats)
                             : analysis::LogReportText(options.file, *read.log, stats));
  return std::cout.good() ? 0 : 1;
}

// The data for NumPy, written whole or not at all, like every export.
int ExportNumpy(const ViewOptions& options) {
  std::string bytes;
  std::string what;
  if (analysis::LinearityCsvPath(options.file)) {
    std::cerr << "kx7312-view: --export takes a capture or a log; " << options.file
              << " is a linearity result, whose CSV holds its figures per code already\n";
    return 2;
  }
  if (analysis::FileStartsAsLog(options.file)) {
    const analysis::LogRead read = analysis::ReadLogFile(options.file);
    if (!read.log) {
      std::cerr << "kx7312-view: " << read.error << "\n";
      return 1;
    }
    analysis::NumpyFile file = analysis::LogNumpy(*read.log, options.numpy);
    if (!file.error.empty()) {
      std::cerr << "kx7312-view: " << file.error << "\n";
      return 1;
    }
    bytes = std::move(file.bytes);
    what = fmt::format("{} rows of {} channels", read.log->Rows(), read.log->columns.size());
  } else {
    const analysis::OpenResult opened = analysis::OpenCapture(options.file, options.scale);
    if (!opened.capture) {
      std::cerr << "kx7312-view: " << opened.error << "\n";
      return 1;
    }
    const analysis::CaptureAnalysis analysis =
        analysis::Analyse(opened.capture->file, opened.capture->scale);
    bytes = analysis::CaptureNumpy(analysis, options.numpy);
    what = fmt::format("{} samples of {} channels", opened.capture->file.Samples(),
                       analysis.channels.size());
  }
  if (const auto failure = adc::WriteFileReplacing(options.numpy, bytes)) {
    std::cerr << "kx7312-view: " << *failure << "\n";
    return 1;
  }
  std::cout << fmt::format("{}: {} written to {}\n", options.file, what, options.numpy);
  return std::cout.good() ? 0 : 1;
}

// A linearity result's figures, as its tab shows them.
int PrintLinearityReport(const ViewOptions& options, const std::string& csv) {
  if (options.channel_given) {
    std::cerr << "kx7312-view: --channel chooses the spectrum's channel; a linearity result has "
                 "no spectrum\n";
    return 2;
  }
  const analysis::LinearityRead read = analysis::ReadLinearityResult(csv);
  if (!read.result) {
    std::cerr << "kx7312-view: " << read.error << "\n";
    return 1;
  }
  std::cout << (options.json ? analysis::LinearityReportJson(*read.result)
                             : analysis::LinearityReportText(*read.result));
  return std::cout.good() ? 0 : 1;
}

int PrintReport(const ViewOptions& options) {
  if (const std::optional<std::string> csv = analysis::LinearityCsvPath(options.file)) {
    return PrintLinearityReport(options, *csv);
  }
  if (analysis::FileStartsAsLog(options.file)) {
    return PrintLogReport(options);
  }
  const analysis::OpenResult opened = analysis::OpenCapture(options.file, options.scale);
  if (!opened.capture) {
    std::cerr << "kx7312-view: " << opened.error << "\n";
    return 1;
  }
  const analysis::OpenedCapture& capture = *opened.capture;
  const int columns = static_cast<int>(capture.file.columns.size());
  if (options.channel >= columns) {
    std::cerr << "kx7312-view: --channel " << options.channel << ": a "
              << analysis::KindName(capture.file.kind) << " capture holds only ADC0\n";
    return 2;
  }
  const analysis::CaptureAnalysis analysis = analysis::Analyse(capture.file, capture.scale);
  const auto spectrum = analysis::AnalyseSpectrum(
      analysis.channels[static_cast<std::size_t>(options.channel)].values, options.window);
  std::cout << (options.json ? analysis::ReportJson(capture, analysis, options.channel, spectrum)
                             : analysis::ReportText(capture, analysis, options.channel, spectrum));
  return std::cout.good() ? 0 : 1;
}

bool Stops(const ParsedViewOptions& parsed) {
  if (parsed.options) {
    return false;
  }
  (parsed.text_is_error ? std::cerr : std::cout) << parsed.text;
  return true;
}

// Said before the window system is asked for, so that a file that cannot
// be opened is named on a machine with no display too.
bool Readable(const std::string& path) {
  const board::BoundedFileText read = board::ReadFileAtMost(path, 0);
  if (read.problem == board::FileReadProblem::CannotOpen ||
      read.problem == board::FileReadProblem::ReadError) {
    std::cerr << "kx7312-view: cannot read " << path << ": " << read.reason << "\n";
    return false;
  }
  return true;
}

// Qt stops the program (SIGABRT) when it finds no display; a person
// without one is told what works instead.
bool DisplayFound(const std::vector<std::string>& args) {
#if defined(__linux__)
  const auto set = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0';
  };
  const bool platform_given = std::any_of(args.begin(), args.end(), [](const std::string& arg) {
    return arg == "-platform" || arg == "--platform" || arg.starts_with("-platform=") ||
           arg.starts_with("--platform=");
  });
  if (!platform_given && !set("QT_QPA_PLATFORM") && !set("DISPLAY") && !set("WAYLAND_DISPLAY")) {
    std::cerr << "kx7312-view: no display to open the window on (DISPLAY and WAYLAND_DISPLAY "
                 "are not set); --report prints the figures without one\n";
    return false;
  }
#else
  (void)args;
#endif
  return true;
}

}  // namespace

int RunView(int argc, char** argv) {
  // The whole command line is read before Qt starts, so that help, version,
  // mistakes and the report need no window system at all.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.emplace_back(argv[i]);
  }
  const ParsedViewOptions parsed = ParseViewOptions(WithoutQtOptions(args));
  if (Stops(parsed)) {
    return parsed.exit_code;
  }
  const ViewOptions& options = *parsed.options;
  if (options.report) {
    return PrintReport(options);
  }
  if (!options.numpy.empty()) {
    return ExportNumpy(options);
  }
  if ((!options.file.empty() && !Readable(options.file)) || !DisplayFound(args)) {
    return 1;
  }

  // Qt takes its own options (-platform, -style, ...) out of argv.
  QApplication app(argc, argv);
  ViewerWindow window(options.scale, options.window);
  if (!options.screenshots.empty()) {
    if (!window.OpenFile(QString::fromStdString(options.file))) {
      std::cerr << "kx7312-view: cannot open " << options.file << "\n";
      return 1;
    }
    window.show();
    QApplication::processEvents();
    return window.SaveScreenshots(QString::fromStdString(options.screenshots)) ? 0 : 1;
  }
  window.show();
  if (!options.file.empty()) {
    window.OpenFile(QString::fromStdString(options.file));
  }
  window.SetFollow(options.follow);
  return QApplication::exec();
}

}  // namespace kx::view
