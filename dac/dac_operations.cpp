#include "dac/dac_operations.h"

#include <optional>
#include <vector>

#include "board/link_requests.h"
#include "dac/dac_lists.h"
#include "dac/dac_messages.h"
#include "dac/hex_entry.h"

namespace kx::dac {

namespace {

void SendGroup(board::BoardLink& link, std::uint8_t request,
               const DacOperations::StoredWords& words) {
  for (const std::int32_t word : words) {
    link.WriteDacWord(request, word);
  }
}

}  // namespace

DacOperations::DacOperations(board::BoardLink& link) : link_(link) {}

DacOperations::GroupSettings& DacOperations::Group(int group) {
  return settings_[group == 0 ? 0 : 1];
}

DacOperations::Result DacOperations::Sent() {
  return {link_.TakeSent(), std::nullopt};
}

DacOperations::Result DacOperations::LoadInputRegisters(const ChannelTicks& ticked,
                                                        const ChannelTexts& texts,
                                                        bool auto_pulse) {
  return LoadChannels(LoadInputRegister, ticked, texts, auto_pulse, input_reg_words_low_,
                      input_reg_words_high_);
}

DacOperations::Result DacOperations::LoadOneChannel(int channel, std::uint16_t code) {
  const std::array<board::LinkStep, 2> writes = OneChannelWrites(channel, code);
  link_.WriteDacWord(writes[0].code, writes[0].word);
  link_.SendControlRequest(static_cast<std::uint8_t>(writes[1].code));
  return Sent();
}

std::array<board::LinkStep, 2> DacOperations::OneChannelWrites(int channel, std::uint16_t code) {
  const int address = channel % ChannelsPerGroup;
  const bool low = channel < ChannelsPerGroup;
  StoredWords& words = low ? input_reg_words_low_ : input_reg_words_high_;
  const std::int32_t word = ChannelWord(LoadInputRegister, address, code);
  words[static_cast<std::size_t>(address)] = word;
  last_load_ = LoadButton::InputRegister;
  last_pulse_ = true;
  return {
      {{low ? board::DacLowRequest : board::DacHighRequest, word}, {board::PulseLdacRequest, 0}}};
}

DacOperations::Result DacOperations::UpdateDacRegisters(const ChannelTicks& ticked,
                                                        const ChannelTexts& texts,
                                                        bool auto_pulse) {
  return LoadChannels(UpdateDacRegister, ticked, texts, auto_pulse, dac_reg_words_low_,
                      dac_reg_words_high_);
}

DacOperations::Result DacOperations::LoadChannels(std::uint8_t command, const ChannelTicks& ticked,
                                                  const ChannelTexts& texts, bool auto_pulse,
                                                  StoredWords& low, StoredWords& high) {
  // Every ticked code is read before anything is stored or sent, so a refused
  // click leaves the stored words and the board as they were.
  std::array<std::optional<std::uint16_t>, ChannelCount> codes{};
  std::vector<OversizedCode> oversized;
  for (std::size_t channel = 0; channel < ticked.size(); ++channel) {
    if (!ticked[channel]) {
      continue;
    }
    codes[channel] = ReadChannelCode(texts[channel]);
    if (!codes[channel]) {
      oversized.push_back({static_cast<int>(channel), texts[channel]});
    }
  }
  if (!oversized.empty()) {
    return {{}, OversizedCodesMessage(oversized)};
  }

  for (std::size_t channel = 0; channel < codes.size(); ++channel) {
    if (!codes[channel]) {
      continue;  // unticked: its slot keeps the word it last held, or its unloaded word
    }
    const auto address = static_cast<int>(channel % ChannelsPerGroup);
    StoredWords& words = channel < ChannelsPerGroup ? low : high;
    words[static_cast<std::size_t>(address)] = ChannelWord(command, address, *codes[channel]);
  }

  last_load_ = command == UpdateDacRegister ? LoadButton::DacRegister : LoadButton::InputRegister;
  last_pulse_ = auto_pulse;
  SendGroup(link_, board::DacLowRequest, low);
  SendGroup(link_, board::DacHighRequest, high);
  if (auto_pulse) {
    link_.SendControlRequest(board::PulseLdacRequest);
  }
  return Sent();
}

DacOperations::Result DacOperations::RawWrite(int group, std::string_view text) {
  const HexValue word = ParseHexValue(text);
  if (!word.value) {
    return {{}, RawWriteRefusal(word.fault, text)};
  }
  link_.WriteDacWord(GroupRequest(group), *word.value);
  return Sent();
}

DacOperations::Result DacOperations::ProgramPowerDown(int group, const GroupTicks& ticked,
                                                      int list_index) {
  const std::uint8_t mask = ChannelMask(ticked);
  const int mode = PowerDownModeOf(list_index);
  saved_power_down_mask_[static_cast<std::size_t>(mode)] = mask;
  GroupSettings& settings = Group(group);
  if (!settings.power_down_channels) {
    settings.power_down_channels.emplace();  // every channel in "Normal Mode" from power-up
  }
  for (std::size_t channel = 0; channel < ticked.size(); ++channel) {
    if (ticked[channel]) {
      (*settings.power_down_channels)[channel] = mode;
    }
  }
  settings.power_down_mode = mode;
  settings.power_down_mask = mask;
  link_.WriteDacWord(GroupRequest(group), PowerDownWord(mode, mask));
  return Sent();
}

GroupTicks DacOperations::PowerDownTicks(int list_index) const {
  if (list_index < 0 || list_index >= static_cast<int>(saved_power_down_mask_.size())) {
    return {};
  }
  return TicksOfMask(saved_power_down_mask_[static_cast<std::size_t>(list_index)]);
}

DacOperations::Result DacOperations::ProgramLdac(int group, const GroupTicks& ticked) {
  Group(group).ldac_mask = ChannelMask(ticked);
  link_.WriteDacWord(GroupRequest(group), LdacWord(ChannelMask(ticked)));
  return Sent();
}

DacOperations::Result DacOperations::ChooseReference(int group, int list_index) {
  // Every choice is sent, whatever was chosen in the power-down lists.
  if (ReferenceChosen(list_index)) {
    Group(group).reference = list_index;
    link_.WriteDacWord(GroupRequest(group), ReferenceWord(list_index));
  }
  return Sent();
}

DacOperations::Result DacOperations::ChooseClearCode(int group, int list_index) {
  Group(group).clear_code = ClearCodeSelectOf(list_index);
  link_.WriteDacWord(GroupRequest(group), ClearCodeWord(ClearCodeSelectOf(list_index)));
  return Sent();
}

DacOperations::Result DacOperations::ClrLine(int index) {
  clr_low_ = index != 0;
  link_.SendControlRequest(index == 0 ? board::ClrHighRequest : board::ClrLowRequest);
  return Sent();
}

DacOperations::Result DacOperations::LdacLine(int index) {
  ldac_low_ = index != 0;
  link_.SendControlRequest(index == 0 ? board::LdacHighRequest : board::LdacLowRequest);
  return Sent();
}

DacOperations::Result DacOperations::PulseLdac() {
  link_.SendControlRequest(board::PulseLdacRequest);
  return Sent();
}

}  // namespace kx::dac
