#include "adc/capture_metadata.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <nlohmann/json.hpp>

#include "adc/calibration_note_json.h"
#include "adc/sample_file.h"
#include "board/json_message.h"
#include "board/parsed_file.h"

namespace kx::adc {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::size_t kMaxFileBytes = std::size_t{64} << 10;
constexpr std::int32_t kLargestWord = 0xFFFF;

MetadataRead Fail(std::string message) {
  return MetadataRead{std::nullopt, std::move(message)};
}

double Seconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

std::optional<std::int32_t> HexWord(const std::string& text) {
  if (text.size() < 3 || text.size() > 10 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  for (std::size_t i = 2; i < text.size(); ++i) {
    const char c = text[i];
    int digit = 0;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return static_cast<std::int32_t>(value & static_cast<std::uint32_t>(kLargestWord));
}

// The keys the viewer needs must be there and right; the others are
// informative and only checked for their type when present.
std::string ReadDocument(const Json& doc, CaptureMetadata& m) {
  if (!doc.is_object()) {
    return "expected a JSON object";
  }
  const auto edition = doc.find("edition");
  if (edition == doc.end() || !edition->is_string() ||
      (*edition != "version2" && *edition != "classic")) {
    return R"("edition" must be "version2" or "classic")";
  }
  m.edition = edition->get<std::string>();
  const auto word = doc.find("configuration_word");
  if (word != doc.end()) {
    const auto value = word->is_string() ? HexWord(word->get<std::string>()) : std::nullopt;
    if (!value) {
      return R"("configuration_word" must be a word in hexadecimal such as "0x83B0")";
    }
    m.configuration_word = *value;
  }
  const auto range = doc.find("range");
  if (range == doc.end() || !range->is_string() || (*range != "2xvref" && *range != "vref")) {
    return R"("range" must be "2xvref" or "vref")";
  }
  m.half_span = *range == "vref";
  if (const auto weak = doc.find("weak"); weak != doc.end()) {
    if (!weak->is_boolean()) {
      return R"("weak" must be true or false)";
    }
    m.weak = weak->get<bool>();
  }
  const auto coding = doc.find("coding");
  if (coding == doc.end() || !(coding->is_null() || *coding == "twos" || *coding == "binary")) {
    return R"("coding" must be "twos", "binary" or null)";
  }
  if (!coding->is_null()) {
    m.straight_binary = *coding == "binary";
  }
  const auto reference = doc.find("reference_volts");
  if (reference == doc.end() ||
      !(reference->is_null() || (reference->is_number() && reference->get<double>() > 0.0 &&
                                 reference->get<double>() <= 5.0))) {
    return R"("reference_volts" must be a number of volts above 0 and at most 5, or null)";
  }
  if (!reference->is_null()) {
    m.reference_volts = reference->get<double>();
  }
  if (const auto start = doc.find("start_time"); start != doc.end() && start->is_string()) {
    m.start_time = start->get<std::string>();
  }
  if (const auto d = doc.find("duration_seconds"); d != doc.end() && d->is_number()) {
    m.duration_seconds = d->get<double>();
  }
  if (const auto t = doc.find("transfers"); t != doc.end() && t->is_number_integer()) {
    m.transfers = t->get<int>();
  }
  if (const auto s = doc.find("host_times"); s != doc.end() && s->is_object()) {
    m.timed_sets = s->value("count", 0);
    m.sets_spread_seconds = s->value("first_to_last_seconds", 0.0);
    m.shortest_gap_seconds = s->value("shortest_gap_seconds", 0.0);
    m.longest_gap_seconds = s->value("longest_gap_seconds", 0.0);
  }
  if (const auto note = doc.find(CalibrationKey); note != doc.end()) {
    CalibrationNoteRead read = ReadCalibrationNote(*note);
    if (!read.error.empty()) {
      return read.error;
    }
    m.calibration = std::move(read.note);
  }
  return {};
}

}  // namespace

void SetTimestampSpread(CaptureMetadata& metadata,
                        std::span<const std::chrono::steady_clock::time_point> times) {
  metadata.timed_sets = static_cast<int>(times.size());
  metadata.sets_spread_seconds = 0.0;
  metadata.shortest_gap_seconds = 0.0;
  metadata.longest_gap_seconds = 0.0;
  if (times.size() < 2) {
    return;
  }
  metadata.sets_spread_seconds = Seconds(times.back() - times.front());
  double shortest = Seconds(times[1] - times[0]);
  double longest = shortest;
  for (std::size_t i = 2; i < times.size(); ++i) {
    const double gap = Seconds(times[i] - times[i - 1]);
    shortest = std::min(shortest, gap);
    longest = std::max(longest, gap);
  }
  metadata.shortest_gap_seconds = shortest;
  metadata.longest_gap_seconds = longest;
}

std::string Iso8601(std::chrono::system_clock::time_point time) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(time);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(time - seconds).count();
  return fmt::format("{:%Y-%m-%dT%H:%M:%S}.{:03}Z",
                     fmt::gmtime(std::chrono::system_clock::to_time_t(seconds)), millis);
}

std::string MetadataPath(const std::string& capture_path) {
  return capture_path + ".json";
}

std::string MetadataJson(const CaptureMetadata& m) {
  Json doc;
  doc["edition"] = m.edition;
  doc["configuration_word"] = fmt::format("0x{:04X}", m.configuration_word & kLargestWord);
  doc["range"] = m.half_span ? "vref" : "2xvref";
  doc["weak"] = m.weak;
  doc["coding"] = m.straight_binary ? Json(*m.straight_binary ? "binary" : "twos") : Json(nullptr);
  doc["reference_volts"] = m.reference_volts ? Json(*m.reference_volts) : Json(nullptr);
  doc["start_time"] = m.start_time;
  doc["duration_seconds"] = m.duration_seconds;
  doc["transfers"] = m.transfers;
  doc["host_times"] = {{"count", m.timed_sets},
                       {"first_to_last_seconds", m.sets_spread_seconds},
                       {"shortest_gap_seconds", m.shortest_gap_seconds},
                       {"longest_gap_seconds", m.longest_gap_seconds}};
  // Written only where one was applied, so that a capture without one reads
  // as it always did.
  if (m.calibration) {
    doc[CalibrationKey] = CalibrationNoteJson(*m.calibration);
  }
  return doc.dump(2) + "\n";
}

std::optional<std::string> WriteMetadataFile(const std::string& capture_path,
                                             const CaptureMetadata& metadata) {
  return WriteFileReplacing(MetadataPath(capture_path), MetadataJson(metadata));
}

MetadataRead ParseMetadata(std::string_view json_text) {
  Json doc;
  try {
    doc = Json::parse(json_text.begin(), json_text.end());
  } catch (const Json::exception& e) {
    return Fail(fmt::format("not valid JSON: {}", board::JsonMessage(e.what())));
  }
  CaptureMetadata metadata;
  std::string error;
  try {
    error = ReadDocument(doc, metadata);
  } catch (const Json::exception& e) {
    error = fmt::format("a key of the wrong type: {}", e.what());
  }
  if (!error.empty()) {
    return Fail(std::move(error));
  }
  return MetadataRead{std::move(metadata), {}};
}

MetadataRead ReadMetadataFile(const std::string& path) {
  return board::ReadParsedFile(path, kMaxFileBytes, "capture metadata", ParseMetadata);
}

}  // namespace kx::adc
