#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::board {

// The board's loader starts or holds its CPU through a register in the same
// address space as the image. Data there would start the CPU half-way
// through the download, so no image may hold a byte at this address.
inline constexpr std::uint32_t LoaderCpuControlRegister = 0xE600;

// A firmware image read from an Intel HEX file: the data records, with the
// extended address records already applied, in file order. No two segments
// share an address.
struct HexSegment {
  std::uint32_t address = 0;
  std::vector<std::uint8_t> bytes;
};

struct HexImage {
  std::vector<HexSegment> segments;
  std::optional<std::uint32_t> start_address;  // from a type 03 or 05 record
};

// Either an image or a one-line reason ("line 3: checksum mismatch").
struct HexParseResult {
  std::optional<HexImage> image;
  std::string error;
};

// Parses the text of an Intel HEX file strictly: every line a record
// (":" count address type data checksum, hexadecimal), valid checksums, an
// end-of-file record, nothing but blank lines after it. Every address is
// given once: a record that repeats or overlaps an earlier one is refused, as
// is data at LoaderCpuControlRegister.
HexParseResult ParseIntelHex(std::string_view text);

// Reads and parses a file; a missing, unreadable or oversized file is an error.
HexParseResult LoadIntelHexFile(const std::string& path);

}  // namespace kx::board
