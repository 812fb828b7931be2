// The raw write of "Write Value to DAC Section": the input's first byte
// picks the group, the rest is the "32 Bit Hex Value" text.
//
// Promises checked on every input:
//  - the write goes out exactly when the box's value check passes the text;
//  - then it is one request to the group's DAC request, nothing read back,
//    carrying all 32 bits of the text's value, and the status line shows it;
//  - otherwise nothing at all is sent, and one warning tells the operator;
//  - no stored channel word changes either way.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "board/link_record.h"
#include "board/link_requests.h"
#include "board/status_text.h"
#include "dac/dac_operations.h"
#include "dac/hex_entry.h"
#include "fuzz_check.h"
#include "recording_link.h"

namespace {

using kx::fuzz::Require;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  // Any index but 0 is the high group, as the option pair gives it.
  const int group = static_cast<std::int8_t>(data[0]);
  const std::string_view text = kx::fuzz::AsText(data + 1, size - 1);

  kx::fuzz::RecordingLink link;
  kx::dac::DacOperations operations(link);
  const kx::board::OperationResult result = operations.RawWrite(group, text);
  const bool sent = !result.refusal.has_value();
  const kx::dac::HexValue value = kx::dac::ParseHexValue(text);

  Require(sent == value.value.has_value(), "the write goes out exactly when the text passes");
  if (sent) {
    Require(link.sent.size() == 1, "one request per write");
    const auto& request = link.sent.front();
    const std::int16_t expected_code =
        group == 0 ? kx::board::DacLowRequest : kx::board::DacHighRequest;
    Require(request.code == expected_code, "the write goes to the group's request");
    Require(request.direction == kx::board::DirectionOut && request.length == 0,
            "the write reads nothing back");
    Require(request.value >= 0 && request.value <= 0xFFFF, "the value field is the low half");
    const auto word = static_cast<std::int32_t>(static_cast<std::uint32_t>(request.value) |
                                                (static_cast<std::uint32_t>(request.index) << 16U));
    Require(word == *value.value, "the request carries all 32 bits of the text's value");
    Require(kx::board::StatusLineText(result.sent) == kx::board::DacWriteStatus(*value.value),
            "the status line shows the word sent");
  } else {
    Require(link.sent.empty(), "a refused write sends nothing");
    Require(result.sent.empty() && !result.refusal->empty(), "a refused write says why");
  }
  using kx::dac::DacOperations;
  const DacOperations::StoredWords input = DacOperations::UnloadedWords(kx::dac::LoadInputRegister);
  const DacOperations::StoredWords dac = DacOperations::UnloadedWords(kx::dac::UpdateDacRegister);
  Require(operations.InputRegWordsLow() == input && operations.InputRegWordsHigh() == input &&
              operations.DacRegWordsLow() == dac && operations.DacRegWordsHigh() == dac,
          "a raw write leaves the stored channel words alone");
  return 0;
}
