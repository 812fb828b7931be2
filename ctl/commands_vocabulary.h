#pragma once

#include "commands/command.h"

namespace kx::commands {}

// kx7312ctl is the command model's text front end and speaks its names:
// Command, Session, Outcome and the rest are the model's own.
namespace kx::ctl {
using namespace ::kx::commands;  // NOLINT(google-build-using-namespace)
}  // namespace kx::ctl
