#include "support/linearity_files.h"

#include <nlohmann/json.hpp>
#include <vector>

#include "analysis/linearity/linearity_file.h"

namespace kx::testing {

LinearityFiles MakeLinearityFiles() {
  std::vector<std::uint64_t> counts(linearity::kCodes, 100);
  counts.front() = counts.back() = 500;
  counts[1000] = 0;
  const linearity::DensityLinearity density =
      linearity::AnalyseCodeDensity(counts, linearity::DensityMethod::Ramp);
  std::vector<linearity::SweepPoint> points(64);
  for (int code = 0; code < 64; ++code) {
    points[static_cast<std::size_t>(code)] = {code, code * 2.0 - (code >= 30 ? 4.0 : 0.0), 0.01,
                                              16};
  }
  const linearity::SweepLinearity sweep = linearity::AnalyseSweep(points, {1.0, 2.0}, nullptr);
  return {linearity::HistogramCsv(counts, density),
          linearity::HistogramMetadata({3, "vref", "binary", 1}, density).dump(),
          linearity::SweepCsv(sweep),
          linearity::SweepMetadata({5, 6, 0, 63, 1, 16, 0.0, "", 1}, sweep).dump()};
}

}  // namespace kx::testing
