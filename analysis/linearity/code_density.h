#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kx::linearity {

inline constexpr int kCodes = 4096;

// What the ADC was fed: a sine (its codes crowd at the ends) or a ramp or
// any input spread evenly over the codes.
enum class DensityMethod { Sine, Ramp };

std::string_view DensityMethodName(DensityMethod method);  // "sine", "ramp"
std::optional<DensityMethod> DensityMethodFromName(std::string_view name);

// How often each code came, grown one conversion at a time so that no
// sample needs keeping.
class CodeCounts {
 public:
  void Add(int code) {
    ++counts_[static_cast<std::size_t>(code & (kCodes - 1))];
    ++total_;
  }
  std::span<const std::uint64_t> Counts() const { return counts_; }
  std::uint64_t Total() const { return total_; }

 private:
  std::array<std::uint64_t, kCodes> counts_{};
  std::uint64_t total_ = 0;
};

// The input as applied, in ideal codes: a sine's centre and amplitude, or a
// ramp's centre and half its span. With it the offset and gain error follow.
struct AppliedInput {
  double centre_codes = 0.0;
  double amplitude_codes = 0.0;
};

// Why no figures could be drawn from a histogram.
enum class DensityProblem { None, TooFewSamples, NotCovering, Clipping };

// Code-density figures. DNL and INL are in LSB, one per code; the end codes
// are open-ended (they take the input beyond the range), so the figures
// cover `first_code` to `last_code` and are 0 outside. A positive INL
// means the code comes for a lower input than the straight line through
// the end points says (the ADC reads high there).
struct DensityLinearity {
  DensityMethod method = DensityMethod::Sine;
  std::uint64_t samples = 0;
  DensityProblem problem = DensityProblem::None;
  std::string reason;  // one line, when there is a problem
  int first_code = 0;
  int last_code = 0;
  std::vector<double> dnl;
  std::vector<double> inl;
  std::vector<int> missing_codes;
  int worst_dnl_code = 0;  // the largest magnitude, its sign kept
  double worst_dnl = 0.0;
  int worst_inl_code = 0;
  double worst_inl = 0.0;
  double dnl_rms = 0.0;
  // The input as the ADC's codes saw it, from a straight-line fit of the
  // code edges against the input's shape.
  double fitted_centre_codes = 0.0;
  double fitted_amplitude_codes = 0.0;
  // Against the input applied, when it was given: the code for an input x
  // is x * (1 + gain / 100) + offset.
  std::optional<double> offset_lsb;
  std::optional<double> gain_percent;
};

DensityLinearity AnalyseCodeDensity(std::span<const std::uint64_t> counts, DensityMethod method,
                                    std::optional<AppliedInput> applied = std::nullopt);

// The INL at a fractional code, linear between codes; 0 outside the codes
// the result covers.
double InlAt(const DensityLinearity& result, double code);

}  // namespace kx::linearity
