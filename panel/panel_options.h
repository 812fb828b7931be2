#pragma once

#include <optional>
#include <string>
#include <vector>

#include "board/backend/link_options.h"
#include "session/calibration.h"
#include "session/edition.h"

namespace kx::panel {

// What parsing decided: run with the options, or stop with `exit_code` after
// printing `text` (help and version to standard output, errors to standard
// error).
struct ParsedOptions {
  std::optional<board::LinkOptions> options;
  std::string setup_file;  // --setup: loaded once the window has started
  // --calibration: what lblVolts' tooltips are corrected with.
  session::CalibrationChoice calibration;
  int exit_code = 0;
  std::string text;
  bool text_is_error = false;
};

// `args` excludes the program name and the window system's own options.
ParsedOptions ParseProgramOptions(const Edition& edition, const std::vector<std::string>& args);

// Splits a command line into the window system's options ("-platform
// offscreen", "-style fusion", ...), which go to Qt, and the program's own.
struct SplitArguments {
  std::vector<std::string> qt;  // program name first
  std::vector<std::string> own;
};
SplitArguments SplitCommandLine(int argc, const char* const* argv);

}  // namespace kx::panel
