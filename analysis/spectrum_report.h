#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

#include "analysis/spectrum.h"

namespace kx::analysis {

// A frequency in cycles per sample as the report and the window give it:
// in hertz as well when the sample period is known.
std::optional<double> Hertz(double cycles_per_sample, const std::optional<double>& sample_seconds);

// A spectrum's figures as a person reads them, a line each ending in a
// newline, and as JSON keys; frequencies in hertz as well where the mean
// sample period is known. The viewer's report and kx7312ctl print them.
std::string SpectrumText(const Spectrum& spectrum, int channel,
                         const std::optional<double>& sample_seconds = std::nullopt);
nlohmann::ordered_json SpectrumJson(const Spectrum& spectrum, int channel,
                                    const std::optional<double>& sample_seconds = std::nullopt);

}  // namespace kx::analysis
