#pragma once

#include <string>

#include "board/board_link.h"
#include "support/fake_operator.h"

namespace kx::board::win {

// Drives a link through a start-up, a DAC load of all sixteen channels, the
// control lines, an ADC read with both signs of the word's high half and a
// reload: every function of the library with the argument values that tell
// a wrong width or sign apart. `port` hears of a failed download as the
// window would.
void Exercise(BoardLink& link, kx::testing::FakeOperator& port);

}  // namespace kx::board::win
