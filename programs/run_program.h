#pragma once

#include "programs/edition.h"

namespace kx::programs {

// The whole life of a panel program: options, link backend, window.
int RunProgram(int argc, char** argv, const Edition& edition);

}  // namespace kx::programs
