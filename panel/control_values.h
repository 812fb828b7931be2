#pragma once

#include <array>

#include "dac/dac_lists.h"
#include "dac/dac_operations.h"

class QCheckBox;

namespace kx::panel {

class TextBox;

// What the operations read off the window's control arrays.
dac::DacOperations::ChannelTicks Ticks(const std::array<QCheckBox*, 16>& boxes);
// The eight boxes of one DAC group (0: DAC0 to DAC7, 1: DAC8 to DAC15).
dac::GroupTicks GroupTicksOf(const std::array<QCheckBox*, 16>& boxes, int group);
dac::DacOperations::ChannelTexts Texts(const std::array<TextBox*, 16>& boxes);

}  // namespace kx::panel
