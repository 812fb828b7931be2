#include "board/status_text.h"

#include <gtest/gtest.h>

#include "board/word_split.h"

namespace kx::board {
namespace {

TEST(StatusText, WordsShowInUpperCaseHexWithoutLeadingZeros) {
  struct Case {
    std::int32_t word;
    const char* dac;
    const char* adc;
  };
  const Case cases[] = {
      {0, "DAC Write: 0x0", "ADC Write: 0x0"},
      {0x08000001, "DAC Write: 0x8000001", "ADC Write: 0x8000001"},
      {0x0000FFFF, "DAC Write: 0xFFFF", "ADC Write: 0xFFFF"},
      {0x00abcdef, "DAC Write: 0xABCDEF", "ADC Write: 0xABCDEF"},
      {static_cast<std::int32_t>(0xFFFF8390U), "DAC Write: 0xFFFF8390", "ADC Write: 0xFFFF8390"},
      {static_cast<std::int32_t>(0x80000000U), "DAC Write: 0x80000000", "ADC Write: 0x80000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DacWriteStatus(c.word), c.dac);
    EXPECT_EQ(AdcWriteStatus(c.word), c.adc);
  }
}

TEST(StatusText, NoBoardTitleIsColonBlankAndDecimalStatus) {
  EXPECT_EQ(NoBoardTitle(3), ": 3");
  EXPECT_EQ(NoBoardTitle(-1), ": -1");
  EXPECT_EQ(NoBoardTitle(-32768), ": -32768");
}

TEST(WordSplit, LowHalfIsValueHighHalfIsSignedIndex) {
  struct Case {
    std::uint32_t word;
    std::int32_t value;
    std::int32_t index;
  };
  const Case cases[] = {
      {0x08000001U, 0x0001, 0x0800}, {0xFFFF8390U, 0x8390, -1}, {0x0000FFFFU, 0xFFFF, 0},
      {0x7FFFFFFFU, 0xFFFF, 32767},  {0x80000000U, 0, -32768},  {0x00000000U, 0, 0},
      {0x8234ABCDU, 0xABCD, -32204}, {0xFFFFFFFFU, 0xFFFF, -1},
  };
  for (const Case& c : cases) {
    const SplitWord split = SplitChipWord(static_cast<std::int32_t>(c.word));
    EXPECT_EQ(split.value, c.value) << std::hex << c.word;
    EXPECT_EQ(split.index, c.index) << std::hex << c.word;
    // Whatever the sign, the index's low 16 bits are the word's high half.
    EXPECT_EQ(static_cast<std::uint32_t>(split.index) & 0xFFFFU, c.word >> 16);
  }
}

}  // namespace
}  // namespace kx::board
