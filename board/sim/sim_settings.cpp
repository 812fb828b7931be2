#include "board/sim/sim_settings.h"

#include <fmt/format.h>

#include <cmath>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "board/board_model.h"
#include "board/bounded_file.h"

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

// nlohmann prefixes its messages with an internal tag such as
// "[json.exception.parse_error.101] "; the rest (with line and column) is
// what helps the person fixing the file.
std::string_view WithoutTag(std::string_view what) {
  if (!what.empty() && what.front() == '[') {
    const std::size_t end = what.find("] ");
    if (end != std::string_view::npos) {
      what.remove_prefix(end + 2);
    }
  }
  return what;
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
    } else if (key == "inputs") {
      std::string error = ReadInputs(value, settings);
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
    return Fail(fmt::format("settings: not valid JSON: {}", WithoutTag(e.what())));
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
