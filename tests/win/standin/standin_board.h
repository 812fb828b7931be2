#pragma once

#include "board/sim/sim_board.h"

namespace kx::standin {

// The one simulated board behind a stand-in library, made at its first call
// and alive while the library is loaded. KX_STANDIN_SETTINGS may name a
// settings file of the simulated board (a board that is absent, say); a file
// that cannot be read leaves the board absent and says why on standard error.
board::sim::SimBoard& Board();

}  // namespace kx::standin
