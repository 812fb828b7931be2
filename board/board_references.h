#pragma once

namespace kx::board {

// The references the evaluation board supplies, in volts: the DAC's internal
// one, and the one wired to the DAC's external reference pins and to the
// ADC's reference pin. Another voltage fed to the board is the user's to say.
inline constexpr double DacInternalReferenceVolts = 2.5;
inline constexpr double BoardReferenceVolts = 2.5;

}  // namespace kx::board
