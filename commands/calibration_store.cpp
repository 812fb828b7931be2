#include "commands/calibration_store.h"

#include <fmt/format.h>

#include <chrono>
#include <filesystem>
#include <system_error>

#include "adc/adc_lists.h"
#include "adc/capture_metadata.h"
#include "session/calibration_file.h"

namespace kx::commands {

BoardCalibration LoadBoardCalibration(const board::BoardIdentity& identity) {
  BoardCalibration loaded;
  if (!identity.Known()) {
    loaded.failure =
        "this board has no serial number to keep a calibration under: give --board-name NAME";
    return loaded;
  }
  loaded.board = identity.FileWord();
  const session::CalibrationFolder folder = session::DefaultCalibrationFolder();
  if (folder.path.empty()) {
    loaded.failure = folder.problem;
    return loaded;
  }
  loaded.path = session::CalibrationFilePath(folder.path, loaded.board);
  std::error_code error;
  if (!std::filesystem::exists(std::filesystem::symlink_status(loaded.path, error))) {
    return loaded;
  }
  session::CalibrationRead read = session::ReadCalibrationFile(loaded.path);
  if (!read.calibration) {
    loaded.failure = fmt::format("{}; the file is left as it is", read.error);
  } else if (read.calibration->board != loaded.board) {
    loaded.failure = fmt::format("{} is the calibration of board {}, not of this board {}",
                                 loaded.path, read.calibration->board, loaded.board);
  } else {
    loaded.calibration = std::move(read.calibration);
  }
  return loaded;
}

std::string CalibrationProgram() {
  return fmt::format("kx7312ctl {}", KX7312CTL_VERSION);
}

std::string CalibrationTimeNow() {
  return adc::Iso8601(std::chrono::system_clock::now());
}

std::optional<std::string> StoreBoardCalibration(const std::string& path,
                                                 session::Calibration calibration) {
  if (calibration.Empty()) {
    std::error_code error;
    std::filesystem::remove(path, error);
    if (error) {
      return fmt::format("cannot remove {}: {}", path, error.message());
    }
    return std::nullopt;
  }
  calibration.written = CalibrationTimeNow();
  calibration.program = CalibrationProgram();
  return session::WriteCalibrationFile(path, calibration);
}

std::string AdcEntryName(int range_index, int channel) {
  return fmt::format("adc {} on {}", channel,
                     adc::RangeItems.at(static_cast<std::size_t>(range_index)));
}

std::string DacEntryName(int channel) {
  return fmt::format("dac {}", channel);
}

}  // namespace kx::commands
