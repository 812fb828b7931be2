#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "board/link_batch.h"

namespace kx::board {

// Filled by Search_For_Boards; byte 0 names the board that Connect opens.
using BoardList = std::array<std::uint8_t, 128>;

// The link library of KX7312(version2), function for function. Every call is
// synchronous. Statuses: 0 or more is success, negative is failure, except
// Download_Firmware, where anything but 0 is failure.
class CvnCyusbUsb4 {
 public:
  virtual ~CvnCyusbUsb4() = default;

  // `number` is filled by some libraries and never read by the panel.
  virtual std::int16_t Search_For_Boards(std::int32_t vendor, std::int32_t product,
                                         std::int32_t& number, BoardList& list) = 0;
  virtual std::int16_t Connect(std::int32_t vendor, std::int32_t product, std::int32_t board,
                               std::int32_t& handle) = 0;
  // `path` is a zero-terminated string in the system's narrow encoding.
  virtual std::int16_t Download_Firmware(std::int32_t handle, const char* path) = 0;
  // `buffer` holds at least max(length, 1) bytes; the library fills `length`
  // of them when direction is 1.
  virtual std::int16_t Vendor_Request(std::int32_t handle, std::uint8_t request, std::int32_t value,
                                      std::int32_t index, std::uint8_t direction,
                                      std::int32_t length, std::uint8_t* buffer) = 0;
  // The batch's Vendor_Request calls on `handle`, in order, up to and
  // including the first failure; returns how many were made. A library that
  // cannot queue requests makes them one at a time.
  virtual std::size_t Vendor_Request_Batch(std::int32_t handle, const InBatch& batch) {
    return RunBatchOneByOne(batch, [&](BatchRequest request, std::int32_t value, std::int32_t index,
                                       std::uint8_t* buffer) {
      return Vendor_Request(handle, static_cast<std::uint8_t>(request.code), value, index,
                            request.reads ? 1 : 0, request.reads ? batch.length : 0, buffer);
    });
  }
};

}  // namespace kx::board
