#pragma once

#include <optional>
#include <string>
#include <vector>

#include "commands/call_options.h"
#include "ctl/commands_vocabulary.h"

namespace kx::ctl {

// Run with the options, or stop with `exit_code` after printing `text` (help
// and version to standard output, errors to standard error).
struct ParsedCtlOptions {
  std::optional<CtlOptions> options;
  int exit_code = 0;
  std::string text;
  bool text_is_error = false;
};

// The names of the options that come before the first command, as the
// parser knows them: "--edition", "--json", ...
const std::vector<std::string>& GlobalOptionNames();
// Those of them that take a value: "--edition", "--trace", ...
const std::vector<std::string>& GlobalOptionsWithValues();

// `args` excludes the program name.
ParsedCtlOptions ParseCtlOptions(const std::vector<std::string>& args);

}  // namespace kx::ctl
