#include "dac/hex_entry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx::dac {
namespace {

struct ParseCase {
  std::string text;
  std::optional<std::int32_t> value;
  HexTextFault fault;
};

TEST(ParseHexValue, OneToEightDigitsInEitherCasePass) {
  const std::vector<ParseCase> cases = {
      {"0", 0, HexTextFault::None},
      {"000", 0, HexTextFault::None},
      {"000000", 0, HexTextFault::None},
      {"7ff", 0x7FF, HexTextFault::None},
      {"7FF", 0x7FF, HexTextFault::None},
      {"aBcD", 0xABCD, HexTextFault::None},
      {"FFFF", 0xFFFF, HexTextFault::None},
      {"12345", 0x12345, HexTextFault::None},
      {"1234ABCD", 0x1234ABCD, HexTextFault::None},
      {"7FFFFFFF", 0x7FFFFFFF, HexTextFault::None},
      {"80000000", INT32_MIN, HexTextFault::None},
      {"FFFFFFFF", -1, HexTextFault::None},
      {"ffffffff", -1, HexTextFault::None},
  };
  for (const ParseCase& c : cases) {
    const HexValue parsed = ParseHexValue(c.text);
    EXPECT_EQ(parsed.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(parsed.fault, c.fault) << '"' << c.text << '"';
  }
}

TEST(ParseHexValue, SurroundingBlanksAndLeadingZerosAreTolerated) {
  const std::vector<ParseCase> cases = {
      {" 7FF", 0x7FF, HexTextFault::None},
      {"7FF ", 0x7FF, HexTextFault::None},
      {"\t7ff\t", 0x7FF, HexTextFault::None},
      {"  1FF  ", 0x1FF, HexTextFault::None},
      // Leading zeros are not digits that need bits.
      {"000000001", 1, HexTextFault::None},
      {"0000000000FFFFFFFF", -1, HexTextFault::None},
  };
  for (const ParseCase& c : cases) {
    const HexValue parsed = ParseHexValue(c.text);
    EXPECT_EQ(parsed.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(parsed.fault, c.fault) << '"' << c.text << '"';
  }
}

TEST(ParseHexValue, EverythingElseFailsWithItsReason) {
  const std::vector<ParseCase> cases = {
      {"", std::nullopt, HexTextFault::Empty},
      {" ", std::nullopt, HexTextFault::Empty},
      {" \t ", std::nullopt, HexTextFault::Empty},
      {"123456789", std::nullopt, HexTextFault::TooManyDigits},
      {"100000000", std::nullopt, HexTextFault::TooManyDigits},
      {"FFFFFFFFF", std::nullopt, HexTextFault::TooManyDigits},
      {"0x7FF", std::nullopt, HexTextFault::NotHex},
      {"&h7FF", std::nullopt, HexTextFault::NotHex},
      {"&H7FF", std::nullopt, HexTextFault::NotHex},
      {"7F F", std::nullopt, HexTextFault::NotHex},
      {"7F\tF", std::nullopt, HexTextFault::NotHex},
      {"-1", std::nullopt, HexTextFault::NotHex},
      {"+1", std::nullopt, HexTextFault::NotHex},
      {"G00", std::nullopt, HexTextFault::NotHex},
      {"1.5", std::nullopt, HexTextFault::NotHex},
      {"7FFh", std::nullopt, HexTextFault::NotHex},
      {"7FF\n", std::nullopt, HexTextFault::NotHex},
      {std::string("7F\0F", 4), std::nullopt, HexTextFault::NotHex},
      {"\xEF\xBC\x91", std::nullopt, HexTextFault::NotHex},  // a full-width digit one
      // A stray letter is the clearer complaint even when the text is long.
      {"123456789G", std::nullopt, HexTextFault::NotHex},
  };
  for (const ParseCase& c : cases) {
    const HexValue parsed = ParseHexValue(c.text);
    EXPECT_EQ(parsed.value, c.value) << '"' << c.text << '"';
    EXPECT_EQ(parsed.fault, c.fault) << '"' << c.text << '"';
  }
}

TEST(IsHexValue, FollowsTheConversion) {
  for (const char* text : {"7ff", "FFFF", "FFFFFFFF", "12345", "000", " 1FF"}) {
    EXPECT_TRUE(IsHexValue(text)) << text;
  }
  for (const char* text : {"", "0x7FF", "&h7FF", "7F F", "-1", "G00", "123456789"}) {
    EXPECT_FALSE(IsHexValue(text)) << text;
  }
  // The text a rejected box is given passes the check itself.
  EXPECT_TRUE(IsHexValue(RejectedDacText));
}

TEST(ReadChannelCode, TakesTheLeadingHexDigits) {
  struct Case {
    std::string text;
    std::optional<std::uint16_t> code;
  };
  const std::vector<Case> cases = {
      {"", 0},
      {"   ", 0},
      {"000", 0},
      {"1FF", 0x1FF},
      {"7ff", 0x7FF},
      {"FFF", 0xFFF},
      {"0FFF", 0xFFF},
      {"00000000000FFF", 0xFFF},
      {" 7FF", 0x7FF},
      {"7FF ", 0x7FF},
      {"1FFG", 0x1FF},
      {"2 3", 2},
      {"G00", 0},
      {"0x7FF", 0},
      {"-1", 0},
      // Beyond 12 bits there is no channel code.
      {"1000", std::nullopt},
      {"FFFF", std::nullopt},
      {"12345", std::nullopt},
      {"123456789", std::nullopt},
      {"FFFFFFFFFFFFFFFFFFFF", std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadChannelCode(c.text), c.code) << '"' << c.text << '"';
  }
}

TEST(FilterHexKey, UpperCasesAndSwallowsTheRest) {
  struct Case {
    int key;
    int result;
  };
  const std::vector<Case> cases = {
      {'a', 'A'}, {'b', 'B'},  {'f', 'F'}, {'A', 'A'},  {'F', 'F'}, {'0', '0'}, {'5', '5'},
      {'9', '9'}, {8, 8},      {9, 9},     {'g', 0},    {'G', 0},   {'z', 0},   {'x', 0},
      {'h', 0},   {' ', 0},    {13, 0},    {10, 0},     {27, 0},    {0, 0},     {127, 0},
      {'&', 0},   {'-', 0},    {'.', 0},   {'@', 0},    {'`', 0},   {'/', 0},   {':', 0},
      {0xE4, 0},  {0xFF10, 0}, {-1, 0},    {-32768, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FilterHexKey(static_cast<std::int16_t>(c.key)), c.result) << c.key;
  }
}

TEST(FilterHexKey, LetsExactlyTheHexKeysThrough) {
  std::string passed;
  for (int key = -32768; key <= 32767; ++key) {
    if (FilterHexKey(static_cast<std::int16_t>(key)) != 0) {
      passed += static_cast<char>(key);
    }
  }
  EXPECT_EQ(passed, "\b\t0123456789ABCDEFabcdef");
}

TEST(UpperCaseText, UpperCasesLettersOnly) {
  struct Case {
    std::string text;
    std::string upper;
  };
  const std::vector<Case> cases = {
      {"7ff", "7FF"},     {"aBc", "ABC"},   {"000", "000"}, {"", ""},
      {" 1ff ", " 1FF "}, {"FFFF", "FFFF"}, {"g-z", "G-Z"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(UpperCaseText(c.text), c.upper) << c.text;
  }
}

}  // namespace
}  // namespace kx::dac
