#pragma once

#include <fmt/format.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "commands/command.h"
#include "commands/outcome.h"
#include "scpi/header_pattern.h"
#include "scpi/instrument.h"
#include "scpi/parser.h"

namespace kx::scpi {

// What a checked unit needs when its turn comes.
struct Instrument::Run {
  Instrument& instrument;
  Client& client;
  const adc::CaptureStop& stop;
  std::vector<std::string> responses;

  void Fail(const Error& error) { instrument.Refuse(client, error); }

  // The command through the session: its outcome, or none when the board or
  // the link failed (the error is queued with the failing status).
  std::optional<commands::Outcome> Board(const commands::Command& command);
};

// What a unit does once its whole line has passed its checks.
using Action = std::function<void(Instrument::Run&)>;
// Reads a unit's parameters and checks them (throws Refusal), and gives
// what the unit does.
using Prepare = Action (*)(const Instrument& instrument, const Unit& unit);

// One header of the tree: the command, its query, or both.
struct Row {
  HeaderPattern header;
  Prepare setting = nullptr;
  Prepare query = nullptr;
};

// IEEE 488.2's common commands (*IDN? ...), and the subsystems.
std::span<const Row> CommonRows();
std::span<const Row> SystemRows();
std::span<const Row> DacRows();
std::span<const Row> AdcRows();
std::span<const Row> LogRows();
std::span<const Row> LinearityRows();
// *SAV and *RCL: set-ups in the server's slots.
std::span<const Row> SetupRows();

// A checked command with no reply.
Action Send(commands::Command command);
// A reply worked out when the unit runs.
Action Reply(std::string (*answer)(Instrument::Run& run));

// "1,2,3".
template <class Codes>
std::string JoinCodes(const Codes& codes) {
  std::string text;
  for (const auto& code : codes) {
    text += (text.empty() ? "" : ",") + fmt::format("{}", code);
  }
  return text;
}

// "#H07FF".
std::string HexResponse(std::uint32_t word, int digits);

}  // namespace kx::scpi
