#include "link_exercise.h"

#include <cstdint>

#include "board/link_requests.h"

namespace kx::board::win {

void Exercise(BoardLink& link, kx::testing::FakeOperator& port) {
  port.ShowLoad(link.LoadUSB());
  for (std::int32_t channel = 0; channel < 16; ++channel) {
    // Command 3: input and DAC register at once; codes spread over 12 bits.
    const std::int32_t word = 0x03000000 | ((channel % 8) << 20) | ((0x111 * channel) << 8);
    link.WriteDacWord(channel < 8 ? DacLowRequest : DacHighRequest, word);
  }
  for (const std::uint8_t code :
       {LdacLowRequest, LdacHighRequest, PulseLdacRequest, ClrLowRequest, ClrHighRequest}) {
    link.SendControlRequest(code);
  }
  // A configuration word whose high half is all ones (index -1), then the
  // sixteen channel words and one more to clock out the last result.
  link.TransferAdcWord(static_cast<std::int32_t>(0xFFFF8390));
  for (std::int32_t channel = 0; channel <= 16; ++channel) {
    link.TransferAdcWord(0x8300 | ((channel % 16) << 10));
  }
  port.ShowLoad(link.LoadUSB());
}

}  // namespace kx::board::win
