#pragma once

#include <filesystem>

namespace kx::testing {

// Points the user's configuration folder of this test program, and of every
// program it starts, at an empty folder of its own (HOME and XDG_CONFIG_HOME;
// APPDATA on Windows), made at the first call and removed at the end: a
// developer's own calibration must never change a test's result. Returns the
// folder that holds "kx7312/calibration".
const std::filesystem::path& PrivateConfigHome();

// The same variables pointed at `config` (the folder that is to hold
// "kx7312/calibration") for a test that wants one of its own.
void UseConfigFolder(const std::filesystem::path& config);

}  // namespace kx::testing
