#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "adc/adc_control_word.h"
#include "board/board_link_factory.h"
#include "ctl/command.h"
#include "ctl/console_port.h"
#include "ctl/link_watch.h"
#include "ctl/log_source.h"
#include "dac/dac_operations.h"
#include "session/board_session.h"
#include "session/edition.h"

namespace kx::ctl {

// What one step of a call did: the requests it made and what came of them.
struct Outcome {
  std::vector<LinkRecord> requests;
  // Empty when the step did all it said. Otherwise why it stopped: the board
  // or the link failed (`status` holds the failing status), or a capture
  // file could not be written.
  std::string error;
  std::optional<std::int16_t> status;
  // What the link libraries told the operator on the way, such as why a
  // link library is missing.
  std::vector<std::string> messages;

  // adc read: AdcResults, and the volt texts where the edition shows them.
  std::array<std::int32_t, adc::AdcChannels> codes{};
  std::optional<std::array<std::string, adc::AdcChannels>> volts;
  // adc configure: the configuration values the lists set.
  adc::AdcConfiguration configuration;
  // dac power-down: SavedPowerDownMask after the command.
  dac::DacOperations::PowerDownMasks saved_masks{};
  // A capture with no file: the file's text, handed back instead.
  std::optional<std::string> capture_text;
  // adc log: the rows written, the gap rows, and whether a signal ended it.
  std::optional<logger::LogSummary> log;

  bool Succeeded() const { return error.empty(); }
};

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

 private:
  Outcome Finish(Outcome outcome, std::optional<std::string> failure);

  ConsolePort& port_;
  std::function<std::string()> link_problem_;
  AfterFailure after_failure_;
  LogSetup log_setup_;
  // Watches every request on its way to the board; the session's link goes
  // through it.
  LinkWatch watch_;
  session::BoardSession board_;
  dac::DacOperations& dac_;
  adc::AdcOperations& adc_;
};

}  // namespace kx::ctl
