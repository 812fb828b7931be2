#include "fuzz_check.h"

namespace kx::fuzz {

bool IsUtf8(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    std::uint32_t point = 0;
    std::uint32_t smallest = 0;
    if (lead < 0x80) {
      ++at;
      continue;
    }
    if ((lead & 0xE0U) == 0xC0U) {
      length = 2;
      point = lead & 0x1FU;
      smallest = 0x80;
    } else if ((lead & 0xF0U) == 0xE0U) {
      length = 3;
      point = lead & 0x0FU;
      smallest = 0x800;
    } else if ((lead & 0xF8U) == 0xF0U) {
      length = 4;
      point = lead & 0x07U;
      smallest = 0x10000;
    } else {
      return false;
    }
    if (text.size() - at < length) {
      return false;
    }
    for (std::size_t i = 1; i < length; ++i) {
      const auto next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0U) != 0x80U) {
        return false;
      }
      point = (point << 6U) | (next & 0x3FU);
    }
    if (point < smallest || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) {
      return false;
    }
    at += length;
  }
  return true;
}

}  // namespace kx::fuzz
