#pragma once

#include <cstdint>

#include "board/board_model.h"

namespace kx::board {

// The board's request codes by the names the chip-access routines use; the
// codes themselves are the board model's.
inline constexpr std::uint8_t DacLowRequest = KX7312Board.requests.dac_low;
inline constexpr std::uint8_t DacHighRequest = KX7312Board.requests.dac_high;
inline constexpr std::uint8_t ClrHighRequest = KX7312Board.requests.clr_high;
inline constexpr std::uint8_t PulseLdacRequest = KX7312Board.requests.pulse_ldac;
inline constexpr std::uint8_t ClrLowRequest = KX7312Board.requests.clr_low;
inline constexpr std::uint8_t PostBootRequest = KX7312Board.requests.post_boot;
inline constexpr std::uint8_t LdacHighRequest = KX7312Board.requests.ldac_high;
inline constexpr std::uint8_t LdacLowRequest = KX7312Board.requests.ldac_low;
inline constexpr std::uint8_t AdcTransferRequest = KX7312Board.requests.adc_transfer;

inline constexpr std::uint8_t DirectionOut = 0;
inline constexpr std::uint8_t DirectionIn = 1;
inline constexpr int AdcReplyLength = KX7312Board.adc_reply_length;

// The identifiers the start-up looks for, as the link libraries take them.
inline constexpr std::int32_t BoardVendorId = KX7312Board.running_id.vendor;
inline constexpr std::int32_t BoardProductId = KX7312Board.running_id.product;

inline constexpr const char* FirmwareFileName = KX7312Board.firmware_file_name;

}  // namespace kx::board
