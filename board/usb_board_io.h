#pragma once

#include <cstddef>
#include <cstdint>

#include "board/link_batch.h"

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
  // The batch's VendorIORequest calls, in order, up to and including the
  // first failure; returns how many were made. A library that cannot queue
  // requests makes them one at a time.
  virtual std::size_t VendorIORequestBatch(const InBatch& batch) {
    return RunBatchOneByOne(batch, [&](BatchRequest request, std::int32_t value, std::int32_t index,
                                       std::uint8_t* buffer) {
      return VendorIORequest(request.code, value, index, request.reads ? 1 : 0,
                             request.reads ? static_cast<std::int16_t>(batch.length) : 0, buffer);
    });
  }
};

}  // namespace kx::board
