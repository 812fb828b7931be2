#include "session/setup.h"

#include <fmt/format.h>

#include <utility>

#include "adc/adc_lists.h"
#include "dac/dac_lists.h"

namespace kx::session {

namespace {

using Codes = std::array<std::uint16_t, dac::ChannelCount>;
using LoadButton = dac::DacOperations::LoadButton;

// A stored word's code: bits 19-8 of the load word.
Codes CodesOf(const dac::DacOperations::StoredWords& low,
              const dac::DacOperations::StoredWords& high) {
  Codes codes{};
  for (std::size_t slot = 0; slot < low.size(); ++slot) {
    codes[slot] = static_cast<std::uint16_t>((low[slot] >> 8) & 0xFFF);
    codes[slot + low.size()] = static_cast<std::uint16_t>((high[slot] >> 8) & 0xFFF);
  }
  return codes;
}

// The four modes, `last` at the end.
std::array<int, 4> PowerDownOrder(int last) {
  std::array<int, 4> order{};
  std::size_t next = 0;
  for (int mode = 0; mode < 4; ++mode) {
    if (mode != last) {
      order[next++] = mode;
    }
  }
  order[next] = last;
  return order;
}

void Append(board::OperationResult& all, board::OperationResult done) {
  all.sent.insert(all.sent.end(), done.sent.begin(), done.sent.end());
}

board::OperationResult Load(dac::DacOperations& dac, LoadButton button, const Codes& codes,
                            bool pulse) {
  dac::DacOperations::ChannelTicks ticks{};
  dac::DacOperations::ChannelTexts texts;
  for (std::size_t channel = 0; channel < codes.size(); ++channel) {
    ticks[channel] = true;
    texts[channel] = fmt::format("{:03X}", codes[channel]);
  }
  return button == LoadButton::DacRegister ? dac.UpdateDacRegisters(ticks, texts, pulse)
                                           : dac.LoadInputRegisters(ticks, texts, pulse);
}

}  // namespace

Setup CurrentSetup(const BoardSession& session, bool auto_pulse) {
  const dac::DacOperations& dac = session.Dac();
  Setup setup;
  setup.edition = &session.edition();
  setup.input_codes = CodesOf(dac.InputRegWordsLow(), dac.InputRegWordsHigh());
  setup.dac_codes = CodesOf(dac.DacRegWordsLow(), dac.DacRegWordsHigh());
  setup.last_load = dac.LastLoad();
  setup.auto_pulse = auto_pulse;
  setup.saved_power_down_masks = dac.SavedPowerDownMask();
  setup.groups = dac.GroupRegisters();
  setup.adc = session.Adc().Configuration();
  setup.clr_low = dac.ClrLow();
  setup.ldac_low = dac.LdacLow();
  return setup;
}

std::optional<std::string> SetupRefusal(const Setup& setup, const Edition& edition) {
  if (setup.adc.AdcCodingBit != 0 && !edition.HasVolts()) {
    return fmt::format(
        "the set-up of {} chooses \"{}\" in the \"Coding\" list, and {} has no Coding list",
        setup.edition != nullptr ? setup.edition->program_name : "another program",
        adc::CodingItems[1], edition.program_name);
  }
  return std::nullopt;
}

board::OperationResult ApplySetup(BoardSession& session, const Setup& setup) {
  dac::DacOperations& dac = session.Dac();
  board::OperationResult all;
  for (int group = 0; group < static_cast<int>(setup.groups.size()); ++group) {
    const dac::DacOperations::GroupSettings& settings =
        setup.groups[static_cast<std::size_t>(group)];
    if (settings.power_down_channels) {
      // One program per mode the channels are in, the last program's mode
      // last: each channel ends in its own mode, whatever the board held.
      for (const int mode : PowerDownOrder(settings.power_down_mode)) {
        dac::GroupTicks ticked{};
        for (std::size_t channel = 0; channel < ticked.size(); ++channel) {
          ticked[channel] = (*settings.power_down_channels)[channel] == mode;
        }
        if (mode == settings.power_down_mode || dac::ChannelMask(ticked) != 0) {
          Append(all, dac.ProgramPowerDown(group, ticked, mode));
        }
      }
    }
    if (settings.ldac_mask) {
      Append(all, dac.ProgramLdac(group, dac::TicksOfMask(*settings.ldac_mask)));
    }
    if (settings.reference) {
      Append(all, dac.ChooseReference(group, *settings.reference));
    }
    if (settings.clear_code) {
      Append(all, dac.ChooseClearCode(group, *settings.clear_code));
    }
  }
  if (setup.clr_low) {
    Append(all, dac.ClrLine(*setup.clr_low ? 1 : 0));
  }
  if (setup.ldac_low) {
    Append(all, dac.LdacLine(*setup.ldac_low ? 1 : 0));
  }
  Append(all, session.Adc().ChooseListEntry({setup.adc.AdcRangeBit != 0 ? 1 : 0,
                                             setup.adc.AdcWeakTriBit != 0 ? 1 : 0,
                                             setup.adc.AdcCodingBit != 0 ? 1 : 0}));
  const bool dac_last = setup.last_load == LoadButton::DacRegister;
  Append(all, Load(dac, dac_last ? LoadButton::InputRegister : LoadButton::DacRegister,
                   dac_last ? setup.input_codes : setup.dac_codes, setup.auto_pulse));
  Append(all, Load(dac, setup.last_load, dac_last ? setup.dac_codes : setup.input_codes,
                   setup.auto_pulse));
  dac.RestoreRecord(setup.saved_power_down_masks, setup.groups);
  return all;
}

}  // namespace kx::session
