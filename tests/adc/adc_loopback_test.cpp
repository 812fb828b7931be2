// End to end: DAC codes loaded through the link come back on the ADC side,
// whose inputs the simulated board wires to the DAC outputs of the same
// number (both references 2.5 V).
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>

#include "adc/adc_operations.h"
#include "adc_rig.h"
#include "board/link_requests.h"

namespace kx::adc {
namespace {

using testing::AdcRig;

// DAC code of channel c: 0x080, 0x180, ... 0xF80, i.e. (c + 0.5) x 0.15625 V.
std::int32_t DacCode(int channel) {
  return 0x100 * channel + 0x80;
}

// Command 3 writes the input register and the DAC register at once.
void LoadDacs(board::BoardLink& link) {
  for (int channel = 0; channel < 16; ++channel) {
    const std::int32_t word = 0x03000000 | ((channel % 8) << 20) | (DacCode(channel) << 8);
    link.WriteDacWord(channel < 8 ? board::DacLowRequest : board::DacHighRequest, word);
  }
}

struct LoopCase {
  int range;   // list index: 0 "0V to 2xVREFA", 1 "0V to VREFA"
  int coding;  // list index: 0 "2's Compliment", 1 "Straight Binary"
};

std::string Name(const ::testing::TestParamInfo<LoopCase>& info) {
  return std::string(info.param.range == 0 ? "TwiceVref" : "Vref") +
         (info.param.coding == 0 ? "TwosComplement" : "StraightBinary");
}

class AdcLoopbackTest : public ::testing::TestWithParam<LoopCase> {};

INSTANTIATE_TEST_SUITE_P(RangesAndCodings, AdcLoopbackTest,
                         ::testing::Values(LoopCase{0, 0}, LoopCase{0, 1}, LoopCase{1, 0},
                                           LoopCase{1, 1}),
                         Name);

TEST_P(AdcLoopbackTest, Version2ReadsTheDacCodesBackAsCodesAndVolts) {
  const LoopCase c = GetParam();
  AdcRig rig(AdcWordRules::Version2);
  LoadDacs(*rig.link);
  rig.ops.ChooseListEntry({c.range, -1, c.coding});
  rig.ops.ReadAll("2.50");

  for (int channel = 0; channel < 16; ++channel) {
    // Same reference on both sides: at "0V to VREFA" the ADC code is the DAC
    // code, at twice the span half of it; two's complement flips bit 11.
    std::int32_t code = c.range == 1 ? DacCode(channel) : DacCode(channel) / 2;
    if (c.coding == 0) {
      code ^= 0x800;
    }
    EXPECT_EQ(rig.ops.AdcResults()[static_cast<std::size_t>(channel)], code) << channel;
    EXPECT_EQ(rig.ops.CodeTexts(true)[static_cast<std::size_t>(channel)],
              fmt::format("0x{:03X}", code));
    EXPECT_EQ(rig.ops.CodeTexts(false)[static_cast<std::size_t>(channel)], std::to_string(code));
  }
  // Whatever the range and coding, the volts are what the DACs put out.
  EXPECT_EQ(rig.ops.VoltTexts()[0], "0.078");   // 0.078125
  EXPECT_EQ(rig.ops.VoltTexts()[2], "0.391");   // 0.390625
  EXPECT_EQ(rig.ops.VoltTexts()[5], "0.859");   // 0.859375
  EXPECT_EQ(rig.ops.VoltTexts()[7], "1.172");   // 1.171875
  EXPECT_EQ(rig.ops.VoltTexts()[8], "1.328");   // 1.328125
  EXPECT_EQ(rig.ops.VoltTexts()[15], "2.422");  // 2.421875
}

TEST_P(AdcLoopbackTest, CaptureFileHoldsTheSameCodesAsARead) {
  const LoopCase c = GetParam();
  testing::TempFolder folder;
  AdcRig rig(AdcWordRules::Version2);
  LoadDacs(*rig.link);
  rig.ops.ChooseListEntry({c.range, -1, c.coding});
  rig.ops.ReadAll("2.50");
  rig.port.save_answers.emplace_back(folder.File("loop.dat"));
  rig.ops.CaptureAllChannels();

  std::string line;
  for (const std::string& code : rig.ops.CodeTexts(false)) {
    line += code + "\t";
  }
  const std::vector<std::string> lines =
      testing::CrLfLines(testing::ReadBytes(folder.File("loop.dat")));
  ASSERT_EQ(lines.size(), 512U);
  EXPECT_EQ(lines[0], line);
  EXPECT_EQ(lines[511], line);
}

TEST(AdcLoopbackClassic, ReadsRangeFromTheListsButCodingOnlyFromTheFirstWord) {
  AdcRig rig(AdcWordRules::Classic);
  LoadDacs(*rig.link);
  rig.ops.ChooseListEntry({1, 1, -1});  // "0V to VREFA", "Weak"
  rig.ops.ReadAll("");
  // Channel 0 is converted under the fixed first word: straight binary at
  // twice the span. The others under their channel words: "0V to VREFA",
  // two's complement.
  EXPECT_EQ(rig.ops.AdcResults()[0], DacCode(0) / 2);
  for (int channel = 1; channel < 16; ++channel) {
    EXPECT_EQ(rig.ops.AdcResults()[static_cast<std::size_t>(channel)], DacCode(channel) ^ 0x800)
        << channel;
  }
  EXPECT_EQ(rig.ops.CodeTexts(true)[1], "0x980");
  EXPECT_EQ(rig.ops.CodeTexts(true)[15], "0x780");
  EXPECT_TRUE(rig.board.Converter().Weak());
}

}  // namespace
}  // namespace kx::adc
