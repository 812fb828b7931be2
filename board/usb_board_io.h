#pragma once

#include <cstdint>

namespace kx::board {

// The link library of the earlier KX7312 program: no search, no connect, no
// handle. Statuses: 0 or more is success, negative is failure.
class UsbBoardIo {
 public:
  virtual ~UsbBoardIo() = default;

  // `path` is a zero-terminated string in the system's narrow encoding.
  virtual std::int16_t LoadFirmWare(const char* path) = 0;
  // `buffer` holds at least max(length, 1) bytes; the library fills `length`
  // of them when direction is 1.
  virtual std::int16_t VendorIORequest(std::int16_t request, std::int32_t value, std::int32_t index,
                                       std::int16_t direction, std::int16_t length,
                                       std::uint8_t* buffer) = 0;
};

}  // namespace kx::board
