// The window's load words, the three lists and "Write", on the simulated
// board through both links.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adc/adc_operations.h"
#include "adc_rig.h"
#include "board/cvn_board_link.h"
#include "support/scripted_library.h"

namespace kx::adc {
namespace {

using testing::AdcRig;
using Words = std::vector<std::uint32_t>;

class AdcConfigurationTest : public ::testing::TestWithParam<AdcWordRules> {};

INSTANTIATE_TEST_SUITE_P(BothPrograms, AdcConfigurationTest,
                         ::testing::Values(AdcWordRules::Version2, AdcWordRules::Classic),
                         testing::RulesName);

TEST_P(AdcConfigurationTest, StartupSendsTheFourLoadWords) {
  AdcRig rig(GetParam());
  rig.ops.ResetResults();
  rig.ops.SendStartupWords();
  EXPECT_EQ(rig.TakeAdcWords(), (Words{0xFFFF, 0xFFFF, 0xFFFF8390, 0xFFFF}));
  EXPECT_EQ(rig.port.status_lines.back(), "ADC Write: 0xFFFF");
  EXPECT_EQ(rig.ops.AdcResults(), (std::array<std::int32_t, 16>{}));
  // The last word leaves the converter on channel 15, "Weak", half span,
  // straight binary.
  EXPECT_EQ(rig.board.Converter().ControlRegister(), 0xFFFF);
}

TEST(AdcStartup, TraceLinesCarryIndexMinusOneForTheSignExtendedWord) {
  AdcRig rig(AdcWordRules::Version2);
  rig.ops.SendStartupWords();
  const std::vector<std::string> lines = rig.TakeLines();
  ASSERT_EQ(lines.size(), 4U);
  EXPECT_EQ(lines[0].substr(0, 61),
            "request handle=1 code=0xE4 value=0xFFFF index=0 dir=1 len=3 s");
  EXPECT_EQ(lines[2].substr(0, 62),
            "request handle=1 code=0xE4 value=0x8390 index=-1 dir=1 len=3 s");
}

TEST(AdcResultsReset, ZeroesWhatAReadLeft) {
  AdcRig rig(AdcWordRules::Version2, testing::StaircaseInputs());
  rig.ops.ReadAll("2.50");
  ASSERT_NE(rig.ops.AdcResults()[1], 0);
  rig.ops.ResetResults();
  EXPECT_EQ(rig.ops.AdcResults(), (std::array<std::int32_t, 16>{}));
  EXPECT_EQ(rig.ops.CodeTexts(false)[1], "0");
}

TEST(AdcLists, Version2SendsOneConfigurationWordPerChoice) {
  struct Case {
    std::array<int, 3> lists;
    std::uint32_t word;
    AdcConfiguration config;
  };
  const Case cases[] = {
      {{-1, 1, -1}, 0x83C0, {0, 0x40, 0}},  // only "Weak", the others untouched
      {{1, 1, 1}, 0x83F0, {0x20, 0x40, 0x10}}, {{0, 0, 0}, 0x8380, {0, 0, 0}},
      {{-1, -1, -1}, 0x8380, {0, 0, 0}},       {{1, -1, 1}, 0x83B0, {0x20, 0, 0x10}},
      {{1, 0, 0}, 0x83A0, {0x20, 0, 0}},       {{0, 0, 1}, 0x8390, {0, 0, 0x10}},
  };
  for (const Case& c : cases) {
    AdcRig rig(AdcWordRules::Version2);
    rig.ops.ChooseListEntry(c.lists);
    EXPECT_EQ(rig.TakeAdcWords(), Words{c.word});
    EXPECT_EQ(rig.ops.Configuration().AdcRangeBit, c.config.AdcRangeBit);
    EXPECT_EQ(rig.ops.Configuration().AdcWeakTriBit, c.config.AdcWeakTriBit);
    EXPECT_EQ(rig.ops.Configuration().AdcCodingBit, c.config.AdcCodingBit);
  }
}

TEST(AdcLists, ClassicSendsSignExtended8390PlusRangeAndWeakTri) {
  struct Case {
    std::array<int, 3> lists;
    std::uint32_t word;
  };
  const Case cases[] = {
      {{-1, -1, -1}, 0xFFFF8390},
      {{1, -1, -1}, 0xFFFF83B0},
      {{-1, 1, -1}, 0xFFFF83D0},
      {{1, 1, -1}, 0xFFFF83F0},
      {{0, 0, 1}, 0xFFFF8390},  // no "Coding" list: the third index
                                // means nothing
      {{1, 1, 1}, 0xFFFF83F0},
  };
  for (const Case& c : cases) {
    AdcRig rig(AdcWordRules::Classic);
    rig.ops.ChooseListEntry(c.lists);
    EXPECT_EQ(rig.TakeAdcWords(), Words{c.word});
    EXPECT_EQ(rig.ops.Configuration().AdcCodingBit, 0);
    EXPECT_EQ(rig.port.status_lines.back(), fmt::format("ADC Write: 0x{:X}", c.word));
  }
}

TEST(AdcLists, ChoicesBuildOnEachOtherAndRepeatingOneSendsAgain) {
  AdcRig rig(AdcWordRules::Version2);
  rig.ops.ChooseListEntry({1, -1, -1});  // "0V to VREFA"
  rig.ops.ChooseListEntry({1, -1, 1});   // then "Straight Binary": the range stays
  rig.ops.ChooseListEntry({1, -1, 1});   // the same entry once more
  EXPECT_EQ(rig.TakeAdcWords(), (Words{0x83A0, 0x83B0, 0x83B0}));
  EXPECT_EQ(rig.port.status_lines.back(), "ADC Write: 0x83B0");
  EXPECT_EQ(rig.board.Converter().ControlRegister(), 0x83B0);
  EXPECT_TRUE(rig.port.messages.empty());
}

TEST_P(AdcConfigurationTest, WriteSendsTheTypedWordAndShowsTheReplyInFourDigits) {
  AdcRig rig(GetParam(), testing::StaircaseInputs());
  // Channel 3 selected in straight binary; the next transfer clocks it out.
  rig.link->TransferAdcWord(0x8F10);
  rig.TakeAdcWords();
  const std::optional<std::string> shown = rig.ops.WriteAdc("8310");
  EXPECT_EQ(rig.TakeAdcWords(), Words{0x8310});
  EXPECT_EQ(rig.port.status_lines.back(), "ADC Write: 0x8310");
  // Channel 3 reads 0x300; the reply holds the channel number on top.
  EXPECT_EQ(shown, GetParam() == AdcWordRules::Version2 ? "0x6600" : "0x3300");
  EXPECT_TRUE(rig.port.messages.empty());
}

TEST_P(AdcConfigurationTest, WriteTakesLowerCaseAndShortWords) {
  AdcRig rig(GetParam());
  rig.ops.WriteAdc("83c0");
  rig.ops.WriteAdc("0");
  rig.ops.WriteAdc("ffff");
  EXPECT_EQ(rig.TakeAdcWords(), (Words{0x83C0, 0x0000, 0xFFFF}));
  EXPECT_EQ(rig.port.status_lines.back(), "ADC Write: 0xFFFF");
}

TEST_P(AdcConfigurationTest, WriteRefusesABadWordWithAMessageAndSendsNothing) {
  for (const std::string text : {"", "12345", "83G0"}) {
    AdcRig rig(GetParam());
    EXPECT_EQ(rig.ops.WriteAdc(text), std::nullopt) << text;
    EXPECT_TRUE(rig.TakeLines().empty()) << text;
    EXPECT_TRUE(rig.port.status_lines.empty());
    ASSERT_EQ(rig.port.messages.size(), 1U);
    EXPECT_EQ(rig.port.messages[0].title, "Error");
    EXPECT_EQ(rig.port.messages[0].icon, board::MessageIcon::Exclamation);
    EXPECT_NE(rig.port.messages[0].text.find("1 to 4 hex digits"), std::string::npos);
  }
}

TEST(AdcWrite, ShowsWhateverTheLibraryHandsBack) {
  struct Case {
    std::array<std::uint8_t, 3> bytes;
    bool written;
    const char* shown;
  };
  const Case cases[] = {
      {{0x0A, 0x00, 0x77}, true, "0x000A"},  {{0x1A, 0x00, 0x00}, true, "0x001A"},
      {{0xA5, 0xC3, 0x00}, true, "0xC3A5"},  {{0x00, 0x00, 0x00}, true, "0x0000"},
      {{0x00, 0x00, 0x00}, false, "0x0101"},  // nothing written: the preset bytes
  };
  for (const Case& c : cases) {
    kx::testing::ScriptedLibrary library;
    library.reply = c.bytes;
    library.write_reply = c.written;
    kx::testing::FakeOperator port;
    board::CvnBoardLink link(library, ".");
    AdcOperations core(link, AdcWordRules::Version2);
    kx::testing::ShownAdc ops(core, port);
    EXPECT_EQ(ops.WriteAdc("0000"), c.shown);
    EXPECT_EQ(port.status_lines.back(), "ADC Write: 0x0");
  }
}

}  // namespace
}  // namespace kx::adc
