#include "commands/volts_codes.h"

#include <gtest/gtest.h>

#include <vector>

namespace kx::commands {
namespace {

// A calibration applies the channel's correction on either reference, and
// its measured reference only where the group is on its external one.
TEST(ChannelScale, TakesTheMeasuredExternalReferenceAndTheChannelsCorrection) {
  session::Calibration calibration;
  calibration.dac[3] = session::ChannelCalibration{{1.0, 0.5}, "", "", "entered", std::nullopt};
  calibration.dac_reference_volts = {3.3, std::nullopt};
  const board::LineCorrection* three = &calibration.dac[3]->correction;
  const struct {
    int channel;
    bool internal;
    const session::Calibration* calibration;
    double reference;
    const board::LineCorrection* correction;
  } cases[] = {
      {3, false, nullptr, 2.5, nullptr},      {3, false, &calibration, 3.3, three},
      {3, true, &calibration, 2.5, three},    {12, false, &calibration, 2.5, nullptr},
      {4, false, &calibration, 3.3, nullptr},
  };
  for (const auto& c : cases) {
    const dac::DacScale scale = ChannelScale(c.channel, c.internal, c.calibration);
    EXPECT_EQ(scale.reference_volts, c.reference) << c.channel << c.internal;
    EXPECT_EQ(scale.correction, c.correction) << c.channel << c.internal;
  }
}

}  // namespace
}  // namespace kx::commands
