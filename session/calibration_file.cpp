#include "session/calibration_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <regex>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "adc/adc_lists.h"
#include "adc/capture_metadata.h"
#include "adc/sample_file.h"
#include "board/parsed_file.h"
#include "session/json_fields.h"

namespace kx::session {

namespace {

using json_fields::Fault;
using json_fields::Item;
using json_fields::Member;

using Json = nlohmann::ordered_json;
using Channels = std::array<std::optional<ChannelCalibration>, CalibrationChannels>;

constexpr std::size_t kMaxFileBytes = std::size_t{256} * 1024;
constexpr double kLargestReferenceVolts = 5.0;
constexpr std::size_t kLongestProgram = 100;

const Json& Object(const Json& value, const std::string& path,
                   std::initializer_list<std::string_view> keys) {
  return json_fields::Object(value, path, keys, "the calibration", "a calibration");
}

double Number(const Json& value, const std::string& path, double largest_magnitude) {
  if (!value.is_number() || !std::isfinite(value.get<double>()) ||
      std::abs(value.get<double>()) > largest_magnitude) {
    Fault(path, fmt::format("{} is not a number from {} to {}", value.dump(), -largest_magnitude,
                            largest_magnitude));
  }
  return value.get<double>();
}

std::optional<double> Reference(const Json& value, const std::string& path) {
  if (value.is_null()) {
    return std::nullopt;
  }
  if (!value.is_number() || !(value.get<double>() > 0.0) ||
      value.get<double>() > kLargestReferenceVolts) {
    Fault(path, fmt::format("{} is not null or a reference above 0 V and at most {} V",
                            value.dump(), kLargestReferenceVolts));
  }
  return value.get<double>();
}

std::string Date(const Json& value, const std::string& path) {
  static const std::regex kIso(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d{1,9})?Z)");
  if (!value.is_string() || !std::regex_match(value.get<std::string>(), kIso)) {
    Fault(path, fmt::format("{} is not a UTC time such as \"2026-12-09T12:00:00Z\"", value.dump()));
  }
  return value.get<std::string>();
}

std::string Program(const Json& value, const std::string& path) {
  std::string name = value.is_string() ? value.get<std::string>() : std::string();
  if (name.empty() || name.size() > kLongestProgram ||
      !std::all_of(name.begin(), name.end(),
                   [](char c) { return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F; })) {
    Fault(path, fmt::format("{} is not a program's name of 1 to {} printable characters",
                            value.dump(), kLongestProgram));
  }
  return name;
}

// A board's file word: what BoardIdentity::FileWord gives, so one word of
// file-name-safe characters.
std::string BoardWord(const Json& value, const std::string& path) {
  const auto safe = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.';
  };
  std::string word = value.is_string() ? value.get<std::string>() : std::string();
  if (word.empty() || word.size() > kLongestProgram || word.front() == '.' ||
      !std::all_of(word.begin(), word.end(), safe)) {
    Fault(path,
          fmt::format("{} is not a board's word (letters, digits, '-', '_' or '.')", value.dump()));
  }
  return word;
}

Json ReferenceJson(const std::optional<double>& volts) {
  return volts ? Json(*volts) : Json(nullptr);
}

Json EntryJson(int channel, const ChannelCalibration& entry, const char* range) {
  Json json = {{"channel", channel}};
  if (range != nullptr) {
    json["range"] = range;
  }
  json["offset_lsb"] = entry.correction.offset_lsb;
  json["gain_percent"] = entry.correction.gain_percent;
  json["date"] = entry.date;
  json["program"] = entry.program;
  json["method"] = entry.method;
  json["reference_volts"] = ReferenceJson(entry.reference_volts);
  return json;
}

// One entry of "adc" (with its range) or "dac" (without), put in its place.
void ReadEntry(const Json& value, const std::string& path, bool adc, Calibration& calibration) {
  if (adc) {
    Object(value, path,
           {"channel", "range", "offset_lsb", "gain_percent", "date", "program", "method",
            "reference_volts"});
  } else {
    Object(
        value, path,
        {"channel", "offset_lsb", "gain_percent", "date", "program", "method", "reference_volts"});
  }
  const Json& channel_json = value["channel"];
  if (!channel_json.is_number_integer() || channel_json.get<long long>() < 0 ||
      channel_json.get<long long>() >= CalibrationChannels) {
    Fault(Member(path, "channel"), fmt::format("{} is not a channel from 0 to {}",
                                               channel_json.dump(), CalibrationChannels - 1));
  }
  const auto channel = channel_json.get<std::size_t>();
  const int range = adc ? Item(value["range"], Member(path, "range"), adc::RangeItems) : 0;
  Channels& channels = adc ? calibration.adc[static_cast<std::size_t>(range)] : calibration.dac;
  if (channels[channel]) {
    Fault(Member(path, "channel"),
          adc ? fmt::format("channel {} on \"{}\" a second time", channel,
                            adc::RangeItems[static_cast<std::size_t>(range)])
              : fmt::format("channel {} a second time", channel));
  }
  ChannelCalibration entry;
  entry.correction.offset_lsb =
      Number(value["offset_lsb"], Member(path, "offset_lsb"), board::LargestOffsetLsb);
  entry.correction.gain_percent =
      Number(value["gain_percent"], Member(path, "gain_percent"), board::LargestGainPercent);
  entry.date = Date(value["date"], Member(path, "date"));
  entry.program = Program(value["program"], Member(path, "program"));
  entry.method = CalibrationMethods[static_cast<std::size_t>(
      Item(value["method"], Member(path, "method"), CalibrationMethods))];
  entry.reference_volts = Reference(value["reference_volts"], Member(path, "reference_volts"));
  channels[channel] = std::move(entry);
}

void ReadEntries(const Json& value, const std::string& path, bool adc, Calibration& calibration) {
  if (!value.is_array()) {
    Fault(path, "not a list");
  }
  for (std::size_t i = 0; i < value.size(); ++i) {
    ReadEntry(value[i], fmt::format("{}[{}]", path, i), adc, calibration);
  }
}

Calibration ReadDocument(const Json& doc) {
  json_fields::CheckFormat(doc, CalibrationFormat, CalibrationVersion);
  Object(doc, "",
         {"format", "version", "board", "written", "program", "adc_reference_volts",
          "dac_reference_volts", "adc", "dac"});
  Calibration calibration;
  calibration.board = BoardWord(doc["board"], "board");
  calibration.written = Date(doc["written"], "written");
  calibration.program = Program(doc["program"], "program");
  calibration.adc_reference_volts = Reference(doc["adc_reference_volts"], "adc_reference_volts");
  const Json& dac_references = doc["dac_reference_volts"];
  if (!dac_references.is_array() || dac_references.size() != 2) {
    Fault("dac_reference_volts", "not a list of 2 (DAC0-7, DAC8-15)");
  }
  for (std::size_t group = 0; group < 2; ++group) {
    calibration.dac_reference_volts[group] =
        Reference(dac_references[group], fmt::format("dac_reference_volts[{}]", group));
  }
  ReadEntries(doc["adc"], "adc", true, calibration);
  ReadEntries(doc["dac"], "dac", false, calibration);
  return calibration;
}

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

std::string CalibrationJson(const Calibration& calibration) {
  Json adc = Json::array();
  for (std::size_t range = 0; range < calibration.adc.size(); ++range) {
    for (std::size_t channel = 0; channel < calibration.adc[range].size(); ++channel) {
      if (const auto& entry = calibration.adc[range][channel]) {
        adc.push_back(EntryJson(static_cast<int>(channel), *entry, adc::RangeItems[range]));
      }
    }
  }
  Json dac = Json::array();
  for (std::size_t channel = 0; channel < calibration.dac.size(); ++channel) {
    if (const auto& entry = calibration.dac[channel]) {
      dac.push_back(EntryJson(static_cast<int>(channel), *entry, nullptr));
    }
  }
  const Json doc = {
      {"format", CalibrationFormat},
      {"version", CalibrationVersion},
      {"board", calibration.board},
      {"written", calibration.written.empty() ? adc::Iso8601(std::chrono::system_clock::now())
                                              : calibration.written},
      {"program", calibration.program},
      {"adc_reference_volts", ReferenceJson(calibration.adc_reference_volts)},
      {"dac_reference_volts",
       {ReferenceJson(calibration.dac_reference_volts[0]),
        ReferenceJson(calibration.dac_reference_volts[1])}},
      {"adc", std::move(adc)},
      {"dac", std::move(dac)},
  };
  return doc.dump(2) + "\n";
}

CalibrationRead ParseCalibration(std::string_view json_text) {
  return json_fields::ParseDocument<CalibrationRead>(json_text, ReadDocument);
}

CalibrationRead ReadCalibrationFile(const std::string& path) {
  return board::ReadParsedFile(path, kMaxFileBytes, "a calibration", ParseCalibration);
}

std::optional<std::string> WriteCalibrationFile(const std::string& path,
                                                const Calibration& calibration) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  if (std::error_code error; !folder.empty()) {
    std::filesystem::create_directories(folder, error);
    if (error) {
      return fmt::format("cannot create the folder {}: {}", folder.string(), error.message());
    }
  }
  // A file this program would refuse to read is not written: the board's
  // good file stays rather than being replaced by one that fails every
  // command after.
  const std::string text = CalibrationJson(calibration);
  if (const CalibrationRead check = ParseCalibration(text); !check.calibration) {
    return fmt::format("{}: not written, it would not read back: {}", path, check.error);
  }
  return adc::WriteFileReplacing(path, text);
}

CalibrationFolder DefaultCalibrationFolder() {
#ifdef _WIN32
  const std::string appdata = Environment("APPDATA");
  if (appdata.empty()) {
    return {{}, "APPDATA is not set, so there is no folder for calibrations"};
  }
  return {appdata + "\\kx7312\\calibration", {}};
#else
  // A relative XDG_CONFIG_HOME is to be ignored, as if it were not set.
  const std::string config = Environment("XDG_CONFIG_HOME");
  if (!config.empty() && config.front() == '/') {
    return {config + "/kx7312/calibration", {}};
  }
  const std::string home = Environment("HOME");
  if (home.empty()) {
    return {{}, "neither XDG_CONFIG_HOME nor HOME is set, so there is no folder for calibrations"};
  }
  return {home + "/.config/kx7312/calibration", {}};
#endif
}

std::string CalibrationFilePath(const std::string& folder, const std::string& file_word) {
#ifdef _WIN32
  constexpr char kSeparator = '\\';
#else
  constexpr char kSeparator = '/';
#endif
  if (folder.empty() || folder.back() == '/' || folder.back() == kSeparator) {
    return folder + file_word + ".json";
  }
  return folder + kSeparator + file_word + ".json";
}

CalibrationResolved ResolveCalibration(const CalibrationChoice& choice,
                                       const board::BoardIdentity& identity) {
  if (choice.kind == CalibrationChoice::Kind::None) {
    return {};
  }
  std::string path = choice.file;
  if (choice.kind == CalibrationChoice::Kind::Auto) {
    // A board without identity, or a user without a folder, simply has no
    // calibration of its own.
    if (!identity.Known()) {
      return {};
    }
    const CalibrationFolder folder = DefaultCalibrationFolder();
    if (folder.path.empty()) {
      return {};
    }
    path = CalibrationFilePath(folder.path, identity.FileWord());
    std::error_code error;
    if (!std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
      return {};
    }
  }
  CalibrationRead read = ReadCalibrationFile(path);
  if (!read.calibration) {
    return {std::nullopt, std::move(read.error)};
  }
  if (read.calibration->board != identity.FileWord()) {
    return {std::nullopt,
            identity.Known()
                ? fmt::format("{} is the calibration of board {}, not of this board {}", path,
                              read.calibration->board, identity.FileWord())
                : fmt::format("{} is the calibration of board {}; this board has no serial "
                              "number: give --board-name",
                              path, read.calibration->board)};
  }
  return {AppliedCalibration{std::move(path), std::move(*read.calibration)}, {}};
}

}  // namespace kx::session
