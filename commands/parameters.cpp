#include "commands/parameters.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <iterator>

#include "adc/reference_entry.h"
#include "commands/log_values.h"
#include "dac/dac_command_word.h"

namespace kx::commands {

namespace {

bool IsDigits(std::string_view word) {
  return !word.empty() &&
         std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string GroupName(int group) {
  return group == LowGroup ? "low (DAC0 to DAC7)" : "high (DAC8 to DAC15)";
}

Fault Bad(std::string text) {
  return {FaultKind::BadValue, std::move(text)};
}

Fault Outside(std::string text) {
  return {FaultKind::OutOfRange, std::move(text)};
}

}  // namespace

std::string Visible(std::string_view word) {
  std::string shown;
  for (const char c : word) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      fmt::format_to(std::back_inserter(shown), "\\x{:02X}", byte);
    } else {
      shown += c;
    }
  }
  return shown;
}

std::string Capped(std::string_view word) {
  // A pasted novel is cut short in a message.
  constexpr std::size_t kLongest = 40;
  if (word.size() > kLongest) {
    return fmt::format("{}...", Visible(word.substr(0, kLongest)));
  }
  return Visible(word);
}

std::string Quote(std::string_view word) {
  return fmt::format("\"{}\"", Capped(word));
}

std::string Listed(std::span<const std::string_view> words) {
  std::string listed;
  for (std::size_t i = 0; i < words.size(); ++i) {
    listed += i == 0 ? "" : (i + 1 == words.size() ? " or " : ", ");
    listed += words[i];
  }
  return listed;
}

std::string ListedWords(Choices choices) {
  std::vector<std::string_view> words;
  for (const Choice& choice : choices) {
    words.push_back(choice.word);
  }
  return Listed(words);
}

std::string ListedMnemonics(Choices choices) {
  std::string listed;
  for (const Choice& choice : choices) {
    listed += (listed.empty() ? "" : "|") + std::string(choice.mnemonic);
  }
  return listed;
}

Checked<int> ChoiceOf(std::string_view word, Choices choices, std::string_view what) {
  const auto found = std::find_if(choices.begin(), choices.end(),
                                  [word](const Choice& choice) { return choice.word == word; });
  if (found == choices.end()) {
    return Bad(fmt::format("{} is not {}: {}", Quote(word), what, ListedWords(choices)));
  }
  return static_cast<int>(found - choices.begin());
}

Checked<int> ChannelOf(std::string_view word) {
  const bool digits = IsDigits(word) && word.size() <= 2;
  const int channel = digits ? std::stoi(std::string(word)) : -1;
  if (channel < 0 || channel >= dac::ChannelCount) {
    std::string text = fmt::format("{} is not a channel number 0-15", Quote(word));
    return IsDigits(word) ? Outside(std::move(text)) : Bad(std::move(text));
  }
  return channel;
}

Checked<int> GroupChannelOf(std::string_view word, int group) {
  Checked<int> channel = ChannelOf(word);
  if (channel.Ok() && channel.Value() / dac::ChannelsPerGroup != group) {
    return Outside(
        fmt::format("channel {} is not in the {} group", channel.Value(), GroupName(group)));
  }
  return channel;
}

Checked<std::vector<int>> GroupChannelsOf(const std::vector<std::string>& words, int group) {
  std::vector<int> channels;
  for (const std::string& word : words) {
    const Checked<int> channel = GroupChannelOf(word, group);
    if (!channel.Ok()) {
      return channel.Failure();
    }
    channels.push_back(channel.Value());
  }
  return channels;
}

namespace {

std::optional<Fault> AddEntry(DacLoad& load, ChannelCode entry, std::string_view word) {
  const bool given =
      std::any_of(load.codes.begin(), load.codes.end(),
                  [&entry](const ChannelCode& c) { return c.channel == entry.channel; });
  if (given) {
    return Bad(fmt::format("{}: channel {} is given twice", Quote(word), entry.channel));
  }
  load.codes.push_back(entry);
  return std::nullopt;
}

}  // namespace

std::optional<Fault> AddCode(DacLoad& load, int channel, std::uint16_t code,
                             std::string_view word) {
  return AddEntry(load, {channel, code}, word);
}

std::optional<Fault> AddVolts(DacLoad& load, int channel, double volts, std::string_view word) {
  return AddEntry(load, {channel, 0, volts}, word);
}

bool IsVoltsText(std::string_view text) {
  return text.ends_with('V') || text.ends_with('v');
}

Checked<double> DacVoltsOf(std::string_view text) {
  std::string_view number = text;
  double scale = 1.0;
  if (number.ends_with("mV") || number.ends_with("mv")) {
    number.remove_suffix(2);
    scale = 0.001;
  } else if (IsVoltsText(number)) {
    number.remove_suffix(1);
  }
  // Digits and one point only, so that from_chars sees no exponent, no
  // "inf" and no "nan", and a hex code with a V typed after it fails here.
  const std::string_view unsigned_part = number.starts_with('-') ? number.substr(1) : number;
  const std::size_t point = unsigned_part.find('.');
  const std::string_view whole = unsigned_part.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view{} : unsigned_part.substr(point + 1);
  const bool digits = (IsDigits(whole) || whole.empty()) &&
                      (IsDigits(fraction) || fraction.empty()) &&
                      !(whole.empty() && fraction.empty());
  double volts = 0.0;
  if (digits && number.size() != text.size()) {
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), volts);
    if (error == std::errc{} && end == number.data() + number.size()) {
      return volts * scale;
    }
    // Out of a double's reach: hundreds of digits before the point, or so
    // many zeros after it that the value is 0 in all but name.
    if (whole.find_first_not_of('0') == std::string_view::npos) {
      return 0.0;
    }
    return Outside(fmt::format("{} is beyond any DAC output", Quote(text)));
  }
  return Bad(fmt::format("{} is not volts such as 1.25V or 1250mV", Quote(text)));
}

Checked<int> ClearCodeOf(std::optional<std::int32_t> value, std::string_view word) {
  const auto* found = std::find(ClearCodeValues.begin(), ClearCodeValues.end(), value.value_or(-1));
  if (word.empty() || found == ClearCodeValues.end()) {
    return Outside(
        fmt::format("{} is not a clear code: {}", Quote(word), ListedWords(ClearCodeChoices)));
  }
  return static_cast<int>(found - ClearCodeValues.begin());
}

Checked<std::chrono::nanoseconds> DurationOf(std::string_view text) {
  const DurationValue duration = ParseDuration(text);
  if (!duration.value) {
    return Bad(duration.error);
  }
  return *duration.value;
}

Checked<std::chrono::nanoseconds> IntervalOf(std::string_view text) {
  Checked<std::chrono::nanoseconds> every = DurationOf(text);
  if (every.Ok() && (every.Value() < ShortestInterval || every.Value() > LongestInterval)) {
    return Outside("the interval must be 1 ms to 24 h");
  }
  return every;
}

Checked<std::vector<int>> ChannelListOf(std::string_view text) {
  ChannelListValue list = ParseChannelList(text);
  if (!list.error.empty()) {
    return list.error.find("twice") != std::string::npos ? Bad(std::move(list.error))
                                                         : Outside(std::move(list.error));
  }
  return std::move(list.channels);
}

Checked<int> AverageOf(std::string_view count) {
  const bool digits = IsDigits(count) && count.size() <= 6;
  const int average = digits ? std::stoi(std::string(count)) : 0;
  if (average < 1 || average > LargestAverage) {
    std::string text =
        fmt::format("{} is not a number of reads from 1 to {}", Quote(count), LargestAverage);
    return IsDigits(count) ? Outside(std::move(text)) : Bad(std::move(text));
  }
  return average;
}

Checked<std::uint64_t> SampleCountOf(std::string_view count) {
  const bool digits = IsDigits(count) && count.size() <= 10;
  const std::uint64_t samples = digits ? std::stoull(std::string(count)) : 0;
  if (samples < SmallestHistogram || samples > LargestHistogram) {
    std::string text = fmt::format("{} is not a number of samples from {} to {}", Quote(count),
                                   SmallestHistogram, LargestHistogram);
    return IsDigits(count) ? Outside(std::move(text)) : Bad(std::move(text));
  }
  return samples;
}

Checked<CodeSteps> CodeStepsOf(std::string_view text) {
  const std::string form =
      fmt::format("{} is not START:STOP:STEP, such as 0:4095:1 (decimal codes)", Quote(text));
  std::array<int, 3> numbers{};
  std::string_view rest = text;
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    const std::size_t colon = rest.find(':');
    const std::string_view part = rest.substr(0, colon);
    if (!IsDigits(part) || part.size() > 5 || (i < 2) == (colon == std::string_view::npos)) {
      return Bad(form);
    }
    numbers[i] = std::stoi(std::string(part));
    rest.remove_prefix(colon == std::string_view::npos ? rest.size() : colon + 1);
  }
  const CodeSteps steps{numbers[0], numbers[1], numbers[2]};
  if (steps.stop > 0xFFF || steps.start >= steps.stop) {
    return Outside(
        fmt::format("{}: the codes must rise from START to STOP within 0 to 4095", Quote(text)));
  }
  if (steps.step < 1 || steps.step > steps.stop - steps.start) {
    return Outside(fmt::format("{}: STEP must be 1 to STOP - START ({})", Quote(text),
                               steps.stop - steps.start));
  }
  return steps;
}

Checked<std::chrono::nanoseconds> SettleOf(std::string_view text) {
  Checked<std::chrono::nanoseconds> settle = DurationOf(text);
  if (settle.Ok() && settle.Value() > std::chrono::seconds(10)) {
    return Outside("the settling time must be at most 10 s");
  }
  return settle;
}

namespace {

std::optional<double> VoltsNumber(std::string_view text) {
  double volts = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), volts);
  if (text.empty() || end != text.data() + text.size() || error != std::errc{} ||
      !std::isfinite(volts)) {
    return std::nullopt;
  }
  return volts;
}

}  // namespace

Checked<double> ReferenceVoltsOf(std::string_view text) {
  const std::optional<double> volts = VoltsNumber(text);
  if (!volts) {
    return Bad(fmt::format("{} is not a number of volts", Quote(text)));
  }
  if (!(*volts > 0.0) || *volts > adc::LargestAdcReference) {
    return Outside(fmt::format("{} V is no reference: above 0 V, at most {} V wanted", text,
                               adc::LargestAdcReference));
  }
  return *volts;
}

Checked<session::CalibrationChoice> CalibrationChoiceOf(std::string_view text) {
  using Kind = session::CalibrationChoice::Kind;
  if (text == "auto" || text == "none") {
    return session::CalibrationChoice{text == "auto" ? Kind::Auto : Kind::None, {}};
  }
  if (text.empty() || text.find('\0') != std::string_view::npos) {
    return Bad(fmt::format("{} is not auto, none or a calibration FILE", Quote(text)));
  }
  return session::CalibrationChoice{Kind::File, std::string(text)};
}

Checked<ChannelCorrection> ChannelCorrectionOf(std::string_view text) {
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
  if (second == std::string_view::npos) {
    return Bad(
        fmt::format("{} is not CH:OFFSET:GAIN (the offset in LSB, the gain error in %), "
                    "such as 3:1.5:-0.2",
                    Quote(text)));
  }
  const Checked<int> channel = ChannelOf(text.substr(0, first));
  if (!channel.Ok()) {
    return channel.Failure();
  }
  const std::optional<double> offset = VoltsNumber(text.substr(first + 1, second - first - 1));
  const std::optional<double> gain = VoltsNumber(text.substr(second + 1));
  if (!offset || !gain) {
    return Bad(fmt::format("{}: the offset and the gain must be numbers, such as 3:1.5:-0.2",
                           Quote(text)));
  }
  if (std::abs(*offset) > board::LargestOffsetLsb || std::abs(*gain) > board::LargestGainPercent) {
    return Outside(
        fmt::format("{}: the offset must be from -{} to {} LSB and the gain from -{} to {} %",
                    Quote(text), board::LargestOffsetLsb, board::LargestOffsetLsb,
                    board::LargestGainPercent, board::LargestGainPercent));
  }
  return ChannelCorrection{channel.Value(), {*offset, *gain}};
}

Checked<GroupVolts> GroupReferenceOf(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    return Bad(fmt::format("{} is not low:VOLTS or high:VOLTS", Quote(text)));
  }
  const Checked<int> group = ChoiceOf(text.substr(0, colon), GroupChoices, "a DAC group");
  if (!group.Ok()) {
    return group.Failure();
  }
  const Checked<double> volts = ReferenceVoltsOf(text.substr(colon + 1));
  if (!volts.Ok()) {
    return volts.Failure();
  }
  return GroupVolts{group.Value(), volts.Value()};
}

Checked<AppliedVolts> AppliedVoltsOf(std::string_view text) {
  const std::size_t colon = text.find(':');
  const auto bad = [&] {
    return Bad(fmt::format("{} is not CENTRE:AMPLITUDE in volts, such as 1.25:1.27", Quote(text)));
  };
  if (colon == std::string_view::npos) {
    return bad();
  }
  const std::optional<double> centre = VoltsNumber(text.substr(0, colon));
  const std::optional<double> amplitude = VoltsNumber(text.substr(colon + 1));
  if (!centre || !amplitude) {
    return bad();
  }
  if (!(*amplitude > 0.0)) {
    return Outside(fmt::format("{}: the amplitude must be above 0 V", Quote(text)));
  }
  return AppliedVolts{*centre, *amplitude};
}

Checked<std::string> FileReferenceOf(const std::string& volts) {
  const float value = adc::ReadReferenceNumber(volts);
  if (!(value > 0.0F) || value > adc::LargestAdcReference) {
    return Outside(
        fmt::format("{} V is outside what the ADC takes for a file: above 0 V, at most {} V", volts,
                    adc::LargestAdcReference));
  }
  return volts;
}

std::optional<Fault> NeedsReference(const Edition& edition) {
  if (!edition.HasVolts()) {
    return Fault{
        FaultKind::NotInEdition,
        fmt::format("{} has no ADC reference: leave out --reference", edition.program_name)};
  }
  return std::nullopt;
}

}  // namespace kx::commands
