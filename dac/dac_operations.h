#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "board/board_link.h"
#include "board/operator_port.h"
#include "dac/dac_command_word.h"

namespace kx::dac {

// The DAC side of the panel: one operation per handler effect, and the
// panel-wide DAC state those handlers share. The window reads its controls,
// calls one operation and shows what comes back.
class DacOperations {
 public:
  using ChannelTicks = std::array<bool, ChannelCount>;
  using ChannelTexts = std::array<std::string, ChannelCount>;
  using StoredWords = std::array<std::int32_t, ChannelsPerGroup>;
  using PowerDownMasks = std::array<std::uint16_t, 4>;

  DacOperations(board::BoardLink& link, board::OperatorPort& port);

  // "Load Input Register" and "Update DAC Register": fresh words for the
  // ticked channels, then all sixteen stored words (DAC0 to DAC7 first) and,
  // with `auto_pulse`, one LDAC pulse. A ticked code above FFF refuses the
  // whole click with one message: nothing sent, nothing stored, false.
  bool LoadInputRegisters(const ChannelTicks& ticked, const ChannelTexts& texts, bool auto_pulse);
  bool UpdateDacRegisters(const ChannelTicks& ticked, const ChannelTexts& texts, bool auto_pulse);

  // The "Write" of "Write Value to DAC Section": `text` as all 32 bits of one
  // word to the group, never a pulse. A text that is no 32-bit hex number is
  // refused with a message and false.
  bool RawWrite(int group, std::string_view text);

  // "Program" of "Power Down Modes": the group's mask with the mode of the
  // list index (-1, no item chosen, is "Normal Mode"); the mask is kept as
  // that mode's saved mask, shared by both groups.
  void ProgramPowerDown(int group, const GroupTicks& ticked, int list_index);
  // The boxes a power-down list choice shows: the mask last programmed with
  // that mode, all clear for any index but 0 to 3.
  GroupTicks PowerDownTicks(int list_index) const;

  void ProgramLdac(int group, const GroupTicks& ticked);
  // Index 0 external, 1 internal; any other index sends nothing.
  void ChooseReference(int group, int list_index);
  void ChooseClearCode(int group, int list_index);

  // Control lines: index 0 releases the line (High), any other holds it Low.
  void ClrLine(int index);
  void LdacLine(int index);
  void PulseLdac();

  const StoredWords& InputRegWordsLow() const { return input_reg_words_low_; }
  const StoredWords& InputRegWordsHigh() const { return input_reg_words_high_; }
  const StoredWords& DacRegWordsLow() const { return dac_reg_words_low_; }
  const StoredWords& DacRegWordsHigh() const { return dac_reg_words_high_; }
  const PowerDownMasks& SavedPowerDownMask() const { return saved_power_down_mask_; }

 private:
  bool LoadChannels(std::uint8_t command, const ChannelTicks& ticked, const ChannelTexts& texts,
                    bool auto_pulse, StoredWords& low, StoredWords& high);

  board::BoardLink& link_;
  board::OperatorPort& port_;
  StoredWords input_reg_words_low_{};
  StoredWords input_reg_words_high_{};
  StoredWords dac_reg_words_low_{};
  StoredWords dac_reg_words_high_{};
  PowerDownMasks saved_power_down_mask_{};
};

}  // namespace kx::dac
