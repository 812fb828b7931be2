#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/capture_report.h"
#include "analysis/spectrum.h"

namespace kx::view {

struct ViewOptions {
  std::string file;  // empty: the window opens with no capture
  bool follow = false;
  bool report = false;
  bool json = false;
  int channel = 0;
  bool channel_given = false;  // a log refuses it: it has no spectrum
  analysis::ScaleChoice scale;
  analysis::WindowKind window = analysis::WindowKind::BlackmanHarris;
  std::string screenshots;  // a folder: save each view as PNG and stop
  std::string numpy;        // FILE.npy or FILE.npz: export the data for NumPy and stop
};

// Run with the options, or stop with `exit_code` after printing `text`
// (help and version on standard output, mistakes on standard error).
struct ParsedViewOptions {
  std::optional<ViewOptions> options;
  int exit_code = 0;
  std::string text;
  bool text_is_error = false;
};

// `args` excludes the program name and Qt's own options.
ParsedViewOptions ParseViewOptions(const std::vector<std::string>& args);

// The arguments without Qt's own (-platform NAME, -style=NAME, -reverse, ...),
// which the window takes when it opens.
std::vector<std::string> WithoutQtOptions(const std::vector<std::string>& args);

}  // namespace kx::view
