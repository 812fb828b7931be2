#include "board/sim/sim_settings.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "board/board_model.h"
#include "board/bounded_file.h"
#include "board/json_message.h"

namespace kx::board::sim {
namespace {

// ordered_json keeps the document's key order, so "the first error" is the
// first one a person reading the file top to bottom would run into.
using Json = nlohmann::ordered_json;

constexpr double kMaxVolts = 5.0;
constexpr int kAdcChannels = KX7312Board.adc_channels;
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;

SimSettingsResult Fail(std::string message) {
  return SimSettingsResult{std::nullopt, std::move(message)};
}

// Keys come straight from the user's file; escape them so a quote or a
// newline inside one cannot break the one-line message.
std::string Escaped(const std::string& text) {
  const std::string quoted = Json(text).dump(-1, ' ', false, Json::error_handler_t::replace);
  return quoted.substr(1, quoted.size() - 2);
}

// Only the plain spelling counts ("3", not "03", "+3" or " 3"), so two keys
// can never silently name the same channel.
std::optional<int> ChannelFromKey(std::string_view key) {
  if (key.empty() || key.size() > 2) {
    return std::nullopt;
  }
  for (const char c : key) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
  }
  if (key.size() == 2 && key.front() == '0') {
    return std::nullopt;
  }
  int channel = 0;
  for (const char c : key) {
    channel = channel * 10 + (c - '0');
  }
  if (channel >= kAdcChannels) {
    return std::nullopt;
  }
  return channel;
}

// Booleans are not numbers in nlohmann, so true/false never sneak in as 1/0.
std::optional<double> Volts(const Json& value) {
  if (!value.is_number()) {
    return std::nullopt;
  }
  const double volts = value.get<double>();
  if (!std::isfinite(volts)) {
    return std::nullopt;
  }
  return volts;
}

// A reference of 0 V would make every conversion divide by zero, hence the
// open lower bound.
std::optional<double> ReferenceVolts(const Json& value) {
  const std::optional<double> volts = Volts(value);
  if (!volts || !(*volts > 0.0) || *volts > kMaxVolts) {
    return std::nullopt;
  }
  return volts;
}

std::optional<double> InputVolts(const Json& value) {
  const std::optional<double> volts = Volts(value);
  if (!volts || *volts < 0.0 || *volts > kMaxVolts) {
    return std::nullopt;
  }
  return volts;
}

bool PrintableSerial(const std::string& text) {
  return !text.empty() && text.size() <= SimSerialLongest &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

constexpr double kMaxNoiseLsb = 1000.0;
constexpr double kMaxFrequency = 0.5;  // cycles per conversion: Nyquist

// A signal's keys, each optional; a signal without any is 0 V.
std::string ReadSignal(const std::string& channel, const Json& value, SimSignal& signal) {
  for (const auto& [key, field] : value.items()) {
    const std::string name = fmt::format("inputs.{}.{}", channel, Escaped(key));
    const std::optional<double> number = Volts(field);
    if (key == "offset" || key == "amplitude") {
      if (!number || *number < 0.0 || *number > kMaxVolts) {
        return fmt::format(R"(settings: "{}" must be a number of volts from 0 to 5)", name);
      }
      (key == "offset" ? signal.offset : signal.amplitude) = *number;
    } else if (key == "frequency") {
      if (!number || *number < 0.0 || *number > kMaxFrequency) {
        return fmt::format(R"(settings: "{}" must be from 0 to 0.5 cycles per sample set)", name);
      }
      signal.frequency = *number;
    } else if (key == "phase") {
      if (!number) {
        return fmt::format(R"(settings: "{}" must be a number of radians)", name);
      }
      signal.phase = *number;
    } else if (key == "noise") {
      if (!number || *number < 0.0 || *number > kMaxNoiseLsb) {
        return fmt::format(R"(settings: "{}" must be a number of LSB from 0 to 1000)", name);
      }
      signal.noise_lsb = *number;
    } else if (key == "seed") {
      if (!field.is_number_unsigned()) {
        return fmt::format(R"(settings: "{}" must be a whole number from 0 up)", name);
      }
      signal.seed = field.get<std::uint64_t>();
    } else {
      return fmt::format(
          R"(settings: unknown key "{}" (a signal takes offset, amplitude, frequency, phase, noise, seed))",
          name);
    }
  }
  return {};
}

std::string ReadInputs(const Json& inputs, SimSettings& settings) {
  if (!inputs.is_object()) {
    return R"(settings: "inputs" must be an object mapping ADC channels to volts)";
  }
  for (const auto& [key, value] : inputs.items()) {
    const std::optional<int> channel = ChannelFromKey(key);
    if (!channel) {
      return fmt::format(R"(settings: "inputs.{}" is not an ADC channel (0 to {}))", Escaped(key),
                         kAdcChannels - 1);
    }
    if (value.is_object()) {
      SimSignal signal;
      std::string error = ReadSignal(key, value, signal);
      if (!error.empty()) {
        return error;
      }
      settings.inputs.erase(*channel);
      settings.signal_inputs[*channel] = signal;
      continue;
    }
    const std::optional<double> volts = InputVolts(value);
    if (!volts) {
      return fmt::format(R"(settings: "inputs.{}" must be a number of volts from 0 to 5)",
                         Escaped(key));
    }
    settings.signal_inputs.erase(*channel);
    settings.inputs[*channel] = *volts;
  }
  return {};
}

constexpr double kMaxErrorLsb = 1000.0;
constexpr double kMaxGainPercent = 50.0;

std::optional<double> NumberWithin(const Json& value, double low, double high) {
  const std::optional<double> number = Volts(value);
  if (!number || *number < low || *number > high) {
    return std::nullopt;
  }
  return number;
}

std::string ReadCodeList(const std::string& name, const Json& value, std::vector<int>& codes) {
  std::string message = fmt::format(R"(settings: "{}" must be a list of codes from 1 to {})", name,
                                    kConverterCodes - 2);
  if (!value.is_array()) {
    return message;
  }
  for (const Json& item : value) {
    if (!item.is_number_unsigned() || item.get<std::uint64_t>() < 1 ||
        item.get<std::uint64_t>() > kConverterCodes - 2) {
      return message;
    }
    codes.push_back(static_cast<int>(item.get<std::uint64_t>()));
  }
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  return {};
}

std::string ReadStep(const std::string& name, const Json& value, std::optional<DacStep>& step) {
  std::string message =
      fmt::format(R"(settings: "{}" must be {{"code": 1 to {}, "step": LSB from -1000 to 1000}})",
                  name, kConverterCodes - 1);
  if (!value.is_object() || value.size() != 2 || !value.contains("code") ||
      !value.contains("step")) {
    return message;
  }
  const Json& code = value["code"];
  const std::optional<double> size = NumberWithin(value["step"], -kMaxErrorLsb, kMaxErrorLsb);
  if (!code.is_number_unsigned() || code.get<std::uint64_t>() < 1 ||
      code.get<std::uint64_t>() > kConverterCodes - 1 || !size) {
    return message;
  }
  step = DacStep{static_cast<int>(code.get<std::uint64_t>()), *size};
  return {};
}

// One channel's errors; `adc` says which converter, since only the ADC can
// miss codes and only the DAC can step back.
std::string ReadErrors(const std::string& prefix, bool adc, const Json& value,
                       ConverterErrors& errors) {
  if (!value.is_object()) {
    return fmt::format(R"(settings: "{}" must be an object of errors)", prefix);
  }
  for (const auto& [key, field] : value.items()) {
    const std::string name = fmt::format("{}.{}", prefix, Escaped(key));
    if (key == "offset" || key == "bow" || key == "s") {
      const std::optional<double> lsb = NumberWithin(field, -kMaxErrorLsb, kMaxErrorLsb);
      if (!lsb) {
        return fmt::format(R"(settings: "{}" must be a number of LSB from -1000 to 1000)", name);
      }
      (key == "offset" ? errors.offset_lsb : key == "bow" ? errors.bow_lsb : errors.s_lsb) = *lsb;
    } else if (key == "gain") {
      const std::optional<double> percent = NumberWithin(field, -kMaxGainPercent, kMaxGainPercent);
      if (!percent) {
        return fmt::format(R"(settings: "{}" must be a percentage from -50 to 50)", name);
      }
      errors.gain_percent = *percent;
    } else if (key == "dnl" || key == "noise") {
      const std::optional<double> lsb = NumberWithin(field, 0.0, kMaxErrorLsb);
      if (!lsb) {
        return fmt::format(R"(settings: "{}" must be a number of LSB from 0 to 1000)", name);
      }
      (key == "dnl" ? errors.dnl_spread_lsb : errors.noise_lsb) = *lsb;
    } else if (key == "seed") {
      if (!field.is_number_unsigned()) {
        return fmt::format(R"(settings: "{}" must be a whole number from 0 up)", name);
      }
      errors.seed = field.get<std::uint64_t>();
    } else if (adc && key == "missing_codes") {
      std::string error = ReadCodeList(name, field, errors.missing_codes);
      if (!error.empty()) {
        return error;
      }
    } else if (!adc && key == "non_monotonic") {
      std::string error = ReadStep(name, field, errors.step);
      if (!error.empty()) {
        return error;
      }
    } else {
      return fmt::format(
          R"(settings: unknown key "{}" (errors take offset, gain, bow, s, dnl, seed, noise and {}))",
          name, adc ? "missing_codes" : "non_monotonic");
    }
  }
  return {};
}

std::string ReadConverterErrors(const std::string& converter, const Json& value,
                                std::map<int, ConverterErrors>& errors) {
  const bool adc = converter == "adc";
  if (!value.is_object()) {
    return fmt::format(R"(settings: "errors.{}" must be an object mapping channels to errors)",
                       converter);
  }
  for (const auto& [key, channel_errors] : value.items()) {
    const std::optional<int> channel = ChannelFromKey(key);
    const std::string prefix = fmt::format("errors.{}.{}", converter, Escaped(key));
    if (!channel) {
      return fmt::format(R"(settings: "{}" is not {} channel (0 to {}))", prefix,
                         adc ? "an ADC" : "a DAC", kAdcChannels - 1);
    }
    ConverterErrors read;
    std::string error = ReadErrors(prefix, adc, channel_errors, read);
    if (!error.empty()) {
      return error;
    }
    errors[*channel] = std::move(read);
  }
  return {};
}

std::string ReadAllErrors(const Json& value, SimSettings& settings) {
  if (!value.is_object()) {
    return R"(settings: "errors" must be an object with "adc" and "dac")";
  }
  for (const auto& [key, converter] : value.items()) {
    if (key != "adc" && key != "dac") {
      return fmt::format(R"(settings: unknown key "errors.{}" (errors take adc and dac))",
                         Escaped(key));
    }
    std::string error = ReadConverterErrors(
        key, converter, key == "adc" ? settings.adc_errors : settings.dac_errors);
    if (!error.empty()) {
      return error;
    }
  }
  return {};
}

std::string ReadDocument(const Json& doc, SimSettings& settings) {
  if (!doc.is_object()) {
    return "settings: expected a JSON object";
  }
  for (const auto& [key, value] : doc.items()) {
    if (key == "present") {
      if (!value.is_boolean()) {
        return R"(settings: "present" must be true or false)";
      }
      settings.present = value.get<bool>();
    } else if (key == "external_reference" || key == "adc_reference") {
      const std::optional<double> volts = ReferenceVolts(value);
      if (!volts) {
        return fmt::format(R"(settings: "{}" must be a number of volts above 0 and at most 5)",
                           key);
      }
      (key == "external_reference" ? settings.external_reference : settings.adc_reference) = *volts;
    } else if (key == "serial") {
      if (!value.is_string() || !PrintableSerial(value.get<std::string>())) {
        return fmt::format(
            R"(settings: "serial" must be a text of 1 to {} printable ASCII characters)",
            SimSerialLongest);
      }
      settings.serial = value.get<std::string>();
    } else if (key == "inputs") {
      std::string error = ReadInputs(value, settings);
      if (!error.empty()) {
        return error;
      }
    } else if (key == "errors") {
      std::string error = ReadAllErrors(value, settings);
      if (!error.empty()) {
        return error;
      }
    } else {
      return fmt::format(R"(settings: unknown key "{}")", Escaped(key));
    }
  }
  return {};
}

}  // namespace

SimSettingsResult ParseSimSettings(std::string_view json_text) {
  Json doc;
  try {
    doc = Json::parse(json_text.begin(), json_text.end());
  } catch (const Json::exception& e) {
    // Besides parse errors this also covers number overflow ("1e999").
    return Fail(fmt::format("settings: not valid JSON: {}", JsonMessage(e.what())));
  }

  SimSettings settings;
  std::string error = ReadDocument(doc, settings);
  if (!error.empty()) {
    return Fail(std::move(error));
  }
  return SimSettingsResult{std::move(settings), {}};
}

SimSettingsResult LoadSimSettingsFile(const std::string& path) {
  const BoundedFileText file = ReadFileAtMost(path, kMaxFileBytes);
  switch (file.problem) {
    case FileReadProblem::CannotOpen:
    case FileReadProblem::ReadError:
      return Fail(fmt::format("cannot read settings file {}: {}", path, file.reason));
    case FileReadProblem::TooLarge:
      return Fail(fmt::format("{}: settings file is larger than 1 MiB", path));
    case FileReadProblem::None:
      break;
  }
  SimSettingsResult result = ParseSimSettings(file.text);
  if (!result.error.empty()) {
    result.error = fmt::format("{}: {}", path, result.error);
  }
  return result;
}

}  // namespace kx::board::sim
