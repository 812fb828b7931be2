#pragma once

#include <limits>
#include <string>
#include <string_view>

namespace kx::adc {

// Largest reference the panel takes: half the single-precision limit, so that
// the span of "0V to 2xVREFA" (twice the reference) still fits.
inline constexpr float LargestReference = std::numeric_limits<float>::max() / 2;

// What the board's ADC takes on its reference pin: above 0 V, at most this
// (the simulated board's settings take the same). The panel's box holds any
// number; a client on the network that sends a reference is held to the pin.
inline constexpr float LargestAdcReference = 5.0F;

// The number at the start of the "ADC Reference" text. Blanks, tabs and line
// feeds are skipped wherever they stand; then an optional sign, digits with
// at most one ".", and an optional exponent (E or D, optional sign, digits).
// Reading stops at the first character that does not fit: "2.5V" gives 2.5,
// "1,8" gives 1, "2 . 5" gives 2.5, and text without a leading number gives 0.
// A number beyond +-LargestReference also gives 0, like text without a
// number, so no infinity ever reaches a span or a label; one too small for
// single precision becomes 0 as well.
float ReadReferenceNumber(std::string_view text);

// Text3 after Enter or leaving the box: the number read, held in single
// precision, with two decimals: "3.3" -> "3.30", "abc" -> "0.00".
std::string NormaliseReferenceText(std::string_view text);

}  // namespace kx::adc
