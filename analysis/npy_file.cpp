#include "analysis/npy_file.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

namespace kx::analysis {
namespace {

static_assert(std::endian::native == std::endian::little,
              "the arrays are written as the machine holds them, little-endian");

// The version bytes hold a NUL: the length is given.
constexpr std::string_view kMagic("\x93NUMPY\x01\x00", 8);
constexpr std::size_t kAlignment = 64;

std::string ShapeText(const std::vector<std::size_t>& shape) {
  if (shape.size() == 1) {
    return fmt::format("({},)", shape.front());
  }
  return fmt::format("({})", fmt::join(shape, ", "));
}

// The magic, the header's length and the dict, padded with blanks so that
// the data starts on a multiple of 64 bytes.
std::string Header(const std::string& dict) {
  std::string text = dict;
  const std::size_t fixed = kMagic.size() + 2;
  const std::size_t total = (fixed + text.size() + 1 + kAlignment - 1) / kAlignment * kAlignment;
  text.append(total - fixed - text.size() - 1, ' ');
  text += '\n';
  const auto length = static_cast<std::uint16_t>(text.size());
  std::string header(kMagic);
  header += static_cast<char>(length & 0xFF);
  header += static_cast<char>(length >> 8);
  return header + text;
}

void Put16(std::string& out, std::uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

constexpr std::array<std::uint32_t, 256> CrcTable() {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) {
      c = (c & 1U) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
    }
    table[n] = c;
  }
  return table;
}

}  // namespace

std::string NpyHeader(std::string_view type, const std::vector<std::size_t>& shape) {
  return Header(fmt::format("{{'descr': '{}', 'fortran_order': False, 'shape': {}, }}", type,
                            ShapeText(shape)));
}

std::string NpyRecordHeader(const std::vector<NpyField>& fields, std::size_t rows) {
  std::vector<std::string> parts;
  parts.reserve(fields.size());
  for (const NpyField& field : fields) {
    parts.push_back(fmt::format("('{}', '{}')", field.name, field.type));
  }
  return Header(fmt::format("{{'descr': [{}], 'fortran_order': False, 'shape': ({},), }}",
                            fmt::join(parts, ", "), rows));
}

unsigned long Crc32(std::string_view bytes) {
  static constexpr std::array<std::uint32_t, 256> kTable = CrcTable();
  std::uint32_t crc = 0xFFFFFFFFU;
  for (const char byte : bytes) {
    crc = kTable[(crc ^ static_cast<unsigned char>(byte)) & 0xFFU] ^ (crc >> 8);
  }
  return crc ^ 0xFFFFFFFFU;
}

// Stored (method 0) members, each a local header and its bytes, then the
// central directory and its end record. The date is the zip's earliest,
// 1980-01-01, so that the same data gives the same file.
void NpzBuilder::Add(const std::string& name, std::string_view npy) {
  constexpr std::uint32_t kDosDate = (1U << 5) | 1U;
  const std::string file = name + ".npy";
  const auto crc = static_cast<std::uint32_t>(Crc32(npy));
  const auto size = static_cast<std::uint32_t>(npy.size());
  const auto offset = static_cast<std::uint32_t>(zip_.size());
  const auto fields = [&](std::string& out) {
    Put16(out, 20);  // version needed: 2.0
    Put16(out, 0);   // flags
    Put16(out, 0);   // stored
    Put16(out, 0);   // time
    Put16(out, kDosDate);
    Put32(out, crc);
    Put32(out, size);
    Put32(out, size);
    Put16(out, static_cast<std::uint32_t>(file.size()));
    Put16(out, 0);  // extra field
  };
  Put32(zip_, 0x04034B50U);
  fields(zip_);
  zip_ += file;
  zip_ += npy;
  Put32(directory_, 0x02014B50U);
  Put16(directory_, 20);  // made by: 2.0
  fields(directory_);
  Put16(directory_, 0);  // comment
  Put16(directory_, 0);  // disk
  Put16(directory_, 0);  // internal attributes
  Put32(directory_, 0);  // external attributes
  Put32(directory_, offset);
  directory_ += file;
  ++members_;
}

std::string NpzBuilder::Finish() {
  const auto directory_offset = static_cast<std::uint32_t>(zip_.size());
  zip_ += directory_;
  Put32(zip_, 0x06054B50U);
  Put16(zip_, 0);
  Put16(zip_, 0);
  Put16(zip_, static_cast<std::uint32_t>(members_));
  Put16(zip_, static_cast<std::uint32_t>(members_));
  Put32(zip_, static_cast<std::uint32_t>(directory_.size()));
  Put32(zip_, directory_offset);
  Put16(zip_, 0);
  directory_.clear();
  return std::move(zip_);
}

}  // namespace kx::analysis
