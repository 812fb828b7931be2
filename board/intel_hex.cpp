#include "board/intel_hex.h"

#include <fmt/format.h>

#include <array>
#include <cstddef>
#include <iterator>
#include <map>
#include <utility>

#include "board/bounded_file.h"
#include "board/number_text.h"

namespace kx::board {
namespace {

// A real image for this board is a few hundred kilobytes of text; anything far
// beyond that is the wrong file, and reading it whole would only waste memory.
constexpr std::size_t kMaxFileBytes = std::size_t{4} * 1024 * 1024;

// Every record carries count, two address bytes, type and checksum besides its data.
constexpr std::size_t kRecordOverhead = 5;

enum RecordType : std::uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegmentAddress = 0x02,
  kStartSegmentAddress = 0x03,
  kExtendedLinearAddress = 0x04,
  kStartLinearAddress = 0x05,
};

struct RecordShape {
  std::uint8_t type;
  const char* name;
  std::size_t data_bytes;
};

// Data records may carry any count; the others have a fixed payload, and a
// wrong count almost always means a corrupted or hand-edited file.
constexpr std::array<RecordShape, 5> kFixedShapes = {{
    {kEndOfFile, "end-of-file", 0},
    {kExtendedSegmentAddress, "extended segment address", 2},
    {kStartSegmentAddress, "start segment address", 4},
    {kExtendedLinearAddress, "extended linear address", 2},
    {kStartLinearAddress, "start linear address", 4},
}};

bool IsBlankChar(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool IsBlank(std::string_view line) {
  for (char c : line) {
    if (!IsBlankChar(c)) {
      return false;
    }
  }
  return true;
}

// Editors and transfer tools like to leave a '\r' or stray spaces at the end
// of a line; they carry no meaning, so only the record itself is checked.
std::string_view TrimTrailing(std::string_view line) {
  while (!line.empty() && IsBlankChar(line.back())) {
    line.remove_suffix(1);
  }
  return line;
}

std::string HexByte(std::uint8_t value) {
  constexpr char kDigits[] = "0123456789ABCDEF";
  return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string LinePrefix(std::size_t line_number) {
  return "line " + std::to_string(line_number) + ": ";
}

HexParseResult Failure(std::string error) {
  HexParseResult result;
  result.error = std::move(error);
  return result;
}

std::uint32_t BigEndian(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < count; ++i) {
    value = (value << 8) | bytes[i];
  }
  return value;
}

// Decodes the digits after ':' into bytes, or returns the reason they are not
// a record (without the line prefix).
std::string DecodeRecord(std::string_view digits, std::vector<std::uint8_t>& bytes) {
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (!HexDigitValue(digits[i])) {
      return "not a hexadecimal digit at column " + std::to_string(i + 2);
    }
  }
  if (digits.size() % 2 != 0) {
    return "odd number of hex digits";
  }
  bytes.clear();
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(
        static_cast<std::uint8_t>(*HexDigitValue(digits[i]) * 16 + *HexDigitValue(digits[i + 1])));
  }
  if (bytes.size() < kRecordOverhead) {
    return "record is too short";
  }
  if (bytes.size() != kRecordOverhead + bytes[0]) {
    return "record length does not match its byte count";
  }
  unsigned sum = 0;
  for (std::uint8_t b : bytes) {
    sum += b;
  }
  if ((sum & 0xFFu) != 0) {
    return "checksum mismatch";
  }
  return {};
}

// Appends a data record, extending the last segment when the record picks up
// exactly where it ended: images are usually one long run split into 16-byte
// records, and keeping each as its own segment would multiply the bookkeeping.
void AddData(HexImage& image, std::uint32_t address, const std::uint8_t* data, std::size_t count) {
  if (count == 0) {
    return;
  }
  if (!image.segments.empty()) {
    HexSegment& last = image.segments.back();
    if (std::uint64_t{last.address} + last.bytes.size() == address) {
      last.bytes.insert(last.bytes.end(), data, data + count);
      return;
    }
  }
  image.segments.push_back(HexSegment{address, std::vector<std::uint8_t>(data, data + count)});
}

// The address ranges of the data records so far, each with its line. A file
// that gives an address twice has no single right content for it: which
// record wins would depend on the order the loader writes them.
class ClaimedRanges {
 public:
  struct Overlap {
    std::uint64_t address;  // the first address given twice
    std::size_t line;       // the earlier record that gave it
  };

  // Claims [start, end) for `line`, or names the lowest address in it that an
  // earlier record already gave.
  std::optional<Overlap> Claim(std::uint64_t start, std::uint64_t end, std::size_t line) {
    auto after = ranges_.upper_bound(start);
    if (after != ranges_.begin()) {
      const auto before = std::prev(after);
      if (before->second.end > start) {
        return Overlap{start, before->second.line};
      }
    }
    if (after != ranges_.end() && after->first < end) {
      return Overlap{after->first, after->second.line};
    }
    ranges_.emplace_hint(after, start, Range{end, line});
    return std::nullopt;
  }

 private:
  struct Range {
    std::uint64_t end;
    std::size_t line;
  };
  std::map<std::uint64_t, Range> ranges_;  // by start; never overlapping
};

}  // namespace

HexParseResult ParseIntelHex(std::string_view text) {
  if (text.empty()) {
    return Failure("empty text");
  }

  HexImage image;
  ClaimedRanges claimed;
  std::uint32_t base = 0;
  bool seen_end = false;
  std::vector<std::uint8_t> bytes;

  std::size_t line_number = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    ++line_number;
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) {
      end = text.size();
    }
    const std::string_view raw = text.substr(pos, end - pos);
    pos = end + 1;

    if (IsBlank(raw)) {
      continue;
    }
    const std::string prefix = LinePrefix(line_number);
    if (seen_end) {
      return Failure(prefix + "data after the end-of-file record");
    }
    const std::string_view line = TrimTrailing(raw);
    if (line.front() != ':') {
      return Failure(prefix + "record does not start with ':'");
    }
    if (std::string problem = DecodeRecord(line.substr(1), bytes); !problem.empty()) {
      return Failure(prefix + problem);
    }

    const std::size_t count = bytes[0];
    const std::uint32_t offset = BigEndian(&bytes[1], 2);
    const std::uint8_t type = bytes[3];
    const std::uint8_t* data = &bytes[4];

    if (type == kData) {
      const std::uint64_t address = std::uint64_t{base} + offset;
      if (address + count > (std::uint64_t{1} << 32)) {
        return Failure(prefix + "data runs past the 4 GiB address space");
      }
      if (count == 0) {
        continue;
      }
      const std::uint64_t record_end = address + count;
      if (address <= LoaderCpuControlRegister && LoaderCpuControlRegister < record_end) {
        return Failure(prefix + fmt::format("data at 0x{:04X} to 0x{:04X} would write the "
                                            "loader's CPU control register 0x{:04X}, which "
                                            "starts the CPU before the image is loaded",
                                            address, record_end - 1, LoaderCpuControlRegister));
      }
      if (const auto overlap = claimed.Claim(address, record_end, line_number)) {
        return Failure(prefix + fmt::format("address 0x{:04X} was already given on line {}",
                                            overlap->address, overlap->line));
      }
      AddData(image, static_cast<std::uint32_t>(address), data, count);
      continue;
    }

    const RecordShape* shape = nullptr;
    for (const RecordShape& candidate : kFixedShapes) {
      if (candidate.type == type) {
        shape = &candidate;
      }
    }
    if (shape == nullptr) {
      return Failure(prefix + "unknown record type " + HexByte(type));
    }
    if (count != shape->data_bytes) {
      return Failure(prefix + shape->name + " record must have " +
                     std::to_string(shape->data_bytes) + " data bytes, not " +
                     std::to_string(count));
    }

    switch (type) {
      case kEndOfFile:
        seen_end = true;
        break;
      case kExtendedSegmentAddress:
        base = BigEndian(data, 2) << 4;
        break;
      case kExtendedLinearAddress:
        base = BigEndian(data, 2) << 16;
        break;
      case kStartSegmentAddress:
      case kStartLinearAddress: {
        // Two different entry points leave no right answer about where to start.
        if (image.start_address) {
          return Failure(prefix + "more than one start address record");
        }
        image.start_address = type == kStartLinearAddress
                                  ? BigEndian(data, 4)
                                  : (BigEndian(data, 2) << 4) + BigEndian(data + 2, 2);
        break;
      }
      default:
        break;
    }
  }

  if (!seen_end) {
    return Failure("no end-of-file record");
  }
  HexParseResult result;
  result.image = std::move(image);
  return result;
}

HexParseResult LoadIntelHexFile(const std::string& path) {
  const BoundedFileText file = ReadFileAtMost(path, kMaxFileBytes);
  switch (file.problem) {
    case FileReadProblem::CannotOpen:
      return Failure("cannot open " + path + ": " + file.reason);
    case FileReadProblem::TooLarge:
      return Failure(path + " is larger than 4 MiB");
    case FileReadProblem::ReadError:
      return Failure("cannot read " + path + ": " + file.reason);
    case FileReadProblem::None:
      break;
  }
  HexParseResult result = ParseIntelHex(file.text);
  if (!result.image) {
    result.error = path + ": " + result.error;
  }
  return result;
}

}  // namespace kx::board
