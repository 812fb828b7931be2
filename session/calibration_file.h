#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "board/board_identity.h"
#include "session/calibration.h"

namespace kx::session {

// The calibration file's format and the newest version this program reads.
inline constexpr const char* CalibrationFormat = "kx7312-calibration";
inline constexpr int CalibrationVersion = 1;

// The ways a channel's figures are obtained, as its entry records them.
inline constexpr std::array<const char*, 3> CalibrationMethods = {"adc histogram", "dac sweep",
                                                                  "entered"};

// The calibration as JSON: the board, when and by what program it was
// written, the references as measured and one entry per calibrated channel
// (layout in the README).
std::string CalibrationJson(const Calibration& calibration);

struct CalibrationRead {
  std::optional<Calibration> calibration;
  std::string error;  // names the field at fault: "adc[2].gain_percent: ..."
};

// Every field is checked (type, range, list item, no channel twice on a
// range); the calibration comes back only when all pass.
CalibrationRead ParseCalibration(std::string_view json_text);
CalibrationRead ReadCalibrationFile(const std::string& path);

// Written whole through a temporary file and a rename, the folder created
// first; the operator's message on failure.
std::optional<std::string> WriteCalibrationFile(const std::string& path,
                                                const Calibration& calibration);

struct CalibrationFolder {
  std::string path;
  std::string problem;  // why there is none: no HOME, no APPDATA
};

// $XDG_CONFIG_HOME/kx7312/calibration, else $HOME/.config/kx7312/calibration;
// %APPDATA%\kx7312\calibration on Windows.
CalibrationFolder DefaultCalibrationFolder();

// folder/WORD.json
std::string CalibrationFilePath(const std::string& folder, const std::string& file_word);

struct CalibrationResolved {
  std::optional<AppliedCalibration> applied;
  std::string error;
};

// auto: the board's file if it exists (none, and no error, if it does not;
// an unreadable or damaged one is an error); none: nothing; FILE: that file,
// which must exist, parse and name this board.
CalibrationResolved ResolveCalibration(const CalibrationChoice& choice,
                                       const board::BoardIdentity& identity);

}  // namespace kx::session
