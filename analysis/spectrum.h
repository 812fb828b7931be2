#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kx::analysis {

// The window applied before the transform. Blackman-Harris (four terms)
// keeps a sine's leakage below the quantisation floor of a 12-bit converter
// even when the capture holds no whole number of cycles.
enum class WindowKind { BlackmanHarris, Hann, Rectangular };

inline constexpr WindowKind kWindowKinds[] = {WindowKind::BlackmanHarris, WindowKind::Hann,
                                              WindowKind::Rectangular};

std::string_view WindowName(WindowKind kind);  // "blackman-harris", "hann", "rectangular"
std::optional<WindowKind> WindowFromName(std::string_view name);

// Bins on each side of a tone (and of DC) that its window's main lobe
// spreads into; they count with the tone, never as noise.
int LeakageBins(WindowKind kind);

std::vector<double> WindowCoefficients(WindowKind kind, int n);

// The spectrum of one channel's samples and the usual converter figures.
// The fundamental is the largest bin above the DC band; harmonics 2 to 5
// are folded back into the first Nyquist zone; the noise is what is left
// once DC, the fundamental and the harmonics (each with its window's
// leakage bins) are taken out, scaled up to the whole band by the bins it
// was measured in. Frequencies are in cycles per sample.
struct Spectrum {
  int samples = 0;
  WindowKind window = WindowKind::BlackmanHarris;
  // Power per bin 0..samples/2 in dB relative to a full-scale 12-bit sine
  // (dBFS), for the plot.
  std::vector<double> dbfs;
  int fundamental_bin = 0;
  double fundamental_frequency = 0.0;  // cycles per sample
  double fundamental_dbfs = 0.0;
  std::vector<int> harmonic_bins;     // 2nd to 5th, folded
  std::vector<double> harmonic_dbfs;  // each one's peak bin, dBFS
  // The largest spur outside DC and the fundamental (a harmonic or not): its
  // peak bin and frequency, and how far below the fundamental's peak it is.
  int spur_bin = 0;
  double spur_frequency = 0.0;  // cycles per sample
  double sfdr_db = 0.0;
  double snr_db = 0.0;
  double sinad_db = 0.0;
  double thd_db = 0.0;
  double enob_bits = 0.0;
};

// Nothing for fewer than 16 samples or a signal without any tone above the
// DC band (a constant input).
std::optional<Spectrum> AnalyseSpectrum(std::span<const double> samples, WindowKind window);

}  // namespace kx::analysis
