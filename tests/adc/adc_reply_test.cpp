#include "adc/adc_reply.h"

#include <gtest/gtest.h>

namespace kx::adc {
namespace {

TEST(AdcReply, EachProgramTakesTwelveBitsFromItsOwnPlace) {
  struct Case {
    std::int32_t reply;
    std::int32_t version2;  // bits 12-1
    std::int32_t classic;   // bits 11-0
  };
  const Case cases[] = {
      {0x0000, 0x000, 0x000}, {0x0001, 0x000, 0x001},  // bit 0 is not part of a version2 code
      {0x1FFF, 0xFFF, 0xFFF}, {0x1FFE, 0xFFF, 0xFFE},
      {0x0101, 0x080, 0x101},  // the preset bytes when no board answers
      {0xE000, 0x000, 0x000},  // bits 15-13: the channel, not the code
      {0xFFFF, 0xFFF, 0xFFF}, {0x2468, 0x234, 0x468},
      {0x1000, 0x800, 0x000},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConversionCode(AdcWordRules::Version2, c.reply), c.version2) << std::hex << c.reply;
    EXPECT_EQ(ConversionCode(AdcWordRules::Classic, c.reply), c.classic) << std::hex << c.reply;
  }
}

}  // namespace
}  // namespace kx::adc
