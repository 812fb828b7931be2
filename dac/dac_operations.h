#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "board/board_link.h"
#include "board/link_record.h"
#include "dac/dac_command_word.h"

namespace kx::dac {

// The DAC side of the panel: one operation per handler effect, and the
// panel-wide DAC state those handlers share. The window reads its controls,
// calls one operation and shows what comes back: the words sent with their
// statuses (the status line shows the last), or the refusal of its input.
class DacOperations {
 public:
  using ChannelTicks = std::array<bool, ChannelCount>;
  using ChannelTexts = std::array<std::string, ChannelCount>;
  using StoredWords = std::array<std::int32_t, ChannelsPerGroup>;
  using PowerDownMasks = std::array<std::uint16_t, 4>;

  using Result = board::OperationResult;

  // What a group's register controls last programmed, none before their
  // first use. The panel keeps these in its lists and boxes; kept here too,
  // a set-up can be taken from any front end.
  struct GroupSettings {
    // Each channel's power-down mode 0 to 3 as the programs since start-up
    // left it (a program sets only the channels of its mask); with the mode
    // and the mask of the last program, which the frame shows.
    std::optional<std::array<int, ChannelsPerGroup>> power_down_channels;
    int power_down_mode = 0;
    std::uint8_t power_down_mask = 0;
    std::optional<std::uint8_t> ldac_mask;
    std::optional<int> reference;   // list index: 0 external, 1 internal
    std::optional<int> clear_code;  // list index: 0x0000, 0x0800, 0x0FFF
    bool operator==(const GroupSettings&) const = default;
  };
  using Settings = std::array<GroupSettings, 2>;
  // The button of the last channel load: which stored words the board's
  // outputs last followed.
  enum class LoadButton { InputRegister, DacRegister };

  explicit DacOperations(board::BoardLink& link);

  // What a slot holds until its channel is first loaded: the button's word
  // for that slot's own address with code 0, the code every channel holds
  // after power-up. Word 0 would be "code 0 to address 0" and send DAC0 (or
  // DAC8) back to 0 on every load that left some channel unticked.
  static constexpr StoredWords UnloadedWords(std::uint8_t command) {
    StoredWords words{};
    for (std::size_t address = 0; address < words.size(); ++address) {
      words[address] = ChannelWord(command, static_cast<int>(address), 0);
    }
    return words;
  }

  // "Load Input Register" and "Update DAC Register": fresh words for the
  // ticked channels, then all sixteen stored words (DAC0 to DAC7 first) and,
  // with `auto_pulse`, one LDAC pulse. A ticked code above FFF refuses the
  // whole click with one refusal: nothing sent, nothing stored.
  Result LoadInputRegisters(const ChannelTicks& ticked, const ChannelTexts& texts, bool auto_pulse);
  // One channel's "Load Input Register" word alone, kept as its stored word,
  // then the LDAC pulse that moves it to the output: what a sweep sends per
  // code, where the button would resend the other fifteen words each time.
  Result LoadOneChannel(int channel, std::uint16_t code);
  // LoadOneChannel's two requests, the word kept as its stored word but not
  // sent: for a sweep that queues them with its reads.
  std::array<board::LinkStep, 2> OneChannelWrites(int channel, std::uint16_t code);
  Result UpdateDacRegisters(const ChannelTicks& ticked, const ChannelTexts& texts, bool auto_pulse);

  // The "Write" of "Write Value to DAC Section": `text` as all 32 bits of one
  // word to the group, never a pulse. A text that is no 32-bit hex number is
  // refused, and nothing is sent.
  Result RawWrite(int group, std::string_view text);

  // "Program" of "Power Down Modes": the group's mask with the mode of the
  // list index (-1, no item chosen, is "Normal Mode"); the mask is kept as
  // that mode's saved mask, shared by both groups.
  Result ProgramPowerDown(int group, const GroupTicks& ticked, int list_index);
  // The boxes a power-down list choice shows: the mask last programmed with
  // that mode, all clear for any index but 0 to 3.
  GroupTicks PowerDownTicks(int list_index) const;

  Result ProgramLdac(int group, const GroupTicks& ticked);
  // Index 0 external, 1 internal; any other index sends nothing.
  Result ChooseReference(int group, int list_index);
  Result ChooseClearCode(int group, int list_index);

  // Control lines: index 0 releases the line (High), any other holds it Low.
  Result ClrLine(int index);
  Result LdacLine(int index);
  Result PulseLdac();

  const StoredWords& InputRegWordsLow() const { return input_reg_words_low_; }
  const StoredWords& InputRegWordsHigh() const { return input_reg_words_high_; }
  const StoredWords& DacRegWordsLow() const { return dac_reg_words_low_; }
  const StoredWords& DacRegWordsHigh() const { return dac_reg_words_high_; }
  const PowerDownMasks& SavedPowerDownMask() const { return saved_power_down_mask_; }
  // Whether the group's last reference word chose the internal reference
  // (the chip starts on the external one).
  bool InternalReference(int group) const { return settings_[group == 0 ? 0 : 1].reference == 1; }
  // A set-up's record, once its words have gone out: the saved masks of
  // modes no group is left in, and the last program's mask where the words
  // covered more channels, cannot be sent without changing the board, yet
  // the frames show them.
  void RestoreRecord(const PowerDownMasks& masks, const Settings& settings) {
    saved_power_down_mask_ = masks;
    settings_ = settings;
  }

  const Settings& GroupRegisters() const { return settings_; }
  // The lines' levels as last asked for (true: held Low), none before.
  std::optional<bool> ClrLow() const { return clr_low_; }
  std::optional<bool> LdacLow() const { return ldac_low_; }
  LoadButton LastLoad() const { return last_load_; }
  // Whether the last load of either button ended with the LDAC pulse.
  bool LastPulse() const { return last_pulse_; }

 private:
  Result LoadChannels(std::uint8_t command, const ChannelTicks& ticked, const ChannelTexts& texts,
                      bool auto_pulse, StoredWords& low, StoredWords& high);

  Result Sent();
  // Group 0, or the DAC8 to DAC15 group for any other index, as GroupRequest.
  GroupSettings& Group(int group);

  board::BoardLink& link_;
  StoredWords input_reg_words_low_ = UnloadedWords(LoadInputRegister);
  StoredWords input_reg_words_high_ = UnloadedWords(LoadInputRegister);
  StoredWords dac_reg_words_low_ = UnloadedWords(UpdateDacRegister);
  StoredWords dac_reg_words_high_ = UnloadedWords(UpdateDacRegister);
  PowerDownMasks saved_power_down_mask_{};
  Settings settings_{};
  std::optional<bool> clr_low_;
  std::optional<bool> ldac_low_;
  LoadButton last_load_ = LoadButton::InputRegister;
  bool last_pulse_ = true;
};

}  // namespace kx::dac
