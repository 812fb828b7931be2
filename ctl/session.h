#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "adc/adc_control_word.h"
#include "board/board_link_factory.h"
#include "ctl/command.h"
#include "ctl/console_port.h"
#include "ctl/link_watch.h"
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
  // Anything else the operations told the operator on the way, such as why a
  // link library is missing.
  std::vector<std::string> messages;

  // adc read: AdcResults, and the volt texts where the edition shows them.
  std::array<std::int32_t, adc::AdcChannels> codes{};
  std::optional<std::array<std::string, adc::AdcChannels>> volts;
  // adc configure: the configuration values the lists set.
  adc::AdcConfiguration configuration;
  // dac power-down: SavedPowerDownMask after the command.
  dac::DacOperations::PowerDownMasks saved_masks{};

  bool Succeeded() const { return error.empty(); }
};

// The panel of one call: the board link and the DAC and ADC operations with
// their panel-wide state (stored DAC words, saved power-down masks, the ADC
// configuration bits, AdcResults), alive from the start-up to the last
// command. Every word goes out through the panel's own operations.
class Session {
 public:
  // `libraries` must outlive the session, as must `port`, which the
  // operations report to. `link_problem`, where the backend has one, says in
  // a line why its latest search, connect or download failed.
  Session(const Edition& edition, board::LinkLibraries libraries, ConsolePort& port,
          std::string program_folder, std::function<std::string()> link_problem = {});

  // The window's load: LoadUSB, AdcResults to 0, the four start-up ADC words.
  Outcome StartUp();
  // Runs one command; after a failed step nothing more reaches the board.
  Outcome Run(const Command& command);

 private:
  Outcome Finish(Outcome outcome);

  ConsolePort& port_;
  std::function<std::string()> link_problem_;
  // Watches every request on its way to the board; the session's link goes
  // through it.
  LinkWatch watch_;
  session::BoardSession board_;
  dac::DacOperations& dac_;
  adc::AdcOperations& adc_;
};

// "DacLowRequest", "AdcTransferRequest", ...; "request 0x42" for a code the
// panel never sends.
std::string RequestName(std::uint8_t code);

}  // namespace kx::ctl
