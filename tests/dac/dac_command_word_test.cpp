#include "dac/dac_command_word.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "dac/dac_lists.h"

namespace kx::dac {
namespace {

TEST(ChannelWord, PlacesCommandAddressAndCode) {
  struct Case {
    std::uint8_t command;
    int address;
    std::uint16_t code;
    std::int32_t word;
  };
  const std::vector<Case> cases = {
      {LoadInputRegister, 3, 0x7FF, 0x0037FF00}, {UpdateDacRegister, 3, 0x7FF, 0x0137FF00},
      {LoadInputRegister, 0, 0x1FF, 0x0001FF00}, {LoadInputRegister, 7, 0xFFF, 0x007FFF00},
      {UpdateDacRegister, 7, 0xFFF, 0x017FFF00},  // the largest a load can form
      {UpdateDacRegister, 3, 0xFFF, 0x013FFF00}, {LoadInputRegister, 0, 0, 0},
      {LoadInputRegister, 5, 0x001, 0x00500100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChannelWord(c.command, c.address, c.code), c.word)
        << int{c.command} << " " << c.address << " " << c.code;
  }
}

TEST(ConfigurationWords, MatchTheRegisterLayouts) {
  struct Case {
    std::int32_t built;
    std::int32_t word;
  };
  const std::vector<Case> cases = {
      {PowerDownWord(1, 0x09), 0x04000109}, {PowerDownWord(3, 0xFF), 0x040003FF},
      {PowerDownWord(2, 0x24), 0x04000224}, {PowerDownWord(0, 0x00), 0x04000000},
      {PowerDownWord(0, 0x80), 0x04000080}, {LdacWord(0xFF), 0x060000FF},
      {LdacWord(0x00), 0x06000000},         {LdacWord(0x41), 0x06000041},
      {ReferenceWord(0), 0x08000000},       {ReferenceWord(1), 0x08000001},
      {ClearCodeWord(0), 0x05000000},       {ClearCodeWord(1), 0x05000001},
      {ClearCodeWord(2), 0x05000002},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(cases[i].built, cases[i].word) << "case " << i;
  }
}

TEST(CommandCodes, AreTheChipsCodes) {
  EXPECT_EQ(CommandBits(LoadInputRegister), 0x00000000);
  EXPECT_EQ(CommandBits(UpdateDacRegister), 0x01000000);
  EXPECT_EQ(CommandBits(PowerDownDacs), 0x04000000);
  EXPECT_EQ(CommandBits(LoadClearCode), 0x05000000);
  EXPECT_EQ(CommandBits(LoadLdacRegister), 0x06000000);
  EXPECT_EQ(CommandBits(SetupReference), 0x08000000);
}

TEST(GroupRequest, NamesTheGroupByRequestCode) {
  EXPECT_EQ(GroupRequest(0), 0xD9);
  EXPECT_EQ(GroupRequest(1), 0xDA);
}

TEST(ChannelMask, BitIIsChannelI) {
  struct Case {
    GroupTicks ticked;
    std::uint8_t mask;
  };
  const std::vector<Case> cases = {
      {{true, false, false, true, false, false, false, false}, 0x09},
      {{false, false, true, false, false, true, false, false}, 0x24},
      {{false, false, false, false, false, false, false, true}, 0x80},
      {{true, false, false, false, false, false, false, false}, 0x01},
      {{true, true, true, true, true, true, true, true}, 0xFF},
      {{}, 0x00},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChannelMask(c.ticked), c.mask) << int{c.mask};
    EXPECT_EQ(TicksOfMask(c.mask), c.ticked) << int{c.mask};
  }
}

TEST(DacLists, ListIndexesGiveTheRegisterData) {
  struct Case {
    int list_index;
    int mode;
    int clear_select;
    bool reference;
  };
  const std::vector<Case> cases = {
      {-1, 0, 0, false}, {0, 0, 0, true},  {1, 1, 1, true},
      {2, 2, 2, false},  {3, 3, 0, false}, {4, 0, 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PowerDownModeOf(c.list_index), c.mode) << c.list_index;
    EXPECT_EQ(ClearCodeSelectOf(c.list_index), c.clear_select) << c.list_index;
    EXPECT_EQ(ReferenceChosen(c.list_index), c.reference) << c.list_index;
  }
  EXPECT_STREQ(PowerDownItems[3], "Three-state");
  EXPECT_STREQ(ReferenceItems[1], "Internal Reference");
  EXPECT_STREQ(ClearCodeItems[2], "0x0FFF");
}

}  // namespace
}  // namespace kx::dac
