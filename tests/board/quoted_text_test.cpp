#include "board/quoted_text.h"

#include <gtest/gtest.h>

namespace kx::board {
namespace {

TEST(QuotedStart, ShortTextsWholeLongOnesByTheirStartWithoutSplittingACharacter) {
  struct Case {
    std::string_view text;
    std::size_t longest;
    std::string quoted;
  };
  const Case cases[] = {
      {"", 4, "\"\""},
      {"1FF", 4, "\"1FF\""},
      {"ABCD", 4, "\"ABCD\""},
      {"ABCDE", 4, "\"ABCD...\""},
      // "Ä" is two bytes: a cut inside it backs off to its start.
      {"ABC\xC3\x84X", 4, "\"ABC...\""},
      {"AB\xC3\x84X", 4, "\"AB\xC3\x84...\""},
      // A run of continuation bytes alone backs off to nothing.
      {"\x80\x80\x80\x80\x80", 2, "\"...\""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(QuotedStart(c.text, c.longest), c.quoted) << c.text;
  }
}

}  // namespace
}  // namespace kx::board
