#include "view/run_view.h"

#include <QApplication>
#include <QDir>
#include <QStringList>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/capture_report.h"
#include "analysis/log_file.h"
#include "analysis/log_report.h"
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

int PrintReport(const ViewOptions& options) {
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

ParsedViewOptions Parse(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    args.emplace_back(argv[i]);
  }
  return ParseViewOptions(args);
}

bool Stops(const ParsedViewOptions& parsed) {
  if (parsed.options) {
    return false;
  }
  (parsed.text_is_error ? std::cerr : std::cout) << parsed.text;
  return true;
}

}  // namespace

int RunView(int argc, char** argv) {
  // The report needs no window system: it is decided before Qt starts, so
  // that it runs where there is no display at all.
  bool report = false;
  for (int i = 1; i < argc; ++i) {
    report = report || std::string_view(argv[i]) == "--report";
  }
  if (report) {
    const ParsedViewOptions parsed = Parse(argc, argv);
    return Stops(parsed) ? parsed.exit_code : PrintReport(*parsed.options);
  }

  // Qt takes its own options (-platform, -style, ...) out of argv first.
  QApplication app(argc, argv);
  const ParsedViewOptions parsed = Parse(argc, argv);
  if (Stops(parsed)) {
    return parsed.exit_code;
  }
  const ViewOptions& options = *parsed.options;
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
