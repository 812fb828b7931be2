#pragma once

#include <optional>
#include <string>
#include <vector>

#include "board/backend/link_options.h"
#include "session/edition.h"

namespace kx::ctl {

// The options that come before the first command.
struct CtlOptions {
  const Edition* edition = &Version2Edition;  // link library, reply decoding, ADC word rules
  bool json = false;
  board::LinkOptions link;         // --simulate, --sim-settings, --trace, the USB options
  std::vector<std::string> words;  // the commands, from the first one on
};

// Run with the options, or stop with `exit_code` after printing `text` (help
// and version to standard output, errors to standard error).
struct ParsedCtlOptions {
  std::optional<CtlOptions> options;
  int exit_code = 0;
  std::string text;
  bool text_is_error = false;
};

// `args` excludes the program name.
ParsedCtlOptions ParseCtlOptions(const std::vector<std::string>& args);

}  // namespace kx::ctl
