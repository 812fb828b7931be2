#pragma once

#include <string>

namespace kx::ctl {

// The commands part of --help, from the command table.
std::string CommandsHelp();

}  // namespace kx::ctl
