#pragma once

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

#include "adc/calibration_note.h"

namespace kx::adc {

// The key a capture's metadata and a log's comment line keep the note under.
inline constexpr const char* CalibrationKey = "calibration";

// {"path", "board", "adc": [{"channel", "offset_lsb", "gain_percent"}, ...],
// "reference_volts": null|V}, with an entry for each corrected channel only.
nlohmann::ordered_json CalibrationNoteJson(const CalibrationNote& note);

struct CalibrationNoteRead {
  std::optional<CalibrationNote> note;  // none where the value is null
  std::string error;                    // names the key at fault, "calibration.adc[1].channel"
};

// The value kept under CalibrationKey; a null value is no calibration.
CalibrationNoteRead ReadCalibrationNote(const nlohmann::ordered_json& value);

}  // namespace kx::adc
