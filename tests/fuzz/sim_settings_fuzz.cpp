// The simulated board's JSON settings.
//
// Promises checked on every input:
//  - settings or a one-line reason that starts with "settings: ", never both;
//  - accepted references are finite, above 0 and at most 5 V; accepted
//    inputs are for channels 0 to 15 and finite, from 0 to 5 V;
//  - accepted settings written back as JSON read back the same.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "board/sim/sim_settings.h"
#include "fuzz_check.h"

namespace {

using kx::board::sim::SimSettings;
using kx::fuzz::Require;

bool IsReference(double volts) {
  return std::isfinite(volts) && volts > 0.0 && volts <= 5.0;
}

std::string WriteSettings(const SimSettings& settings) {
  nlohmann::json doc = {{"present", settings.present},
                        {"external_reference", settings.external_reference},
                        {"adc_reference", settings.adc_reference}};
  nlohmann::json inputs = nlohmann::json::object();
  for (const auto& [channel, volts] : settings.inputs) {
    inputs[std::to_string(channel)] = volts;
  }
  for (const auto& [channel, s] : settings.signal_inputs) {
    inputs[std::to_string(channel)] = {{"offset", s.offset},       {"amplitude", s.amplitude},
                                       {"frequency", s.frequency}, {"phase", s.phase},
                                       {"noise", s.noise_lsb},     {"seed", s.seed}};
  }
  doc["inputs"] = inputs;
  return doc.dump();
}

bool SameSettings(const SimSettings& a, const SimSettings& b) {
  return a.present == b.present && a.external_reference == b.external_reference &&
         a.adc_reference == b.adc_reference && a.inputs == b.inputs &&
         a.signal_inputs == b.signal_inputs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto result = kx::board::sim::ParseSimSettings(kx::fuzz::AsText(data, size));
  Require(result.settings.has_value() == result.error.empty(), "settings or a reason, not both");
  if (!result.settings) {
    Require(kx::fuzz::IsOneLine(result.error), "the reason is one line");
    Require(result.error.starts_with("settings: "), "the reason says it is about the settings");
    return 0;
  }
  const SimSettings& settings = *result.settings;
  Require(IsReference(settings.external_reference),
          "the external reference is finite, above 0 and at most 5 V");
  Require(IsReference(settings.adc_reference),
          "the ADC reference is finite, above 0 and at most 5 V");
  for (const auto& [channel, volts] : settings.inputs) {
    Require(channel >= 0 && channel <= 15, "an input is an ADC channel 0 to 15");
    Require(std::isfinite(volts) && volts >= 0.0 && volts <= 5.0,
            "an input is finite, from 0 to 5 V");
  }

  for (const auto& [channel, s] : settings.signal_inputs) {
    Require(channel >= 0 && channel <= 15 && settings.inputs.count(channel) == 0,
            "a signal is an ADC channel 0 to 15 without a fixed input");
    Require(s.offset >= 0.0 && s.offset <= 5.0 && s.amplitude >= 0.0 && s.amplitude <= 5.0,
            "a signal's offset and amplitude are from 0 to 5 V");
    Require(s.frequency >= 0.0 && s.frequency <= 0.5 && std::isfinite(s.phase),
            "a signal's frequency is 0 to 0.5 and its phase finite");
    Require(s.noise_lsb >= 0.0 && s.noise_lsb <= 1000.0, "a signal's noise is 0 to 1000 LSB");
  }

  const auto again = kx::board::sim::ParseSimSettings(WriteSettings(settings));
  Require(again.settings.has_value(), "accepted settings written back are accepted");
  Require(SameSettings(settings, *again.settings),
          "accepted settings written back read back the same");
  return 0;
}
