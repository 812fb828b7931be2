#include "analysis/linearity/code_density.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <numeric>
#include <string>

namespace kx::linearity {
namespace {

// More than this share of the samples at the two end codes: the input
// spends so long beyond the range that it is a clipped wave, not the shape
// the method assumes, and the inner codes hold too few samples to judge.
constexpr double kClippingShare = 1.0 / 3.0;

std::size_t At(int code) {
  return static_cast<std::size_t>(code);
}

DensityLinearity Refused(DensityLinearity result, DensityProblem problem, std::string reason) {
  result.problem = problem;
  result.reason = std::move(reason);
  result.dnl.clear();
  result.inl.clear();
  return result;
}

std::string Percent(double share) {
  return std::to_string(static_cast<int>(std::round(share * 100.0))) + "%";
}

// Where each edge between codes k-1 and k lies on the input's own scale
// (-1 to 1 over the sine's swing or the ramp's span), from the share of
// samples below it.
std::vector<double> Edges(std::span<const std::uint64_t> counts, DensityMethod method) {
  const int codes = static_cast<int>(counts.size());
  const auto total =
      static_cast<double>(std::accumulate(counts.begin(), counts.end(), std::uint64_t{0}));
  std::vector<double> edges(counts.size(), 0.0);
  std::uint64_t below = 0;
  for (int code = 1; code < codes; ++code) {
    below += counts[At(code - 1)];
    const double share = static_cast<double>(below) / total;
    edges[At(code)] =
        method == DensityMethod::Sine ? -std::cos(std::numbers::pi * share) : 2.0 * share - 1.0;
  }
  return edges;
}

// Least squares of the edges' ideal places (k - 0.5) against their places
// on the input's scale: slope the amplitude, intercept the centre.
void FitInput(const std::vector<double>& edges, DensityLinearity& result) {
  double n = 0.0;
  double su = 0.0;
  double sk = 0.0;
  double suu = 0.0;
  double suk = 0.0;
  for (std::size_t code = 1; code < edges.size(); ++code) {
    const double u = edges[code];
    const double k = static_cast<double>(code) - 0.5;
    n += 1.0;
    su += u;
    sk += k;
    suu += u * u;
    suk += u * k;
  }
  const double slope = (n * suk - su * sk) / (n * suu - su * su);
  result.fitted_amplitude_codes = slope;
  result.fitted_centre_codes = (sk - slope * su) / n;
}

void Worst(DensityLinearity& result) {
  double squares = 0.0;
  for (int code = result.first_code; code <= result.last_code; ++code) {
    const double dnl = result.dnl[At(code)];
    const double inl = result.inl[At(code)];
    squares += dnl * dnl;
    if (std::abs(dnl) > std::abs(result.worst_dnl)) {
      result.worst_dnl = dnl;
      result.worst_dnl_code = code;
    }
    if (std::abs(inl) > std::abs(result.worst_inl)) {
      result.worst_inl = inl;
      result.worst_inl_code = code;
    }
  }
  result.dnl_rms = std::sqrt(squares / (result.last_code - result.first_code + 1));
}

}  // namespace

std::string_view DensityMethodName(DensityMethod method) {
  return method == DensityMethod::Sine ? "sine" : "ramp";
}

std::optional<DensityMethod> DensityMethodFromName(std::string_view name) {
  if (name == "sine") {
    return DensityMethod::Sine;
  }
  if (name == "ramp") {
    return DensityMethod::Ramp;
  }
  return std::nullopt;
}

DensityLinearity AnalyseCodeDensity(std::span<const std::uint64_t> counts, DensityMethod method,
                                    std::optional<AppliedInput> applied) {
  DensityLinearity result;
  result.method = method;
  result.samples = std::accumulate(counts.begin(), counts.end(), std::uint64_t{0});
  const int codes = static_cast<int>(counts.size());
  if (codes < 4 || result.samples < counts.size()) {
    std::string reason = std::to_string(result.samples) + " samples are too few: at least " +
                         std::to_string(counts.size()) + " are needed";
    return Refused(std::move(result), DensityProblem::TooFewSamples, std::move(reason));
  }
  const auto occupied = [](std::uint64_t count) { return count != 0; };
  const int lowest =
      static_cast<int>(std::find_if(counts.begin(), counts.end(), occupied) - counts.begin());
  const int highest =
      codes - 1 -
      static_cast<int>(std::find_if(counts.rbegin(), counts.rend(), occupied) - counts.rbegin());
  if (lowest > 0 || highest < codes - 1) {
    return Refused(std::move(result), DensityProblem::NotCovering,
                   "the input covers codes " + std::to_string(lowest) + " to " +
                       std::to_string(highest) + " only, not 0 to " + std::to_string(codes - 1) +
                       ": it must go a little beyond both ends of the range");
  }
  const double ends =
      static_cast<double>(counts.front() + counts.back()) / static_cast<double>(result.samples);
  if (ends > kClippingShare) {
    return Refused(std::move(result), DensityProblem::Clipping,
                   "the input clips: " + Percent(ends) +
                       " of the samples are at the end codes 0 and " + std::to_string(codes - 1) +
                       "; lower its amplitude");
  }

  const std::vector<double> edges = Edges(counts, method);
  result.first_code = 1;
  result.last_code = codes - 2;
  const double width = (edges[At(codes - 1)] - edges[1]) / (codes - 2);
  result.dnl.assign(counts.size(), 0.0);
  result.inl.assign(counts.size(), 0.0);
  for (int code = result.first_code; code <= result.last_code; ++code) {
    const double lower = edges[At(code)];
    const double upper = edges[At(code + 1)];
    result.dnl[At(code)] = (upper - lower) / width - 1.0;
    const double ideal_centre = edges[1] + (code - 0.5) * width;
    result.inl[At(code)] = (ideal_centre - (lower + upper) / 2.0) / width;
    if (counts[At(code)] == 0) {
      result.missing_codes.push_back(code);
    }
  }
  Worst(result);
  FitInput(edges, result);
  if (applied && applied->amplitude_codes > 0.0) {
    const double gain = result.fitted_amplitude_codes / applied->amplitude_codes;
    result.gain_percent = (gain - 1.0) * 100.0;
    result.offset_lsb = result.fitted_centre_codes - applied->centre_codes * gain;
  }
  return result;
}

double InlAt(const DensityLinearity& result, double code) {
  if (result.inl.empty() || !(code >= result.first_code) || !(code <= result.last_code)) {
    return 0.0;
  }
  const double below = std::floor(code);
  const auto low = static_cast<std::size_t>(below);
  const double part = code - below;
  const double high = low + 1 < result.inl.size() && part > 0.0 ? result.inl[low + 1] : 0.0;
  return result.inl[low] * (1.0 - part) + high * part;
}

}  // namespace kx::linearity
