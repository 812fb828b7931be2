#include "panel/panel_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <string_view>

#include "board/backend/link_options.h"
#include "board/command_line.h"

namespace kx::panel {

namespace {

// Qt's own command-line options, with whether each takes a value.
struct QtOption {
  std::string_view name;
  bool takes_value;
};
constexpr std::array<QtOption, 14> kQtOptions = {{
    {"-platform", true},
    {"-platformpluginpath", true},
    {"-platformtheme", true},
    {"-plugin", true},
    {"-display", true},
    {"-style", true},
    {"-stylesheet", true},
    {"-geometry", true},
    {"-qwindowgeometry", true},
    {"-qwindowtitle", true},
    {"-title", true},
    {"-session", true},
    {"-reverse", false},
    {"-widgetcount", false},
}};

}  // namespace

SplitArguments SplitCommandLine(int argc, const char* const* argv) {
  SplitArguments split;
  split.qt.emplace_back(argc > 0 ? argv[0] : "kx7312");
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const auto* qt = std::find_if(kQtOptions.begin(), kQtOptions.end(),
                                  [&](const QtOption& o) { return o.name == arg; });
    if (qt == kQtOptions.end()) {
      split.own.emplace_back(arg);
      continue;
    }
    split.qt.emplace_back(arg);
    if (qt->takes_value && i + 1 < argc) {
      split.qt.emplace_back(argv[++i]);
    }
  }
  return split;
}

ParsedOptions ParseProgramOptions(const Edition& edition, const std::vector<std::string>& args) {
  CLI::App app{
      std::string(edition.program_name) + ": control panel for the KX7312 evaluation board",
      edition.program_name};
  const board::ProgramIdentity program{edition.program_name, edition.version_text,
                                       "Run with --help for the options."};
  const board::LinkOptionReader link(app);
  board::AddVersionFlag(app, program);
  ParsedOptions parsed;
  app.add_option("--setup", parsed.setup_file,
                 "A set-up file (kx7312ctl setup save) to reach once the board has started; "
                 "the window shows its state")
      ->type_name("FILE");
  // Only the program that shows volts has something to calibrate.
  std::string calibration = "auto";
  if (edition.HasVolts()) {
    app.add_option("--calibration", calibration,
                   "The calibration the ADC volts' tooltips are corrected with: the board's own "
                   "file (auto, the default), none, or a FILE of this board")
        ->type_name("FILE|auto|none")
        ->check(CLI::Validator(
            [](const std::string& value) {
              return value.empty() ? std::string("an empty name is no calibration file")
                                   : std::string();
            },
            ""));
  }

  if (const auto stop = board::ParseCommandLine(app, args, program)) {
    parsed.exit_code = stop->exit_code;
    parsed.text = stop->text;
    parsed.text_is_error = stop->text_is_error;
    return parsed;
  }
  board::LinkOptions options;
  link.Apply(options);
  parsed.options = options;
  using Kind = session::CalibrationChoice::Kind;
  parsed.calibration = calibration == "auto" ? session::CalibrationChoice{}
                       : calibration == "none"
                           ? session::CalibrationChoice{Kind::None, {}}
                           : session::CalibrationChoice{Kind::File, calibration};
  return parsed;
}

}  // namespace kx::panel
