#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "board/intel_hex.h"

namespace kx::board::usb {

// The loader request carries the target address in its 16-bit value field,
// so it reaches the first 64 KiB of the microcontroller's memory.
inline constexpr std::uint32_t LoaderAddressSpace = 0x10000;
inline constexpr std::size_t MaxChunkBytes = 1024;

struct FirmwareChunk {
  std::uint16_t address = 0;
  std::vector<std::uint8_t> bytes;
  friend bool operator==(const FirmwareChunk&, const FirmwareChunk&) = default;
};

// Either the chunks in image order, or why the image cannot be loaded.
struct FirmwareChunks {
  std::vector<FirmwareChunk> chunks;
  std::string error;
};

// Cuts every segment of the image into pieces of at most `max_bytes`, in the
// order the file gives them. An image without data, or with data beyond the
// loader's reach, is refused whole.
FirmwareChunks SplitIntoChunks(const HexImage& image, std::size_t max_bytes = MaxChunkBytes);

}  // namespace kx::board::usb
