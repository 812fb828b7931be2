// The Intel HEX reader of the firmware image, and the loader's cut into
// chunks after it.
//
// Promises checked on every input:
//  - an image or a one-line reason, never both;
//  - every segment holds data and stays inside the 4 GiB address space;
//  - no two segments share an address (a repeated record must not silently
//    win over an earlier one);
//  - no segment covers the loader's CPU control register at 0xE600, which
//    would release the CPU in the middle of the download;
//  - the image written back as Intel HEX reads back the same;
//  - the loader takes exactly the images inside its 64 KiB and cuts them
//    into chunks of at most 1 KiB that hold the image's bytes in order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "board/intel_hex.h"
#include "board/usb/firmware_chunks.h"
#include "board/usb/firmware_loader.h"
#include "fuzz_check.h"

namespace {

using kx::board::HexImage;
using kx::board::HexSegment;
using kx::fuzz::Require;

int DigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return c - 'a' + 10;
}

void AppendRecord(std::string& out, std::uint8_t type, std::uint16_t offset,
                  const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> bytes{static_cast<std::uint8_t>(data.size()),
                                  static_cast<std::uint8_t>(offset >> 8U),
                                  static_cast<std::uint8_t>(offset & 0xFFU), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  unsigned sum = 0;
  for (const std::uint8_t b : bytes) {
    sum += b;
  }
  bytes.push_back(static_cast<std::uint8_t>((0x100U - (sum & 0xFFU)) & 0xFFU));
  constexpr std::string_view kDigits = "0123456789ABCDEF";
  out += ':';
  for (const std::uint8_t b : bytes) {
    out += kDigits[b >> 4U];
    out += kDigits[b & 0x0FU];
  }
  out += '\n';
}

// Each line that looks like a record gets its byte count and checksum set
// right. Checksums stop almost every mutation at the first record; repaired,
// the fuzzer reaches what the records say.
std::string RepairRecords(std::string_view text) {
  std::string out;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    const bool last = end == std::string_view::npos;
    if (last) {
      end = text.size();
    }
    std::string line(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] != ':') {
      out += line;
      out += last ? "" : "\n";
      continue;
    }
    std::size_t digits_end = line.size();
    while (digits_end > 1 && (line[digits_end - 1] == '\r' || line[digits_end - 1] == ' ')) {
      --digits_end;
    }
    const std::string_view digits = std::string_view(line).substr(1, digits_end - 1);
    const bool record = digits.size() >= 10 && digits.size() % 2 == 0 &&
                        std::all_of(digits.begin(), digits.end(), kx::fuzz::IsHexDigit);
    if (record && digits.size() / 2 - 5 <= 0xFF) {
      std::vector<std::uint8_t> bytes;
      for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(
            static_cast<std::uint8_t>(DigitValue(digits[i]) * 16 + DigitValue(digits[i + 1])));
      }
      const std::vector<std::uint8_t> data(bytes.begin() + 4, bytes.end() - 1);
      std::string repaired;
      AppendRecord(repaired, bytes[3], static_cast<std::uint16_t>(bytes[1] * 256 + bytes[2]), data);
      repaired.pop_back();
      line = repaired + line.substr(digits_end);
    }
    out += line;
    if (!last) {
      out += '\n';
    }
  }
  return out;
}

// The image as a writer would put it: an extended linear address record
// wherever the upper half of the address changes, data records of at most
// 16 bytes that never cross a 64 KiB boundary.
std::string WriteIntelHex(const HexImage& image) {
  std::string out;
  std::uint32_t upper = 0;
  for (const HexSegment& segment : image.segments) {
    std::size_t done = 0;
    while (done < segment.bytes.size()) {
      const std::uint32_t address = segment.address + static_cast<std::uint32_t>(done);
      if ((address >> 16U) != upper) {
        upper = address >> 16U;
        AppendRecord(out, 0x04, 0,
                     {static_cast<std::uint8_t>(upper >> 8U), static_cast<std::uint8_t>(upper)});
      }
      const std::size_t room = 0x10000 - (address & 0xFFFFU);
      const std::size_t count = std::min({std::size_t{16}, room, segment.bytes.size() - done});
      const auto first = segment.bytes.begin() + static_cast<std::ptrdiff_t>(done);
      AppendRecord(out, 0x00, static_cast<std::uint16_t>(address & 0xFFFFU),
                   std::vector<std::uint8_t>(first, first + static_cast<std::ptrdiff_t>(count)));
      done += count;
    }
  }
  if (image.start_address) {
    const std::uint32_t start = *image.start_address;
    AppendRecord(out, 0x05, 0,
                 {static_cast<std::uint8_t>(start >> 24U), static_cast<std::uint8_t>(start >> 16U),
                  static_cast<std::uint8_t>(start >> 8U), static_cast<std::uint8_t>(start)});
  }
  AppendRecord(out, 0x01, 0, {});
  return out;
}

bool SameImage(const HexImage& a, const HexImage& b) {
  if (a.start_address != b.start_address || a.segments.size() != b.segments.size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.segments.size(); ++i) {
    if (a.segments[i].address != b.segments[i].address ||
        a.segments[i].bytes != b.segments[i].bytes) {
      return false;
    }
  }
  return true;
}

void CheckChunks(const HexImage& image) {
  namespace usb = kx::board::usb;
  const usb::FirmwareChunks chunks = usb::SplitIntoChunks(image);
  bool inside = true;
  std::vector<std::uint8_t> image_bytes;
  for (const HexSegment& segment : image.segments) {
    inside =
        inside && std::uint64_t{segment.address} + segment.bytes.size() <= usb::LoaderAddressSpace;
    image_bytes.insert(image_bytes.end(), segment.bytes.begin(), segment.bytes.end());
  }
  const bool loadable = inside && !image_bytes.empty();
  Require(chunks.error.empty() == loadable,
          "the loader takes an image exactly when it holds data inside 64 KiB");
  Require(chunks.error.empty() || chunks.chunks.empty(), "a refused image leaves no chunks");
  std::vector<std::uint8_t> chunk_bytes;
  for (const usb::FirmwareChunk& chunk : chunks.chunks) {
    Require(!chunk.bytes.empty() && chunk.bytes.size() <= usb::MaxChunkBytes,
            "a chunk holds 1 byte to 1 KiB");
    Require(std::uint32_t{chunk.address} + chunk.bytes.size() <= usb::LoaderAddressSpace,
            "a chunk lies inside the loader's 64 KiB");
    chunk_bytes.insert(chunk_bytes.end(), chunk.bytes.begin(), chunk.bytes.end());
  }
  Require(!loadable || chunk_bytes == image_bytes, "the chunks carry the image's bytes in order");
}

void CheckImage(const HexImage& image) {
  std::vector<const HexSegment*> by_address;
  for (const HexSegment& segment : image.segments) {
    Require(!segment.bytes.empty(), "a segment holds data");
    Require(std::uint64_t{segment.address} + segment.bytes.size() <= (std::uint64_t{1} << 32U),
            "a segment stays inside the 4 GiB address space");
    const std::uint64_t end = std::uint64_t{segment.address} + segment.bytes.size();
    Require(!(segment.address <= kx::board::usb::CpuControlRegister &&
              kx::board::usb::CpuControlRegister < end),
            "no data at the CPU control register 0xE600");
    by_address.push_back(&segment);
  }
  std::sort(by_address.begin(), by_address.end(),
            [](const HexSegment* a, const HexSegment* b) { return a->address < b->address; });
  for (std::size_t i = 1; i < by_address.size(); ++i) {
    const HexSegment& before = *by_address[i - 1];
    Require(std::uint64_t{before.address} + before.bytes.size() <= by_address[i]->address,
            "no two segments share an address");
  }

  const kx::board::HexParseResult again = kx::board::ParseIntelHex(WriteIntelHex(image));
  Require(again.image.has_value(), "an accepted image written back is accepted");
  Require(SameImage(image, *again.image), "an accepted image written back reads back the same");

  CheckChunks(image);
}

void CheckParse(std::string_view text) {
  const kx::board::HexParseResult result = kx::board::ParseIntelHex(text);
  Require(result.image.has_value() == result.error.empty(), "an image or a reason, not both");
  if (!result.image) {
    Require(kx::fuzz::IsOneLine(result.error), "the reason is one line");
    return;
  }
  CheckImage(*result.image);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = kx::fuzz::AsText(data, size);
  CheckParse(text);
  const std::string repaired = RepairRecords(text);
  if (repaired != text) {
    CheckParse(repaired);
  }
  return 0;
}
