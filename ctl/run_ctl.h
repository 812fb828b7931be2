#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "board/board_link_factory.h"
#include "ctl/command.h"
#include "ctl/console_port.h"
#include "ctl/exit_status.h"
#include "ctl/script.h"
#include "logger/log_clock.h"
#include "session/edition.h"

namespace kx::ctl {

// One whole call of the tool: options, commands and scripts checked, link
// backend made, start-up, every command. Returns the exit status.
int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);

struct CtlOptions;

// `kx7312ctl serve ...`: the options given and the words from "serve" on.
// Given by builds that have the server; without it "serve" is refused.
using ServeEntry =
    std::function<int(const CtlOptions& options, std::ostream& out, std::ostream& err)>;
int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const ServeEntry& serve);

// Where RunCommands runs: the link libraries, the port they report to (if
// any), the folder holding the firmware image, and optionally the backend's
// own account of why a board could not be reached.
struct LinkSetup {
  board::LinkLibraries libraries;
  ConsolePort& port;
  std::string program_folder;
  std::function<std::string()> link_problem;
  // The data logger's clock: the machine's unless a test gives its own.
  logger::LogClock* log_clock = nullptr;
};

// Makes the link backend the options name and runs `body` over it. Returns
// the body's status, or 2 when no backend could be made, or 1 when the
// trace file could not be written (said last on `err`).
int WithLink(const CtlOptions& options, std::ostream& err,
             const std::function<int(const LinkSetup& link)>& body);

// Start-up and the commands, stopping at the first failure. A script's
// commands are parsed from its checked text one at a time as they run.
int RunCommands(const Edition& edition, const LinkSetup& link, const CommandSequence& commands,
                bool json, std::ostream& out, std::ostream& err);

}  // namespace kx::ctl
