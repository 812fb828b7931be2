#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "analysis/linearity/code_density.h"
#include "analysis/linearity/dac_sweep.h"
#include "analysis/linearity/linearity_file.h"

namespace kx::analysis {

// The two results kx7312ctl writes with --out: the ADC's code density
// ("adc histogram") and the DAC's transfer curve ("dac sweep").
enum class ResultKind { AdcHistogram, DacSweep };

// A result file opened for viewing: its CSV, what its metadata says it was
// measured on, and the figures (per code and worst).
struct LinearityResult {
  std::string path;  // the CSV; its metadata is FILE.json
  ResultKind kind = ResultKind::AdcHistogram;
  int channel = 0;     // the ADC's (histogram) or the DAC's (sweep)
  std::string range;   // "2xvref" or "vref"; empty where not said
  std::string coding;  // "twos" or "binary"; empty where not said
  // A histogram's counts and figures.
  std::vector<std::uint64_t> counts;
  linearity::DensityLinearity density;
  // A sweep's set-up and figures.
  linearity::SweepSetup sweep_setup;
  linearity::SweepLinearity sweep;
};

// The CSV of a linearity result when PATH is one: a file whose metadata
// beside it (FILE.json) names either kind, that metadata file itself, or a
// file that starts as either CSV (whose missing metadata the read then
// names). None for anything else: a capture or a log.
std::optional<std::string> LinearityCsvPath(const std::string& path);

struct LinearityRead {
  std::optional<LinearityResult> result;
  std::string error;  // "FILE: why", naming the file at fault
};

// Reads the CSV and its metadata; a file cut short, a line that is not a
// code's figures or a metadata file that does not fit is refused whole.
LinearityRead ReadLinearityResult(const std::string& csv_path);

// "ADC histogram", "DAC sweep".
const char* ResultKindName(ResultKind kind);

// What the result was measured on, one line without its end:
// "ADC histogram of ADC1 (0V to VREFA, 2's Compliment)".
std::string ResultSubject(const LinearityResult& result);

// The figures as the viewer's tab gives them, a line each ending in a
// newline; the report's text is the file and its subject, then these.
std::string LinearityFigures(const LinearityResult& result);
// The report as text lines or one JSON object.
std::string LinearityReportText(const LinearityResult& result);
std::string LinearityReportJson(const LinearityResult& result);

// The per-code data as the result's own CSV.
std::string LinearityCsv(const LinearityResult& result);

}  // namespace kx::analysis
