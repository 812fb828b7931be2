#pragma once

#include <cstdint>

namespace kx::board {

// Vendor request codes understood by the board's firmware.
inline constexpr std::uint8_t DacLowRequest = 0xD9;       // DAC0 to DAC7 command word
inline constexpr std::uint8_t DacHighRequest = 0xDA;      // DAC8 to DAC15 command word
inline constexpr std::uint8_t ClrHighRequest = 0xDC;      // release CLR
inline constexpr std::uint8_t PulseLdacRequest = 0xDE;    // one LDAC pulse
inline constexpr std::uint8_t ClrLowRequest = 0xDF;       // hold CLR low
inline constexpr std::uint8_t PostBootRequest = 0xE0;     // sent once after every download
inline constexpr std::uint8_t LdacHighRequest = 0xE2;     // release LDAC
inline constexpr std::uint8_t LdacLowRequest = 0xE3;      // hold LDAC low
inline constexpr std::uint8_t AdcTransferRequest = 0xE4;  // ADC word out, 3 reply bytes in

inline constexpr std::uint8_t DirectionOut = 0;
inline constexpr std::uint8_t DirectionIn = 1;
inline constexpr int AdcReplyLength = 3;

// USB identifiers of the board as this panel looks for it. Our own choice;
// a hardware backend may be told other ones.
inline constexpr std::int32_t BoardVendorId = 0x1234;
inline constexpr std::int32_t BoardProductId = 0x7312;

// The firmware image sits next to the executables under this name.
inline constexpr const char* FirmwareFileName = "KX7312FW.hex";

}  // namespace kx::board
