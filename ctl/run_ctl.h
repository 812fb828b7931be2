#pragma once

#include <functional>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "board/board_link_factory.h"
#include "commands/call_link.h"
#include "commands/call_options.h"
#include "commands/command.h"
#include "commands/console_port.h"
#include "commands/exit_status.h"
#include "ctl/commands_vocabulary.h"
#include "ctl/script.h"
#include "logger/log_clock.h"
#include "session/edition.h"

namespace kx::ctl {

// One whole call of the tool: options, commands and scripts checked, link
// backend made, start-up, every command. Returns the exit status.
int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err);

// `kx7312ctl serve ...`: the options given and the words from "serve" on.
// Given by builds that have the server; without it "serve" is refused.
using ServeEntry = std::function<int(const CtlOptions& options, const ServeRequest& request,
                                     std::ostream& out, std::ostream& err)>;
int RunCtl(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
           std::ostream& err, const ServeEntry& serve);

// Start-up and the commands, stopping at the first failure. A script's
// commands are parsed from its checked text one at a time as they run.
int RunCommands(const Edition& edition, const LinkSetup& link, const CommandSequence& commands,
                bool json, std::ostream& out, std::ostream& err);

// `kx7312ctl list`: the boards the link's backend finds, with no start-up.
int ListBoards(const Edition& edition, const LinkSetup& link, bool json, std::ostream& out,
               std::ostream& err);

}  // namespace kx::ctl
