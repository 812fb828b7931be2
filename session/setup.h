#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "adc/adc_control_word.h"
#include "board/link_record.h"
#include "dac/dac_command_word.h"
#include "dac/dac_operations.h"
#include "session/board_session.h"
#include "session/edition.h"

namespace kx::session {

// The panel-wide state a set-up keeps: what the board was last told through
// the panel's controls, and what the panel remembers of it. A raw write
// ("Write Value to DAC Section", the ADC's "Write") is no part of it: it may
// change the board behind the controls' backs, and nothing records what it
// did.
struct Setup {
  const Edition* edition = nullptr;  // the edition that wrote it
  // The stored words as their codes: every stored word is its slot's load
  // word, the unloaded ones with code 0.
  std::array<std::uint16_t, dac::ChannelCount> input_codes{};
  std::array<std::uint16_t, dac::ChannelCount> dac_codes{};
  dac::DacOperations::LoadButton last_load = dac::DacOperations::LoadButton::InputRegister;
  bool auto_pulse = true;
  dac::DacOperations::PowerDownMasks saved_power_down_masks{};
  dac::DacOperations::Settings groups{};
  adc::AdcConfiguration adc;
  std::optional<bool> clr_low;
  std::optional<bool> ldac_low;
  bool operator==(const Setup&) const = default;
};

// The session's state now; `auto_pulse` is the front end's own setting (the
// panel's menu item, the server's DAC:LOAD:PULSe).
Setup CurrentSetup(const BoardSession& session, bool auto_pulse);

// Why `setup` cannot be reached in `edition`; none when it can be loaded.
std::optional<std::string> SetupRefusal(const Setup& setup, const Edition& edition);

// Sends what the panel would send to reach `setup`, through the session's
// own operations, in the panel's order: each DAC page in turn (DAC0 to DAC7
// first) with its "Power Down Modes" (one "Program" per mode its channels
// are in, the last program's mode last), "LDAC Register", "Reference
// Selection" and "Clear to Code", for what the set-up has chosen; then the
// CLR and LDAC lines that were set; the ADC lists' configuration word; and
// last both load buttons with every channel ticked, the button that was used
// last going last, each followed by the LDAC pulse where the set-up pulses.
// The saved power-down masks and the groups' record are then taken over
// whole. Check SetupRefusal first: nothing here refuses.
board::OperationResult ApplySetup(BoardSession& session, const Setup& setup);

}  // namespace kx::session
