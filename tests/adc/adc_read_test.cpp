// "Read ADC": the seventeen words, the filing of replies, the code and volt
// texts, on the simulated board through both links.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adc/adc_operations.h"
#include "adc_rig.h"

namespace kx::adc {
namespace {

using testing::AdcRig;
using Texts = std::array<std::string, 16>;
using Words = std::vector<std::uint32_t>;

// Channel words 0x8300 + 0x400 x c | bits, for c = 1..15, then 15 again.
Words ChannelRun(std::uint32_t bits) {
  Words words;
  for (std::uint32_t c = 1; c < 16; ++c) {
    words.push_back((0x8300U + 0x400U * c) | bits);
  }
  words.push_back(0xBF00U | bits);
  return words;
}

Words Prepend(std::uint32_t first, Words rest) {
  rest.insert(rest.begin(), first);
  return rest;
}

TEST(AdcReadWords, Version2StartsWithChannel0SignExtendedAndCarriesRangeAndCoding) {
  struct Case {
    std::array<int, 3> lists;
    std::uint32_t bits;
  };
  const Case cases[] = {
      {{-1, -1, -1}, 0x00}, {{1, -1, -1}, 0x20},
      {{-1, 1, -1}, 0x00},  // Weak/Tri never rides on a channel word
      {{-1, -1, 1}, 0x10},  {{1, 1, 1}, 0x30},
  };
  for (const Case& c : cases) {
    AdcRig rig(AdcWordRules::Version2);
    rig.ops.ChooseListEntry(c.lists);
    rig.TakeAdcWords();
    rig.ops.ReadAll("2.50");
    EXPECT_EQ(rig.TakeAdcWords(), Prepend(0xFFFF8300U | c.bits, ChannelRun(c.bits)));
    EXPECT_EQ(rig.port.status_lines.back(), fmt::format("ADC Write: 0x{:X}", 0xBF00U | c.bits));
  }
}

TEST(AdcReadWords, ClassicStartsWithTheFixedWordAndCarriesRangeAndWeakTri) {
  struct Case {
    std::array<int, 3> lists;
    std::uint32_t bits;
  };
  const Case cases[] = {
      {{-1, -1, -1}, 0x00},
      {{1, -1, -1}, 0x20},
      {{-1, 1, -1}, 0x40},
      {{1, 1, 1}, 0x60},
  };
  for (const Case& c : cases) {
    AdcRig rig(AdcWordRules::Classic);
    rig.ops.ChooseListEntry(c.lists);
    rig.TakeAdcWords();
    rig.ops.ReadAll("ignored");
    EXPECT_EQ(rig.TakeAdcWords(), Prepend(0xFFFF8310U, ChannelRun(c.bits)));
  }
}

TEST(AdcReadFiling, EachReplyGoesToTheChannelTheWordBeforeSelected) {
  // Straight binary: channel c holds 0x100 x c, so a reply filed one channel
  // off would show at once.
  AdcRig rig(AdcWordRules::Version2, testing::StaircaseInputs());
  rig.ops.ChooseListEntry({-1, -1, 1});
  rig.ops.ReadAll("2.50");
  std::array<std::int32_t, 16> expected{};
  for (std::size_t c = 0; c < expected.size(); ++c) {
    expected[c] = static_cast<std::int32_t>(0x100 * c);
  }
  EXPECT_EQ(rig.ops.AdcResults(), expected);
  EXPECT_EQ(rig.ops.CodeTexts(true),
            (Texts{"0x000", "0x100", "0x200", "0x300", "0x400", "0x500", "0x600", "0x700", "0x800",
                   "0x900", "0xA00", "0xB00", "0xC00", "0xD00", "0xE00", "0xF00"}));
  EXPECT_EQ(rig.ops.CodeTexts(false),
            (Texts{"0", "256", "512", "768", "1024", "1280", "1536", "1792", "2048", "2304", "2560",
                   "2816", "3072", "3328", "3584", "3840"}));
  EXPECT_EQ(rig.ops.VoltTexts(),
            (Texts{"0.000", "0.313", "0.625", "0.938", "1.250", "1.563", "1.875", "2.188", "2.500",
                   "2.813", "3.125", "3.438", "3.750", "4.063", "4.375", "4.688"}));
}

TEST(AdcReadFiling, ClassicTakesBits11To0AndItsFirstWordConvertsStraight) {
  // The fixed first word selects straight binary, so channel 0 comes back
  // straight; every channel word after it has no Coding bit, so the rest come
  // back in two's complement (0x800 flipped).
  AdcRig rig(AdcWordRules::Classic, testing::StaircaseInputs());
  rig.ops.ReadAll("");
  EXPECT_EQ(rig.ops.CodeTexts(true),
            (Texts{"0x000", "0x900", "0xA00", "0xB00", "0xC00", "0xD00", "0xE00", "0xF00", "0x000",
                   "0x100", "0x200", "0x300", "0x400", "0x500", "0x600", "0x700"}));
  // No volts in this program: the labels keep their first caption.
  EXPECT_EQ(rig.ops.VoltTexts()[0], "0.000V");
  EXPECT_EQ(rig.ops.VoltTexts()[15], "0.000V");
}

TEST(AdcReadDisplay, BeforeAnyReadCodesAreZeroAndVoltsKeepTheirUnit) {
  for (const AdcWordRules rules : {AdcWordRules::Version2, AdcWordRules::Classic}) {
    AdcRig rig(rules);
    const Texts hex = rig.ops.CodeTexts(true);
    const Texts dec = rig.ops.CodeTexts(false);
    for (std::size_t i = 0; i < 16; ++i) {
      EXPECT_EQ(hex[i], "0x000");
      EXPECT_EQ(dec[i], "0");
      EXPECT_EQ(rig.ops.VoltTexts()[i], "0.000V");
    }
  }
}

TEST(AdcReadDisplay, SwitchingTheFormatMakesNoTransfer) {
  AdcRig rig(AdcWordRules::Version2, testing::StaircaseInputs());
  rig.ops.ChooseListEntry({-1, -1, 1});
  rig.ops.ReadAll("2.50");
  rig.TakeLines();
  const std::size_t status_lines = rig.port.status_lines.size();
  const Texts volts = rig.ops.VoltTexts();
  EXPECT_EQ(rig.ops.CodeTexts(false)[5], "1280");
  EXPECT_EQ(rig.ops.CodeTexts(true)[5], "0x500");
  EXPECT_TRUE(rig.TakeLines().empty());
  EXPECT_EQ(rig.port.status_lines.size(), status_lines);
  EXPECT_EQ(rig.ops.VoltTexts(), volts);
}

TEST(AdcReadVolts, ReferenceRangeAndCodingOfTheMomentOfTheRead) {
  struct Case {
    std::array<int, 3> lists;
    const char* reference;
    const char* channel4;   // 1.25 V in
    const char* channel12;  // 3.75 V in
  };
  const Case cases[] = {
      // "0V to 2xVREFA", either coding: the volts are the inputs.
      {{-1, -1, -1}, "2.50", "1.250", "3.750"},
      {{-1, -1, 1}, "2.50", "1.250", "3.750"},
      // A reference typed differently from the board's scales the volts only.
      {{-1, -1, 1}, "5", "2.500", "7.500"},
      {{-1, -1, 1}, "abc", "0.000", "0.000"},
      {{-1, -1, 1}, "-2.5", "-1.250", "-3.750"},
      {{-1, -1, 0}, "-2.5", "-1.250", "-3.750"},
      // A reference that does not fit single precision counts as 0.
      {{-1, -1, 1}, "1e39", "0.000", "0.000"},
      {{-1, -1, -1}, "1e39", "0.000", "0.000"},
      // "0V to VREFA": 3.75 V is above the span and converts to full scale.
      {{1, -1, 1}, "2.50", "1.250", "2.499"},
      {{1, -1, -1}, "2.50", "1.250", "2.499"},
  };
  for (const Case& c : cases) {
    AdcRig rig(AdcWordRules::Version2, testing::StaircaseInputs());
    rig.ops.ChooseListEntry(c.lists);
    rig.ops.ReadAll(c.reference);
    EXPECT_EQ(rig.ops.VoltTexts()[4], c.channel4) << c.reference;
    EXPECT_EQ(rig.ops.VoltTexts()[12], c.channel12) << c.reference;
  }
}

TEST(AdcReadVolts, KeptUntilTheNextReadWhateverChangesMeanwhile) {
  AdcRig rig(AdcWordRules::Version2, testing::StaircaseInputs());
  rig.ops.ChooseListEntry({-1, -1, 1});
  rig.ops.ReadAll("2.50");
  const Texts before = rig.ops.VoltTexts();
  rig.ops.ChooseListEntry({1, -1, -1});
  EXPECT_EQ(rig.ops.VoltTexts(), before);
  rig.ops.ReadAll("2.50");
  EXPECT_EQ(rig.ops.VoltTexts()[12], "2.499");
}

TEST(AdcReadAbsentBoard, EveryChannelReadsThePresetBytes) {
  struct Case {
    AdcWordRules rules;
    const char* hex;
    const char* dec;
  };
  const Case cases[] = {
      {AdcWordRules::Version2, "0x080", "128"},
      {AdcWordRules::Classic, "0x101", "257"},
  };
  for (const Case& c : cases) {
    AdcRig rig(c.rules, testing::AbsentBoard());
    rig.ops.ReadAll("2.50");
    // A plain read tells nobody: the link status is not looked at.
    EXPECT_TRUE(rig.port.messages.empty());
    EXPECT_EQ(rig.TakeAdcWords().size(), 17U);
    for (std::size_t i = 0; i < 16; ++i) {
      EXPECT_EQ(rig.ops.CodeTexts(true)[i], c.hex);
      EXPECT_EQ(rig.ops.CodeTexts(false)[i], c.dec);
    }
  }
  // 0x080 in two's complement at span 5: 128 / 4096 x 5 + 2.5.
  AdcRig rig(AdcWordRules::Version2, testing::AbsentBoard());
  rig.ops.ReadAll("2.50");
  EXPECT_EQ(rig.ops.VoltTexts()[7], "2.656");
}

}  // namespace
}  // namespace kx::adc
