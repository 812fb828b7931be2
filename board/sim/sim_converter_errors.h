#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <vector>

namespace kx::board::sim {

// A step of the DAC's transfer curve that goes the wrong way: from code-1 to
// code the output moves by `step_lsb` (negative for a fall).
struct DacStep {
  int code = 0;
  double step_lsb = 0.0;
  bool operator==(const DacStep&) const = default;
};

// The static and noise errors of one converter channel, every figure in LSB
// of that converter's 4096 codes unless said otherwise. All zero: ideal.
struct ConverterErrors {
  double offset_lsb = 0.0;
  double gain_percent = 0.0;       // of full scale
  double bow_lsb = 0.0;            // parabolic INL, its value at mid-scale
  double s_lsb = 0.0;              // S-shaped INL, its peaks at a quarter and three quarters
  double dnl_spread_lsb = 0.0;     // rms of the seeded per-code width deviations
  std::uint64_t seed = 0;          // for the width pattern and for the noise
  std::vector<int> missing_codes;  // ADC only: codes with no input band at all
  std::optional<DacStep> step;     // DAC only
  double noise_lsb = 0.0;          // rms, on every conversion
  bool operator==(const ConverterErrors&) const = default;
};

constexpr int kConverterCodes = 4096;

// The smooth part of the INL at a code: zero at both ends of the scale.
double SmoothInl(const ConverterErrors& errors, double code);

// The seeded width deviations of codes 0-4095 (the ends are 0), scaled so
// that they add up to nothing: the pattern moves no end of the scale.
std::vector<double> WidthDeviations(const ConverterErrors& errors);

// An ADC with errors, as the lower input edge (in ideal LSB) of each code:
// edge[k] is where code k begins, edge[0] is unused. The code for an input
// is the number of edges at or below it.
class AdcTransfer {
 public:
  explicit AdcTransfer(const ConverterErrors& errors);
  // `input_lsb` is the input in ideal LSB of the range in force (code k is
  // centred on k); noise is added from the channel's own generator.
  int Convert(double input_lsb);
  // The width of each code in LSB, as the model has it; the two end codes
  // are open-ended and given as 0.
  std::vector<double> CodeWidths() const;
  const ConverterErrors& Errors() const { return errors_; }

 private:
  ConverterErrors errors_;
  std::vector<double> edges_;
  std::mt19937_64 noise_;
};

// A DAC with errors: its output in ideal LSB for each code, noise apart.
class DacTransfer {
 public:
  explicit DacTransfer(const ConverterErrors& errors);
  double OutputLsb(int code) const { return levels_[static_cast<std::size_t>(code)]; }
  // One sample of the output's noise, in LSB.
  double Noise();
  const ConverterErrors& Errors() const { return errors_; }

 private:
  ConverterErrors errors_;
  std::vector<double> levels_;
  std::mt19937_64 noise_;
};

}  // namespace kx::board::sim
