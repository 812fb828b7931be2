#pragma once

#include <string>

namespace kx::testing {

// The files kx7312ctl's --out writes, for a ramp's histogram of ADC3
// ("vref", "binary"; 100 of each code, code 1000 missing, the end codes
// 500) and for a sweep of DAC5 read on ADC6 over codes 0 to 63 (one LSB a
// code, a step down of one LSB at code 30).
struct LinearityFiles {
  std::string histogram_csv;
  std::string histogram_metadata;
  std::string sweep_csv;
  std::string sweep_metadata;
};

LinearityFiles MakeLinearityFiles();

}  // namespace kx::testing
