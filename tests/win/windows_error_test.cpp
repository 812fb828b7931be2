#include "board/win/windows_error.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace kx::board::win {
namespace {

TEST(WindowsErrorText, GivesTheSystemTextOnOneLineWithTheCode) {
  const std::string text = WindowsErrorText(ERROR_MOD_NOT_FOUND);
  const std::string code = " (error 126)";
  ASSERT_GT(text.size(), code.size() + 5);
  EXPECT_EQ(text.substr(text.size() - code.size()), code);
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  EXPECT_NE(text[text.size() - code.size() - 1], ' ');
}

TEST(WindowsErrorText, NamesTheBitnessWhenTheFileIsOfTheWrongKind) {
  const std::string text = WindowsErrorText(ERROR_BAD_EXE_FORMAT);
  EXPECT_NE(text.find("(error 193)"), std::string::npos);
  EXPECT_NE(text.find(sizeof(void*) == 8 ? "64-bit program" : "32-bit program"), std::string::npos);
  EXPECT_EQ(text.find("%1"), std::string::npos) << text;
}

TEST(WindowsErrorText, StillNamesACodeTheSystemHasNoTextFor) {
  // Bit 29 marks codes of applications, which the system cannot describe.
  EXPECT_EQ(WindowsErrorText(0x20001234UL),
            "Windows error without a description (error 536875572)");
}

}  // namespace
}  // namespace kx::board::win
