#pragma once

#include <array>
#include <cstdint>

#include "board/board_model.h"
#include "board/link_requests.h"

namespace kx::dac {

// Command codes, bits 27-24 of a DAC command word.
inline constexpr std::uint8_t LoadInputRegister = 0;
inline constexpr std::uint8_t UpdateDacRegister = 1;
inline constexpr std::uint8_t PowerDownDacs = 4;
inline constexpr std::uint8_t LoadClearCode = 5;
inline constexpr std::uint8_t LoadLdacRegister = 6;
inline constexpr std::uint8_t SetupReference = 8;

inline constexpr int ChannelCount = board::KX7312Board.dac_channels;
inline constexpr int ChannelsPerGroup = board::KX7312Board.dac_channels_per_group;
// A channel code travels in bits 19-8; anything larger would run into the
// address and command fields.
inline constexpr std::uint32_t LargestChannelCode = 0xFFF;

// One box per channel of a group; bit i of a group's mask is channel i of
// that group (DAC i, or DAC i+8).
using GroupTicks = std::array<bool, ChannelsPerGroup>;

constexpr std::int32_t CommandBits(std::uint8_t command) {
  return std::int32_t{command} << 24;
}

// A channel load: address 0 to 7 within the group in bits 23-20 and the code,
// which must already fit in 12 bits, in bits 19-8.
constexpr std::int32_t ChannelWord(std::uint8_t command, int address, std::uint16_t code) {
  return CommandBits(command) + address * 0x100000 + code * 0x100;
}

// The code a channel word carries.
constexpr std::uint16_t CodeOfChannelWord(std::int32_t word) {
  return static_cast<std::uint16_t>((static_cast<std::uint32_t>(word) >> 8) & LargestChannelCode);
}

// Mode 0 to 3 in bits 9-8, the channel mask in bits 7-0.
constexpr std::int32_t PowerDownWord(int mode, std::uint8_t mask) {
  return CommandBits(PowerDownDacs) + mode * 0x100 + mask;
}

constexpr std::int32_t LdacWord(std::uint8_t mask) {
  return CommandBits(LoadLdacRegister) + mask;
}

// r = 1 internal reference, 0 external.
constexpr std::int32_t ReferenceWord(int r) {
  return CommandBits(SetupReference) + r;
}

// s = 0 for 0x000, 1 for 0x800, 2 for 0xFFF.
constexpr std::int32_t ClearCodeWord(int s) {
  return CommandBits(LoadClearCode) + s;
}

// Group 0 is DAC0 to DAC7; any other index is taken as the DAC8 to DAC15
// group, as the raw write's option pair does.
constexpr std::uint8_t GroupRequest(int group) {
  return group == 0 ? board::DacLowRequest : board::DacHighRequest;
}

constexpr std::uint8_t ChannelMask(const GroupTicks& ticked) {
  unsigned mask = 0;
  for (std::size_t i = 0; i < ticked.size(); ++i) {
    if (ticked[i]) {
      mask |= 1U << i;
    }
  }
  return static_cast<std::uint8_t>(mask);
}

constexpr GroupTicks TicksOfMask(std::uint16_t mask) {
  GroupTicks ticked{};
  for (std::size_t i = 0; i < ticked.size(); ++i) {
    ticked[i] = ((mask >> i) & 1U) != 0;
  }
  return ticked;
}

}  // namespace kx::dac
