#pragma once

#include <string>
#include <string_view>

namespace kx::board {

// Which board this is, for what is kept per board (its calibration): the
// serial number where the board reports one, else the name the user gave it
// (--board-name). Empty where it has neither.
struct BoardIdentity {
  std::string serial;
  std::string name;

  // The word a per-board file is named by: the serial with every character
  // a file name should not hold made '_', else the name; empty without
  // either.
  std::string FileWord() const;
  bool Known() const { return !serial.empty() || !name.empty(); }
};

inline constexpr std::size_t LongestBoardName = 64;

// A board name is one file-name-safe word: 1 to 64 letters, digits, '-',
// '_' or '.', not starting with '.'. Returns the reason it is not, naming
// the text; empty when it is.
std::string CheckBoardName(std::string_view text);

}  // namespace kx::board
