#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "adc/adc_control_word.h"
#include "adc/calibration_note.h"
#include "board/board_link_factory.h"
#include "commands/command.h"
#include "commands/console_port.h"
#include "commands/link_watch.h"
#include "commands/log_source.h"
#include "commands/outcome.h"
#include "commands/parameters.h"
#include "dac/dac_operations.h"
#include "dac/dac_volts.h"
#include "session/board_session.h"
#include "session/calibration_file.h"
#include "session/edition.h"

namespace kx::commands {

// After a failed request the link lets nothing more through (the command
// running at the time ends without touching the board, and the call stops),
// or it reports the failure and serves the next command.
enum class AfterFailure { Stop, Serve };

// The panel of one call, or of a server's life: a board session whose every
// request is watched and recorded. Every word goes out through the panel's
// own operations.
class Session {
 public:
  // `libraries` must outlive the session, as must `port`, which hears what
  // the link libraries tell the operator. `link_problem`, where the backend
  // has one, says in a line why its latest search, connect or download
  // failed.
  Session(const Edition& edition, board::LinkLibraries libraries, ConsolePort& port,
          std::string program_folder, std::function<std::string()> link_problem = {},
          AfterFailure after_failure = AfterFailure::Stop);

  // The window's load: LoadUSB, AdcResults to 0, the four start-up ADC words.
  Outcome StartUp();
  // `stop` is asked between the transfers of a capture with no file whether
  // to stop it, as when the client that asked for it has gone.
  Outcome Run(const Command& command, const adc::CaptureStop& stop = {});

  // The data logger's clock and progress lines for `adc log`.
  void SetLogSetup(LogSetup setup) { log_setup_ = std::move(setup); }
  // "Read ADC" with the watch re-armed first, whatever the policy: the
  // logger carries on after a failed read.
  Outcome ReadAgain(const std::string& reference);
  // "Reload USB", then the ADC configuration word the lists chose sent
  // again: a board that comes back has lost both.
  Outcome Reload();

  const session::BoardSession& Board() const { return board_; }
  // Which board this is: its serial once connected, or the user's name.
  board::BoardIdentity Identity() const;
  // The calibration `choice` names for this board: read at its first use
  // after the start-up (the identity is known then) and kept for the call,
  // until a calibration command changes the board's file. `applied` is none
  // where the choice names none; `error` says why a file named, or the
  // board's own, could not be applied, and the command fails with it.
  const session::CalibrationResolved& Calibration(const session::CalibrationChoice& choice);
  // What a capture's metadata or a log's header records of the calibration
  // `choice` names: each channel's ADC correction on the range of list index
  // `range_index` (none: the range in force), and the measured reference
  // where the command gave none. No note where the choice names no
  // calibration or the edition shows no volts; `error` when it cannot be
  // applied.
  struct CalibrationForVolts {
    std::optional<adc::CalibrationNote> note;
    std::string error;
  };
  // A load's channels with the codes it sends now: each entry in volts on
  // the reference its group is on, through the calibration the load names
  // (read only where there is an entry in volts); or the fault of the first
  // entry beyond its range, or why the calibration cannot be applied.
  Checked<LoadResult> LoadCodes(const DacLoad& load);
  // What a channel's codes stand for now, through the calibration `choice`
  // names (its correction points into the calibration kept for the call).
  Checked<dac::DacScale> DacScaleNow(int channel, const session::CalibrationChoice& choice);
  CalibrationForVolts CalibrationNoteFor(const session::CalibrationChoice& choice,
                                         bool reference_given,
                                         std::optional<int> range_index = std::nullopt);

 private:
  // What a command's execution left: its result, and why it could not
  // finish where the board answered but the operation still failed.
  struct Step {
    Result result;
    std::optional<std::string> failure;
    // How far a long test came, added to whatever stopped it.
    std::optional<std::string> progress = std::nullopt;
    // The calibration file the volts were computed with.
    std::optional<std::string> calibration = std::nullopt;
  };
  // One execution function per command.
  Step Execute(const DacLoad& load, const adc::CaptureStop& stop);
  Step Execute(const DacWrite& write, const adc::CaptureStop& stop);
  Step Execute(const DacPowerDown& power_down, const adc::CaptureStop& stop);
  Step Execute(const DacLdacRegister& ldac, const adc::CaptureStop& stop);
  Step Execute(const DacReference& reference, const adc::CaptureStop& stop);
  Step Execute(const DacClearCode& clear, const adc::CaptureStop& stop);
  Step Execute(const LineRequest& request, const adc::CaptureStop& stop);
  Step Execute(const AdcConfigure& configure, const adc::CaptureStop& stop);
  Step Execute(const AdcRead& read, const adc::CaptureStop& stop);
  Step Execute(const AdcWrite& write, const adc::CaptureStop& stop);
  Step Execute(const AdcCapture& capture, const adc::CaptureStop& stop);
  Step Execute(const AdcLog& log, const adc::CaptureStop& stop);
  Step Execute(const AdcHistogram& histogram, const adc::CaptureStop& stop);
  Step Execute(const DacSweep& sweep, const adc::CaptureStop& stop);
  Step Execute(const AdcSpectrum& spectrum, const adc::CaptureStop& stop);
  Step Execute(const SetupSave& save, const adc::CaptureStop& stop);
  Step Execute(const SetupLoad& load, const adc::CaptureStop& stop);
  Step Execute(const CalibrationShow& show, const adc::CaptureStop& stop);
  Step Execute(const CalibrationSave& save, const adc::CaptureStop& stop);
  Step Execute(const CalibrationClear& clear, const adc::CaptureStop& stop);
  Step Execute(const ListBoards& list, const adc::CaptureStop& stop);

  // A characterisation test's figures as the board's calibration entry for
  // the channel (the ADC's on the range in force, or the DAC's), merged into
  // its file. The message when the file could not be read or written.
  std::optional<std::string> SaveMeasured(bool adc, int channel,
                                          const board::LineCorrection& correction,
                                          const char* method, double reference_volts);
  // Where a test that is to save its figures could not: before it runs.
  std::optional<std::string> CalibrationUnwritable() const;

  // The sweep's parts: an --adc-linearity file that does not fit the ADC's
  // range and coding (before anything is sent), the codes' words and reads,
  // then the figures and the files.
  std::optional<std::string> SweepMismatch(const DacSweep& sweep) const;
  std::optional<std::string> SweepCodes(
      const DacSweep& sweep, int total,
      const std::function<void(std::span<const std::int32_t>)>& take, const adc::CaptureStop& stop);
  Step FinishSweep(const DacSweep& sweep, const std::vector<linearity::SweepPoint>& points,
                   std::uint64_t requests, const std::optional<std::string>& stopped);

  // The calibration of a DAC conversion: none where the choice names none.
  Checked<const session::AppliedCalibration*> DacCalibration(
      const session::CalibrationChoice& choice);

  // The progress line of a long test on standard error, where one is wanted.
  void Tell(const std::string& line) const;
  // Codes in the ADC's straight order, whatever its coding.
  bool TwosComplement() const;
  // The ADC's full-scale span in volts for the range in force, from the
  // reference given or the board's own.
  double AdcSpan(std::optional<double> reference) const;

  Outcome Finish(Step step);

  ConsolePort& port_;
  std::function<std::string()> link_problem_;
  AfterFailure after_failure_;
  LogSetup log_setup_;
  std::map<std::pair<session::CalibrationChoice::Kind, std::string>, session::CalibrationResolved>
      calibrations_;
  // Watches every request on its way to the board; the session's link goes
  // through it.
  LinkWatch watch_;
  board::BoardDirectory* directory_;
  session::BoardSession board_;
  dac::DacOperations& dac_;
  adc::AdcOperations& adc_;
};

}  // namespace kx::commands
