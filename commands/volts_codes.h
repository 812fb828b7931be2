#pragma once

#include "commands/command.h"
#include "commands/outcome.h"
#include "commands/parameters.h"
#include "dac/dac_operations.h"
#include "dac/dac_volts.h"
#include "session/calibration.h"

namespace kx::commands {

// What a channel's codes stand for: the internal reference, or the external
// one as the calibration measured it for the channel's group (the board's
// nominal one where it did not), and the channel's own correction where it
// has one.
dac::DacScale ChannelScale(int channel, bool internal_reference,
                           const session::Calibration* calibration);
// The same on the reference the group was last told to take (the chip
// starts on the external one).
dac::DacScale ChannelScale(int channel, const dac::DacOperations& dac,
                           const session::Calibration* calibration);

// "DAC0-7's internal 2.5 V reference", ", calibrated" where it is.
std::string ScaleText(int channel, const LoadedCode::Volts& volts);

// A load's channels with the codes they are sent: each entry in volts as its
// nearest code on its channel's scale, or the fault (out of range, with the
// range named) of the first entry beyond its range. Worked out when the load
// runs, since an earlier command may have chosen the other reference.
Checked<LoadResult> LoadedCodes(const DacLoad& load, const dac::DacOperations& dac,
                                const session::Calibration* calibration);

}  // namespace kx::commands
