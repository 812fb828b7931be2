#include "board/usb/firmware_chunks.h"

#include <fmt/format.h>

#include <algorithm>

namespace kx::board::usb {

FirmwareChunks SplitIntoChunks(const HexImage& image, std::size_t max_bytes) {
  FirmwareChunks result;
  max_bytes = std::max<std::size_t>(max_bytes, 1);
  for (const HexSegment& segment : image.segments) {
    const std::uint64_t end = std::uint64_t{segment.address} + segment.bytes.size();
    if (end > LoaderAddressSpace) {
      result.chunks.clear();
      result.error = fmt::format(
          "the image has data up to 0x{:X}, beyond the loader's 64 KiB address space", end - 1);
      return result;
    }
    for (std::size_t offset = 0; offset < segment.bytes.size(); offset += max_bytes) {
      const std::size_t count = std::min(max_bytes, segment.bytes.size() - offset);
      const auto first = segment.bytes.begin() + static_cast<std::ptrdiff_t>(offset);
      result.chunks.push_back(FirmwareChunk{
          static_cast<std::uint16_t>(segment.address + offset),
          std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(count))});
    }
  }
  if (result.chunks.empty()) {
    result.error = "the image holds no data";
  }
  return result;
}

}  // namespace kx::board::usb
