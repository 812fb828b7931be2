#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::board {

// A firmware image read from an Intel HEX file: the data records, with the
// extended address records already applied, in file order.
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
// end-of-file record, nothing but blank lines after it.
HexParseResult ParseIntelHex(std::string_view text);

// Reads and parses a file; a missing, unreadable or oversized file is an error.
HexParseResult LoadIntelHexFile(const std::string& path);

}  // namespace kx::board
