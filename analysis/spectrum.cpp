#include "analysis/spectrum.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <limits>
#include <memory>
#include <numbers>

namespace kx::analysis {
namespace {

constexpr int kFewestSamples = 16;
constexpr int kHighestHarmonic = 5;
// Amplitude of a full-scale sine of a 12-bit converter, in LSB.
constexpr double kFullScaleAmplitude = 2048.0;
// Powers are floored here so that a perfect signal gives large finite
// figures instead of infinities.
constexpr double kPowerFloor = 1e-30;

struct FftwFree {
  void operator()(void* p) const { fftw_free(p); }
};
struct PlanDestroy {
  void operator()(fftw_plan p) const { fftw_destroy_plan(p); }
};

double Db(double ratio) {
  return 10.0 * std::log10(std::max(ratio, kPowerFloor));
}

// Bins [centre - width, centre + width] within 0..last.
void Mark(std::vector<int>& owner, int centre, int width, int who) {
  const int last = static_cast<int>(owner.size()) - 1;
  for (int k = std::max(0, centre - width); k <= std::min(last, centre + width); ++k) {
    if (owner[static_cast<std::size_t>(k)] < 0) {
      owner[static_cast<std::size_t>(k)] = who;
    }
  }
}

int Folded(long long bin, int n) {
  const auto m = static_cast<int>(bin % n);
  return m > n / 2 ? n - m : m;
}

}  // namespace

std::string_view WindowName(WindowKind kind) {
  switch (kind) {
    case WindowKind::BlackmanHarris:
      return "blackman-harris";
    case WindowKind::Hann:
      return "hann";
    case WindowKind::Rectangular:
      return "rectangular";
  }
  return "blackman-harris";
}

std::optional<WindowKind> WindowFromName(std::string_view name) {
  for (const WindowKind kind : kWindowKinds) {
    if (WindowName(kind) == name) {
      return kind;
    }
  }
  return std::nullopt;
}

int LeakageBins(WindowKind kind) {
  switch (kind) {
    case WindowKind::BlackmanHarris:
      return 5;  // main lobe +-4 bins, one more for a tone between bins
    case WindowKind::Hann:
      return 3;  // +-2, and one more
    case WindowKind::Rectangular:
      return 1;
  }
  return 5;
}

std::vector<double> WindowCoefficients(WindowKind kind, int n) {
  std::vector<double> w(static_cast<std::size_t>(n), 1.0);
  // Periodic windows (denominator n): the right choice for spectral analysis.
  const double step = 2.0 * std::numbers::pi / n;
  for (int i = 0; i < n; ++i) {
    const double x = step * i;
    double value = 1.0;
    if (kind == WindowKind::BlackmanHarris) {
      value =
          0.35875 - 0.48829 * std::cos(x) + 0.14128 * std::cos(2 * x) - 0.01168 * std::cos(3 * x);
    } else if (kind == WindowKind::Hann) {
      value = 0.5 - 0.5 * std::cos(x);
    }
    w[static_cast<std::size_t>(i)] = value;
  }
  return w;
}

namespace {

// The highest level within a harmonic's leakage bins that it owns.
double BandPeak(const std::vector<double>& dbfs, const std::vector<int>& owner, int bin, int leak) {
  double peak = -std::numeric_limits<double>::infinity();
  const int last = static_cast<int>(dbfs.size()) - 1;
  for (int k = std::max(bin - leak, 0); k <= std::min(bin + leak, last); ++k) {
    const auto idx = static_cast<std::size_t>(k);
    if (owner[idx] >= 2) {
      peak = std::max(peak, dbfs[idx]);
    }
  }
  return std::isfinite(peak) ? peak : dbfs[static_cast<std::size_t>(bin)];
}

}  // namespace

std::optional<Spectrum> AnalyseSpectrum(std::span<const double> samples, WindowKind window) {
  const int n = static_cast<int>(samples.size());
  if (n < kFewestSamples) {
    return std::nullopt;
  }
  const int half = n / 2;
  const int leak = LeakageBins(window);
  const std::vector<double> w = WindowCoefficients(window, n);

  double mean = 0.0;
  for (const double s : samples) {
    mean += s;
  }
  mean /= n;

  std::unique_ptr<double, FftwFree> in(fftw_alloc_real(static_cast<std::size_t>(n)));
  const int bins = half + 1;
  std::unique_ptr<fftw_complex, FftwFree> out(fftw_alloc_complex(static_cast<std::size_t>(bins)));
  // FFTW_ESTIMATE plans in microseconds and never touches the arrays.
  const std::unique_ptr<std::remove_pointer_t<fftw_plan>, PlanDestroy> plan(
      fftw_plan_dft_r2c_1d(n, in.get(), out.get(), FFTW_ESTIMATE));
  // Taking out the mean first keeps DC's leakage (of a large offset) from
  // reaching the low bins; DC is excluded from every figure anyway.
  double window_sum = 0.0;
  for (int i = 0; i < n; ++i) {
    const auto idx = static_cast<std::size_t>(i);
    in.get()[idx] = (samples[idx] - mean) * w[idx];
    window_sum += w[idx];
  }
  fftw_execute(plan.get());

  // One-sided power: the bins between DC and Nyquist stand for two.
  std::vector<double> power(static_cast<std::size_t>(bins));
  for (int k = 0; k <= half; ++k) {
    const auto idx = static_cast<std::size_t>(k);
    const std::complex<double> x(out.get()[idx][0], out.get()[idx][1]);
    power[idx] = std::norm(x) * (k == 0 || k == half ? 1.0 : 2.0);
  }

  int fundamental = -1;
  for (int k = leak + 1; k <= half; ++k) {
    if (fundamental < 0 ||
        power[static_cast<std::size_t>(k)] > power[static_cast<std::size_t>(fundamental)]) {
      fundamental = k;
    }
  }
  if (fundamental < 0 || power[static_cast<std::size_t>(fundamental)] <= kPowerFloor) {
    return std::nullopt;
  }

  Spectrum result;
  result.samples = n;
  result.window = window;
  result.fundamental_bin = fundamental;
  result.fundamental_frequency = static_cast<double>(fundamental) / n;

  // Who each bin belongs to: 0 DC, 1 the fundamental, 2-5 a harmonic, -1 noise.
  std::vector<int> owner(power.size(), -1);
  Mark(owner, 0, leak, 0);
  Mark(owner, fundamental, leak, 1);
  for (int h = 2; h <= kHighestHarmonic; ++h) {
    const int bin = Folded(static_cast<long long>(h) * fundamental, n);
    result.harmonic_bins.push_back(bin);
    Mark(owner, bin, leak, h);
  }

  double signal = 0.0;
  double harmonics = 0.0;
  double noise = 0.0;
  int noise_bins = 0;
  for (std::size_t k = 0; k < power.size(); ++k) {
    if (owner[k] == 1) {
      signal += power[k];
    } else if (owner[k] >= 2) {
      harmonics += power[k];
    } else if (owner[k] < 0) {
      noise += power[k];
      ++noise_bins;
    }
  }
  // The noise under DC, the tone and the harmonics was not measured; it is
  // taken to be as dense as in the bins that were.
  if (noise_bins > 0) {
    noise *= static_cast<double>(half) / noise_bins;
  }

  result.snr_db = Db(signal / std::max(noise, kPowerFloor));
  result.sinad_db = Db(signal / std::max(noise + harmonics, kPowerFloor));
  result.thd_db = Db(harmonics / signal);
  result.enob_bits = (result.sinad_db - 1.76) / 6.02;

  // A full-scale sine's peak bin: (amplitude * window sum / 2)^2, doubled
  // as a one-sided bin.
  const double full_scale_peak = 2.0 * std::pow(kFullScaleAmplitude * window_sum / 2.0, 2.0);
  result.dbfs.resize(power.size());
  for (std::size_t k = 0; k < power.size(); ++k) {
    result.dbfs[k] = Db(power[k] / full_scale_peak);
  }
  result.fundamental_dbfs = result.dbfs[static_cast<std::size_t>(fundamental)];
  for (const int bin : result.harmonic_bins) {
    result.harmonic_dbfs.push_back(BandPeak(result.dbfs, owner, bin, leak));
  }
  // Every bin but DC's and the fundamental's may hold the spur.
  std::size_t spur = 0;
  for (std::size_t k = 0; k < power.size(); ++k) {
    if (owner[k] != 0 && owner[k] != 1 && (spur == 0 || power[k] > power[spur])) {
      spur = k;
    }
  }
  if (spur != 0) {
    result.spur_bin = static_cast<int>(spur);
    result.spur_frequency = static_cast<double>(spur) / n;
    result.sfdr_db = result.fundamental_dbfs - result.dbfs[spur];
  }
  return result;
}

}  // namespace kx::analysis
