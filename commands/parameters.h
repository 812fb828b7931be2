#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "commands/choices.h"
#include "commands/command.h"
#include "session/edition.h"

namespace kx::commands {

// Why a parameter was refused: each front end words it its own way (the
// tool shows `text`, the server queues the SCPI error the kind stands for).
enum class FaultKind {
  BadValue,      // not of the form or not one of the choices
  OutOfRange,    // a number outside what the board or the program takes
  NotInEdition,  // the edition has no such control
  BoardFailure,  // the board or the link failed
};

struct Fault {
  FaultKind kind;
  std::string text;
};

// A parameter's value, or the fault that refused it.
template <class T>
class Checked {
 public:
  Checked(T value) : outcome_(std::move(value)) {}      // NOLINT(google-explicit-constructor)
  Checked(Fault fault) : outcome_(std::move(fault)) {}  // NOLINT(google-explicit-constructor)

  bool Ok() const { return std::holds_alternative<T>(outcome_); }
  const T& Value() const { return std::get<T>(outcome_); }
  const Fault& Failure() const { return std::get<Fault>(outcome_); }

 private:
  std::variant<T, Fault> outcome_;
};

// A word as messages show it: control characters as \xNN, a long one cut.
std::string Capped(std::string_view word);
// The same in double quotes.
std::string Quote(std::string_view word);
// Control characters as \xNN: a message must not ring, erase or end a line.
std::string Visible(std::string_view word);

// The index of `word` among the kx7312ctl words of `choices`.
// Refused with "is not `what`: a, b or c".
Checked<int> ChoiceOf(std::string_view word, Choices choices, std::string_view what);

// A channel number 0-15, written in decimal digits.
Checked<int> ChannelOf(std::string_view word);
// A channel of the DAC group (LowGroup, HighGroup).
Checked<int> GroupChannelOf(std::string_view word, int group);
// The channel numbers of a group, each at most once, in the order given.
Checked<std::vector<int>> GroupChannelsOf(const std::vector<std::string>& words, int group);
// One more CH=CODE of a load; a channel is loaded once.
std::optional<Fault> AddCode(DacLoad& load, int channel, std::uint16_t code, std::string_view word);
// One more entry in volts, CH=VOLTS; its range is checked when the load runs.
std::optional<Fault> AddVolts(DacLoad& load, int channel, double volts, std::string_view word);
// Whether the text after CH= means volts: it ends in V (no hex code does).
bool IsVoltsText(std::string_view text);
// A DAC output in volts as kx7312ctl takes it: a decimal number, a minus
// sign allowed, with no exponent, followed by V or mV: "1.25V", "1250mV".
Checked<double> DacVoltsOf(std::string_view text);
// The clear code by value: 0x0000, 0x0800 or 0x0FFF as list index.
Checked<int> ClearCodeOf(std::optional<std::int32_t> value, std::string_view word);

// The interval between a log's rows, 1 ms to 24 h.
Checked<std::chrono::nanoseconds> IntervalOf(std::string_view text);
// How long a log runs: a time after 0, at most ten years.
Checked<std::chrono::nanoseconds> DurationOf(std::string_view text);
// "all", or channel numbers and ranges: "0,3,8-11".
Checked<std::vector<int>> ChannelListOf(std::string_view text);
// Reads averaged into a log's row, 1 to LargestAverage.
Checked<int> AverageOf(std::string_view count);
// A reference that goes into a file (a log's header, a capture's metadata)
// must be one the ADC takes, or the viewer could not read the file back.
// `volts` is the box's two-decimal text.
Checked<std::string> FileReferenceOf(const std::string& volts);
// Conversions of a code-density test: enough for every code to be met, at
// most LargestHistogram.
inline constexpr std::uint64_t SmallestHistogram = 4096;
inline constexpr std::uint64_t LargestHistogram = std::uint64_t{1} << 32;
Checked<std::uint64_t> SampleCountOf(std::string_view count);
// A sweep's codes, START:STOP:STEP in decimal: 0 <= START < STOP <= 4095,
// STEP at least 1 and at most STOP - START.
Checked<CodeSteps> CodeStepsOf(std::string_view text);
// The wait after each code of a sweep: at most 10 s.
Checked<std::chrono::nanoseconds> SettleOf(std::string_view text);

// A converter's reference in volts: above 0, at most 5 V.
Checked<double> ReferenceVoltsOf(std::string_view text);
// CENTRE:AMPLITUDE in volts, the amplitude above 0.
Checked<AppliedVolts> AppliedVoltsOf(std::string_view text);
// --calibration: "auto", "none", or a calibration file's path.
Checked<session::CalibrationChoice> CalibrationChoiceOf(std::string_view text);
// CH:OFFSET:GAIN of a calibration entered by hand: the channel 0-15, its
// offset in LSB and its gain error in percent, within what a calibration
// file may hold.
Checked<ChannelCorrection> ChannelCorrectionOf(std::string_view text);
// low:VOLTS or high:VOLTS: a DAC group's reference as measured.
struct GroupVolts {
  int group = LowGroup;
  double volts = 0.0;
};
Checked<GroupVolts> GroupReferenceOf(std::string_view text);

// The reference option where the edition has no "ADC Reference" box.
std::optional<Fault> NeedsReference(const Edition& edition);

}  // namespace kx::commands
