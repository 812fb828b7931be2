#include "ctl/run_ctl.h"

#include <memory>
#include <string>
#include <variant>

#include "board/backend/link_backend.h"
#include "board/firmware_path.h"
#include "ctl/ctl_options.h"
#include "ctl/output.h"
#include "ctl/script.h"
#include "ctl/session.h"
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
    if (outcome.log && outcome.log->stopped) {
      break;
    }
  }
  if (!out.flush()) {
    err << "kx7312ctl: the output could not be written\n";
    return ExitFailure;
  }
  return ExitSuccess;
}

int WithLink(const CtlOptions& options, std::ostream& err,
             const std::function<int(const LinkSetup& link)>& body) {
  ConsolePort port;
  auto created = board::LinkBackend::Create(options.edition->link, options.link, port);
  if (const auto* error = std::get_if<std::string>(&created)) {
    err << "kx7312ctl: " << *error << "\n";
    return ExitUsage;
  }
  const board::LinkBackend& backend = *std::get<std::unique_ptr<board::LinkBackend>>(created);
  LinkSetup link{backend.Libraries(), port, board::FirmwareFolder(),
                 [&backend] { return backend.LastProblem(); }};
  const int status = body(link);
  // Said once, at the end: the link went on without its trace, but a trace
  // that silently misses calls would mislead whoever reads it.
  if (const std::string trace = backend.TraceProblem(); !trace.empty()) {
    err << "kx7312ctl: " << trace << "\n";
    return ExitFailure;
  }
  return status;
}

int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err) {
  return RunCtl(args, in, out, err, {});
}

int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const ServeEntry& serve) {
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
    return serve(options, out, err);
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
