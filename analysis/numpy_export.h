#pragma once

#include <string>

#include "analysis/capture_report.h"
#include "analysis/log_file.h"

namespace kx::analysis {

// A log for NumPy, chosen by the path's ending:
// - `.npy`: one record per row, `seconds` (<f8), `gap` (|b1), then per
//   channel `ADC3_code` (<i2) or, averaged, `ADC3_mean` (<f4), `ADC3_min`,
//   `ADC3_max` (<i2) and `ADC3_std` (<f4), and `ADC3_volts` (<f8, of the
//   code or mean) where the log has volts;
// - `.npz`: `seconds` and `gap` (rows), `channels` (<i2), and (rows,
//   channels) arrays `codes` or `means`, `minima`, `maxima`, `deviations`,
//   and `volts`.
// A gap row holds -32768 in its codes and NaN in its other figures.
struct NumpyFile {
  std::string bytes;
  std::string error;  // why there is none
};

NumpyFile LogNumpy(const LogData& log, const std::string& path);

// A capture likewise: `.npy` a record per sample set, `set` (<i4) and per
// channel `ADC3_code` (<i2, the 12-bit code) and `ADC3_volts` (<f8); `.npz`
// `channels` and (samples, channels) arrays `codes` and `volts`.
std::string CaptureNumpy(const CaptureAnalysis& analysis, const std::string& path);

// Whether the path names a file LogNumpy writes.
bool IsNumpyPath(const std::string& path);

}  // namespace kx::analysis
