#include "dac/dac_operations.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "board/link_requests.h"
#include "dac_rig.h"

namespace kx::dac {
namespace {

using board::MessageIcon;
using rig::AllTicked;
using rig::DacRig;
using rig::LinkKind;
using rig::NoneTicked;
using rig::Sent;
using rig::StartupTexts;
using rig::Ticked;
using Words = DacOperations::StoredWords;

using kx::testing::ShownDac;

constexpr int kLow = 0xD9;
constexpr int kHigh = 0xDA;
constexpr int kPulse = 0xDE;

// The two load buttons share their shape: a method, a command offset and
// their own pair of stored arrays.
struct LoadButton {
  const char* name;
  bool (ShownDac::*load)(const DacOperations::ChannelTicks&, const DacOperations::ChannelTexts&,
                         bool);
  std::int32_t command_bits;
  const Words& (ShownDac::*low)() const;
  const Words& (ShownDac::*high)() const;
};

const std::vector<LoadButton> kButtons = {
    {"Load Input Register", &ShownDac::LoadInputRegisters, 0x00000000, &ShownDac::InputRegWordsLow,
     &ShownDac::InputRegWordsHigh},
    {"Update DAC Register", &ShownDac::UpdateDacRegisters, 0x01000000, &ShownDac::DacRegWordsLow,
     &ShownDac::DacRegWordsHigh},
};

// What a load click sends: the low group, the high group, then the pulse.
std::vector<Sent> LoadRequests(const Words& low, const Words& high, bool pulse) {
  std::vector<Sent> sent;
  for (const std::int32_t word : low) {
    sent.push_back({kLow, word});
  }
  for (const std::int32_t word : high) {
    sent.push_back({kHigh, word});
  }
  if (pulse) {
    sent.push_back({kPulse, 0});
  }
  return sent;
}

Words Plus(Words words, std::int32_t bits) {
  for (std::int32_t& word : words) {
    word += bits;
  }
  return words;
}

// A slot never loaded holds its own channel's word with code 0, so that
// resending it touches no other channel.
const Words kUnloaded = {0x00000000, 0x00100000, 0x00200000, 0x00300000,
                         0x00400000, 0x00500000, 0x00600000, 0x00700000};

// `kUnloaded` of a button with the given slots loaded.
Words Loaded(std::int32_t command_bits, std::initializer_list<std::pair<int, std::int32_t>> slots) {
  Words words = Plus(kUnloaded, command_bits);
  for (const auto& [slot, word] : slots) {
    words[static_cast<std::size_t>(slot)] = word;
  }
  return words;
}

class DacOperationsTest : public ::testing::TestWithParam<LinkKind> {
 protected:
  DacRig rig{GetParam()};
  ShownDac& ops = *rig.ops;
};

INSTANTIATE_TEST_SUITE_P(BothLinks, DacOperationsTest,
                         ::testing::Values(LinkKind::Cvn, LinkKind::Io), rig::LinkParamName);

// ---- Load Input Register / Update DAC Register ----

TEST_P(DacOperationsTest, FirstLoadWithStartupStateSendsAllSixteenThenThePulse) {
  const Words low = {0x0001FF00, 0x0012FF00, 0x0023FF00, 0x0034FF00,
                     0x0045FF00, 0x0056FF00, 0x0067FF00, 0x007FFF00};
  const Words high = {0x0000FF00, 0x0011FF00, 0x0022FF00, 0x0033FF00,
                      0x0044FF00, 0x0055FF00, 0x0066FF00, 0x0077FF00};
  const std::vector<std::string> last_status = {"DAC Write: 0x77FF00", "DAC Write: 0x177FF00"};
  for (std::size_t b = 0; b < kButtons.size(); ++b) {
    const LoadButton& button = kButtons[b];
    SCOPED_TRACE(button.name);
    DacRig fresh(GetParam());
    ShownDac& panel = *fresh.ops;
    EXPECT_TRUE((panel.*button.load)(AllTicked(), StartupTexts(), true));

    const Words want_low = Plus(low, button.command_bits);
    const Words want_high = Plus(high, button.command_bits);
    EXPECT_EQ(fresh.Requests(), LoadRequests(want_low, want_high, true));
    EXPECT_EQ((panel.*button.low)(), want_low);
    EXPECT_EQ((panel.*button.high)(), want_high);
    // One echo per word; the pulse leaves the line alone.
    ASSERT_EQ(fresh.port.status_lines.size(), 16U);
    EXPECT_EQ(fresh.port.status_lines.back(), last_status[b]);
    EXPECT_TRUE(fresh.port.messages.empty());
  }
}

TEST_P(DacOperationsTest, TraceLinesCarryTheSplitWordOnEachLink) {
  ASSERT_TRUE(ops.UpdateDacRegisters(Ticked({3, 15}), StartupTexts(), true));
  const std::vector<std::string> lines = rig.Lines();
  ASSERT_EQ(lines.size(), 17U);
  EXPECT_EQ(lines[0], rig.Line(kLow, 0x01000000));
  EXPECT_EQ(lines[3], rig.Line(kLow, 0x0134FF00));
  EXPECT_EQ(lines[15], rig.Line(kHigh, 0x0177FF00));
  EXPECT_EQ(lines[16], rig.Line(kPulse, 0));
  if (GetParam() == LinkKind::Cvn) {
    EXPECT_EQ(lines[3], "request handle=1 code=0xD9 value=0xFF00 index=308 dir=0 len=0 status=0");
  } else {
    EXPECT_EQ(lines[3], "request code=0xD9 value=0xFF00 index=308 dir=0 len=0 status=0");
  }
}

TEST_P(DacOperationsTest, UntickedSlotsKeepAndResendTheirStoredWords) {
  for (const LoadButton& button : kButtons) {
    SCOPED_TRACE(button.name);
    DacRig fresh(GetParam());
    ShownDac& panel = *fresh.ops;
    DacOperations::ChannelTexts texts = StartupTexts();
    texts[3] = "7FF";

    const std::int32_t command = button.command_bits;
    ASSERT_TRUE((panel.*button.load)(Ticked({3}), texts, true));
    // Slots never written hold their own channel's word with code 0: no
    // word lands on DAC0 or DAC8.
    const Words first = Loaded(command, {{3, 0x0037FF00 + command}});
    EXPECT_EQ(fresh.Requests(), LoadRequests(first, Plus(kUnloaded, command), true));
    EXPECT_EQ(fresh.port.status_lines.back(),
              command == 0 ? "DAC Write: 0x700000" : "DAC Write: 0x1700000");

    // DAC3's box is edited but no longer ticked: its old word goes again.
    fresh.Mark();
    texts[3] = "123";
    texts[5] = "1FF";
    ASSERT_TRUE((panel.*button.load)(Ticked({5}), texts, true));
    const Words second = Loaded(command, {{3, 0x0037FF00 + command}, {5, 0x0051FF00 + command}});
    EXPECT_EQ(fresh.Requests(), LoadRequests(second, Plus(kUnloaded, command), true));
  }
}

TEST_P(DacOperationsTest, NoBoxTickedStillSendsEveryStoredWordAndThePulse) {
  ASSERT_TRUE(ops.LoadInputRegisters(Ticked({0, 9}), StartupTexts(), true));
  rig.Mark();
  ASSERT_TRUE(ops.LoadInputRegisters(NoneTicked(), StartupTexts(), true));
  EXPECT_EQ(rig.Requests(),
            LoadRequests(Loaded(0, {{0, 0x0001FF00}}), Loaded(0, {{1, 0x0011FF00}}), true));
}

TEST_P(DacOperationsTest, Dac11UpdateFillsSlotThreeOfTheHighArray) {
  DacOperations::ChannelTexts texts = StartupTexts();
  texts[11] = "FFF";
  ASSERT_TRUE(ops.UpdateDacRegisters(Ticked({11}), texts, true));
  EXPECT_EQ(ops.DacRegWordsHigh(), Loaded(0x01000000, {{3, 0x013FFF00}}));
  EXPECT_EQ(ops.DacRegWordsLow(), Plus(kUnloaded, 0x01000000));
  const std::vector<Sent> sent = rig.Requests();
  ASSERT_EQ(sent.size(), 17U);
  EXPECT_EQ(sent[11], (Sent{kHigh, 0x013FFF00}));
}

TEST_P(DacOperationsTest, TheTwoButtonsKeepSeparateArrays) {
  ASSERT_TRUE(ops.LoadInputRegisters(AllTicked(), StartupTexts(), true));
  rig.Mark();
  ASSERT_TRUE(ops.UpdateDacRegisters(NoneTicked(), StartupTexts(), true));
  const Words unloaded = Plus(kUnloaded, 0x01000000);
  EXPECT_EQ(rig.Requests(), LoadRequests(unloaded, unloaded, true));
  EXPECT_EQ(ops.DacRegWordsLow(), unloaded);
  EXPECT_EQ(ops.DacRegWordsHigh(), unloaded);
  EXPECT_EQ(ops.InputRegWordsLow()[7], 0x007FFF00);

  ASSERT_TRUE(ops.UpdateDacRegisters(Ticked({2}), StartupTexts(), true));
  EXPECT_EQ(ops.InputRegWordsLow()[2], 0x0023FF00);
  EXPECT_EQ(ops.DacRegWordsLow()[2], 0x0123FF00);
}

TEST_P(DacOperationsTest, WithoutAutoPulseTheClickEndsOnTheSixteenthWord) {
  for (const LoadButton& button : kButtons) {
    SCOPED_TRACE(button.name);
    DacRig fresh(GetParam());
    ASSERT_TRUE(((*fresh.ops).*button.load)(Ticked({7}), StartupTexts(), false));
    const std::vector<Sent> sent = fresh.Requests();
    ASSERT_EQ(sent.size(), 16U);
    EXPECT_EQ(sent[7], (Sent{kLow, 0x007FFF00 + button.command_bits}));
    EXPECT_EQ(sent.back(), (Sent{kHigh, 0x00700000 + button.command_bits}));
    EXPECT_EQ(fresh.port.status_lines.back(),
              button.command_bits == 0 ? "DAC Write: 0x700000" : "DAC Write: 0x1700000");
  }
}

TEST_P(DacOperationsTest, EmptyTickedTextLoadsCodeZero) {
  DacOperations::ChannelTexts texts = StartupTexts();
  ASSERT_TRUE(ops.LoadInputRegisters(AllTicked(), texts, false));
  texts[6] = "";
  ASSERT_TRUE(ops.LoadInputRegisters(Ticked({6}), texts, false));
  EXPECT_EQ(ops.InputRegWordsLow()[6], 0x00600000);
}

TEST_P(DacOperationsTest, UntickedTextsAreNotLookedAt) {
  DacOperations::ChannelTexts texts;
  texts.fill("FFFFFFFFFFFF");
  texts[4] = "abc";
  ASSERT_TRUE(ops.LoadInputRegisters(Ticked({4}), texts, true));
  EXPECT_TRUE(rig.port.messages.empty());
  EXPECT_EQ(ops.InputRegWordsLow(), Loaded(0, {{4, 0x004ABC00}}));
  EXPECT_EQ(rig.Requests().size(), 17U);
}

TEST_P(DacOperationsTest, CodesUpToFffPassWhateverTheirLeadingZeros) {
  DacOperations::ChannelTexts texts = StartupTexts();
  texts[0] = "FFF";
  texts[1] = "0000000FFF";
  texts[8] = "fff";
  texts[9] = " 0";
  ASSERT_TRUE(ops.LoadInputRegisters(Ticked({0, 1, 8, 9}), texts, false));
  EXPECT_EQ(ops.InputRegWordsLow()[0], 0x000FFF00);
  EXPECT_EQ(ops.InputRegWordsLow()[1], 0x001FFF00);
  EXPECT_EQ(ops.InputRegWordsHigh()[0], 0x000FFF00);
  EXPECT_EQ(ops.InputRegWordsHigh()[1], 0x00100000);
}

// ---- Codes above FFF: the whole click is refused ----

TEST_P(DacOperationsTest, OversizedCodeRefusesTheClickWithOneMessage) {
  for (const LoadButton& button : kButtons) {
    SCOPED_TRACE(button.name);
    DacRig fresh(GetParam());
    ShownDac& panel = *fresh.ops;
    ASSERT_TRUE((panel.*button.load)(AllTicked(), StartupTexts(), true));
    const Words low_before = (panel.*button.low)();
    const Words high_before = (panel.*button.high)();
    fresh.Mark();
    const std::size_t echoes = fresh.port.status_lines.size();

    DacOperations::ChannelTexts texts = StartupTexts();
    texts[0] = "100";  // fine, and must not be stored either
    texts[3] = "1000";
    texts[11] = "FFFF";
    texts[14] = "123456789";
    texts[15] = "ABCDEF0123456789ABCDEF0123456789";
    EXPECT_FALSE((panel.*button.load)(AllTicked(), texts, true));

    ASSERT_EQ(fresh.port.messages.size(), 1U);
    EXPECT_EQ(fresh.port.messages[0].text,
              "DAC codes above FFF do not fit in 12 bits:\n"
              "DAC3 \"1000\"\n"
              "DAC11 \"FFFF\"\n"
              "DAC14 \"123456789\"\n"
              "DAC15 \"ABCDEF0123456789ABCDEF01...\"\n"
              "Nothing was sent.");
    EXPECT_EQ(fresh.port.messages[0].title, "Error");
    EXPECT_EQ(fresh.port.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(fresh.Lines().empty());
    EXPECT_EQ(fresh.port.status_lines.size(), echoes);
    EXPECT_EQ((panel.*button.low)(), low_before);
    EXPECT_EQ((panel.*button.high)(), high_before);
  }
}

TEST_P(DacOperationsTest, OversizedCodeBoundary) {
  struct Case {
    const char* text;
    bool sent;
  };
  for (const Case c : {Case{"FFF", true}, Case{"1000", false}, Case{"0FFF", true},
                       Case{"00001000", false}, Case{"FFF0", false}, Case{"1000G", false}}) {
    DacRig fresh(GetParam());
    DacOperations::ChannelTexts texts = StartupTexts();
    texts[12] = c.text;
    EXPECT_EQ(fresh.ops->LoadInputRegisters(Ticked({12}), texts, true), c.sent) << c.text;
    EXPECT_EQ(fresh.Requests().size(), c.sent ? 17U : 0U) << c.text;
    EXPECT_EQ(fresh.port.messages.size(), c.sent ? 0U : 1U) << c.text;
  }
}

TEST_P(DacOperationsTest, RefusalQuotesWholeCharactersOnly) {
  DacOperations::ChannelTexts texts = StartupTexts();
  // 23 ASCII bytes then a two-byte character straddling the cut.
  texts[2] = std::string(23, 'F') + "\xC3\xA4" + "FFF";
  EXPECT_FALSE(ops.LoadInputRegisters(Ticked({2}), texts, true));
  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_NE(rig.port.messages[0].text.find("DAC2 \"" + std::string(23, 'F') + "...\"\n"),
            std::string::npos)
      << rig.port.messages[0].text;
}

// ---- Raw write ----

TEST_P(DacOperationsTest, RawWriteSendsAllThirtyTwoBitsToTheChosenGroup) {
  struct Case {
    int group;
    const char* text;
    int code;
    std::int32_t word;
    const char* status;
  };
  const std::vector<Case> cases = {
      {1, "1234ABCD", kHigh, 0x1234ABCD, "DAC Write: 0x1234ABCD"},
      {0, "000000", kLow, 0, "DAC Write: 0x0"},
      {0, "8000001", kLow, 0x08000001, "DAC Write: 0x8000001"},
      {1, "80000000", kHigh, INT32_MIN, "DAC Write: 0x80000000"},
      {0, "ffffffff", kLow, -1, "DAC Write: 0xFFFFFFFF"},
      {1, "00000000FF", kHigh, 0xFF, "DAC Write: 0xFF"},
  };
  for (const Case& c : cases) {
    DacRig fresh(GetParam());
    EXPECT_TRUE(fresh.ops->RawWrite(c.group, c.text)) << c.text;
    EXPECT_EQ(fresh.Requests(), (std::vector<Sent>{{c.code, c.word}})) << c.text;
    EXPECT_EQ(fresh.port.status_lines.back(), c.status);
    EXPECT_TRUE(fresh.port.messages.empty());
    EXPECT_EQ(fresh.ops->InputRegWordsLow(), kUnloaded);
    EXPECT_EQ(fresh.ops->DacRegWordsHigh(), Plus(kUnloaded, 0x01000000));
  }
}

TEST_P(DacOperationsTest, RawWriteNegativeWordTravelsWithANegativeIndex) {
  ASSERT_TRUE(ops.RawWrite(1, "8234ABCD"));
  ASSERT_EQ(rig.Lines().size(), 1U);
  EXPECT_EQ(rig.Lines()[0], rig.Line(kHigh, static_cast<std::int32_t>(0x8234ABCDU)));
  EXPECT_NE(rig.Lines()[0].find("value=0xABCD index=-32204 "), std::string::npos);
}

TEST_P(DacOperationsTest, RawWriteRefusesTextsThatGiveNoWord) {
  struct Case {
    const char* text;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"",
       "The 32 Bit Hex Value is empty. Type one to eight hexadecimal digits. Nothing was sent."},
      {"   ",
       "The 32 Bit Hex Value is empty. Type one to eight hexadecimal digits. Nothing was sent."},
      {"123456789",
       "The 32 Bit Hex Value \"123456789\" has more than eight hexadecimal digits. Nothing was "
       "sent."},
      {"12G4", "The 32 Bit Hex Value \"12G4\" is not a hexadecimal number. Nothing was sent."},
      {"0x12", "The 32 Bit Hex Value \"0x12\" is not a hexadecimal number. Nothing was sent."},
      {"-1", "The 32 Bit Hex Value \"-1\" is not a hexadecimal number. Nothing was sent."},
      {"12 34", "The 32 Bit Hex Value \"12 34\" is not a hexadecimal number. Nothing was sent."},
  };
  for (const Case& c : cases) {
    DacRig fresh(GetParam());
    EXPECT_FALSE(fresh.ops->RawWrite(0, c.text)) << c.text;
    EXPECT_TRUE(fresh.Lines().empty()) << c.text;
    EXPECT_TRUE(fresh.port.status_lines.empty()) << c.text;
    ASSERT_EQ(fresh.port.messages.size(), 1U) << c.text;
    EXPECT_EQ(fresh.port.messages[0].text, c.message);
    EXPECT_EQ(fresh.port.messages[0].title, "Error");
    EXPECT_EQ(fresh.port.messages[0].icon, MessageIcon::Exclamation);
  }
}

// ---- Configuration registers ----

TEST_P(DacOperationsTest, PowerDownProgramSendsModeAndMaskWithTheGroupsCode) {
  struct Case {
    int group;
    GroupTicks ticked;
    int list_index;
    Sent sent;
  };
  const GroupTicks dac0_dac3 = {true, false, false, true, false, false, false, false};
  GroupTicks all{};
  all.fill(true);
  const std::vector<Case> cases = {
      {0, dac0_dac3, 1, {kLow, 0x04000109}},
      {1, dac0_dac3, 1, {kHigh, 0x04000109}},  // DAC8 and DAC11
      {0, all, 3, {kLow, 0x040003FF}},
      {1, all, 3, {kHigh, 0x040003FF}},
      {1, {false, false, true, false, false, true, false, false}, 2, {kHigh, 0x04000224}},
      {0, dac0_dac3, -1, {kLow, 0x04000009}},  // no item chosen: Normal Mode
      {0, dac0_dac3, 0, {kLow, 0x04000009}},
      {0, {}, 2, {kLow, 0x04000200}},
  };
  for (const Case& c : cases) {
    DacRig fresh(GetParam());
    fresh.ops->ProgramPowerDown(c.group, c.ticked, c.list_index);
    EXPECT_EQ(fresh.Requests(), std::vector<Sent>{c.sent}) << c.group << " " << c.list_index;
    EXPECT_EQ(fresh.port.status_lines.back(),
              fmt::format("DAC Write: 0x{:X}", static_cast<std::uint32_t>(c.sent.word)));
  }
}

TEST_P(DacOperationsTest, EachGroupTakesTheModeFromItsOwnList) {
  // DAC0 to DAC7 list on "Normal Mode", DAC8 to DAC15 list on "Three-state".
  const GroupTicks dac9 = {false, true, false, false, false, false, false, false};
  ops.ProgramPowerDown(1, dac9, 3);
  ops.ProgramPowerDown(0, dac9, 0);
  EXPECT_EQ(rig.Requests(), (std::vector<Sent>{{kHigh, 0x04000302}, {kLow, 0x04000002}}));
}

TEST_P(DacOperationsTest, SavedMasksAreSharedByTheGroupsAndReTickTheBoxes) {
  const GroupTicks dac2_dac5 = {false, false, true, false, false, true, false, false};
  ops.ProgramPowerDown(0, dac2_dac5, 2);
  EXPECT_EQ(rig.Requests(), (std::vector<Sent>{{kLow, 0x04000224}}));
  EXPECT_EQ(ops.SavedPowerDownMask(), (DacOperations::PowerDownMasks{0, 0, 0x24, 0}));

  // Choosing "100K to GND" in the other group's list shows DAC10 and DAC13.
  EXPECT_EQ(ops.PowerDownTicks(2), dac2_dac5);
  for (const int never : {0, 1, 3, -1, 4, 99}) {
    EXPECT_EQ(ops.PowerDownTicks(never), GroupTicks{}) << never;
  }

  // Programming the same mode from the other group rewrites the one entry.
  const GroupTicks dac15 = {false, false, false, false, false, false, false, true};
  ops.ProgramPowerDown(1, dac15, 2);
  EXPECT_EQ(ops.SavedPowerDownMask(), (DacOperations::PowerDownMasks{0, 0, 0x80, 0}));
  EXPECT_EQ(ops.PowerDownTicks(2), dac15);

  // No item chosen stores into the Normal Mode entry.
  ops.ProgramPowerDown(0, dac2_dac5, -1);
  EXPECT_EQ(ops.SavedPowerDownMask(), (DacOperations::PowerDownMasks{0x24, 0, 0x80, 0}));
  EXPECT_EQ(ops.PowerDownTicks(0), dac2_dac5);
  // Listing a mode sends nothing.
  EXPECT_EQ(rig.Requests().size(), 3U);
}

TEST_P(DacOperationsTest, PowerDownIndexTheListDoesNotHaveCountsAsNormalMode) {
  const GroupTicks dac1 = {false, true, false, false, false, false, false, false};
  ops.ProgramPowerDown(0, dac1, 4);
  ops.ProgramPowerDown(0, dac1, -7);
  EXPECT_EQ(rig.Requests(), (std::vector<Sent>{{kLow, 0x04000002}, {kLow, 0x04000002}}));
  EXPECT_EQ(ops.SavedPowerDownMask(), (DacOperations::PowerDownMasks{0x02, 0, 0, 0}));
}

TEST_P(DacOperationsTest, LdacProgramSendsTheMask) {
  GroupTicks all{};
  all.fill(true);
  ops.ProgramLdac(1, all);
  ops.ProgramLdac(1, {});
  ops.ProgramLdac(0, {true, false, false, false, false, false, true, false});
  EXPECT_EQ(rig.Requests(),
            (std::vector<Sent>{{kHigh, 0x060000FF}, {kHigh, 0x06000000}, {kLow, 0x06000041}}));
  EXPECT_EQ(rig.port.status_lines.back(), "DAC Write: 0x6000041");
}

TEST_P(DacOperationsTest, ReferenceChoiceSendsOnlyForItsTwoItems) {
  struct Case {
    int group;
    int list_index;
    std::vector<Sent> sent;
  };
  const std::vector<Case> cases = {
      {0, 1, {{kLow, 0x08000001}}},
      {1, 0, {{kHigh, 0x08000000}}},
      {1, 1, {{kHigh, 0x08000001}}},
      {0, -1, {}},
      {0, 2, {}},
  };
  for (const Case& c : cases) {
    DacRig fresh(GetParam());
    fresh.ops->ChooseReference(c.group, c.list_index);
    EXPECT_EQ(fresh.Requests(), c.sent) << c.group << " " << c.list_index;
  }
}

TEST_P(DacOperationsTest, ReferenceIsSentAfterPowerDownChoicesToo) {
  ops.ProgramPowerDown(0, {true}, 1);
  (void)ops.PowerDownTicks(1);
  (void)ops.PowerDownTicks(3);
  rig.Mark();
  ops.ChooseReference(0, 1);
  ops.ChooseReference(1, 0);
  EXPECT_EQ(rig.Requests(), (std::vector<Sent>{{kLow, 0x08000001}, {kHigh, 0x08000000}}));
}

TEST_P(DacOperationsTest, ClearCodeChoiceSendsAtOnce) {
  struct Case {
    int group;
    int list_index;
    Sent sent;
  };
  const std::vector<Case> cases = {
      {1, 2, {kHigh, 0x05000002}}, {1, 0, {kHigh, 0x05000000}}, {0, 1, {kLow, 0x05000001}},
      {0, -1, {kLow, 0x05000000}}, {0, 3, {kLow, 0x05000000}},
  };
  for (const Case& c : cases) {
    DacRig fresh(GetParam());
    fresh.ops->ChooseClearCode(c.group, c.list_index);
    EXPECT_EQ(fresh.Requests(), std::vector<Sent>{c.sent}) << c.group << " " << c.list_index;
  }
}

// ---- Control lines ----

TEST_P(DacOperationsTest, ControlLinesSendOneDataLessRequestEach) {
  struct Case {
    const char* caption;
    void (*press)(ShownDac&);
    int code;
  };
  const std::vector<Case> cases = {
      {"CLR High", [](ShownDac& o) { o.ClrLine(0); }, 220},
      {"CLR Low", [](ShownDac& o) { o.ClrLine(1); }, 223},
      {"LDAC High", [](ShownDac& o) { o.LdacLine(0); }, 226},
      {"LDAC Low", [](ShownDac& o) { o.LdacLine(1); }, 227},
      {"Pulse LDAC", [](ShownDac& o) { o.PulseLdac(); }, 222},
  };
  for (const Case& c : cases) {
    DacRig fresh(GetParam());
    c.press(*fresh.ops);
    EXPECT_EQ(fresh.Lines(), std::vector<std::string>{fresh.Line(c.code, 0)}) << c.caption;
    EXPECT_TRUE(fresh.port.status_lines.empty()) << c.caption;
  }
}

TEST_P(DacOperationsTest, LdacLowThenPulseAndDoublePulse) {
  ASSERT_TRUE(ops.RawWrite(0, "6000041"));
  ops.LdacLine(1);
  ops.PulseLdac();
  ops.PulseLdac();
  EXPECT_EQ(rig.Requests(),
            (std::vector<Sent>{{kLow, 0x06000041}, {227, 0}, {kPulse, 0}, {kPulse, 0}}));
  // The status line keeps the last word written.
  EXPECT_EQ(rig.port.status_lines, std::vector<std::string>{"DAC Write: 0x6000041"});
}

TEST_P(DacOperationsTest, AFailingBoardGetsEveryRequestAndNoMessage) {
  board::sim::SimSettings absent;
  absent.present = false;
  DacRig gone(GetParam(), absent);
  ASSERT_EQ(gone.port.messages.size(), 1U);  // the start-up's own message
  EXPECT_TRUE(gone.ops->LoadInputRegisters(AllTicked(), StartupTexts(), true));
  gone.ops->ChooseReference(1, 1);
  gone.ops->ClrLine(0);
  const std::vector<std::string> lines = gone.Lines();
  ASSERT_EQ(lines.size(), 19U);
  for (const std::string& line : lines) {
    EXPECT_NE(line.find(" status=-"), std::string::npos) << line;
  }
  EXPECT_EQ(gone.port.messages.size(), 1U);
  EXPECT_EQ(gone.port.status_lines.back(), "DAC Write: 0x8000001");
}

}  // namespace
}  // namespace kx::dac
