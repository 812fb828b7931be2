#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "board/sim/sim_board.h"
#include "dac/dac_operations.h"
#include "dac_rig.h"

namespace kx::dac {
namespace {

using rig::AllTicked;
using rig::DacRig;
using rig::LinkKind;
using rig::NoneTicked;
using rig::StartupTexts;
using rig::Ticked;

// The start-up codes, DAC0 to DAC15.
const std::vector<std::uint16_t> kStartupCodes = {0x1FF, 0x2FF, 0x3FF, 0x4FF, 0x5FF, 0x6FF,
                                                  0x7FF, 0xFFF, 0x0FF, 0x1FF, 0x2FF, 0x3FF,
                                                  0x4FF, 0x5FF, 0x6FF, 0x7FF};

std::uint16_t InputRegister(const DacRig& rig, int channel) {
  return rig.board.Group(channel / 8).InputRegister(channel % 8);
}

std::uint16_t DacRegister(const DacRig& rig, int channel) {
  return rig.board.Group(channel / 8).DacRegister(channel % 8);
}

board::sim::SimSettings ExternalReference(double volts) {
  board::sim::SimSettings settings;
  settings.external_reference = volts;
  return settings;
}

class DacChipModelTest : public ::testing::TestWithParam<LinkKind> {
 protected:
  DacRig rig{GetParam(), ExternalReference(2.0)};
  kx::testing::ShownDac& ops = *rig.ops;
};

INSTANTIATE_TEST_SUITE_P(BothLinks, DacChipModelTest,
                         ::testing::Values(LinkKind::Cvn, LinkKind::Io), rig::LinkParamName);

TEST_P(DacChipModelTest, InputRegistersLoadAndThePulseMovesThemToTheOutputs) {
  ASSERT_TRUE(ops.LoadInputRegisters(AllTicked(), StartupTexts(), false));
  for (int channel = 0; channel < 16; ++channel) {
    EXPECT_EQ(InputRegister(rig, channel), kStartupCodes[channel]) << channel;
    EXPECT_EQ(DacRegister(rig, channel), 0) << channel;
    EXPECT_DOUBLE_EQ(rig.board.DacOutputVolts(channel), 0.0) << channel;
  }

  // The same click with the automatic pulse lands on the outputs.
  ASSERT_TRUE(ops.LoadInputRegisters(NoneTicked(), StartupTexts(), true));
  for (int channel = 0; channel < 16; ++channel) {
    EXPECT_EQ(DacRegister(rig, channel), kStartupCodes[channel]) << channel;
    EXPECT_DOUBLE_EQ(rig.board.DacOutputVolts(channel), kStartupCodes[channel] / 4096.0 * 2.0)
        << channel;
  }
}

TEST_P(DacChipModelTest, EveryStoredWordReachesOnlyItsOwnChannel) {
  ASSERT_TRUE(ops.LoadInputRegisters(AllTicked(), StartupTexts(), false));
  ASSERT_TRUE(ops.UpdateDacRegisters(Ticked({3, 11}), StartupTexts(), false));
  // No slot sends DAC0 or DAC8 back to 0; the slots never loaded with
  // "Update DAC Register" update their own channels.
  for (int channel = 0; channel < 16; ++channel) {
    EXPECT_EQ(InputRegister(rig, channel), kStartupCodes[channel]) << channel;
    EXPECT_EQ(DacRegister(rig, channel), kStartupCodes[channel]) << channel;
  }
}

TEST_P(DacChipModelTest, LdacRegisterMakesItsChannelsFollowAtOnce) {
  ops.ProgramLdac(0, {false, true, false, false, false, false, false, false});
  EXPECT_EQ(rig.board.Group(0).LdacMask(), 0x02);
  EXPECT_EQ(rig.board.Group(1).LdacMask(), 0x00);

  DacOperations::ChannelTexts texts = StartupTexts();
  texts[1] = "ABC";
  ASSERT_TRUE(ops.LoadInputRegisters(Ticked({1, 2, 9}), texts, false));
  EXPECT_EQ(DacRegister(rig, 1), 0xABC);
  EXPECT_EQ(DacRegister(rig, 2), 0);
  EXPECT_EQ(DacRegister(rig, 9), 0);
}

TEST_P(DacChipModelTest, LdacLineHeldLowMakesEveryChannelFollow) {
  ops.LdacLine(1);
  EXPECT_TRUE(rig.board.LdacLow());
  ASSERT_TRUE(ops.LoadInputRegisters(AllTicked(), StartupTexts(), false));
  EXPECT_EQ(DacRegister(rig, 7), 0xFFF);
  EXPECT_EQ(DacRegister(rig, 15), 0x7FF);

  ops.LdacLine(0);
  EXPECT_FALSE(rig.board.LdacLow());
  DacOperations::ChannelTexts texts = StartupTexts();
  texts[7] = "123";
  ASSERT_TRUE(ops.LoadInputRegisters(Ticked({7}), texts, false));
  EXPECT_EQ(InputRegister(rig, 7), 0x123);
  EXPECT_EQ(DacRegister(rig, 7), 0xFFF);
}

TEST_P(DacChipModelTest, PowerDownSilencesTheMaskedChannelsOfItsGroupOnly) {
  ASSERT_TRUE(ops.LoadInputRegisters(AllTicked(), StartupTexts(), true));
  // "Three-state" for DAC10 and DAC13.
  ops.ProgramPowerDown(1, {false, false, true, false, false, true, false, false}, 3);
  for (int channel = 0; channel < 16; ++channel) {
    const bool down = channel == 10 || channel == 13;
    EXPECT_EQ(rig.board.Group(channel / 8).PowerDownMode(channel % 8), down ? 3 : 0) << channel;
    if (down) {
      EXPECT_DOUBLE_EQ(rig.board.DacOutputVolts(channel), 0.0) << channel;
    } else {
      EXPECT_GT(rig.board.DacOutputVolts(channel), 0.0) << channel;
    }
  }
  // Back to "Normal Mode" with the boxes the list shows for it.
  ops.ProgramPowerDown(1, {false, false, true, false, false, true, false, false}, 0);
  EXPECT_DOUBLE_EQ(rig.board.DacOutputVolts(10), 0x2FF / 4096.0 * 2.0);
}

TEST_P(DacChipModelTest, ClearToCodeLoadsOnTheClrLine) {
  ASSERT_TRUE(ops.LoadInputRegisters(AllTicked(), StartupTexts(), true));
  ops.ChooseClearCode(0, 2);  // "0x0FFF"
  ops.ChooseClearCode(1, 1);  // "0x0800"
  EXPECT_EQ(rig.board.Group(0).ClearCode(), 0xFFF);
  EXPECT_EQ(rig.board.Group(1).ClearCode(), 0x800);
  EXPECT_EQ(DacRegister(rig, 0), 0x1FF);  // nothing moves before the line does

  ops.ClrLine(1);
  EXPECT_TRUE(rig.board.ClrLow());
  for (int channel = 0; channel < 16; ++channel) {
    const std::uint16_t cleared = channel < 8 ? 0xFFF : 0x800;
    EXPECT_EQ(InputRegister(rig, channel), cleared) << channel;
    EXPECT_EQ(DacRegister(rig, channel), cleared) << channel;
  }
  ops.ClrLine(0);
  EXPECT_FALSE(rig.board.ClrLow());
}

TEST_P(DacChipModelTest, ReferenceChoiceSetsTheOutputSpan) {
  DacOperations::ChannelTexts texts = StartupTexts();
  texts[4] = "800";
  texts[12] = "800";
  ASSERT_TRUE(ops.LoadInputRegisters(Ticked({4, 12}), texts, true));
  EXPECT_DOUBLE_EQ(rig.board.DacOutputVolts(4), 1.0);  // half of the 2.0 V external pin

  ops.ChooseReference(0, 1);
  EXPECT_TRUE(rig.board.Group(0).InternalReference());
  EXPECT_FALSE(rig.board.Group(1).InternalReference());
  EXPECT_DOUBLE_EQ(rig.board.DacOutputVolts(4), 1.25);
  EXPECT_DOUBLE_EQ(rig.board.DacOutputVolts(12), 1.0);

  ops.ChooseReference(0, 0);
  EXPECT_DOUBLE_EQ(rig.board.DacOutputVolts(4), 1.0);
}

TEST_P(DacChipModelTest, RawWriteReachesTheChip) {
  // Command 3 writes and updates one channel: DAC14 = 0x456.
  ASSERT_TRUE(ops.RawWrite(1, "03645600"));
  EXPECT_EQ(DacRegister(rig, 14), 0x456);
  EXPECT_EQ(DacRegister(rig, 6), 0);
}

}  // namespace
}  // namespace kx::dac
