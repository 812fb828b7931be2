#pragma once

#include <cstdint>
#include <string>

#include "board/line_correction.h"

namespace kx::adc {

// Caption of every lblVolts before the first read.
inline constexpr const char* InitialVoltText = "0.000V";

// "0x" and at least three upper-case hex digits: 0 -> 0x000, 0x1F -> 0x01F.
std::string CodeHexText(std::int32_t code);

// Plain decimal digits: 0 -> 0, 4095 -> 4095.
std::string CodeDecText(std::int32_t code);

// The reply to "Write": "0x" and exactly four upper-case hex digits.
std::string WriteReplyText(std::int32_t reply);

// Full-scale span from the reference: the reference itself for
// "0V to VREFA", twice it for "0V to 2xVREFA". Single precision, as the
// reference is held.
float FullScaleSpan(float reference, std::int16_t range_bit);

// Volts of a raw code. Two's-complement codes are stored as read, so the
// lower half of the range arrives with bit 11 set and sits below mid-scale.
double CodeVolts(std::int32_t code, float span, bool straight_binary);

// The code's value on a line from the bottom of the range: straight binary
// as it is, two's complement as a signed number (-2048 to 2047), so that a
// signal crossing mid-scale does not wrap.
std::int32_t SignedCode(std::int32_t code, bool straight_binary);

// Volts of a value on that line, also a mean of several codes: CodeVolts of
// the code it stands for.
double LineVolts(double value, float span, bool straight_binary);

// The same with the channel's calibration: the value's place on the line,
// counted from the bottom of the range (0 to 4095), is taken back to the
// input's ideal place before it becomes volts. Without a correction they
// are LineVolts and CodeVolts.
double CalibratedLineVolts(double value, float span, bool straight_binary,
                           const board::LineCorrection* correction);
double CalibratedCodeVolts(std::int32_t code, float span, bool straight_binary,
                           const board::LineCorrection* correction);

// `value` with exactly `decimals` decimals and at least one integer digit.
// Halves round away from zero on the shortest decimal that reads back as the
// same number, as a calculator would show it, so 0.3125 gives 0.313 and a
// float 2.675 gives 2.68. A value that rounds to zero never shows a minus
// sign. Infinities and NaN cannot arise from a reference the panel accepts;
// should one get here it shows as zero rather than as "inf".
std::string FormatFixed(double value, int decimals);
std::string FormatFixed(float value, int decimals);

// A voltage as lblVolts shows it after a read: "0.000", no unit.
std::string VoltText(double volts);

}  // namespace kx::adc
