#pragma once

#include <optional>
#include <string>

#include "board/board_identity.h"
#include "session/calibration.h"

namespace kx::commands {

// The board's own calibration file as the calibration commands change it.
struct BoardCalibration {
  std::string board;  // the identity's file word
  std::string path;
  std::optional<session::Calibration> calibration;  // none: no file yet
  // Why the file cannot be changed: a board without identity, no folder, a
  // damaged file (which is left as it is).
  std::optional<std::string> failure;
};
BoardCalibration LoadBoardCalibration(const board::BoardIdentity& identity);

// What a command records of itself in an entry and in the file.
std::string CalibrationProgram();
std::string CalibrationTimeNow();

// The file written as `calibration` holds it, stamped with this program and
// the time; removed where nothing is left in it. The message on failure.
std::optional<std::string> StoreBoardCalibration(const std::string& path,
                                                 session::Calibration calibration);

// "adc 3 on 0V to 2xVREFA", "dac 12".
std::string AdcEntryName(int range_index, int channel);
std::string DacEntryName(int channel);

}  // namespace kx::commands
