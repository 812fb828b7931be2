#include "board/quoted_text.h"

#include <fmt/format.h>

namespace kx::board {

std::string QuotedStart(std::string_view text, std::size_t longest) {
  if (text.size() <= longest) {
    return fmt::format("\"{}\"", text);
  }
  std::size_t cut = longest;
  // Back off over continuation bytes to the start of the character.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U) {
    --cut;
  }
  return fmt::format("\"{}...\"", text.substr(0, cut));
}

}  // namespace kx::board
