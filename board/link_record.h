#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx::board {

// One vendor request as it went to the board.
struct LinkRecord {
  std::uint8_t code;
  std::int32_t word;  // the request's index and value put back together; 0 for CLR and LDAC
  bool reads;         // an ADC transfer with its reply
  std::int16_t status;
  std::int32_t reply;  // the 16-bit word read back; 0 for requests that read nothing
};

// Why an operation did not do all it was asked: the failing status and a
// line that says so.
struct Failure {
  std::int16_t status;
  std::string reason;
};

// What one operation did: the requests it made, in order, with their
// statuses. `refusal` is set when the input was refused before anything was
// sent; it holds the text the operator is told.
struct OperationResult {
  std::vector<LinkRecord> sent;
  std::optional<std::string> refusal;

  // The first request the board failed (a negative status), with a line
  // naming the request and its word.
  std::optional<Failure> FirstFailure() const;
};

// "DacLowRequest", "AdcTransferRequest", ...; "request 0x42" for a code the
// panel never sends.
std::string RequestName(std::uint8_t code);

// The status line's echo of one request: "DAC Write: 0x..." for a DAC
// word, "ADC Write: 0x..." for an ADC word, none for CLR, LDAC and the
// post-boot request.
std::optional<std::string> EchoText(const LinkRecord& record);

// The status line after these requests: the last DAC or ADC word sent, as
// "DAC Write: 0x..." or "ADC Write: 0x..."; none when only CLR and LDAC
// requests (or nothing) went out.
std::optional<std::string> StatusLineText(const std::vector<LinkRecord>& sent);

}  // namespace kx::board
