#include "dac/dac_volts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx::dac {
namespace {

const board::LineCorrection kHigh{2.0, 1.0};   // code c gives 1.01 c + 2 LSB
const board::LineCorrection kLow{-3.0, -2.0};  // and 0.98 c - 3 LSB
constexpr double kStep = 2.5 / 4096;           // one step of the internal reference

// Each value's code and the volts that code stands for, or the refusal.
TEST(DacScale, VoltsTakeTheNearestCodeAndAValueBeyondHalfAStepIsRefusedNamingTheRange) {
  const struct {
    DacScale scale;
    double volts;
    std::optional<std::uint16_t> code;  // none: refused
    std::string shown;                  // the code's volts, or the refusal
  } cases[] = {
      {{2.5}, 0.0, 0, "0.0000 V"},
      {{2.5}, -0.49 * kStep, 0, "0.0000 V"},
      {{2.5}, -0.51 * kStep, std::nullopt, "-0.0003 V is outside 0.0000 V to 2.4994 V"},
      {{2.5}, 0.5 * kStep, 1, "0.0006 V"},  // halves round up
      {{2.5}, 1.25, 0x800, "1.2500 V"},
      {{2.5}, 4095 * kStep, 0xFFF, "2.4994 V"},
      {{2.5}, 4095.49 * kStep, 0xFFF, "2.4994 V"},
      {{3.3}, 1.65, 0x800, "1.6500 V"},
      {{3.3}, 2.5, 3103, "2.5000 V"},
      {{3.3}, 3.2992, 0xFFF, "3.2992 V"},
      {{3.3}, 3.3, std::nullopt, "3.3000 V is outside 0.0000 V to 3.2992 V"},
      {{2.5, &kHigh}, 0.0, std::nullopt, "0.0000 V is outside 0.0012 V to 2.5256 V"},
      {{2.5, &kHigh}, 1.25, 2026, "1.2502 V"},
      {{2.5, &kHigh}, 2.5, 4053, "2.4997 V"},
      {{2.5, &kLow}, 0.0, 3, "0.0000 V"},  // -0.06 LSB
      {{2.5, &kLow}, 4095 * kStep, std::nullopt, "2.4994 V is outside -0.0018 V to 2.4476 V"},
      {{3.3, &kLow}, 3.2, 4056, "3.2000 V"},
  };
  for (const auto& c : cases) {
    const std::optional<std::uint16_t> code = c.scale.NearestCode(c.volts);
    EXPECT_EQ(code, c.code) << c.volts << " on " << c.scale.reference_volts;
    EXPECT_EQ(
        code ? DacVoltsText(c.scale.CodeVolts(*code)) : OutsideRangeText(c.volts, c.scale.Range()),
        c.shown)
        << c.volts << " on " << c.scale.reference_volts;
  }
}

TEST(DacScale, EveryCodesOwnVoltsGiveItBack) {
  for (const DacScale scale :
       {DacScale{2.5}, DacScale{3.3}, DacScale{2.5, &kHigh}, DacScale{3.3, &kLow}}) {
    for (int code = 0; code <= 0xFFF; ++code) {
      const auto c = static_cast<std::uint16_t>(code);
      ASSERT_EQ(scale.NearestCode(scale.CodeVolts(c)), c) << scale.reference_volts;
    }
  }
}

}  // namespace
}  // namespace kx::dac
