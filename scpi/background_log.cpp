#include "scpi/background_log.h"

#include <fmt/format.h>

#include <utility>

#include "commands/log_source.h"
#include "commands/log_values.h"
#include "commands/session.h"

namespace kx::scpi {

BackgroundLog::BackgroundLog(LogTimer& timer, logger::LogClock& clock, Note note)
    : timer_(timer), clock_(clock), note_(std::move(note)) {}

BackgroundLog::~BackgroundLog() {
  Stop();
}

std::optional<std::string> BackgroundLog::Start(commands::Session& session,
                                                const commands::AdcLog& log,
                                                std::unique_ptr<logger::LogFile> file,
                                                Failed failed) {
  if (Running()) {
    return "a log is running already";
  }
  logger::LogLayout layout =
      commands::LogLayoutOf(session.Board().edition(), session.Board().Adc().Configuration(), log);
  if (commands::LayoutCalibration calibration = commands::CalibrateLayout(session, log, layout);
      calibration.failure) {
    (void)file->Close();
    return calibration.failure;
  }
  file_ = std::move(file);
  source_ = std::make_unique<commands::LogSource>(session, log.reference);
  logger_ = std::make_unique<logger::DataLogger>(
      std::move(layout), logger::LogPlan{log.every, log.duration, std::chrono::seconds(10)},
      *source_, *file_, clock_);
  start_ = clock_.Now();
  if (std::optional<std::string> error = logger_->Begin()) {
    // Never started: the caller hears the reason, and the state stays as it
    // was before.
    logger_.reset();
    source_.reset();
    (void)file_->Close();
    file_.reset();
    return error;
  }
  last_ = LogState{};
  last_.file = log.file;
  failed_ = std::move(failed);
  note_(fmt::format("adc log {}: started", log.file));
  Schedule();
  return std::nullopt;
}

void BackgroundLog::Schedule() {
  if (logger_->Finished()) {
    End(std::nullopt);
    return;
  }
  timer_.At(logger_->NextDue(), [this] { Row(); });
}

void BackgroundLog::Row() {
  if (!Running()) {
    return;
  }
  // Nothing else runs during a row's reads, so there is no stop to ask.
  if (logger_->TakeRow({}) == logger::DataLogger::Row::FileFailed) {
    End(logger_->FileError().value_or("the file could not be written"));
    return;
  }
  if (!logger_->Progress().news.empty()) {
    note_(fmt::format("adc log {}: {}", last_.file, logger_->Progress().news));
  }
  Schedule();
}

void BackgroundLog::Stop() {
  if (Running()) {
    End(std::nullopt);
  }
}

LogState BackgroundLog::State() const {
  if (!Running()) {
    return last_;
  }
  LogState state = last_;
  state.running = true;
  const logger::LogProgress& progress = logger_->Progress();
  state.rows = progress.rows;
  state.gaps = progress.gaps;
  state.missed = progress.missed;
  state.elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(clock_.Now() - start_);
  return state;
}

void BackgroundLog::End(std::optional<std::string> failure) {
  timer_.Cancel();
  last_ = State();
  last_.running = false;
  logger_.reset();
  source_.reset();
  const std::optional<std::string> closed = file_->Close();
  file_.reset();
  if (!failure && closed) {
    failure = closed;
  }
  if (failure) {
    last_.failure = fmt::format("{}; the {} rows written before stay", *failure, last_.rows);
  }
  note_(fmt::format("adc log {}: ended, {} rows, {} gap rows, {} missed, {}{}", last_.file,
                    last_.rows, last_.gaps, last_.missed, commands::ElapsedText(last_.elapsed),
                    failure ? ": " + last_.failure : ""));
  Failed failed = std::exchange(failed_, {});
  if (failure && failed) {
    failed(last_.failure);
  }
}

}  // namespace kx::scpi
