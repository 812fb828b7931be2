#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "adc/adc_display.h"
#include "adc/adc_word_rules.h"
#include "adc/calibration_note.h"
#include "analysis/capture_file.h"

namespace kx::analysis {

// What turns a file's numbers into codes and volts: the program's word
// rules (where a reply holds its code), the "Range" and "Coding" in force
// and the "ADC Reference". Defaults are the panel's: "0V to 2xVREFA",
// "2's Compliment", 2.50 V.
struct CaptureScale {
  AdcWordRules rules = AdcWordRules::Version2;
  bool half_span = false;  // "0V to VREFA": the span is the reference itself
  bool straight_binary = false;
  double reference = 2.5;
  // The calibration the capture's metadata names, where it holds for this
  // range: its channels' volts are corrected; the codes stay raw.
  std::optional<adc::CalibrationNote> calibration;

  // The channel's correction, or null where none applies.
  const board::LineCorrection* Correction(int channel) const;
};

// The channel-0 capture always sends the fixed word, so its own Range
// ("0V to 2xVREFA") and Coding ("Straight Binary") hold whatever the lists
// said; only the rules and the reference carry over.
CaptureScale ScaleFor(CaptureKind kind, CaptureScale chosen);

// The code's value on a line from the bottom of the range (-2048 to 2047
// for two's complement).
using adc::SignedCode;

// Volts of a 12-bit code as the panel shows them, and as the channel's
// calibration corrects them where the scale has one.
double CodeVolts(std::int32_t code, const CaptureScale& scale);
double CodeVolts(std::int32_t code, const CaptureScale& scale, int channel);

// The samples of a file as 12-bit codes per channel, and the same on a line
// (SignedCode) and in volts.
struct ChannelSamples {
  int channel = 0;
  std::vector<std::int32_t> codes;
  std::vector<double> values;  // SignedCode of each code
  std::vector<double> volts;
};

std::vector<ChannelSamples> Samples(const CaptureFile& file, const CaptureScale& scale);

}  // namespace kx::analysis
