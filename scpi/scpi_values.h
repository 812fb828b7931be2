#pragma once

#include <stdexcept>
#include <string>
#include <utility>

#include "commands/choices.h"
#include "commands/parameters.h"
#include "scpi/parser.h"
#include "scpi/scpi_error.h"

namespace kx::scpi {

// SCPI's grammar of parameters: each reader takes one parameter of a unit
// or throws Refusal, which the instrument queues before anything runs.
class Refusal : public std::runtime_error {
 public:
  explicit Refusal(Error error) : std::runtime_error(error.text), error_(std::move(error)) {}
  const Error& error() const { return error_; }

 private:
  Error error_;
};

[[noreturn]] void Refuse(const ErrorCode& code, const std::string& detail = {});

// The error a shared check's fault stands for.
const ErrorCode& ErrorOf(commands::FaultKind kind);
[[noreturn]] void Refuse(const commands::Fault& fault, const std::string& what = {});

// The value of a shared check, or its fault refused, `what` leading the text.
template <class T>
const T& Take(const commands::Checked<T>& checked, const std::string& what = {}) {
  if (!checked.Ok()) {
    Refuse(checked.Failure(), what);
  }
  return checked.Value();
}

// Between `least` and `most` parameters: -109 for too few, -108 for too many.
void Count(const Unit& unit, std::size_t least, std::size_t most);

// A whole number; numbers with a fraction are refused rather than rounded,
// since a code or a channel is never meant approximately.
long long Whole(const Parameter& parameter, const char* what);

// A code or word in the hexadecimal the panel's boxes take, 0 to `most`. The
// range is checked here, so that the message names the number as typed.
long long Hex(const Parameter& parameter, const char* what, long long most);

// The index of the entry whose SCPI mnemonic the parameter is.
int Pick(const Parameter& parameter, commands::Choices choices, const char* what);

// ON, OFF or a number (0 is off).
bool Boolean(const Parameter& parameter);

// A reference in volts as the panel's box would hold it ("2.50"), within
// what the ADC's pin takes: a channel number sent in its place
// (ADC:READ:VOLT? 7) must not read as a 7 V reference.
std::string AdcReference(const Parameter& parameter);

// A time as seconds (0.1, 5E-2) or as a string with a unit ("250ms", "10h"),
// as kx7312ctl's time words write it.
std::string TimeText(const Parameter& parameter, const char* what);

// A log's file as a client names it: a path inside the server's log folder,
// so that a client on the network writes nowhere else.
std::string LogFileName(const Parameter& parameter);

// A SCPI string response: in double quotes, a quote inside doubled.
std::string Quoted(const std::string& text);

// A channel number 0-15.
int ChannelNumber(const Parameter& parameter);

}  // namespace kx::scpi
