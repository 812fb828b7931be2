#include "analysis/linearity/dac_sweep.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

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

// What the reads of an input `x` (in ideal codes) with Gaussian noise
// `sigma` average to, and their spread: each code is met as often as the
// noise carries the input into its band, whose centre lies at code - INL
// and whose width is 1 + DNL.
struct Reads {
  double mean = 0.0;
  double deviation = 0.0;
};

Reads ReadsFor(const DensityLinearity& adc, double x, double sigma) {
  const double reach = 6.0 * sigma + 4.0;
  const int low = static_cast<int>(std::floor(x - reach));
  const int high = static_cast<int>(std::ceil(x + reach));
  const auto below = [&](double edge) {
    return sigma > 0.0 ? 0.5 * std::erfc((x - edge) / (sigma * std::numbers::sqrt2))
                       : (edge > x ? 1.0 : 0.0);
  };
  double total = 0.0;
  double sum = 0.0;
  double squares = 0.0;
  const auto add = [&](int code, double share) {
    total += share;
    sum += share * code;
    squares += share * code * code;
  };
  const auto edge = [&](int code, double side) {
    const auto at = static_cast<std::size_t>(code);
    return code - adc.inl[at] + side * (1.0 + adc.dnl[at]) / 2.0;
  };
  // The end codes take every input beyond the bands.
  if (low < adc.first_code) {
    add(adc.first_code - 1, below(edge(adc.first_code, -1.0)));
  }
  if (high > adc.last_code) {
    add(adc.last_code + 1, 1.0 - below(edge(adc.last_code, 1.0)));
  }
  for (int code = std::max(low, adc.first_code); code <= std::min(high, adc.last_code); ++code) {
    add(code, below(edge(code, 1.0)) - below(edge(code, -1.0)));
  }
  if (!(total > 0.0)) {
    return {x, sigma};
  }
  const double mean = sum / total;
  return {mean, std::sqrt(std::max(squares / total - mean * mean, 0.0))};
}

// The ADC's input for the reads of a point, through its INL, then its offset
// and gain: the input and noise whose reads would average and spread as
// these did, found by stepping each by what it still misses (the mean rises
// about one for one with the input, the spread with the noise). Reads that
// do not spread cannot tell where in its band the input lies; a third of an
// LSB of noise stands in for theirs.
constexpr double kLeastNoise = 1.0 / 3.0;

double AdcInput(const SweepPoint& point, const DensityLinearity* adc) {
  if (adc == nullptr || adc->inl.empty() || adc->dnl.size() != adc->inl.size()) {
    return point.mean_adc_code;
  }
  double x = point.mean_adc_code;
  double sigma = std::max(point.deviation_adc_code, kLeastNoise);
  for (int step = 0; step < 12; ++step) {
    const Reads reads = ReadsFor(*adc, x, sigma);
    x += point.mean_adc_code - reads.mean;
    sigma = std::max(sigma + point.deviation_adc_code - reads.deviation, kLeastNoise);
  }
  const double gain = 1.0 + adc->gain_percent.value_or(0.0) / 100.0;
  return (x - adc->offset_lsb.value_or(0.0)) / gain;
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
    sweep.output_lsb.push_back(AdcInput(point, adc) * adc_to_dac);
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
