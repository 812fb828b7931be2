#pragma once

namespace kx::view {

// kx7312-view's whole run: the options, then either the report on standard
// output (no window system needed) or the window. Returns the exit status:
// 0, 1 when the file could not be read for the report or the screenshots, 2
// for bad usage.
int RunView(int argc, char** argv);

}  // namespace kx::view
