#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kx::board {

// A USB vendor and product identifier pair.
struct UsbId {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  friend bool operator==(const UsbId&, const UsbId&) = default;
};

// The vendor requests a board's firmware answers. All but the ADC transfer
// carry their word in value and index and no data.
struct RequestCodes {
  std::uint8_t dac_low;       // DAC0 to DAC7 command word
  std::uint8_t dac_high;      // DAC8 to DAC15 command word
  std::uint8_t clr_high;      // release CLR
  std::uint8_t pulse_ldac;    // one LDAC pulse
  std::uint8_t clr_low;       // hold CLR low
  std::uint8_t post_boot;     // sent once after every download
  std::uint8_t ldac_high;     // release LDAC
  std::uint8_t ldac_low;      // hold LDAC low
  std::uint8_t adc_transfer;  // ADC word out, adc_reply_length reply bytes in

  // Every code, so a board can tell a request it knows from one it must
  // refuse without a list of its own.
  constexpr std::array<std::uint8_t, 9> All() const {
    return {dac_low,   dac_high,  clr_high, pulse_ldac,  clr_low,
            post_boot, ldac_high, ldac_low, adc_transfer};
  }
};

constexpr bool CodesDistinct(const RequestCodes& codes) {
  const auto all = codes.All();
  for (std::size_t i = 0; i < all.size(); ++i) {
    for (std::size_t j = i + 1; j < all.size(); ++j) {
      if (all[i] == all[j]) {
        return false;
      }
    }
  }
  return true;
}

// What the programs, the simulated board and the USB backend need to know of
// one board model. Everything here is fixed by the board and its firmware;
// the rest (which link library, which ADC word rules) belongs to an edition.
struct BoardModel {
  UsbId loader_id;   // the microcontroller's loader, before the firmware runs
  UsbId running_id;  // the board once its firmware runs
  // The firmware image sits next to the executables under this name.
  const char* firmware_file_name;
  int dac_channels;
  int dac_channels_per_group;  // one request code and one command word per group
  int adc_channels;
  int adc_reply_length;  // bytes the firmware answers an ADC transfer with
  RequestCodes requests;
};

// The identifiers are our own choice; a hardware backend may be told other
// ones.
inline constexpr BoardModel KX7312Board{
    .loader_id = {0x1234, 0x7310},
    .running_id = {0x1234, 0x7312},
    .firmware_file_name = "KX7312FW.hex",
    .dac_channels = 16,
    .dac_channels_per_group = 8,
    .adc_channels = 16,
    .adc_reply_length = 3,
    .requests =
        {
            .dac_low = 0xD9,
            .dac_high = 0xDA,
            .clr_high = 0xDC,
            .pulse_ldac = 0xDE,
            .clr_low = 0xDF,
            .post_boot = 0xE0,
            .ldac_high = 0xE2,
            .ldac_low = 0xE3,
            .adc_transfer = 0xE4,
        },
};

// A board answers a request by its code alone, and a DAC word goes to its
// group by the code: two groups, two codes.
static_assert(CodesDistinct(KX7312Board.requests));
static_assert(KX7312Board.dac_channels == 2 * KX7312Board.dac_channels_per_group);

}  // namespace kx::board
