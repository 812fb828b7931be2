#include "board/sim/sim_converter_errors.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <numeric>

namespace kx::board::sim {
namespace {

constexpr double kLastCode = kConverterCodes - 1;

// The noise gets a stream apart from the width pattern's, so that changing
// the noise leaves the pattern as it was.
constexpr std::uint64_t kNoiseStream = 0x9E3779B97F4A7C15ULL;

std::size_t At(int code) {
  return static_cast<std::size_t>(code);
}

}  // namespace

double SmoothInl(const ConverterErrors& errors, double code) {
  const double x = code / kLastCode;
  return errors.bow_lsb * 4.0 * x * (1.0 - x) + errors.s_lsb * std::sin(2.0 * std::numbers::pi * x);
}

std::vector<double> WidthDeviations(const ConverterErrors& errors) {
  std::vector<double> deviations(kConverterCodes, 0.0);
  if (errors.dnl_spread_lsb > 0.0) {
    // Each edge between codes is off on its own, so a width is the
    // difference of two: the DNL has the spread asked for while the INL it
    // adds stays below it instead of wandering off.
    std::mt19937_64 pattern(errors.seed);
    std::normal_distribution<double> jitter(0.0, errors.dnl_spread_lsb / std::numbers::sqrt2);
    std::vector<double> edges(kConverterCodes, 0.0);
    for (int code = 2; code < kConverterCodes - 1; ++code) {
      edges[At(code)] = jitter(pattern);
    }
    for (int code = 1; code < kConverterCodes - 1; ++code) {
      // A code can narrow to nothing, never below.
      deviations[At(code)] = std::max(edges[At(code + 1)] - edges[At(code)], -1.0);
    }
  }
  for (const int code : errors.missing_codes) {
    deviations[At(code)] = -1.0;
  }
  if (errors.step) {
    deviations[At(errors.step->code)] = errors.step->step_lsb - 1.0;
  }
  // The inner codes' widths must still add up to the inner span; the excess
  // is spread over the codes the settings did not pin.
  const double excess = std::accumulate(deviations.begin(), deviations.end(), 0.0);
  std::vector<bool> pinned(kConverterCodes, false);
  pinned.front() = pinned.back() = true;
  for (const int code : errors.missing_codes) {
    pinned[At(code)] = true;
  }
  if (errors.step) {
    pinned[At(errors.step->code)] = true;
  }
  const auto free = static_cast<double>(std::count(pinned.begin(), pinned.end(), false));
  for (int code = 0; code < kConverterCodes; ++code) {
    if (!pinned[At(code)]) {
      deviations[At(code)] -= excess / free;
    }
  }
  return deviations;
}

AdcTransfer::AdcTransfer(const ConverterErrors& errors)
    : errors_(errors), edges_(kConverterCodes, 0.0), noise_(errors.seed ^ kNoiseStream) {
  const std::vector<double> deviations = WidthDeviations(errors);
  const double gain = 1.0 + errors.gain_percent / 100.0;
  double edge = 0.5;  // code 1 begins half an LSB up
  for (int code = 1; code < kConverterCodes; ++code) {
    // The code given for an input is input * gain + offset + INL; an edge
    // is where that reaches the code's lower end.
    edges_[At(code)] = (edge - SmoothInl(errors, code - 0.5) - errors.offset_lsb) / gain;
    edge += 1.0 + deviations[At(code)];
  }
  // A steep INL must not fold the edges over each other, nor its slope give
  // a missing code a sliver of width.
  for (int code = 2; code < kConverterCodes; ++code) {
    edges_[At(code)] = std::max(edges_[At(code)], edges_[At(code - 1)]);
  }
  for (const int code : errors.missing_codes) {
    edges_[At(code + 1)] = edges_[At(code)];
  }
}

int AdcTransfer::Convert(double input_lsb) {
  if (errors_.noise_lsb > 0.0) {
    std::normal_distribution<double> noise(0.0, errors_.noise_lsb);
    input_lsb += noise(noise_);
  }
  if (std::isnan(input_lsb)) {
    return 0;
  }
  const auto above = std::upper_bound(edges_.begin() + 1, edges_.end(), input_lsb);
  return static_cast<int>(above - (edges_.begin() + 1));
}

std::vector<double> AdcTransfer::CodeWidths() const {
  std::vector<double> widths(kConverterCodes, 0.0);
  for (int code = 1; code < kConverterCodes - 1; ++code) {
    widths[At(code)] = edges_[At(code + 1)] - edges_[At(code)];
  }
  return widths;
}

DacTransfer::DacTransfer(const ConverterErrors& errors)
    : errors_(errors), levels_(kConverterCodes, 0.0), noise_(errors.seed ^ kNoiseStream) {
  const std::vector<double> deviations = WidthDeviations(errors);
  const double gain = 1.0 + errors.gain_percent / 100.0;
  double level = 0.0;
  for (int code = 0; code < kConverterCodes; ++code) {
    if (code > 0) {
      level += 1.0 + deviations[At(code)];
    }
    levels_[At(code)] = errors.offset_lsb + gain * (level + SmoothInl(errors, code));
  }
}

double DacTransfer::Noise() {
  if (errors_.noise_lsb <= 0.0) {
    return 0.0;
  }
  std::normal_distribution<double> noise(0.0, errors_.noise_lsb);
  return noise(noise_);
}

}  // namespace kx::board::sim
