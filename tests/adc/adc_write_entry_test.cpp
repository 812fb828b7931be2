#include "adc/adc_write_entry.h"

#include <gtest/gtest.h>

#include <string>

namespace kx::adc {
namespace {

TEST(AdcWriteEntry, OneToFourHexDigitsGiveAWordWithHighHalfZero) {
  struct Case {
    const char* text;
    std::int32_t word;
  };
  const Case cases[] = {
      {"0000", 0x0000},
      {"8310", 0x8310},
      {"ffff", 0xFFFF},
      {"FFFF", 0xFFFF},
      {"a", 0x000A},
      {"83c0", 0x83C0},
      {"0", 0},
      {"7FF", 0x07FF},
      // Judged by value: leading zeros carry no digit of the word.
      {"00008310", 0x8310},
      {"00000", 0},
      {"000000000000FFFF", 0xFFFF},
  };
  for (const Case& c : cases) {
    const AdcWriteEntry entry = ReadAdcWriteText(c.text);
    ASSERT_TRUE(entry.word.has_value()) << c.text;
    EXPECT_EQ(*entry.word, c.word) << c.text;
    EXPECT_TRUE(entry.error.empty());
  }
}

TEST(AdcWriteEntry, AnythingElseGetsAMessageAndNoWord) {
  const std::string advice = "Enter the word for the ADC as 1 to 4 hex digits (0000 to FFFF).";
  struct Case {
    std::string text;
    std::string error;
  };
  const Case cases[] = {
      {"", advice},
      {"12345", "\"12345\" has more than 4 hex digits. " + advice},
      {"000012345", "\"000012345\" has more than 4 hex digits. " + advice},
      {"12G4", "\"12G4\" is not a hex value. " + advice},
      {" 831", "\" 831\" is not a hex value. " + advice},
      {"0x83", "\"0x83\" is not a hex value. " + advice},
      {"-1", "\"-1\" is not a hex value. " + advice},
      {std::string(40, 'F'), "\"FFFFFFFFFFFFFFFF...\" has more than 4 hex digits. " + advice},
  };
  for (const Case& c : cases) {
    const AdcWriteEntry entry = ReadAdcWriteText(c.text);
    EXPECT_FALSE(entry.word.has_value()) << c.text;
    EXPECT_EQ(entry.error, c.error);
  }
}

}  // namespace
}  // namespace kx::adc
