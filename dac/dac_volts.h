#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "board/board_references.h"
#include "board/line_correction.h"

namespace kx::dac {

// A channel code spans 4096 steps of its group's reference: code c gives
// c / 4096 of it, so the top code FFF stands for one step below it.
inline constexpr int DacCodes = 4096;

// The volts the bottom and the top code stand for.
struct DacRange {
  double bottom = 0.0;
  double top = 0.0;
};

// What a channel's codes stand for: its group's reference (the internal
// 2.5 V, or what is on the external pins) and, where the channel was
// calibrated, how its output departs from the ideal line. The DAC has one
// coding, straight binary, and no range choice besides the reference.
struct DacScale {
  double reference_volts = board::DacInternalReferenceVolts;
  const board::LineCorrection* correction = nullptr;  // none: the ideal line

  // The output code `code` gives, as the correction predicts it.
  double CodeVolts(std::uint16_t code) const;
  DacRange Range() const;
  // The code whose output comes nearest `volts` (halves round up). A value
  // up to half a step beyond an end of the range gives that end's code, as
  // a user asking for 0 V or for the top of the range means; one further
  // out, or no number at all, gives none.
  std::optional<std::uint16_t> NearestCode(double volts) const;
};

// DAC volts as messages and results show them: four decimals, since a step
// of a 2.5 V reference is 0.6 mV.
std::string DacVoltsText(double volts);

// Why a value was refused: "2.6000 V is outside 0.0000 V to 2.4994 V".
std::string OutsideRangeText(double volts, const DacRange& range);

}  // namespace kx::dac
