#include "analysis/linearity/dac_sweep.h"

#include <cmath>
#include <cstddef>

namespace kx::linearity {
namespace {

// A fall counts once it is this many standard errors of the difference.
constexpr double kFallSigmas = 3.0;

struct Line {
  double offset = 0.0;
  double slope = 1.0;
};

Line FitLine(const std::vector<int>& codes, const std::vector<double>& values) {
  double n = 0.0;
  double sx = 0.0;
  double sy = 0.0;
  double sxx = 0.0;
  double sxy = 0.0;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const double x = codes[i];
    n += 1.0;
    sx += x;
    sy += values[i];
    sxx += x * x;
    sxy += x * values[i];
  }
  const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
  return Line{(sy - slope * sx) / n, slope};
}

// The ADC's input for a mean code: its code is input * gain + offset + INL.
double AdcInput(double mean_code, const DensityLinearity* adc) {
  if (adc == nullptr) {
    return mean_code;
  }
  const double gain = 1.0 + adc->gain_percent.value_or(0.0) / 100.0;
  return (mean_code - adc->offset_lsb.value_or(0.0) - InlAt(*adc, mean_code)) / gain;
}

std::vector<double> Deviation(const SweepLinearity& sweep, Line line) {
  std::vector<double> inl;
  inl.reserve(sweep.codes.size());
  for (std::size_t i = 0; i < sweep.codes.size(); ++i) {
    inl.push_back((sweep.output_lsb[i] - (line.offset + line.slope * sweep.codes[i])) / line.slope);
  }
  return inl;
}

void StepFigures(const std::span<const SweepPoint> points, Line line, SweepLinearity& sweep) {
  sweep.dnl.assign(points.size(), 0.0);
  for (std::size_t i = 1; i < points.size(); ++i) {
    const double rise = sweep.output_lsb[i] - sweep.output_lsb[i - 1];
    const double span = line.slope * (points[i].code - points[i - 1].code);
    sweep.dnl[i] = rise / span - 1.0;
    if (std::abs(sweep.dnl[i]) > std::abs(sweep.worst_dnl)) {
      sweep.worst_dnl = sweep.dnl[i];
      sweep.worst_dnl_code = points[i].code;
    }
    const auto error = [&](std::size_t at) {
      return points[at].reads > 0 ? sweep.noise_lsb[at] / std::sqrt(points[at].reads) : 0.0;
    };
    const double allowed = kFallSigmas * std::hypot(error(i), error(i - 1));
    if (rise < -allowed) {
      sweep.falls.push_back(points[i].code);
    }
  }
}

}  // namespace

SweepLinearity AnalyseSweep(std::span<const SweepPoint> points, SweepScale scale,
                            const DensityLinearity* adc) {
  SweepLinearity sweep;
  sweep.adc_taken_out = adc != nullptr;
  if (points.size() < 2 || !(scale.adc_volts_per_code > 0.0) || !(scale.dac_volts_per_code > 0.0)) {
    sweep.problem = "a sweep needs at least two codes";
    return sweep;
  }
  for (std::size_t i = 1; i < points.size(); ++i) {
    if (points[i].code <= points[i - 1].code) {
      sweep.problem = "the sweep's codes must rise";
      return sweep;
    }
  }
  const double adc_to_dac = scale.adc_volts_per_code / scale.dac_volts_per_code;
  for (const SweepPoint& point : points) {
    sweep.codes.push_back(point.code);
    sweep.output_lsb.push_back(AdcInput(point.mean_adc_code, adc) * adc_to_dac);
    sweep.noise_lsb.push_back(point.deviation_adc_code * adc_to_dac);
  }
  const double first = sweep.output_lsb.front();
  const double last = sweep.output_lsb.back();
  const double codes = points.back().code - points.front().code;
  if (!(codes > 0.0) || !(last > first)) {
    sweep.problem = "the output does not rise from the first code to the last";
    return sweep;
  }
  Line endpoint;
  endpoint.slope = (last - first) / codes;
  endpoint.offset = first - endpoint.slope * points.front().code;
  const Line fit = FitLine(sweep.codes, sweep.output_lsb);
  sweep.endpoint_offset_lsb = endpoint.offset;
  sweep.endpoint_gain_percent = (endpoint.slope - 1.0) * 100.0;
  sweep.fit_offset_lsb = fit.offset;
  sweep.fit_gain_percent = (fit.slope - 1.0) * 100.0;
  sweep.inl_endpoint = Deviation(sweep, endpoint);
  sweep.inl_fit = Deviation(sweep, fit);
  for (std::size_t i = 0; i < sweep.codes.size(); ++i) {
    if (std::abs(sweep.inl_endpoint[i]) > std::abs(sweep.worst_inl)) {
      sweep.worst_inl = sweep.inl_endpoint[i];
      sweep.worst_inl_code = sweep.codes[i];
    }
  }
  StepFigures(points, endpoint, sweep);
  return sweep;
}

}  // namespace kx::linearity
