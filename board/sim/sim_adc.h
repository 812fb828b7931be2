#pragma once

#include <cstdint>

#include "board/board_model.h"
#include "board/sim/sim_converter_errors.h"

namespace kx::board::sim {

// The sixteen-channel converter of the simulated chip. Its control register
// holds the channel (bits 13-10), Weak/Tri (6), Range (5) and Coding (4) and
// is written only by words with bit 15 set. A transfer clocks out the
// conversion of the channel selected before it, then takes the new word.
class Adc {
 public:
  static constexpr int kChannels = KX7312Board.adc_channels;

  int SelectedChannel() const { return static_cast<int>((control_ >> 10) & 0xFU); }
  bool Weak() const { return (control_ & 0x40U) != 0; }
  bool HalfSpan() const { return (control_ & 0x20U) != 0; }  // Range 1: span = reference
  bool StraightBinary() const {
    return (control_ & 0x10U) != 0;
  }  // Coding 1; 0 is two's complement
  std::uint16_t ControlRegister() const { return control_; }

  // `selected_input_volts` is the analog input of SelectedChannel(). Returns
  // the converter's output word: channel number in bits 15-12, code in 11-0.
  // `errors` is the selected channel's error model, null for an ideal one.
  std::uint16_t Transfer(std::uint16_t word, double selected_input_volts, double reference,
                         AdcTransfer* errors = nullptr);

  // Code for an input under the current Range and Coding.
  std::uint16_t Convert(double volts, double reference, AdcTransfer* errors = nullptr) const;

 private:
  std::uint16_t control_ = 0;
};

}  // namespace kx::board::sim
