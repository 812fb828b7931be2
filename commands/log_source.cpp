#include "commands/log_source.h"

#include <fmt/format.h>

#include <cstdlib>

#include "commands/log_values.h"
#include "commands/session.h"
#include "logger/log_file.h"

namespace kx::commands {

logger::SourceRead LogSource::Read() {
  const Outcome read = session_.ReadAgain(reference_);
  logger::SourceRead got;
  if (const auto* result = read.As<ReadResult>()) {
    got.codes = result->codes;
  }
  if (!read.Succeeded()) {
    got.failed_status = read.status.value_or(0);
    got.reason = read.error;
  }
  return got;
}

void LogSource::Recover() {
  // Whether it worked shows in the next read.
  (void)session_.Reload();
}

logger::LogLayout LogLayoutOf(const Edition& edition, const adc::AdcConfiguration& config,
                              const AdcLog& log) {
  logger::LogLayout layout;
  const bool version2 = edition.adc_rules == AdcWordRules::Version2;
  layout.edition = version2 ? "version2" : "classic";
  layout.program = edition.program_name;
  layout.configuration_word = adc::ConfigurationWord(edition.adc_rules, config) & 0xFFFF;
  layout.half_span = config.AdcRangeBit != 0;
  layout.weak = config.AdcWeakTriBit != 0;
  if (version2) {
    layout.straight_binary = config.AdcCodingBit != 0;
  }
  if (edition.HasVolts()) {
    layout.reference_volts = std::strtod(log.reference.c_str(), nullptr);
  }
  layout.channels = log.channels;
  layout.average = log.average;
  layout.interval_seconds = std::chrono::duration<double>(log.every).count();
  return layout;
}

LayoutCalibration CalibrateLayout(Session& session, const AdcLog& log, logger::LogLayout& layout) {
  Session::CalibrationForVolts calibration =
      session.CalibrationNoteFor(log.calibration, log.reference_given);
  if (!calibration.error.empty()) {
    return {std::nullopt, std::move(calibration.error)};
  }
  if (!calibration.note) {
    return {};
  }
  if (calibration.note->reference_volts) {
    layout.reference_volts = calibration.note->reference_volts;
  }
  std::string path = calibration.note->path;
  layout.calibration = std::move(calibration.note);
  return {std::move(path), std::nullopt};
}

LogRun RunLog(Session& session, const AdcLog& log, const logger::LogStop& stop,
              const LogSetup& setup) {
  LogRun run;
  logger::LogLayout layout =
      LogLayoutOf(session.Board().edition(), session.Board().Adc().Configuration(), log);
  // Before the file: a calibration that cannot be applied leaves no file.
  LayoutCalibration calibration = CalibrateLayout(session, log, layout);
  if (calibration.failure) {
    run.failure = std::move(calibration.failure);
    return run;
  }
  run.calibration = std::move(calibration.path);
  logger::LogFile::Opened opened = logger::LogFile::Create(log.file, log.overwrite);
  if (!opened.file) {
    run.failure = opened.error;
    return run;
  }
  logger::SystemLogClock system_clock;
  logger::LogClock& clock = setup.clock != nullptr ? *setup.clock : system_clock;
  LogSource source(session, log.reference);
  logger::DataLogger logger(layout, {log.every, log.duration, setup.progress_every}, source,
                            *opened.file, clock);

  logger::LogReport report;
  if (setup.progress && !log.quiet) {
    report = [&setup](const logger::LogProgress& progress) {
      setup.progress(progress.news.empty() ? ProgressLine(progress)
                                           : fmt::format("adc log: {}", progress.news));
    };
  }
  run.summary = logger.Run(stop, report);
  const std::optional<std::string> closed = opened.file->Close();
  if (run.summary.file_error) {
    run.failure = fmt::format("{}; the {} rows written before stay", *run.summary.file_error,
                              run.summary.progress.rows);
  } else if (closed) {
    run.failure = closed;
  }
  return run;
}

std::string ProgressLine(const logger::LogProgress& progress) {
  return fmt::format("adc log: {} rows, {} gap rows, {} missed, {}", progress.rows, progress.gaps,
                     progress.missed, ElapsedText(progress.elapsed));
}

}  // namespace kx::commands
