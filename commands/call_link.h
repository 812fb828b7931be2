#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "board/board_link_factory.h"
#include "commands/call_options.h"
#include "commands/console_port.h"
#include "logger/log_clock.h"

namespace kx::commands {

// Where a call's commands run: the link libraries, the port they report to
// (if any), the folder holding the firmware image, and optionally the
// backend's own account of why a board could not be reached.
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

}  // namespace kx::commands
