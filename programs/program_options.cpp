#include "programs/program_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <string_view>

namespace kx::programs {

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
  ProgramOptions options;
  std::string sim_settings;
  std::string trace;
  std::string usb_id;
  std::string usb_loader_id;
  std::string usb_bus;

  app.set_version_flag("--version", std::string(edition.program_name) + " " + edition.version_text);
  CLI::Option* simulate =
      app.add_flag("--simulate", options.simulate, "Run on the simulated board instead of USB");
  app.add_option("--sim-settings", sim_settings,
                 "JSON settings of the simulated board: present, external_reference, "
                 "adc_reference, inputs")
      ->type_name("FILE")
      ->needs(simulate);
  app.add_option("--trace", trace, "Append every link-library call to FILE, one line each")
      ->type_name("FILE");
  app.add_option("--usb-id", usb_id, "USB identifier of the board running its firmware")
      ->type_name("VID:PID")
      ->excludes(simulate);
  app.add_option("--usb-loader-id", usb_loader_id,
                 "USB identifier of a board still waiting for its firmware")
      ->type_name("VID:PID")
      ->excludes(simulate);
  app.add_option("--usb-bus", usb_bus, "Use the board at this bus and device address")
      ->type_name("BUS:ADDR")
      ->excludes(simulate);

  // CLI11 wants the arguments last to first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  ParsedOptions parsed;
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    parsed.text = app.help();
    return parsed;
  } catch (const CLI::CallForVersion&) {
    parsed.text = std::string(edition.program_name) + " " + edition.version_text + "\n";
    return parsed;
  } catch (const CLI::ParseError& error) {
    parsed.exit_code = 2;
    parsed.text_is_error = true;
    parsed.text = std::string(edition.program_name) + ": " + error.what() +
                  "\nRun with --help for the options.\n";
    return parsed;
  }
  auto given = [&app](const char* name, const std::string& value) {
    return app.count(name) > 0 ? std::optional<std::string>(value) : std::nullopt;
  };
  options.sim_settings = given("--sim-settings", sim_settings);
  options.trace = given("--trace", trace);
  options.usb_id = given("--usb-id", usb_id);
  options.usb_loader_id = given("--usb-loader-id", usb_loader_id);
  options.usb_bus = given("--usb-bus", usb_bus);
  parsed.options = options;
  return parsed;
}

}  // namespace kx::programs
