#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

#include "ctl/command.h"
#include "programs/edition.h"

namespace kx::ctl {

// A script larger than this is refused rather than read into memory; a
// 10,000-line script is a few hundred kilobytes.
inline constexpr std::size_t LargestScript = std::size_t{64} * 1024 * 1024;

// The name standard input goes by in messages.
inline constexpr const char* StandardInputName = "<stdin>";

struct LineWords {
  std::vector<std::string> words;
  std::string error;  // empty: the line was split
};

// One script line as words: blanks separate them, a word in double quotes may
// hold blanks ("my samples.txt"), and a word starting with # begins a comment
// that runs to the end of the line.
LineWords SplitScriptLine(std::string_view line);

struct CommandList {
  std::vector<Command> commands;
  std::string error;  // empty: every command was understood; else nothing may run
};

// The commands of a script's text, one per line. Blank lines and comments
// are skipped; CR LF line ends and a leading byte-order mark are taken as a
// Windows editor writes them. A script cannot run another script.
CommandList ParseScript(std::string_view text, const std::string& name, const Edition& edition);

// Every command of one call, in order: the command line's, with each
// `script FILE` replaced by the commands of its lines. All scripts are read
// and checked before the call starts, so a mistake on the last line stops the
// call before anything is sent. `script -` reads `standard_input` to its end,
// once.
CommandList ReadCommands(const std::vector<std::string>& tokens, const Edition& edition,
                         std::istream& standard_input);

}  // namespace kx::ctl
