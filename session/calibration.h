#pragma once

#include <array>
#include <optional>
#include <string>

#include "board/line_correction.h"

namespace kx::session {

inline constexpr int CalibrationChannels = 16;

// One channel's correction and where it came from.
struct ChannelCalibration {
  board::LineCorrection correction;
  std::string date;     // when it was obtained, UTC: "2026-12-09T12:00:00Z"
  std::string program;  // what obtained it: "kx7312ctl 2.4.0"
  std::string method;   // how: "adc histogram", "dac sweep", "entered"
  // The reference in volts the figures were measured against, where known.
  std::optional<double> reference_volts;
};

// What is kept for one board: per channel, the ADC's correction for each
// entry of the Range list (index 0 "0V to 2xVREFA", 1 "0V to VREFA": its
// offset in LSB differs between them) and the DAC's; and the references as
// measured, where someone measured them. A channel without an entry is shown
// from its nominal line.
struct Calibration {
  std::string board;  // the identity's file word (board::BoardIdentity::FileWord)
  // When and by what the file was last written: "2026-12-09T12:00:00Z",
  // "kx7312ctl 1.05".
  std::string written;
  std::string program;
  std::array<std::array<std::optional<ChannelCalibration>, CalibrationChannels>, 2> adc;
  std::array<std::optional<ChannelCalibration>, CalibrationChannels> dac;
  std::optional<double> adc_reference_volts;
  // The DAC groups' external references (DAC0-7, DAC8-15) as measured.
  std::array<std::optional<double>, 2> dac_reference_volts;

  bool Empty() const;
  // The ADC channel's correction on the range of list index `range_index`,
  // or null where it has none.
  const board::LineCorrection* Adc(int range_index, int channel) const;
  const board::LineCorrection* Dac(int channel) const;
};

// How a command chooses its calibration: --calibration FILE|auto|none.
// `auto` takes the board's own file from the calibration folder when there
// is one, and shows nominal volts when there is not.
struct CalibrationChoice {
  enum class Kind { Auto, None, File };
  Kind kind = Kind::Auto;
  std::string file;  // for Kind::File
};

// The calibration a command applied, for its output and for the files it
// writes (a log's header, a capture's metadata): where it came from, and
// the values themselves so that a file still tells them once the
// calibration file has changed.
struct AppliedCalibration {
  std::string path;  // the file read
  Calibration calibration;
};

}  // namespace kx::session
