#pragma once

#include <cstdint>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "analysis/linearity/code_density.h"
#include "analysis/linearity/dac_sweep.h"

namespace kx::linearity {

// A code-density result on the disk: FILE, a CSV of "code,count,dnl,inl"
// (the figures empty where a code has none), and FILE.json beside it with
// what was measured and the figures ("kind": "adc-histogram"). A sweep the
// same way: "code,output_lsb,noise_lsb,inl_endpoint,inl_fit,dnl" and
// "kind": "dac-sweep".

// What a test was run on, for the metadata.
struct HistogramSetup {
  int channel = 0;
  std::string range;   // "2xvref" or "vref"
  std::string coding;  // "twos" or "binary"; empty where the edition has none
  std::uint64_t transfers = 0;
};

struct SweepSetup {
  int channel = 0;
  int adc_channel = 0;
  int start = 0;
  int stop = 0;
  int step = 1;
  int average = 1;
  double settle_seconds = 0.0;
  std::string adc_linearity_file;  // empty: none given
  std::uint64_t requests = 0;
};

// The figures as kx7312ctl's JSON and the metadata file give them.
nlohmann::ordered_json DensityJson(const DensityLinearity& result);
nlohmann::ordered_json SweepJson(const SweepLinearity& result);

nlohmann::ordered_json HistogramMetadata(const HistogramSetup& setup,
                                         const DensityLinearity& result);
nlohmann::ordered_json SweepMetadata(const SweepSetup& setup, const SweepLinearity& result);

std::string HistogramCsv(std::span<const std::uint64_t> counts, const DensityLinearity& result);
std::string SweepCsv(const SweepLinearity& result);

// A code-density result read back from its two files' texts, for taking
// the ADC out of a sweep and for the viewer; the error names what is wrong.
struct DensityRead {
  std::optional<DensityLinearity> result;
  std::vector<std::uint64_t> counts;
  int channel = 0;
  std::string range;  // as HistogramSetup names it
  std::string coding;
  std::string error;
};
DensityRead ReadDensity(std::string_view csv_text, std::string_view metadata_text);

// A sweep read back the same way.
struct SweepRead {
  std::optional<SweepLinearity> result;
  SweepSetup setup;
  std::string error;
};
SweepRead ReadSweep(std::string_view csv_text, std::string_view metadata_text);

}  // namespace kx::linearity
