// A small file read and parsed: the read's problems told in the words of its
// kind, the parser's own after the path, and nothing once the text is taken.
#include "board/parsed_file.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <system_error>

#include "support/temp_folder.h"

namespace kx::board {
namespace {

struct Case {
  const char* what;
  std::optional<std::string> bytes;  // none: no file
  std::size_t limit;
  FileWords words;
  std::string answer;   // the parser's
  std::string message;  // {}: the path
};

TEST(ParsedFile, ProblemsAreToldInTheWordsOfTheirKind) {
  const std::string missing = std::generic_category().message(ENOENT);
  const FileWords setup{"a set-up"};
  const FileWords csv{"a linearity result", true};
  const FileWords metadata{"a linearity result", true, "the result's metadata file: "};
  const Case cases[] = {
      {"taken", "[]", 64 << 10, setup, "", ""},
      {"the parser's answer", "{", 64 << 10, setup, "not valid JSON", "{}: not valid JSON"},
      {"missing", std::nullopt, 64 << 10, setup, "", "cannot read {}: " + missing},
      {"too large", std::string((64 << 10) + 1, ' '), 64 << 10, setup, "",
       "{}: larger than 64 KiB, not a set-up"},
      {"too large, odd limit", "12345", 4, setup, "", "{}: larger than 4 bytes, not a set-up"},
      {"missing result", std::nullopt, 16 << 20, csv, "", "{}: cannot read it: " + missing},
      {"too large metadata", std::string((1 << 20) + 1, ' '), 1 << 20, metadata, "",
       "{}: the result's metadata file: larger than 1 MiB: not a linearity result"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const testing::TempFolder folder;
    const std::string path = folder.File("P");
    if (c.bytes) {
      testing::WriteBytes(path, *c.bytes);
    }
    std::optional<std::string> parsed;
    const std::string message = ParseFileAtMost(path, c.limit, c.words, [&](std::string_view text) {
      parsed = text;
      return c.answer;
    });
    EXPECT_EQ(message, fmt::format(fmt::runtime(c.message), path));
    // The parser sees the file's text, and only a file read whole.
    EXPECT_EQ(parsed, c.bytes && c.bytes->size() <= c.limit ? c.bytes : std::nullopt);
  }
}

}  // namespace
}  // namespace kx::board
