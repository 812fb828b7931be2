#include "adc/calibration_note_json.h"

#include <fmt/format.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>

namespace kx::adc {
namespace {

using Json = nlohmann::ordered_json;

// The reference a note may record, as the metadata's own reference.
constexpr double kLargestReferenceVolts = 5.0;

bool FiniteNumber(const Json& value) {
  return value.is_number() && std::isfinite(value.get<double>());
}

// A finite number within +-limit.
bool Within(const Json& value, double limit) {
  return FiniteNumber(value) && std::fabs(value.get<double>()) <= limit;
}

std::string ReadEntry(const Json& entry, const std::string& key, CalibrationNote& note) {
  if (!entry.is_object()) {
    return fmt::format(R"("{}" must be an object with "channel", "offset_lsb" and "gain_percent")",
                       key);
  }
  const auto channel = entry.find("channel");
  const int number =
      channel != entry.end() && channel->is_number_integer() && channel->get<std::int64_t>() >= 0 &&
              channel->get<std::int64_t>() < static_cast<std::int64_t>(note.adc.size())
          ? channel->get<int>()
          : -1;
  if (number < 0) {
    return fmt::format(R"("{}.channel" must be a channel 0 to {})", key, note.adc.size() - 1);
  }
  auto& slot = note.adc[static_cast<std::size_t>(number)];
  if (slot) {
    return fmt::format(R"("{}.channel": channel {} comes twice)", key, number);
  }
  const auto offset = entry.find("offset_lsb");
  if (offset == entry.end() || !Within(*offset, board::LargestOffsetLsb)) {
    return fmt::format(R"("{}.offset_lsb" must be a number of LSB from -{:g} to {:g})", key,
                       board::LargestOffsetLsb, board::LargestOffsetLsb);
  }
  const auto gain = entry.find("gain_percent");
  if (gain == entry.end() || !Within(*gain, board::LargestGainPercent)) {
    return fmt::format(R"("{}.gain_percent" must be a number of percent from -{:g} to {:g})", key,
                       board::LargestGainPercent, board::LargestGainPercent);
  }
  slot = board::LineCorrection{offset->get<double>(), gain->get<double>()};
  return {};
}

std::string ReadNote(const Json& value, CalibrationNote& note) {
  if (!value.is_object()) {
    return R"("calibration" must be an object or null)";
  }
  for (const char* key : {"path", "board"}) {
    const auto text = value.find(key);
    if (text == value.end() || !text->is_string()) {
      return fmt::format(R"("calibration.{}" must be a text)", key);
    }
  }
  note.path = value["path"].get<std::string>();
  note.board = value["board"].get<std::string>();
  const auto adc = value.find("adc");
  if (adc == value.end() || !adc->is_array()) {
    return R"("calibration.adc" must be a list of the channels' corrections)";
  }
  for (std::size_t i = 0; i < adc->size(); ++i) {
    if (std::string error = ReadEntry((*adc)[i], fmt::format("calibration.adc[{}]", i), note);
        !error.empty()) {
      return error;
    }
  }
  const auto reference = value.find("reference_volts");
  if (reference == value.end() ||
      !(reference->is_null() || (FiniteNumber(*reference) && reference->get<double>() > 0.0 &&
                                 reference->get<double>() <= kLargestReferenceVolts))) {
    return fmt::format(
        R"("calibration.reference_volts" must be a number of volts above 0 and at most {:g}, or null)",
        kLargestReferenceVolts);
  }
  if (!reference->is_null()) {
    note.reference_volts = reference->get<double>();
  }
  return {};
}

}  // namespace

Json CalibrationNoteJson(const CalibrationNote& note) {
  Json adc = Json::array();
  for (std::size_t channel = 0; channel < note.adc.size(); ++channel) {
    if (const auto& correction = note.adc[channel]) {
      adc.push_back({{"channel", channel},
                     {"offset_lsb", correction->offset_lsb},
                     {"gain_percent", correction->gain_percent}});
    }
  }
  Json doc;
  doc["path"] = note.path;
  doc["board"] = note.board;
  doc["adc"] = std::move(adc);
  doc["reference_volts"] = note.reference_volts ? Json(*note.reference_volts) : Json(nullptr);
  return doc;
}

CalibrationNoteRead ReadCalibrationNote(const Json& value) {
  if (value.is_null()) {
    return {};
  }
  CalibrationNote note;
  if (std::string error = ReadNote(value, note); !error.empty()) {
    return {std::nullopt, std::move(error)};
  }
  return {std::move(note), {}};
}

}  // namespace kx::adc
