#pragma once

#include <span>
#include <string>
#include <vector>

#include "analysis/linearity/code_density.h"

namespace kx::linearity {

// One DAC code of a sweep: what the ADC read there, `reads` times.
struct SweepPoint {
  int code = 0;
  double mean_adc_code = 0.0;
  double deviation_adc_code = 0.0;  // standard deviation of the reads
  int reads = 0;
};

// Volts per LSB of each converter, for the range and reference in force.
struct SweepScale {
  double adc_volts_per_code = 0.0;
  double dac_volts_per_code = 0.0;
};

// The DAC's transfer curve in DAC LSB (the output the ADC saw, divided by
// an ideal DAC's step) and its figures. The offset is the line's output at
// code 0 in LSB; the gain error is its slope's departure from 1 LSB per
// code in percent of full scale. INL is on the endpoint line (through the
// first and last points) and on the best-fit line, in LSB; DNL is each
// step's departure from the line's step, given at the step's upper code.
// A positive INL means the output is above the line.
struct SweepLinearity {
  std::vector<int> codes;
  std::vector<double> output_lsb;
  std::vector<double> noise_lsb;  // the reads' deviation at each code
  bool adc_taken_out = false;     // false: the figures are the DAC and ADC together
  std::string problem;            // empty, or why there are no figures
  double endpoint_offset_lsb = 0.0;
  double endpoint_gain_percent = 0.0;
  double fit_offset_lsb = 0.0;
  double fit_gain_percent = 0.0;
  std::vector<double> inl_endpoint;
  std::vector<double> inl_fit;
  std::vector<double> dnl;  // dnl[0] is 0: no step below the first code
  double worst_inl = 0.0;   // endpoint, the largest magnitude with its sign
  int worst_inl_code = 0;
  double worst_dnl = 0.0;
  int worst_dnl_code = 0;
  // Codes where the output fell from the point below by more than the
  // noise of the two means can explain.
  std::vector<int> falls;
  bool Monotonic() const { return falls.empty(); }
};

// `adc` is the ADC's code-density result for the range in force, or null;
// with it the ADC's INL (and its offset and gain, when it has them) are
// taken out of each reading first. At least two points, in rising codes.
SweepLinearity AnalyseSweep(std::span<const SweepPoint> points, SweepScale scale,
                            const DensityLinearity* adc);

}  // namespace kx::linearity
