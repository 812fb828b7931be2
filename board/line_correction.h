#pragma once

namespace kx::board {

// How one converter channel departs from its ideal straight line, in the
// terms the characterisation tests measure: an ideal code x (the input the
// ADC saw, or the output the DAC was asked for, in LSB from the bottom of
// the range) comes out as x * (1 + gain_percent / 100) + offset_lsb.
struct LineCorrection {
  double offset_lsb = 0.0;
  double gain_percent = 0.0;

  // What comes out for the ideal position `ideal`.
  double Actual(double ideal) const { return ideal * (1.0 + gain_percent / 100.0) + offset_lsb; }
  // The ideal position behind what came out: the inverse of Actual. A gain
  // of -100 % (no slope) cannot be inverted; the file readers refuse it.
  double Ideal(double actual) const { return (actual - offset_lsb) / (1.0 + gain_percent / 100.0); }
  bool operator==(const LineCorrection&) const = default;
};

// The gains a calibration may hold: a converter off by half its scale is
// broken, not calibrated.
inline constexpr double LargestGainPercent = 50.0;
// And the offsets, in LSB of the 4096-code range.
inline constexpr double LargestOffsetLsb = 2048.0;

}  // namespace kx::board
