#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "adc/adc_control_word.h"
#include "analysis/linearity/code_density.h"
#include "analysis/linearity/dac_sweep.h"
#include "analysis/spectrum.h"
#include "board/board_directory.h"
#include "board/link_record.h"
#include "dac/dac_operations.h"
#include "logger/data_logger.h"
#include "session/calibration.h"

namespace kx::commands {

// What a load, a write, a line or a reference gives: the words sent and
// their statuses, which every outcome holds.
struct NoResult {};

// A channel of a load: the code sent and, for an entry in volts, what was
// asked and what the code stands for on the scale it was worked out on.
struct LoadedCode {
  int channel = 0;
  std::uint16_t code = 0;
  struct Volts {
    double asked = 0.0;
    double volts = 0.0;  // the output the code gives
    double reference_volts = 0.0;
    bool internal_reference = false;
    bool calibrated = false;
  };
  std::optional<Volts> volts;
};

// dac load: every channel loaded, in the order given, and the calibration
// file its volts were converted through.
struct LoadResult {
  std::vector<LoadedCode> loaded;
  std::optional<std::string> calibration;
};

// adc read: AdcResults, and the volt texts where the edition shows them;
// of one channel only where the read named one.
struct ReadResult {
  std::optional<int> channel;
  std::array<std::int32_t, adc::AdcChannels> codes{};
  std::optional<std::array<std::string, adc::AdcChannels>> volts;
  // The reference the volts were computed with where a calibration's
  // measured one took the box's place.
  std::optional<double> reference_volts = std::nullopt;
};

// adc configure: the configuration values the lists set.
struct ConfigureResult {
  adc::AdcConfiguration configuration;
};

// dac power-down: SavedPowerDownMask after the command.
struct PowerDownResult {
  dac::DacOperations::PowerDownMasks saved_masks{};
};

// A capture: with no file, the file's text handed back instead.
struct CaptureResult {
  std::optional<std::string> text;
};

// adc log: the rows written, the gap rows, and whether a signal ended it.
struct LogResult {
  logger::LogSummary summary;
};

// adc histogram: the counts, their figures, and the transfers it took
// (they are not kept as requests: there may be millions).
struct HistogramResult {
  std::vector<std::uint64_t> counts;
  linearity::DensityLinearity linearity;
  std::uint64_t transfers = 0;
};

// dac sweep: the curve and its figures, and the requests it took.
struct SweepResult {
  linearity::SweepLinearity linearity;
  std::uint64_t requests = 0;
};

// adc spectrum: the figures of the channel's 512 samples.
struct SpectrumResult {
  analysis::Spectrum spectrum;
};

// calibration show, save and clear: the board's file as the command left it
// (none where there is none), and what the command changed in it.
struct CalibrationResult {
  std::string board;
  std::string path;
  std::optional<session::Calibration> calibration;
  std::vector<std::string> changed;  // "adc 3 on 0V to 2xVREFA", "the whole file"
};

// list: the boards attached.
struct BoardsResult {
  std::vector<board::AttachedBoard> boards;
};

using Result = std::variant<NoResult, LoadResult, ReadResult, ConfigureResult, PowerDownResult,
                            CaptureResult, LogResult, HistogramResult, SweepResult, SpectrumResult,
                            CalibrationResult, BoardsResult>;

// What one step of a call did: the requests it made and what came of them.
struct Outcome {
  std::vector<board::LinkRecord> requests;
  // Empty when the step did all it said. Otherwise why it stopped: the board
  // or the link failed (`status` holds the failing status), or a capture
  // file could not be written.
  std::string error;
  std::optional<std::int16_t> status;
  // What the link libraries told the operator on the way, such as why a
  // link library is missing.
  std::vector<std::string> messages;
  Result result;
  // The calibration file the command's volts were computed with, where one
  // was applied.
  std::optional<std::string> calibration;

  bool Succeeded() const { return error.empty(); }
  // The command's own result, or none when it gave another kind.
  template <class T>
  const T* As() const {
    return std::get_if<T>(&result);
  }
};

}  // namespace kx::commands
