#include "board/command_line.h"

namespace kx::board {

namespace {

std::string VersionLine(const ProgramIdentity& program) {
  return program.name + " " + program.version;
}

}  // namespace

void AddVersionFlag(CLI::App& app, const ProgramIdentity& program) {
  app.set_version_flag("--version", VersionLine(program));
}

std::optional<CommandLineStop> ParseCommandLine(CLI::App& app, const std::vector<std::string>& args,
                                                const ProgramIdentity& program) {
  // CLI11 wants the arguments last to first.
  std::vector<std::string> reversed(args.rbegin(), args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::CallForHelp&) {
    return CommandLineStop{0, app.help(), false};
  } catch (const CLI::CallForAllHelp&) {
    return CommandLineStop{0, app.help(), false};
  } catch (const CLI::CallForVersion&) {
    return CommandLineStop{0, VersionLine(program) + "\n", false};
  } catch (const CLI::ParseError& error) {
    std::string text = program.name + ": " + error.what() + "\n";
    if (!program.after_mistake.empty()) {
      text += program.after_mistake + "\n";
    }
    return CommandLineStop{CommandLineMistake, std::move(text), true};
  }
  return std::nullopt;
}

}  // namespace kx::board
