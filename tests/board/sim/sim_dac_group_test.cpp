#include "board/sim/sim_dac_group.h"

#include <gtest/gtest.h>

#include <vector>

namespace kx::board::sim {
namespace {

std::uint32_t Word(unsigned command, unsigned address, unsigned code, unsigned data = 0) {
  return (command << 24) | (address << 20) | (code << 8) | data;
}

std::vector<int> Inputs(const DacGroup& g) {
  std::vector<int> v;
  v.reserve(DacGroup::kChannels);
  for (int c = 0; c < DacGroup::kChannels; ++c) {
    v.push_back(g.InputRegister(c));
  }
  return v;
}

std::vector<int> Dacs(const DacGroup& g) {
  std::vector<int> v;
  v.reserve(DacGroup::kChannels);
  for (int c = 0; c < DacGroup::kChannels; ++c) {
    v.push_back(g.DacRegister(c));
  }
  return v;
}

TEST(SimDacGroup, RegisterCommands) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> words;
    std::vector<int> inputs;
    std::vector<int> dacs;
  };
  const std::vector<Case> cases = {
      {"power-on", {}, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {"write input only",
       {Word(0, 3, 0x7FF)},
       {0, 0, 0, 0x7FF, 0, 0, 0, 0},
       {0, 0, 0, 0, 0, 0, 0, 0}},
      {"update copies input, code field unused",
       {Word(0, 3, 0x7FF), Word(1, 3, 0x123)},
       {0, 0, 0, 0x7FF, 0, 0, 0, 0},
       {0, 0, 0, 0x7FF, 0, 0, 0, 0}},
      {"write input to all",
       {Word(0, 15, 0xABC)},
       std::vector<int>(8, 0xABC),
       std::vector<int>(8, 0)},
      {"update all",
       {Word(0, 1, 5), Word(0, 6, 9), Word(1, 15, 0)},
       {0, 5, 0, 0, 0, 0, 9, 0},
       {0, 5, 0, 0, 0, 0, 9, 0}},
      {"write input and update all",
       {Word(0, 0, 0x111), Word(2, 7, 0x777)},
       {0x111, 0, 0, 0, 0, 0, 0, 0x777},
       {0x111, 0, 0, 0, 0, 0, 0, 0x777}},
      {"write both registers",
       {Word(3, 4, 0xFFF)},
       {0, 0, 0, 0, 0xFFF, 0, 0, 0},
       {0, 0, 0, 0, 0xFFF, 0, 0, 0}},
      {"addresses 8 to 14 are ignored",
       {Word(3, 8, 1), Word(3, 14, 2), Word(0, 9, 3)},
       std::vector<int>(8, 0),
       std::vector<int>(8, 0)},
      {"top bits ignored",
       {0xF0000000U | Word(3, 2, 0x222)},
       {0, 0, 0x222, 0, 0, 0, 0, 0},
       {0, 0, 0x222, 0, 0, 0, 0, 0}},
      {"unknown commands ignored",
       {Word(9, 1, 1), Word(0xA, 1, 1), Word(0xF, 15, 0xFFF, 0xFF)},
       std::vector<int>(8, 0),
       std::vector<int>(8, 0)},
      {"reset clears everything",
       {Word(3, 15, 0x555), Word(7, 0, 0)},
       std::vector<int>(8, 0),
       std::vector<int>(8, 0)},
  };
  for (const Case& c : cases) {
    DacGroup group;
    for (const std::uint32_t w : c.words) {
      group.Write(w);
    }
    EXPECT_EQ(Inputs(group), c.inputs) << c.name;
    EXPECT_EQ(Dacs(group), c.dacs) << c.name;
  }
}

TEST(SimDacGroup, PowerDownModesPerChannelMask) {
  DacGroup group;
  group.Write(0x04000109);  // 1K to GND on channels 0 and 3
  group.Write(0x040003C0);  // three-state on 6 and 7
  const std::vector<int> expected = {1, 0, 0, 1, 0, 0, 3, 3};
  for (int c = 0; c < 8; ++c) {
    EXPECT_EQ(group.PowerDownMode(c), expected[static_cast<std::size_t>(c)]) << c;
  }
  group.Write(0x04000001);  // mode 0 powers channel 0 up again
  EXPECT_EQ(group.PowerDownMode(0), 0);
  EXPECT_EQ(group.PowerDownMode(3), 1);
  group.Write(0x07000000);
  EXPECT_EQ(group.PowerDownMode(3), 0);
}

TEST(SimDacGroup, ClearCodeSelectAndClear) {
  struct Case {
    std::uint32_t word;
    int code;
  };
  for (const Case c : {Case{0x05000000, 0x000}, Case{0x05000001, 0x800}, Case{0x05000002, 0xFFF}}) {
    DacGroup group;
    group.Write(Word(3, 15, 0x123));
    group.Write(0x05000002);  // something else first, so select 0 must really load 0
    group.Write(c.word);
    EXPECT_EQ(group.ClearCode(), c.code);
    group.Clear();
    EXPECT_EQ(Inputs(group), std::vector<int>(8, c.code));
    EXPECT_EQ(Dacs(group), std::vector<int>(8, c.code));
  }
  DacGroup group;
  group.Write(0x05000001);
  group.Write(0x05000003);  // reserved select leaves the code alone
  EXPECT_EQ(group.ClearCode(), 0x800);
}

TEST(SimDacGroup, LdacRegisterMakesChannelsFollowTheirInputs) {
  DacGroup group;
  group.Write(Word(0, 1, 0x100));
  group.Write(0x06000006);  // channels 1 and 2 follow at once
  EXPECT_EQ(group.LdacMask(), 0x06);
  EXPECT_EQ(group.DacRegister(1), 0x100);
  group.Write(Word(0, 2, 0x200));
  group.Write(Word(0, 3, 0x300));
  EXPECT_EQ(group.DacRegister(2), 0x200);
  EXPECT_EQ(group.DacRegister(3), 0);
  group.Write(0x06000000);
  group.Write(Word(0, 2, 0x2FF));
  EXPECT_EQ(group.DacRegister(2), 0x200);
}

TEST(SimDacGroup, LdacLineAndPulse) {
  DacGroup group;
  group.Write(Word(0, 0, 0x0AA));
  group.Write(Word(0, 5, 0x055));
  group.PulseLdac();
  EXPECT_EQ(group.DacRegister(0), 0x0AA);
  EXPECT_EQ(group.DacRegister(5), 0x055);

  group.Write(Word(0, 0, 0x0BB));
  EXPECT_EQ(group.DacRegister(0), 0x0AA);
  group.SetLdacLow(true);
  EXPECT_EQ(group.DacRegister(0), 0x0BB);
  group.Write(Word(0, 7, 0x777));
  EXPECT_EQ(group.DacRegister(7), 0x777);
  group.SetLdacLow(false);
  group.Write(Word(0, 7, 0x778));
  EXPECT_EQ(group.DacRegister(7), 0x777);
}

TEST(SimDacGroup, ReferenceAndOutputVolts) {
  DacGroup group;
  group.Write(Word(3, 0, 0x800));
  group.Write(Word(3, 1, 0xFFF));
  EXPECT_FALSE(group.InternalReference());
  EXPECT_DOUBLE_EQ(group.OutputVolts(0, 2.0), 1.0);  // external reference
  group.Write(0x08000001);
  EXPECT_TRUE(group.InternalReference());
  EXPECT_DOUBLE_EQ(group.OutputVolts(0, 2.0), 1.25);
  EXPECT_DOUBLE_EQ(group.OutputVolts(1, 2.0), 4095.0 / 4096.0 * 2.5);
  group.Write(0x04000201);  // 100K to GND on channel 0
  EXPECT_DOUBLE_EQ(group.OutputVolts(0, 2.0), 0.0);
  group.Write(0x08000000);
  EXPECT_FALSE(group.InternalReference());
}

}  // namespace
}  // namespace kx::board::sim
