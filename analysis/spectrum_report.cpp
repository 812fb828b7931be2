#include "analysis/spectrum_report.h"

#include <fmt/format.h>

#include <cmath>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <utility>

namespace kx::analysis {

namespace {

using Json = nlohmann::ordered_json;

// Figures JSON can hold: a perfect signal's floor stays finite anyway.
Json Number(double value) {
  return std::isfinite(value) ? Json(value) : Json(nullptr);
}

Json Optional(const std::optional<double>& value) {
  return value ? Number(*value) : Json(nullptr);
}

// "0.060547 cycles per sample, 3663.2 Hz", or without the hertz.
std::string FrequencyText(double cycles, const std::optional<double>& sample_seconds) {
  const std::optional<double> hertz = Hertz(cycles, sample_seconds);
  return hertz ? fmt::format("{:.6f} cycles per sample, {:.1f} Hz", cycles, *hertz)
               : fmt::format("{:.6f} cycles per sample", cycles);
}

double HarmonicCycles(const Spectrum& spectrum, std::size_t h) {
  return static_cast<double>(spectrum.harmonic_bins[h]) / spectrum.samples;
}

}  // namespace

std::optional<double> Hertz(double cycles_per_sample, const std::optional<double>& sample_seconds) {
  if (!sample_seconds) {
    return std::nullopt;
  }
  return cycles_per_sample / *sample_seconds;
}

std::string SpectrumText(const Spectrum& spectrum, int channel,
                         const std::optional<double>& sample_seconds) {
  const std::string rate =
      sample_seconds
          ? fmt::format(", {:.1f} samples per second, the mean of the metadata's host times",
                        1.0 / *sample_seconds)
          : std::string();
  std::string text = fmt::format(
      "Spectrum of ADC{} ({} window, {} samples{}): fundamental bin {} ({}, {:.2f} dBFS)\n",
      channel, WindowName(spectrum.window), spectrum.samples, rate, spectrum.fundamental_bin,
      FrequencyText(spectrum.fundamental_frequency, sample_seconds), spectrum.fundamental_dbfs);
  text += fmt::format("SNR {:.2f} dB, SINAD {:.2f} dB, THD {:.2f} dB, ENOB {:.2f} bits\n",
                      spectrum.snr_db, spectrum.sinad_db, spectrum.thd_db, spectrum.enob_bits);
  text += fmt::format("SFDR {:.2f} dB, worst spur at bin {} ({})\n", spectrum.sfdr_db,
                      spectrum.spur_bin, FrequencyText(spectrum.spur_frequency, sample_seconds));
  for (std::size_t h = 0; h < spectrum.harmonic_bins.size(); ++h) {
    text += fmt::format(
        "Harmonic {} at bin {} ({}): {:.2f} dBFS\n", h + 2, spectrum.harmonic_bins[h],
        FrequencyText(HarmonicCycles(spectrum, h), sample_seconds), spectrum.harmonic_dbfs[h]);
  }
  return text;
}

Json SpectrumJson(const Spectrum& spectrum, int channel,
                  const std::optional<double>& sample_seconds) {
  Json figures = {
      {"channel", channel},
      {"window", std::string(WindowName(spectrum.window))},
      {"samples", spectrum.samples},
      {"fundamental_bin", spectrum.fundamental_bin},
      {"sample_rate_hz", Optional(Hertz(1.0, sample_seconds))},
      {"fundamental_cycles_per_sample", spectrum.fundamental_frequency},
      {"fundamental_hz", Optional(Hertz(spectrum.fundamental_frequency, sample_seconds))},
      {"fundamental_dbfs", Number(spectrum.fundamental_dbfs)},
      {"snr_db", Number(spectrum.snr_db)},
      {"sinad_db", Number(spectrum.sinad_db)},
      {"thd_db", Number(spectrum.thd_db)},
      {"enob_bits", Number(spectrum.enob_bits)},
      {"sfdr_db", Number(spectrum.sfdr_db)},
      {"spur_bin", spectrum.spur_bin},
      {"spur_cycles_per_sample", spectrum.spur_frequency},
      {"spur_hz", Optional(Hertz(spectrum.spur_frequency, sample_seconds))}};
  Json harmonics = Json::array();
  for (std::size_t h = 0; h < spectrum.harmonic_bins.size(); ++h) {
    harmonics.push_back({{"order", h + 2},
                         {"bin", spectrum.harmonic_bins[h]},
                         {"hz", Optional(Hertz(HarmonicCycles(spectrum, h), sample_seconds))},
                         {"dbfs", Number(spectrum.harmonic_dbfs[h])}});
  }
  figures["harmonics"] = std::move(harmonics);
  return figures;
}

}  // namespace kx::analysis
