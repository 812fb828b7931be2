// The "ADC Reference" box (Text3): the number read from its text and the
// two-decimal text it shows afterwards.
//
// Promises checked on every input:
//  - the number is finite and within +-LargestReference, so no infinity
//    reaches a span or a label;
//  - blanks, tabs and line feeds count nowhere: the text without them reads
//    the same number;
//  - a minus sign in front negates the number;
//  - the shown text is "-"?digits "." two digits; it reads back as a finite
//    number, and for references of everyday size showing it again changes
//    nothing.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "adc/reference_entry.h"
#include "ctl_checks.h"
#include "fuzz_check.h"

namespace {

using kx::fuzz::Require;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n';
}

bool InRange(float volts) {
  return std::isfinite(volts) && std::fabs(volts) <= kx::adc::LargestReference;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = kx::fuzz::AsText(data, size);
  const float volts = kx::adc::ReadReferenceNumber(text);
  Require(InRange(volts), "the reference is finite and within what the box holds");

  std::string without_blanks;
  for (const char c : text) {
    if (!IsBlank(c)) {
      without_blanks += c;
    }
  }
  Require(kx::adc::ReadReferenceNumber(without_blanks) == volts,
          "blanks, tabs and line feeds count nowhere");
  if (!without_blanks.empty() && without_blanks.front() != '+' && without_blanks.front() != '-') {
    Require(kx::adc::ReadReferenceNumber("-" + std::string(text)) == -volts,
            "a minus sign in front negates the number");
  }

  const std::string shown = kx::adc::NormaliseReferenceText(text);
  Require(kx::fuzz::IsTwoDecimalText(shown), "the shown text has two decimals");
  const float shown_volts = kx::adc::ReadReferenceNumber(shown);
  Require(InRange(shown_volts), "the shown text reads back as a finite reference");
  // Below 10,000 V a two-decimal text has at most six significant digits,
  // which single precision holds exactly.
  if (std::fabs(shown_volts) < 10000.0F) {
    Require(kx::adc::NormaliseReferenceText(shown) == shown,
            "showing the text again changes nothing");
  }
  return 0;
}
