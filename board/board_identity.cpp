#include "board/board_identity.h"

#include <fmt/format.h>

#include <algorithm>

namespace kx::board {
namespace {

bool FileSafe(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || c == '.';
}

}  // namespace

std::string BoardIdentity::FileWord() const {
  if (serial.empty()) {
    return name;
  }
  std::string word = serial;
  std::replace_if(
      word.begin(), word.end(), [](char c) { return !FileSafe(c); }, '_');
  // "." and ".." name folders, and a leading dot hides the file.
  if (word.front() == '.') {
    word.front() = '_';
  }
  return word;
}

std::string CheckBoardName(std::string_view text) {
  const auto refuse = [&](std::string_view reason) {
    // The text as typed, cut short and without control bytes, so that the
    // message stays one line.
    std::string shown(text.substr(0, LongestBoardName + 1));
    std::replace_if(
        shown.begin(), shown.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; },
        '?');
    return fmt::format(
        "invalid --board-name \"{}\": {} (expected 1 to {} letters, digits, '-', "
        "'_' or '.', not starting with '.')",
        shown, reason, LongestBoardName);
  };
  if (text.empty()) {
    return refuse("it is empty");
  }
  if (text.size() > LongestBoardName) {
    return refuse(fmt::format("it is longer than {} characters", LongestBoardName));
  }
  if (text.front() == '.') {
    return refuse("it starts with '.'");
  }
  if (!std::all_of(text.begin(), text.end(), FileSafe)) {
    return refuse("it holds a character a file name should not");
  }
  return {};
}

}  // namespace kx::board
