#pragma once

#include <string>

#include "analysis/linearity/code_density.h"
#include "analysis/linearity/dac_sweep.h"

namespace kx::linearity {

// The figures as a person reads them, a line each, every line ending in a
// newline; kx7312ctl and the viewer's report print them.
std::string DensityText(const DensityLinearity& result);
std::string SweepText(const SweepLinearity& result);

}  // namespace kx::linearity
