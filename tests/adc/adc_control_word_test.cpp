#include "adc/adc_control_word.h"

#include <gtest/gtest.h>

namespace kx::adc {
namespace {

constexpr std::int32_t Passed(std::uint32_t word) {
  return static_cast<std::int32_t>(word);
}

constexpr AdcConfiguration Config(std::int16_t range, std::int16_t weak_tri, std::int16_t coding) {
  return AdcConfiguration{range, weak_tri, coding};
}

TEST(AdcConfigurationWord, Version2AddsTheBitsToAConfigurationWordWithHighHalfZero) {
  struct Case {
    AdcConfiguration config;
    std::uint32_t word;
  };
  const Case cases[] = {
      {Config(0, 0, 0), 0x00008380},          {Config(0, 0x40, 0), 0x000083C0},  // only "Weak"
      {Config(0x20, 0x40, 0x10), 0x000083F0},  // every list at entry 1
      {Config(0x20, 0, 0x10), 0x000083B0},     // "0V to VREFA" then "Straight Binary"
      {Config(0x20, 0, 0), 0x000083A0},       {Config(0, 0, 0x10), 0x00008390},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConfigurationWord(AdcWordRules::Version2, c.config), Passed(c.word))
        << std::hex << c.word;
  }
}

TEST(AdcConfigurationWord, ClassicStartsFrom8390AndPassesTheHighHalfAllOnes) {
  struct Case {
    AdcConfiguration config;
    std::uint32_t word;
  };
  const Case cases[] = {
      {Config(0, 0, 0), 0xFFFF8390},
      {Config(0x20, 0, 0), 0xFFFF83B0},
      {Config(0, 0x40, 0), 0xFFFF83D0},
      {Config(0x20, 0x40, 0), 0xFFFF83F0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConfigurationWord(AdcWordRules::Classic, c.config), Passed(c.word))
        << std::hex << c.word;
  }
}

TEST(AdcChannelWord, AddressStepsBy0x400AndCarriesTheBitsOfTheRules) {
  struct Case {
    AdcWordRules rules;
    AdcConfiguration config;
    int channel;
    std::uint32_t word;
  };
  const Case cases[] = {
      {AdcWordRules::Version2, Config(0, 0, 0), 0, 0x8300},
      {AdcWordRules::Version2, Config(0, 0, 0), 1, 0x8700},
      {AdcWordRules::Version2, Config(0, 0, 0), 2, 0x8B00},
      {AdcWordRules::Version2, Config(0, 0, 0), 15, 0xBF00},
      // Version2 channel words carry Range and Coding, never Weak/Tri.
      {AdcWordRules::Version2, Config(0x20, 0x40, 0x10), 0, 0x8330},
      {AdcWordRules::Version2, Config(0, 0x40, 0), 7, 0x9F00},
      {AdcWordRules::Version2, Config(0, 0, 0x10), 15, 0xBF10},
      // Classic ones carry Range and Weak/Tri; there is no Coding.
      {AdcWordRules::Classic, Config(0x20, 0x40, 0), 0, 0x8360},
      {AdcWordRules::Classic, Config(0, 0x40, 0), 15, 0xBF40},
      {AdcWordRules::Classic, Config(0, 0, 0x10), 3, 0x8F00},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChannelWord(c.rules, c.config, c.channel), Passed(c.word))
        << "channel " << c.channel << " word " << std::hex << c.word;
  }
}

TEST(AdcFirstWords, ReadAndCaptureStartWithASignExtendedWord) {
  const AdcConfiguration all = Config(0x20, 0x40, 0x10);
  EXPECT_EQ(FirstReadWord(AdcWordRules::Version2, Config(0, 0, 0)), Passed(0xFFFF8300));
  EXPECT_EQ(FirstReadWord(AdcWordRules::Version2, all), Passed(0xFFFF8330));
  // The classic read starts with the fixed word whatever the lists hold...
  EXPECT_EQ(FirstReadWord(AdcWordRules::Classic, Config(0, 0, 0)), Passed(0xFFFF8310));
  EXPECT_EQ(FirstReadWord(AdcWordRules::Classic, all), Passed(0xFFFF8310));
  // ...but its capture starts with channel 0's own word.
  EXPECT_EQ(CapturePrimingWord(AdcWordRules::Classic, all), Passed(0xFFFF8360));
  EXPECT_EQ(CapturePrimingWord(AdcWordRules::Classic, Config(0, 0, 0)), Passed(0xFFFF8300));
  EXPECT_EQ(CapturePrimingWord(AdcWordRules::Version2, all), Passed(0xFFFF8330));
}

TEST(AdcFixedWords, StartupAndChannel0Words) {
  EXPECT_EQ(FixedChannel0Word, Passed(0xFFFF8310));
  EXPECT_EQ(StartupWords,
            (std::array<std::int32_t, 4>{0xFFFF, 0xFFFF, Passed(0xFFFF8390), 0xFFFF}));
  EXPECT_EQ(WithHighHalfOnes(0x8390), Passed(0xFFFF8390));
  EXPECT_EQ(WithHighHalfOnes(Passed(0xFFFF8390)), Passed(0xFFFF8390));
  EXPECT_EQ(WithHighHalfOnes(0x12348000), Passed(0xFFFF8000));
}

}  // namespace
}  // namespace kx::adc
