#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace kx::board::sim {

// How the simulated board is wired up; read from a small JSON file.
struct SimSettings {
  bool present = true;              // false: no board answers at all
  double external_reference = 2.5;  // volts on the DAC's external reference pin
  double adc_reference = 2.5;       // volts on the ADC's reference pin
  std::map<int, double> inputs;     // ADC channel -> fixed input volts; others follow their DAC
};

// Either settings or a one-line reason that names the offending key.
struct SimSettingsResult {
  std::optional<SimSettings> settings;
  std::string error;
};

SimSettingsResult ParseSimSettings(std::string_view json_text);
SimSettingsResult LoadSimSettingsFile(const std::string& path);

}  // namespace kx::board::sim
