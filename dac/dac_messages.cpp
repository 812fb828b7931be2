#include "dac/dac_messages.h"

#include <fmt/format.h>

#include "board/quoted_text.h"

namespace kx::dac {

namespace {

// Box texts have no length limit; a message quotes only their start.
constexpr std::size_t kLongestQuote = 24;

std::string Quote(std::string_view text) {
  return board::QuotedStart(text, kLongestQuote);
}

}  // namespace

std::string OversizedCodesMessage(const std::vector<OversizedCode>& codes) {
  std::string message = "DAC codes above FFF do not fit in 12 bits:\n";
  for (const OversizedCode& code : codes) {
    message += fmt::format("DAC{} {}\n", code.channel, Quote(code.text));
  }
  message += "Nothing was sent.";
  return message;
}

std::string RawWriteRefusal(HexTextFault fault, std::string_view text) {
  switch (fault) {
    case HexTextFault::Empty:
      return "The 32 Bit Hex Value is empty. Type one to eight hexadecimal digits. Nothing was "
             "sent.";
    case HexTextFault::TooManyDigits:
      return fmt::format(
          "The 32 Bit Hex Value {} has more than eight hexadecimal digits. Nothing was sent.",
          Quote(text));
    case HexTextFault::NotHex:
    case HexTextFault::None:
      break;
  }
  return fmt::format("The 32 Bit Hex Value {} is not a hexadecimal number. Nothing was sent.",
                     Quote(text));
}

}  // namespace kx::dac
