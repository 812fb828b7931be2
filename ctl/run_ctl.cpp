#include "ctl/run_ctl.h"

#include <memory>
#include <string>
#include <variant>

#include "commands/session.h"
#include "ctl/command_parser.h"
#include "ctl/completion.h"
#include "ctl/ctl_options.h"
#include "ctl/output.h"
#include "ctl/script.h"
#include "ctl/stop_signals.h"

namespace kx::ctl {

int RunCommands(const Edition& edition, const LinkSetup& link, const CommandSequence& commands,
                bool json, std::ostream& out, std::ostream& err) {
  Output output(out, err, json, edition);
  Session session(edition, link.libraries, link.port, link.program_folder, link.link_problem);
  const Outcome started = session.StartUp();
  if (!started.Succeeded()) {
    output.StartUpFailed(started);
    return ExitFailure;
  }
  session.SetLogSetup({link.log_clock, [&err](const std::string& line) {
                         err << "kx7312ctl: " << line << std::endl;
                       }});
  for (const Command& command : commands) {
    Outcome outcome;
    if (std::holds_alternative<AdcLog>(command.action)) {
      // A log runs until its end or a signal; a signal ends the call there,
      // with the file complete.
      StopSignals signals;
      outcome = session.Run(command, [] { return StopSignals::Raised(); });
    } else {
      outcome = session.Run(command);
    }
    output.CommandDone(command, outcome);
    if (!outcome.Succeeded()) {
      return ExitFailure;
    }
    if (const auto* log = outcome.As<LogResult>(); log != nullptr && log->summary.stopped) {
      break;
    }
  }
  if (!out.flush()) {
    err << "kx7312ctl: the output could not be written\n";
    return ExitFailure;
  }
  return ExitSuccess;
}

int ListBoards(const Edition& edition, const LinkSetup& link, bool json, std::ostream& out,
               std::ostream& err) {
  Output output(out, err, json, edition);
  Session session(edition, link.libraries, link.port, link.program_folder, link.link_problem);
  const Command command{"list", commands::ListBoards{}, {}};
  const Outcome outcome = session.Run(command);
  output.CommandDone(command, outcome);
  return outcome.Succeeded() ? ExitSuccess : ExitFailure;
}

int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  return RunCtl(args, in, out, err, {});
}

int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const ServeEntry& serve) {
  // The shell's completion asks the tool itself, which knows what it takes.
  if (!args.empty() && args.front() == "--complete") {
    out << CompletionText({args.begin() + 1, args.end()});
    return ExitSuccess;
  }
  const ParsedCtlOptions parsed = ParseCtlOptions(args);
  if (!parsed.options) {
    (parsed.text_is_error ? err : out) << parsed.text;
    return parsed.exit_code;
  }
  const CtlOptions& options = *parsed.options;
  if (options.words.front() == "serve") {
    if (!serve) {
      err << "kx7312ctl: serve: this build has no server\n";
      return ExitUsage;
    }
    const ParsedServe request = ParseServe(options.words);
    if (!request.request) {
      err << "kx7312ctl: " << request.error << "\n";
      return ExitUsage;
    }
    return serve(options, *request.request, out, err);
  }
  if (options.words.front() == "list") {
    if (const std::string error = CheckList(options.words); !error.empty()) {
      err << "kx7312ctl: " << error << "\n";
      return ExitUsage;
    }
    // No start-up: the boards are found, not spoken to.
    return WithLink(options, err, [&](const LinkSetup& link) {
      return ListBoards(*options.edition, link, options.json, out, err);
    });
  }

  // Every command and every script line is checked before the board hears
  // a word.
  const CommandList commands = ReadCommands(options.words, *options.edition, in);
  if (!commands.error.empty()) {
    err << "kx7312ctl: " << commands.error << "\n";
    return ExitUsage;
  }
  return WithLink(options, err, [&](const LinkSetup& link) {
    return RunCommands(*options.edition, link, commands.commands, options.json, out, err);
  });
}

}  // namespace kx::ctl
