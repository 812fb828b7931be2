#pragma once

#include <array>
#include <cstdint>

#include "adc/adc_word_rules.h"
#include "board/board_model.h"

namespace kx::adc {

inline constexpr int AdcChannels = board::KX7312Board.adc_channels;

// Fields of the 16-bit ADC control word.
inline constexpr std::int32_t ChannelWordBase = 0x8300;  // bit 15 and bits 9-8
inline constexpr std::int32_t ChannelStep = 0x400;       // channel address in bits 13-10
inline constexpr std::int32_t ConfigurationBase = 0x8380;
inline constexpr std::int32_t ClassicConfigurationBase = 0x8390;
inline constexpr std::int16_t WeakTriField = 0x40;  // 1 = "Weak"
inline constexpr std::int16_t RangeField = 0x20;    // 1 = "0V to VREFA"
inline constexpr std::int16_t CodingField = 0x10;   // 1 = "Straight Binary"

// Channel 0, "Three-State", "0V to 2xVREFA", "Straight Binary", handed over
// sign-extended: the channel-0 capture's word and the classic read's first.
inline constexpr std::int32_t FixedChannel0Word = static_cast<std::int32_t>(0xFFFF8310U);

// The window's load sends these four, in this order, before it is shown.
inline constexpr std::array<std::int32_t, 4> StartupWords = {
    0x0000FFFF, 0x0000FFFF, static_cast<std::int32_t>(0xFFFF8390U), 0x0000FFFF};

// The panel-wide ADC configuration as the lists set it: each value is 0 or
// its field's bit.
struct AdcConfiguration {
  std::int16_t AdcRangeBit = 0;
  std::int16_t AdcWeakTriBit = 0;
  std::int16_t AdcCodingBit = 0;
  bool operator==(const AdcConfiguration&) const = default;
};

// A word passed to TransferAdcWord with its high half all ones; the link
// request then carries index -1.
constexpr std::int32_t WithHighHalfOnes(std::int32_t word) {
  return static_cast<std::int32_t>(0xFFFF0000U | (static_cast<std::uint32_t>(word) & 0xFFFFU));
}

// The configuration bits a channel word carries: Range and Coding, or in the
// classic program Range and Weak/Tri (which it keeps summed).
constexpr std::int32_t ChannelBits(AdcWordRules rules, const AdcConfiguration& config) {
  return rules == AdcWordRules::Version2 ? (config.AdcRangeBit | config.AdcCodingBit)
                                         : (config.AdcRangeBit + config.AdcWeakTriBit);
}

// The word a choice in any list sends, as passed to TransferAdcWord.
constexpr std::int32_t ConfigurationWord(AdcWordRules rules, const AdcConfiguration& config) {
  if (rules == AdcWordRules::Version2) {
    return ConfigurationBase + config.AdcRangeBit + config.AdcWeakTriBit + config.AdcCodingBit;
  }
  return WithHighHalfOnes(ClassicConfigurationBase + config.AdcRangeBit + config.AdcWeakTriBit);
}

// Channel word with the high half 0 (channel 0 to 15).
constexpr std::int32_t ChannelWord(AdcWordRules rules, const AdcConfiguration& config,
                                   int channel) {
  return (ChannelWordBase + ChannelStep * channel) | ChannelBits(rules, config);
}

// First transfer of "Read ADC": its reply is discarded.
constexpr std::int32_t FirstReadWord(AdcWordRules rules, const AdcConfiguration& config) {
  return rules == AdcWordRules::Version2 ? WithHighHalfOnes(ChannelWord(rules, config, 0))
                                         : FixedChannel0Word;
}

// First transfer of the all-channels capture: channel 0's word in both
// programs, never the fixed word.
constexpr std::int32_t CapturePrimingWord(AdcWordRules rules, const AdcConfiguration& config) {
  return WithHighHalfOnes(ChannelWord(rules, config, 0));
}

}  // namespace kx::adc
