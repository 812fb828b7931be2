#pragma once

#include "session/edition.h"

namespace kx::panel {

// The whole life of a panel program: options, link backend, window.
int RunProgram(int argc, char** argv, const Edition& edition);

}  // namespace kx::panel
