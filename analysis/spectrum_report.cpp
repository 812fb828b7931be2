#include "analysis/spectrum_report.h"

#include <fmt/format.h>

#include <cmath>
#include <cstddef>

namespace kx::analysis {

namespace {

using Json = nlohmann::ordered_json;

// A figure that cannot be computed (no noise left: infinite SNR) is null.
Json Number(double value) {
  return std::isfinite(value) ? Json(value) : Json(nullptr);
}

}  // namespace

std::string SpectrumText(const Spectrum& spectrum, int channel) {
  std::string text = fmt::format(
      "Spectrum of ADC{} ({} window, {} samples): fundamental bin {} ({:.6f} cycles per sample, "
      "{:.2f} dBFS)\n",
      channel, WindowName(spectrum.window), spectrum.samples, spectrum.fundamental_bin,
      spectrum.fundamental_frequency, spectrum.fundamental_dbfs);
  text += fmt::format("SNR {:.2f} dB, SINAD {:.2f} dB, THD {:.2f} dB, ENOB {:.2f} bits\n",
                      spectrum.snr_db, spectrum.sinad_db, spectrum.thd_db, spectrum.enob_bits);
  text += fmt::format("SFDR {:.2f} dB, worst spur at bin {} ({:.6f} cycles per sample)\n",
                      spectrum.sfdr_db, spectrum.spur_bin, spectrum.spur_frequency);
  for (std::size_t h = 0; h < spectrum.harmonic_bins.size(); ++h) {
    text += fmt::format("Harmonic {} at bin {}: {:.2f} dBFS\n", h + 2, spectrum.harmonic_bins[h],
                        spectrum.harmonic_dbfs[h]);
  }
  return text;
}

Json SpectrumJson(const Spectrum& spectrum, int channel) {
  Json figures = {{"channel", channel},
                  {"window", std::string(WindowName(spectrum.window))},
                  {"samples", spectrum.samples},
                  {"fundamental_bin", spectrum.fundamental_bin},
                  {"fundamental_cycles_per_sample", spectrum.fundamental_frequency},
                  {"fundamental_dbfs", Number(spectrum.fundamental_dbfs)},
                  {"snr_db", Number(spectrum.snr_db)},
                  {"sinad_db", Number(spectrum.sinad_db)},
                  {"thd_db", Number(spectrum.thd_db)},
                  {"enob_bits", Number(spectrum.enob_bits)},
                  {"sfdr_db", Number(spectrum.sfdr_db)},
                  {"spur_bin", spectrum.spur_bin},
                  {"spur_cycles_per_sample", spectrum.spur_frequency}};
  Json harmonics = Json::array();
  for (std::size_t h = 0; h < spectrum.harmonic_bins.size(); ++h) {
    harmonics.push_back({{"order", h + 2},
                         {"bin", spectrum.harmonic_bins[h]},
                         {"dbfs", Number(spectrum.harmonic_dbfs[h])}});
  }
  figures["harmonics"] = std::move(harmonics);
  return figures;
}

}  // namespace kx::analysis
