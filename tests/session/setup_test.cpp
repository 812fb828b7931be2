// Set-ups: a state taken, written and read back, reached again on a board
// that was told something else; every kind of bad field named; the editions.
#include "session/setup.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "board/sim/sim_board.h"
#include "session/setup_file.h"
#include "support/temp_folder.h"

namespace kx::session {
namespace {

struct Rig {
  explicit Rig(const Edition& edition)
      : session(edition, {&board.Cvn(), &board.Io()},
                std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string()) {
    session.StartUp();
  }
  board::sim::SimBoard board;
  BoardSession session;
};

// Every control the panel has, told values that differ with `k`, and the
// ADC's coding where there is one.
void TellEverything(BoardSession& session, int k, bool dac_last, bool pulse, int coding) {
  dac::DacOperations& dac = session.Dac();
  const auto ticks = [](int mask) { return dac::TicksOfMask(static_cast<std::uint16_t>(mask)); };
  for (int g = 0; g < 2; ++g) {
    dac.ProgramPowerDown(g, ticks(0xC1 >> (k + g)), (k + g) % 4);
    dac.ProgramPowerDown(g, ticks(0x0C << g), (k + g + 1) % 4);
    dac.ProgramLdac(g, ticks(0x5A ^ (k + g)));
    dac.ChooseReference(g, (k + g) % 2);
    dac.ChooseClearCode(g, (k + g) % 3);
  }
  dac.ClrLine(k % 2);
  dac.LdacLine((k + 1) % 2);
  session.Adc().ChooseListEntry({k % 2, (k + 1) % 2, session.HasVolts() ? coding : 0});
  dac::DacOperations::ChannelTicks all{};
  all.fill(true);
  dac::DacOperations::ChannelTexts texts;
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t ch = 0; ch < texts.size(); ++ch) {
      texts[ch] =
          fmt::format("{:X}", (static_cast<std::size_t>((k + pass) * 37) + ch * 101) % 0xFFF);
    }
    const bool update = (pass == 1) == dac_last;
    update ? dac.UpdateDacRegisters(all, texts, pulse) : dac.LoadInputRegisters(all, texts, pulse);
  }
}

// Everything the board holds: lines, ADC control, each group's registers.
std::vector<int> Held(const board::sim::SimBoard& board) {
  std::vector<int> held{board.ClrLow(), board.LdacLow(), board.Converter().ControlRegister()};
  for (int g = 0; g < 2; ++g) {
    const board::sim::DacGroup& group = board.Group(g);
    held.insert(held.end(), {group.LdacMask(), group.ClearCode(), group.InternalReference()});
    for (int ch = 0; ch < board::sim::DacGroup::kChannels; ++ch) {
      held.insert(held.end(),
                  {group.InputRegister(ch), group.DacRegister(ch), group.PowerDownMode(ch)});
    }
  }
  return held;
}

struct RoundTrip {
  const Edition* edition;
  bool dac_last;
  bool pulse;
  int coding;
  const char* refusal;  // by the other edition: it refuses only what it lacks
};

class SetupRoundTrip : public ::testing::TestWithParam<RoundTrip> {};

TEST_P(SetupRoundTrip, AFileReachesItsStateOnABoardToldOtherwise) {
  const RoundTrip& row = GetParam();
  Rig saved(*row.edition);
  TellEverything(saved.session, 1, row.dac_last, row.pulse, row.coding);
  const session::Setup setup = CurrentSetup(saved.session, row.pulse);
  testing::TempFolder folder;
  ASSERT_FALSE(WriteSetupFile(folder.File("s.json"), setup).has_value());
  const SetupRead read = ReadSetupFile(folder.File("s.json"));
  ASSERT_TRUE(read.setup.has_value()) << read.error;
  EXPECT_EQ(*read.setup, setup);

  const Edition& other = row.edition == &Version2Edition ? ClassicEdition : Version2Edition;
  EXPECT_EQ(SetupRefusal(*read.setup, other).value_or(""), row.refusal);

  Rig loaded(*row.edition);
  TellEverything(loaded.session, 2, !row.dac_last, !row.pulse, 1 - row.coding);
  ASSERT_FALSE(SetupRefusal(*read.setup, *row.edition).has_value());
  ApplySetup(loaded.session, *read.setup);
  EXPECT_EQ(CurrentSetup(loaded.session, row.pulse), setup);
  EXPECT_EQ(Held(loaded.board), Held(saved.board));
}

INSTANTIATE_TEST_SUITE_P(
    Editions, SetupRoundTrip,
    ::testing::Values(RoundTrip{&Version2Edition, false, true, 1,
                                "the set-up of KX7312(version2) chooses \"Straight Binary\" in the "
                                "\"Coding\" list, and KX7312 has no Coding list"},
                      RoundTrip{&Version2Edition, true, false, 0, ""},
                      RoundTrip{&ClassicEdition, true, true, 0, ""}));

using Json = nlohmann::ordered_json;

struct BadField {
  const char* pointer;
  Json value;  // null: the field is removed
  const char* message;
};

TEST(SetupFileTest, EachKindOfBadFieldIsNamed) {
  Rig rig(Version2Edition);
  rig.session.Dac().ProgramPowerDown(0, dac::TicksOfMask(0x01), 1);
  const Json good = Json::parse(SetupJson(CurrentSetup(rig.session, true)));
  const BadField rows[] = {
      {"/format", "kx7312", "format: \"kx7312\" is not \"kx7312-setup\""},
      {"/version", 2, "version: 2 is newer than this program reads (1)"},
      {"/edition", "KX9", "edition: \"KX9\" is neither \"KX7312(version2)\" nor \"KX7312\""},
      {"/dac/input_register/codes/3", 4096,
       "dac.input_register.codes[3]: 4096 is not a whole number from 0 to 4095"},
      {"/dac/dac_register/words/11", "0x01300001",
       "dac.dac_register.words[11]: \"0x01300001\" is not DAC11's word for code 0 (0x01300000)"},
      {"/dac/auto_ldac_pulse", "yes", "dac.auto_ldac_pulse: \"yes\" is neither true nor false"},
      {"/dac/groups", Json::array(), "dac.groups: not a list of 2"},
      {"/dac/groups/1/reference", "Internal",
       "dac.groups[1].reference: \"Internal\" is not \"External Reference\" or \"Internal "
       "Reference\""},
      {"/dac/groups/0/power_down/channels/0", "Normal Mode",
       "dac.groups[0].power_down.channels[0]: \"Normal Mode\", but last_mask 0x01 put this "
       "channel in \"1K to GND\""},
      {"/adc/weak_tri", nullptr, "adc.weak_tri: missing"},
      {"/lines/spare", 1, "lines.spare: not a field of a set-up"},
  };
  for (const BadField& row : rows) {
    Json bad = good;
    const Json::json_pointer at(row.pointer);
    row.value.is_null() ? bad[at.parent_pointer()].erase(at.back()) : (bad[at] = row.value, 0);
    const SetupRead read = ParseSetup(bad.dump());
    EXPECT_EQ(read.setup ? "read" : read.error, row.message);
  }
  EXPECT_TRUE(ParseSetup(good.dump()).setup.has_value());
  EXPECT_EQ(ParseSetup("{").error.rfind("not valid JSON: ", 0), 0U);
}

}  // namespace
}  // namespace kx::session
