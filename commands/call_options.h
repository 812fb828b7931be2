#pragma once

#include <string>
#include <vector>

#include "board/backend/link_options.h"
#include "session/edition.h"

namespace kx::commands {

// The options that come before the first command.
struct CtlOptions {
  const Edition* edition = &Version2Edition;  // link library, reply decoding, ADC word rules
  bool json = false;
  board::LinkOptions link;         // --simulate, --sim-settings, --trace, the USB options
  std::vector<std::string> words;  // the commands, from the first one on
};

}  // namespace kx::commands
