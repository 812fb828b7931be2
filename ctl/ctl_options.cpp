#include "ctl/ctl_options.h"

#include <CLI/CLI.hpp>
#include <memory>

#include "board/backend/link_options.h"
#include "board/command_line.h"
#include "commands/exit_status.h"
#include "ctl/help_text.h"

namespace kx::ctl {

namespace {

const board::ProgramIdentity kProgram{"kx7312ctl", CtlVersion, "Run with --help for the usage."};

// The tool's own options, bound to where their values go.
struct ToolApp {
  CLI::App app{
      "kx7312ctl: every panel operation of the KX7312 evaluation board from the command "
      "line",
      "kx7312ctl"};
  CtlOptions options;
  std::string edition = "version2";
  std::unique_ptr<board::LinkOptionReader> link;

  ToolApp() {
    app.prefix_command();
    app.footer(CommandsHelp());
    board::AddVersionFlag(app, kProgram);
    app.add_option("--edition", edition,
                   "version2 (default) or classic: the link library, reply decoding and ADC word "
                   "rules of KX7312(version2) or KX7312")
        ->check(CLI::IsMember({"version2", "classic"}));
    link = std::make_unique<board::LinkOptionReader>(app);
    app.add_flag("--json", options.json, "One JSON object per command instead of plain lines");
  }
};

// The long names of the tool's options, those with a value only if asked.
std::vector<std::string> OptionNames(bool with_values_only) {
  const ToolApp tool;
  std::vector<std::string> found;
  for (const CLI::Option* option : tool.app.get_options()) {
    if (with_values_only && option->get_expected_min() == 0) {
      continue;
    }
    for (const std::string& name : option->get_lnames()) {
      found.push_back("--" + name);
    }
  }
  return found;
}

}  // namespace

const std::vector<std::string>& GlobalOptionNames() {
  static const std::vector<std::string> names = OptionNames(false);
  return names;
}

const std::vector<std::string>& GlobalOptionsWithValues() {
  static const std::vector<std::string> names = OptionNames(true);
  return names;
}

ParsedCtlOptions ParseCtlOptions(const std::vector<std::string>& args) {
  ToolApp tool;
  ParsedCtlOptions parsed;
  if (const auto stop = board::ParseCommandLine(tool.app, args, kProgram)) {
    parsed.exit_code = stop->exit_code;
    parsed.text = stop->text;
    parsed.text_is_error = stop->text_is_error;
    return parsed;
  }

  CtlOptions options = tool.options;
  options.edition = tool.edition == "classic" ? &ClassicEdition : &Version2Edition;
  tool.link->Apply(options.link);
  options.words = tool.app.remaining();
  if (!options.words.empty() && options.words.front() == "--") {
    options.words.erase(options.words.begin());
  }
  if (options.words.empty()) {
    parsed.exit_code = ExitUsage;
    parsed.text_is_error = true;
    parsed.text = "kx7312ctl: no command given\nRun with --help for the usage.\n";
    return parsed;
  }
  parsed.options = std::move(options);
  return parsed;
}

}  // namespace kx::ctl
