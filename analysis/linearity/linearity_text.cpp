#include "analysis/linearity/linearity_text.h"

#include <fmt/format.h>

#include <algorithm>

namespace kx::linearity {

std::string DensityText(const DensityLinearity& result) {
  std::string text =
      fmt::format("Method: {}, {} samples\n", DensityMethodName(result.method), result.samples);
  if (result.problem != DensityProblem::None) {
    return text + fmt::format("No figures: {}\n", result.reason);
  }
  text += fmt::format("DNL: worst {:+.3f} LSB at code {}, rms {:.3f} LSB\n", result.worst_dnl,
                      result.worst_dnl_code, result.dnl_rms);
  text +=
      fmt::format("INL: worst {:+.3f} LSB at code {}\n", result.worst_inl, result.worst_inl_code);
  text += result.missing_codes.empty()
              ? std::string("Missing codes: none\n")
              : fmt::format("Missing codes: {}\n", fmt::join(result.missing_codes, ", "));
  text += fmt::format("Fitted input: centre {:.2f}, amplitude {:.2f} codes\n",
                      result.fitted_centre_codes, result.fitted_amplitude_codes);
  if (result.offset_lsb && result.gain_percent) {
    text += fmt::format("Offset error: {:+.3f} LSB, gain error: {:+.4f} %\n", *result.offset_lsb,
                        *result.gain_percent);
  }
  return text;
}

std::string SweepText(const SweepLinearity& result) {
  std::string text =
      result.adc_taken_out
          ? std::string("The ADC's own errors are taken out: the figures are the DAC's\n")
          : std::string("The figures describe the DAC and the ADC together\n");
  if (!result.problem.empty()) {
    return text + fmt::format("No figures: {}\n", result.problem);
  }
  text += fmt::format("Codes: {} from {} to {}\n", result.codes.size(), result.codes.front(),
                      result.codes.back());
  text += fmt::format("Endpoint line: offset {:+.3f} LSB, gain error {:+.4f} %\n",
                      result.endpoint_offset_lsb, result.endpoint_gain_percent);
  text += fmt::format("Best-fit line: offset {:+.3f} LSB, gain error {:+.4f} %\n",
                      result.fit_offset_lsb, result.fit_gain_percent);
  text += fmt::format("INL (endpoint): worst {:+.3f} LSB at code {}\n", result.worst_inl,
                      result.worst_inl_code);
  text +=
      fmt::format("DNL: worst {:+.3f} LSB at code {}\n", result.worst_dnl, result.worst_dnl_code);
  text += result.Monotonic()
              ? std::string("Monotonic: yes\n")
              : fmt::format("Monotonic: no, falls at code {}\n", fmt::join(result.falls, ", "));
  const double noise = result.noise_lsb.empty()
                           ? 0.0
                           : *std::max_element(result.noise_lsb.begin(), result.noise_lsb.end());
  text += fmt::format("Noise: at most {:.3f} LSB rms at a code\n", noise);
  return text;
}

}  // namespace kx::linearity
