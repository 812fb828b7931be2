#include "dac/dac_volts.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx::dac {
namespace {

const board::LineCorrection kHigh{2.0, 1.0};   // +2 LSB, +1 %
const board::LineCorrection kLow{-3.0, -2.0};  // -3 LSB, -2 %
constexpr double kStep25 = 2.5 / 4096;         // one step of the internal reference
constexpr double kStep33 = 3.3 / 4096;

struct VoltsCase {
  const char* name;
  DacScale scale;
  double volts;
  std::optional<std::uint16_t> code;  // none: refused
  double code_volts;                  // what that code stands for
  std::string refusal;                // the range, where refused
};

TEST(DacScale, VoltsTakeTheNearestCodeAndAValueBeyondHalfAStepIsRefusedNamingTheRange) {
  const DacScale internal{2.5};
  const DacScale external{3.3};
  const std::vector<VoltsCase> cases = {
      {"zero", internal, 0.0, 0, 0.0, ""},
      {"just under half a step below 0", internal, -0.49 * kStep25, 0, 0.0, ""},
      {"beyond half a step below 0", internal, -0.51 * kStep25, std::nullopt, 0,
       "-0.0003 V is outside 0.0000 V to 2.4994 V"},
      {"half a step rounds up", internal, 0.5 * kStep25, 1, kStep25, ""},
      {"mid", internal, 1.25, 0x800, 1.25, ""},
      {"top code", internal, 4095 * kStep25, 0xFFF, 4095 * kStep25, ""},
      {"within half a step above the top", internal, 4095.49 * kStep25, 0xFFF, 4095 * kStep25, ""},
      {"3.3 V mid", external, 1.65, 0x800, 1.65, ""},
      {"3.3 V between codes", external, 2.5, 3103, 3103 * kStep33, ""},
      {"3.3 V top code", external, 3.2992, 0xFFF, 4095 * kStep33, ""},
      {"3.3 V reference itself", external, 3.3, std::nullopt, 0,
       "3.3000 V is outside 0.0000 V to 3.2992 V"},
      // Code c gives (1.01 c + 2) LSB: 0 V is out of reach, 2.5 V is not.
      {"high channel at 0 V",
       {2.5, &kHigh},
       0.0,
       std::nullopt,
       0,
       "0.0000 V is outside 0.0012 V to 2.5256 V"},
      {"high channel mid", {2.5, &kHigh}, 1.25, 2026, (2026 * 1.01 + 2) * kStep25, ""},
      {"high channel at the reference", {2.5, &kHigh}, 2.5, 4053, (4053 * 1.01 + 2) * kStep25, ""},
      // Code c gives (0.98 c - 3) LSB: the ideal top is out of reach.
      {"low channel at 0 V", {2.5, &kLow}, 0.0, 3, (3 * 0.98 - 3) * kStep25, ""},
      {"low channel at the ideal top",
       {2.5, &kLow},
       4095 * kStep25,
       std::nullopt,
       0,
       "2.4994 V is outside -0.0018 V to 2.4476 V"},
      {"low channel on 3.3 V", {3.3, &kLow}, 3.2, 4056, (4056 * 0.98 - 3) * kStep33, ""},
  };
  for (const VoltsCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<std::uint16_t> code = c.scale.NearestCode(c.volts);
    EXPECT_EQ(code, c.code);
    if (code) {
      EXPECT_NEAR(c.scale.CodeVolts(*code), c.code_volts, 1e-12);
    } else {
      EXPECT_EQ(OutsideRangeText(c.volts, c.scale.Range()), c.refusal);
    }
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
