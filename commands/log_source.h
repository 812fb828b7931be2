#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "adc/adc_control_word.h"
#include "commands/command.h"
#include "logger/data_logger.h"
#include "logger/log_clock.h"
#include "logger/log_format.h"
#include "session/edition.h"

namespace kx::commands {

class Session;

// The board as the data logger reads it through a session: the panel's own
// "Read ADC" each time, with the link watch re-armed first so that one
// failed read does not silence the rest of the run, and after a failure the
// link's start-up again (the firmware loaded anew) and the configuration
// word sent again, since a board that was unplugged lost both.
class LogSource final : public logger::AdcSource {
 public:
  LogSource(Session& session, std::string reference)
      : session_(session), reference_(std::move(reference)) {}

  logger::SourceRead Read() override;
  void Recover() override;

 private:
  Session& session_;
  std::string reference_;
};

// What the log's comment line records of the panel at its start: the
// edition, the configuration the lists set, the reference, the channels and
// the reads per row.
logger::LogLayout LogLayoutOf(const Edition& edition, const adc::AdcConfiguration& config,
                              const AdcLog& log);

// The calibration the log's volts columns are to be computed with, put in
// its layout (the header records it, and its measured reference replaces
// the nominal one where the log gave none). The file applied, none where
// none was; the message where it cannot be applied.
struct LayoutCalibration {
  std::optional<std::string> path;
  std::optional<std::string> failure;
};
LayoutCalibration CalibrateLayout(Session& session, const AdcLog& log, logger::LogLayout& layout);

// How a front end runs the logger: the clock (the machine's unless a test
// gives its own) and where progress lines go (none: quiet).
struct LogSetup {
  logger::LogClock* clock = nullptr;
  std::function<void(const std::string& line)> progress;
  std::chrono::nanoseconds progress_every{std::chrono::seconds(10)};
};

// `adc log` on the session until its end, the stop or a file failure. The
// summary, or the message when the file could not be created or written.
struct LogRun {
  logger::LogSummary summary;
  std::optional<std::string> failure;
  std::optional<std::string> calibration;  // the calibration file applied
};
LogRun RunLog(Session& session, const AdcLog& log, const logger::LogStop& stop,
              const LogSetup& setup);

// "adc log: 120 rows, 2 gap rows, 0 missed, 0:02:00".
std::string ProgressLine(const logger::LogProgress& progress);

}  // namespace kx::commands
