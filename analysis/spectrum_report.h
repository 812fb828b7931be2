#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "analysis/spectrum.h"

namespace kx::analysis {

// A spectrum's figures as a person reads them, a line each ending in a
// newline, and as JSON keys; kx7312ctl prints them for the capture it took.
std::string SpectrumText(const Spectrum& spectrum, int channel);
nlohmann::ordered_json SpectrumJson(const Spectrum& spectrum, int channel);

}  // namespace kx::analysis
