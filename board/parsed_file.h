#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <type_traits>

namespace kx::board {

// How ParseFileAtMost tells a file it could not take.
struct FileWords {
  // What the file is not when it is too large: "a set-up" gives
  // "PATH: larger than 64 KiB, not a set-up".
  std::string_view kind;
  // A result's files tell every problem after their path instead, with
  // `about` between the two: "PATH: ABOUTcannot read it: REASON" and
  // "PATH: ABOUTlarger than 1 MiB: not KIND".
  bool after_path = false;
  std::string_view about = {};
};

// The limit as the messages give it: "64 KiB", "16 MiB", else in bytes.
std::string SizeText(std::size_t bytes);

// Reads the file at `path` whole, as ReadFileAtMost does with `limit`, and
// hands its text to `parse`, which answers what is wrong with it, or nothing
// when it took the text. Returns the message, empty when the text was taken:
//   "cannot read PATH: REASON"           it is missing, no regular file, unreadable
//   "PATH: larger than 64 KiB, not KIND" (or as `words` says)
//   "PATH: " and the parser's answer
std::string ParseFileAtMost(const std::string& path, std::size_t limit, const FileWords& words,
                            const std::function<std::string(std::string_view)>& parse);

// The same for a parser that answers with a read of its own holding an
// `error`, empty when it took the text (as `session::SetupRead`): the
// parser's read, or an empty one, with the message as its error.
template <class Parse>
std::invoke_result_t<Parse, std::string_view> ReadParsedFile(const std::string& path,
                                                             std::size_t limit,
                                                             std::string_view kind, Parse parse) {
  std::invoke_result_t<Parse, std::string_view> read{};
  read.error = ParseFileAtMost(path, limit, FileWords{kind}, [&](std::string_view text) {
    read = parse(text);
    return read.error;
  });
  return read;
}

}  // namespace kx::board
