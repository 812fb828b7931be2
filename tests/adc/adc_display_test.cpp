#include "adc/adc_display.h"

#include <gtest/gtest.h>

#include <limits>

namespace kx::adc {
namespace {

TEST(AdcCodeText, HexHasAtLeastThreeUpperCaseDigitsDecimalHasNone) {
  struct Case {
    std::int32_t code;
    const char* hex;
    const char* dec;
  };
  const Case cases[] = {
      {0, "0x000", "0"},          {0x1F, "0x01F", "31"},   {0xABC, "0xABC", "2748"},
      {0x080, "0x080", "128"},    {0x101, "0x101", "257"}, {0xFFF, "0xFFF", "4095"},
      {0x00F, "0x00F", "15"},     {0x100, "0x100", "256"}, {0x800, "0x800", "2048"},
      {0x1234, "0x1234", "4660"},  // wider than a code: shown whole, never cut
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CodeHexText(c.code), c.hex);
    EXPECT_EQ(CodeDecText(c.code), c.dec);
  }
}

TEST(AdcWriteReplyText, AlwaysFourUpperCaseDigits) {
  struct Case {
    std::int32_t reply;
    const char* text;
  };
  const Case cases[] = {
      {0x1A, "0x001A"},  {0, "0x0000"},      {0xC3A5, "0xC3A5"}, {0x000A, "0x000A"},
      {0x101, "0x0101"}, {0xFFFF, "0xFFFF"}, {0xabc, "0x0ABC"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WriteReplyText(c.reply), c.text);
  }
}

TEST(AdcSpan, TwiceTheReferenceUnlessTheRangeBitIsSet) {
  EXPECT_EQ(FullScaleSpan(2.5F, 0), 5.0F);
  EXPECT_EQ(FullScaleSpan(2.5F, 0x20), 2.5F);
  EXPECT_EQ(FullScaleSpan(-1.0F, 0), -2.0F);
  EXPECT_EQ(FullScaleSpan(0.0F, 0x20), 0.0F);
}

struct VoltCase {
  std::int32_t code;
  const char* text;
};

void ExpectVolts(float span, bool straight, std::initializer_list<VoltCase> cases) {
  for (const VoltCase& c : cases) {
    EXPECT_EQ(VoltText(CodeVolts(c.code, span, straight)), c.text)
        << "code 0x" << std::hex << c.code << " span " << span << " straight " << straight;
  }
}

TEST(AdcVolts, TwosComplementFullSpan) {
  // Reference 2.50, "0V to 2xVREFA", "2's Compliment".
  ExpectVolts(5.0F, false,
              {{0x000, "2.500"},
               {0x001, "2.501"},
               {0x7FF, "4.999"},
               {0x800, "0.000"},
               {0xFFF, "2.499"},
               {0x900, "0.313"},    // 0.3125: a half rounds away from zero
               {0x100, "2.813"}});  // 2.8125
}

TEST(AdcVolts, StraightBinaryFullSpan) {
  ExpectVolts(5.0F, true,
              {{0x000, "0.000"},
               {0x800, "2.500"},
               {0xFFF, "4.999"},
               {0x100, "0.313"},
               {0x080, "0.156"},  // 0.15625: below the half at the third decimal
               {0x040, "0.078"}});
}

TEST(AdcVolts, StraightBinaryHalfSpan) {
  ExpectVolts(2.5F, true, {{0x001, "0.001"}, {0x800, "1.250"}, {0xFFF, "2.499"}});
}

TEST(AdcVolts, NegativeAndZeroReferences) {
  ExpectVolts(-5.0F, true, {{0x100, "-0.313"}, {0x800, "-2.500"}, {0x000, "0.000"}});
  ExpectVolts(-5.0F, false, {{0x000, "-2.500"}, {0x800, "0.000"}});
  ExpectVolts(0.0F, false, {{0x000, "0.000"}, {0xFFF, "0.000"}});
  ExpectVolts(-0.0F, true, {{0xFFF, "0.000"}});
}

TEST(AdcFormatFixed, RoundsHalvesAwayFromZeroAndNeverShowsMinusZero) {
  struct Case {
    double value;
    int decimals;
    const char* text;
  };
  const Case cases[] = {
      {0.0, 3, "0.000"},       {-0.0, 3, "0.000"},
      {0.0005, 3, "0.001"},    {-0.0005, 3, "-0.001"},
      {2.0005, 3, "2.001"},  // just below the half in binary, a half in decimal
      {0.00049, 3, "0.000"},   {-0.00049, 3, "0.000"},  // rounds to zero: no minus sign
      {-0.0001, 3, "0.000"},   {0.0004, 3, "0.000"},
      {0.0625, 3, "0.063"},    {9.9995, 3, "10.000"},  // carry into a new integer digit
      {-9.9995, 3, "-10.000"}, {999.9996, 3, "1000.000"},
      {1.25, 3, "1.250"},      {123456.789, 3, "123456.789"},
      {1e-300, 3, "0.000"},    {1e20, 3, "100000000000000000000.000"},
      {3.3, 2, "3.30"},        {0.005, 2, "0.01"},
      {0.004999, 2, "0.00"},   {-1.0, 2, "-1.00"},
      {7.0, 0, "7"},           {6.5, 0, "7"},
      {-6.5, 0, "-7"},         {0.4, 0, "0"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text) << c.value;
  }
}

TEST(AdcFormatFixed, SinglePrecisionRoundsTheNumberAsTyped) {
  // 2.675F is 2.67499995..., but it reads back as 2.675 and shows as typed.
  EXPECT_EQ(FormatFixed(2.675F, 2), "2.68");
  EXPECT_EQ(FormatFixed(3.3F, 2), "3.30");
  EXPECT_EQ(FormatFixed(-0.004F, 2), "0.00");
  EXPECT_EQ(FormatFixed(std::numeric_limits<float>::max(), 2),
            "340282350000000000000000000000000000000.00");
}

TEST(AdcFormatFixed, NonFiniteNeverReachesTheText) {
  for (const double value :
       {std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_EQ(FormatFixed(value, 3), "0.000");
  }
  EXPECT_EQ(FormatFixed(std::numeric_limits<float>::infinity(), 2), "0.00");
}

}  // namespace
}  // namespace kx::adc
