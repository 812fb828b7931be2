#include "adc/reference_entry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace kx::adc {
namespace {

TEST(ReferenceNumber, ReadsTheLeadingNumberAndSkipsBlanksAnywhere) {
  struct Case {
    const char* text;
    float value;
  };
  const Case cases[] = {
      {"2.50", 2.5F},
      {"2.5V", 2.5F},
      {"1,8", 1.0F},
      {"2 . 5", 2.5F},
      {" \t\n3.3", 3.3F},
      {"-1", -1.0F},
      {"+4", 4.0F},
      {"- 1.5", -1.5F},
      {".5", 0.5F},
      {"-.25", -0.25F},
      {"5.", 5.0F},
      {"1.2.3", 1.2F},  // a second point ends the number
      {"2.5E1", 25.0F},
      {"2.5e-1", 0.25F},
      {"25D-1", 2.5F},
      {"1d2", 100.0F},
      {"1 E + 2", 100.0F},
      {"2.5E", 2.5F},  // an exponent without digits adds nothing
      {"2.5E+", 2.5F},
      {"2.5Ex", 2.5F},
      {"007", 7.0F},
      {"3\r", 3.0F},  // CR is not one of the
                      // skipped blanks, but
                      // it ends the number
      {"2.5\t", 2.5F},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadReferenceNumber(c.text), c.value) << '"' << c.text << '"';
  }
}

TEST(ReferenceNumber, TextWithoutALeadingNumberGivesZero) {
  for (const char* text : {"", "abc", "V2.5", ".", "-", "+-1", "--1", "E5", " . ", "\r2.5"}) {
    EXPECT_EQ(ReadReferenceNumber(text), 0.0F) << '"' << text << '"';
  }
}

TEST(ReferenceNumber, ValuesOutsideSinglePrecisionCountAsZero) {
  struct Case {
    std::string text;
    float value;
  };
  const Case cases[] = {
      {"1e39", 0.0F},
      {"-1e39", 0.0F},
      {"3.4e38", 0.0F},  // fits a float, but twice it would not
      {"1e99999999999999999999", 0.0F},
      {"1e-50", 0.0F},
      {"1e-99999999999999999999", 0.0F},
      {std::string(400, '9'), 0.0F},
      {"1.7e38", 1.7e38F},
      {"-1.7e38", -1.7e38F},
      {"1e-30", 1e-30F},
  };
  for (const Case& c : cases) {
    const float value = ReadReferenceNumber(c.text);
    EXPECT_TRUE(std::isfinite(value)) << c.text;
    EXPECT_EQ(value, c.value) << c.text;
  }
  EXPECT_EQ(ReadReferenceNumber(std::to_string(LargestReference)), LargestReference);
}

TEST(ReferenceText, NormalisesToTwoDecimals) {
  struct Case {
    std::string text;
    const char* shown;
  };
  const Case cases[] = {
      {"3.3", "3.30"},    {"abc", "0.00"},
      {"", "0.00"},       {"-1", "-1.00"},
      {"2.50", "2.50"},   {"2.5V", "2.50"},
      {"1,8", "1.00"},    {"2 . 5", "2.50"},
      {"2.675", "2.68"},  {"0.005", "0.01"},
      {"0.004", "0.00"},  {"-0.004", "0.00"},  // never "-0.00"
      {"-0", "0.00"},     {"12345.678", "12345.68"},
      {"1e3", "1000.00"}, {"1e39", "0.00"},
      {"1e-50", "0.00"},  {"1.7e38", "170000000000000000000000000000000000000.00"},
  };
  for (const Case& c : cases) {
    const std::string shown = NormaliseReferenceText(c.text);
    EXPECT_EQ(shown, c.shown) << '"' << c.text << '"';
    EXPECT_EQ(shown.find("inf"), std::string::npos);
    EXPECT_EQ(shown.find("nan"), std::string::npos);
  }
}

TEST(ReferenceText, NormalisingTwiceChangesNothing) {
  for (const char* text : {"3.3", "2.675", "-1", "abc", "1e3"}) {
    const std::string once = NormaliseReferenceText(text);
    EXPECT_EQ(NormaliseReferenceText(once), once);
  }
}

}  // namespace
}  // namespace kx::adc
