#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adc/adc_operations.h"
#include "commands/command.h"
#include "commands/session.h"
#include "logger/log_clock.h"
#include "scpi/background_log.h"
#include "scpi/log_rate.h"
#include "scpi/scpi_error.h"
#include "scpi/status.h"
#include "session/edition.h"

namespace kx::scpi {

// One connected client as the instrument sees it: a name for the log and
// its own error queue and status registers, and its share of the log.
struct Client {
  std::string name;
  ClientStatus status;
  LogRate log_rate{};
};

struct CheckedLine;

// A new board session, not yet started; the instrument starts it, and makes
// a new one for *RST.
using SessionMaker = std::function<std::unique_ptr<commands::Session>()>;

// Where the instrument writes one line per error and per message of the
// link libraries.
using LogLine = std::function<void(const std::string&)>;

// What the next LOG:STARt logs besides its file and times; shared by all
// clients, back to these at *RST.
struct LogSettings {
  std::vector<int> channels;  // in their order; all sixteen unless set
  int average = 1;
  bool overwrite = false;
  std::string reference = "2.50";
  // Set by LOG:REFerence: else a calibration's measured reference is used.
  bool reference_given = false;
};

// The board as a SCPI instrument: the command tree over the session of
// kx7312ctl, so that every word on the wire is the panel's. A line is
// parsed and every unit in it checked before the first one runs: a line
// with a bad unit runs none and queues the error, so a typing slip never
// half-reaches the board. Used from one thread.
class Instrument {
 public:
  Instrument(const Edition& edition, SessionMaker make_session, LogLine log);
  ~Instrument();
  Instrument(const Instrument&) = delete;
  Instrument& operator=(const Instrument&) = delete;

  // The timer that wakes a background log, and its clock (the machine's
  // unless given). Without a timer LOG:STARt is refused.
  void UseLogTimer(LogTimer& timer, logger::LogClock* clock = nullptr);
  // Where LOG:STARt's file names lead: the working folder unless set. The
  // folder is opened now, and names never lead out of it; the reason when it
  // cannot be opened.
  std::optional<std::string> SetLogFolder(const std::filesystem::path& folder);

  // Where *SAV and *RCL keep their slots: the working folder unless set.
  // The reason when `folder` is no folder.
  std::optional<std::string> SetSetupFolder(const std::filesystem::path& folder);
  // Slot `slot`'s file; the name is the server's own, never a client's.
  std::filesystem::path SetupSlotFile(int slot) const;

  // The program's start-up on a new session; also what *RST does.
  commands::Outcome StartUp();

  // Runs one program message line (without its line end). Returns the
  // response line (without its line end) when the line held queries that
  // answered. `stop` is asked during captures whether the client is gone.
  std::optional<std::string> Execute(std::string_view line, Client& client,
                                     const adc::CaptureStop& stop = {});
  // The same in steps, so that a server can serve others between the units
  // of a long line: Check parses the line and checks every unit (none when
  // it was refused, the error queued); RunNext runs its next unit and
  // returns that unit's reply, if any.
  std::optional<CheckedLine> Check(std::string_view line, Client& client);
  std::optional<std::string> RunNext(CheckedLine& line, Client& client,
                                     const adc::CaptureStop& stop = {});

  // Queues and logs an error found outside a line, such as a line too long.
  void Refuse(Client& client, const Error& error);
  // A line of the log about `client`, within its share (see LogRate).
  void LogFor(Client& client, const std::string& line);

  const Edition& edition() const { return edition_; }
  const commands::Session& Session() const { return *session_; }
  bool AutoPulse() const { return auto_pulse_; }
  // The calibration of the volt queries and the logs (serve --calibration).
  void UseCalibration(session::CalibrationChoice choice) { calibration_ = std::move(choice); }
  const session::CalibrationChoice& CalibrationChoice() const { return calibration_; }
  // That calibration on the session, read once: what it applies, or why it
  // cannot.
  commands::Session::CalibrationForVolts CalibrationInUse() {
    return session_->CalibrationNoteFor(calibration_, false);
  }
  void SetAutoPulse(bool on) { auto_pulse_ = on; }
  // DAC:VOLTage's conversions on the session: a load's codes, and what a
  // channel's stored code stands for through the calibration in use.
  commands::Checked<commands::LoadResult> LoadCodes(const commands::DacLoad& load) {
    return session_->LoadCodes(load);
  }
  commands::Checked<dac::DacScale> DacScale(int channel) {
    return session_->DacScaleNow(channel, calibration_);
  }

  // LOG:STARt with the current settings: the error to queue when a log runs
  // already or the file cannot be created. A file that fails later ends
  // the log and queues its error with `client`, while it is connected.
  std::optional<Error> StartLog(commands::AdcLog log, Client& client);
  // Ends a running log, its file complete; also at the server's shutdown.
  void StopLog();
  LogState LogStatus() const;
  LogSettings& Logging() { return log_settings_; }
  // The client is gone: nothing more goes to its queue.
  void Forget(const Client& client);

  // The objects a command's check hands to the run; defined in the source.
  struct Run;

 private:
  friend struct Run;

  const Edition& edition_;
  SessionMaker make_session_;
  LogLine log_;
  std::unique_ptr<commands::Session> session_;
  bool auto_pulse_ = true;  // DAC:LOAD:PULSe, the LDAC pulse after a load
  session::CalibrationChoice calibration_;
  LogSettings log_settings_;
  std::optional<logger::LogFolder> log_folder_;
  std::filesystem::path setup_folder_ = ".";
  logger::SystemLogClock system_clock_;
  // Declared after the session, so that it ends first.
  std::unique_ptr<BackgroundLog> background_log_;
  Client* log_client_ = nullptr;  // who started the running log, while connected
};

// A line whose units all passed their checks, waiting to run in order. A
// unit the same as the one before it shares its check, so that a line of
// one command repeated costs a pointer a unit.
struct CheckedLine {
  std::vector<std::shared_ptr<const std::function<void(Instrument::Run&)>>> units;
  std::size_t next = 0;
  bool Done() const { return next == units.size(); }
};

}  // namespace kx::scpi
