#include "board/link_record.h"

#include <fmt/format.h>

#include <algorithm>

#include "board/link_requests.h"
#include "board/status_text.h"

namespace kx::board {

std::optional<Failure> OperationResult::FirstFailure() const {
  const auto failed =
      std::find_if(sent.begin(), sent.end(), [](const LinkRecord& r) { return r.status < 0; });
  if (failed == sent.end()) {
    return std::nullopt;
  }
  return Failure{
      failed->status,
      fmt::format("the board did not answer {} with 0x{:08X}: status {}", RequestName(failed->code),
                  static_cast<std::uint32_t>(failed->word), failed->status)};
}

std::string RequestName(std::uint8_t code) {
  switch (code) {
    case DacLowRequest:
      return "DacLowRequest";
    case DacHighRequest:
      return "DacHighRequest";
    case ClrHighRequest:
      return "ClrHighRequest";
    case PulseLdacRequest:
      return "PulseLdacRequest";
    case ClrLowRequest:
      return "ClrLowRequest";
    case PostBootRequest:
      return "PostBootRequest";
    case LdacHighRequest:
      return "LdacHighRequest";
    case LdacLowRequest:
      return "LdacLowRequest";
    case AdcTransferRequest:
      return "AdcTransferRequest";
    default:
      return fmt::format("request 0x{:02X}", code);
  }
}

std::optional<std::string> EchoText(const LinkRecord& record) {
  if (record.code == DacLowRequest || record.code == DacHighRequest) {
    return DacWriteStatus(record.word);
  }
  if (record.code == AdcTransferRequest) {
    return AdcWriteStatus(record.word);
  }
  return std::nullopt;
}

std::optional<std::string> StatusLineText(const std::vector<LinkRecord>& sent) {
  const auto echoed = std::find_if(sent.rbegin(), sent.rend(),
                                   [](const LinkRecord& r) { return EchoText(r).has_value(); });
  return echoed == sent.rend() ? std::nullopt : EchoText(*echoed);
}

}  // namespace kx::board
