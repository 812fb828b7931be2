#pragma once

#include <CLI/CLI.hpp>
#include <optional>
#include <string>
#include <vector>

namespace kx::board {

// A program as its command line names it: "kx7312ctl 1.05", and the line
// that follows a mistake ("Run with --help for the usage."; none if empty).
struct ProgramIdentity {
  std::string name;
  std::string version;
  std::string after_mistake;
};

// Where the command line stops a program before it runs: `text` to print
// (help and version on standard output, a mistake on standard error) and
// the exit status.
struct CommandLineStop {
  int exit_code = 0;
  std::string text;
  bool text_is_error = false;
};

// The exit status of every mistake on a command line.
inline constexpr int CommandLineMistake = 2;

// Declares --version on `app`; where it is declared is where --help lists it.
void AddVersionFlag(CLI::App& app, const ProgramIdentity& program);

// Parses `args` (without the program name, first to last) on `app`. Nothing
// when the program goes on; the help, the version line or the mistake
// otherwise.
std::optional<CommandLineStop> ParseCommandLine(CLI::App& app, const std::vector<std::string>& args,
                                                const ProgramIdentity& program);

}  // namespace kx::board
