#pragma once

#include <filesystem>

namespace kx::testing {

// Points XDG_CONFIG_HOME and HOME of this test program, and of every program
// it starts, at an empty folder of its own, made at the first call and
// removed at the end: a developer's own calibration must never change a
// test's result. Returns the folder.
const std::filesystem::path& PrivateConfigHome();

}  // namespace kx::testing
