#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "board/sim/sim_converter_errors.h"

namespace kx::board::sim {

// An input that moves: offset + amplitude * sin(2 pi frequency t + phase)
// volts, plus Gaussian noise of `noise_lsb` LSB of the range in force at
// each conversion. t counts the conversions of that channel since the board
// started (one per sample set in the all-channel capture, one per reply in
// the channel-0 capture), so the frequency is in cycles per sample set. The
// seed makes the noise repeat from run to run.
struct SimSignal {
  double offset = 0.0;
  double amplitude = 0.0;
  double frequency = 0.0;
  double phase = 0.0;  // radians
  double noise_lsb = 0.0;
  std::uint64_t seed = 0;
  bool operator==(const SimSignal&) const = default;
};

// The USB serial number the simulated board reports unless its settings
// give another ("serial"), as a real board's string descriptor holds it.
inline constexpr std::string_view SimDefaultSerial = "SIM-0001";
inline constexpr std::size_t SimSerialLongest = 126;

// How the simulated board is wired up; read from a small JSON file.
struct SimSettings {
  bool present = true;  // false: no board answers at all
  std::string serial{SimDefaultSerial};
  double external_reference = 2.5;  // volts on the DAC's external reference pin
  double adc_reference = 2.5;       // volts on the ADC's reference pin
  std::map<int, double> inputs;     // ADC channel -> fixed input volts; others follow their DAC
  std::map<int, SimSignal> signal_inputs;     // ADC channel -> a moving input instead
  std::map<int, ConverterErrors> adc_errors;  // ADC channel -> its errors; others ideal
  std::map<int, ConverterErrors> dac_errors;  // DAC channel -> its errors; others ideal
};

// Either settings or a one-line reason that names the offending key.
struct SimSettingsResult {
  std::optional<SimSettings> settings;
  std::string error;
};

SimSettingsResult ParseSimSettings(std::string_view json_text);
SimSettingsResult LoadSimSettingsFile(const std::string& path);

}  // namespace kx::board::sim
