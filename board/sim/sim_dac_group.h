#pragma once

#include <array>
#include <cstdint>

#include "board/board_model.h"

namespace kx::board::sim {

// One group of eight DAC channels of the simulated chip, driven by 32-bit
// command words: command in bits 27-24, address in 23-20 (0-7 a channel, 15
// all of them), code in 19-8, register data in 7-0.
class DacGroup {
 public:
  static constexpr int kChannels = KX7312Board.dac_channels_per_group;
  static constexpr double kInternalReferenceVolts = 2.5;

  void Write(std::uint32_t word);

  // Board lines. While LDAC is held low every DAC register follows its input
  // register; a CLR edge loads the clear code into both registers.
  void PulseLdac();
  void SetLdacLow(bool low);
  void Clear();

  std::uint16_t InputRegister(int channel) const { return input_[Index(channel)]; }
  std::uint16_t DacRegister(int channel) const { return dac_[Index(channel)]; }
  int PowerDownMode(int channel) const { return power_down_[Index(channel)]; }
  std::uint8_t LdacMask() const { return ldac_mask_; }
  std::uint16_t ClearCode() const { return clear_code_; }
  bool InternalReference() const { return internal_reference_; }

  // Output of a channel: 0 V when powered down, else DAC register / 4096 of
  // the span (2.5 V internal, the external reference pin otherwise).
  double OutputVolts(int channel, double external_reference) const;

 private:
  static std::size_t Index(int channel) { return static_cast<std::size_t>(channel); }
  void WriteInput(int address, std::uint16_t code);
  void CopyToDac(int address);
  void FollowTransparentChannels();

  std::array<std::uint16_t, kChannels> input_{};
  std::array<std::uint16_t, kChannels> dac_{};
  std::array<int, kChannels> power_down_{};
  std::uint8_t ldac_mask_ = 0;
  std::uint16_t clear_code_ = 0;
  bool internal_reference_ = false;
  bool ldac_low_ = false;
};

}  // namespace kx::board::sim
