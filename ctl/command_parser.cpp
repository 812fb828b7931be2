#include "ctl/command_parser.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <utility>

#include "adc/adc_write_entry.h"
#include "adc/reference_entry.h"
#include "ctl/log_values.h"
#include "dac/dac_command_word.h"
#include "dac/hex_entry.h"

namespace kx::ctl {

namespace {

// Thrown inside the parser only; ParseCommands turns it into its error text.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// Control characters as \xNN: a message must not ring, erase or end a line
// on the terminal, nor hide what the word really holds.
std::string Visible(std::string_view word) {
  std::string shown;
  for (const char c : word) {
    if (IsControl(c)) {
      fmt::format_to(std::back_inserter(shown), "\\x{:02X}", static_cast<unsigned char>(c));
    } else {
      shown += c;
    }
  }
  return shown;
}

// A pasted novel is cut short in a message.
std::string Capped(std::string_view word) {
  constexpr std::size_t kLongest = 40;
  if (word.size() > kLongest) {
    return fmt::format("{}...", Visible(word.substr(0, kLongest)));
  }
  return Visible(word);
}

// A word as messages quote it.
std::string Quote(std::string_view word) {
  return fmt::format("\"{}\"", Capped(word));
}

// The longest path and the longest name in a folder that the system takes.
#ifdef _WIN32
constexpr std::size_t LongestPath = 32767;
#else
constexpr std::size_t LongestPath = PATH_MAX - 1;
#endif
constexpr std::size_t LongestFileName = 255;

// Paths are quoted whole: a cut one would not say which file was meant.
std::string QuotePath(std::string_view path) {
  return fmt::format("\"{}\"", Visible(path));
}

[[noreturn]] void Refuse(const std::string& detail) {
  throw UsageError(detail);
}

bool IsGroupWord(std::string_view word) {
  return word == "dac" || word == "line" || word == "adc" || word == "script" || word == "serve";
}

class Cursor {
 public:
  Cursor(const std::vector<std::string>& tokens, FileChecks checks)
      : tokens_(tokens), checks_(checks) {}

  FileChecks Checks() const { return checks_; }

  bool AtEnd() const { return pos_ == tokens_.size(); }
  // The words of a command end where the next command's group word stands.
  bool AtNextCommand() const { return AtEnd() || IsGroupWord(tokens_[pos_]); }
  const std::string& Take() { return tokens_[pos_++]; }

  // A value the command cannot do without, whatever word stands there.
  const std::string& TakeRequired(std::string_view what) {
    if (AtEnd()) {
      Refuse(fmt::format("missing {}", what));
    }
    return Take();
  }

 private:
  const std::vector<std::string>& tokens_;
  FileChecks checks_;
  std::size_t pos_ = 0;
};

// "--format=dec" and "--format dec" alike.
struct OptionWord {
  std::string name;
  std::optional<std::string> value;
};

OptionWord SplitOption(const std::string& word) {
  const std::size_t equals = word.find('=');
  if (equals == std::string::npos) {
    return {word, std::nullopt};
  }
  return {word.substr(0, equals), word.substr(equals + 1)};
}

std::string OptionValue(Cursor& cursor, const OptionWord& option, std::string_view what) {
  if (option.value) {
    return *option.value;
  }
  return cursor.TakeRequired(fmt::format("the value of {}: {}", option.name, what));
}

void RefuseValue(const OptionWord& option) {
  if (option.value) {
    Refuse(fmt::format("{} takes no value", option.name));
  }
}

bool IsGlobalOption(std::string_view word) {
  constexpr std::array<std::string_view, 10> kGlobal = {
      "--edition",       "--simulate", "--sim-settings", "--trace", "--usb-id",
      "--usb-loader-id", "--usb-bus",  "--json",         "--help",  "--version"};
  const std::string_view name = word.substr(0, word.find('='));
  return std::find(kGlobal.begin(), kGlobal.end(), name) != kGlobal.end();
}

[[noreturn]] void RefuseWord(const std::string& word) {
  if (IsGlobalOption(word)) {
    Refuse(
        fmt::format("{} is an option of the tool: put it before the first command", Quote(word)));
  }
  if (word.starts_with("-")) {
    Refuse(fmt::format("unknown option {}", Quote(word)));
  }
  Refuse(fmt::format("unexpected {}", Quote(word)));
}

// "a, b or c".
std::string Listed(std::span<const std::string_view> words) {
  std::string listed;
  for (std::size_t i = 0; i < words.size(); ++i) {
    listed += i == 0 ? "" : (i + 1 == words.size() ? " or " : ", ");
    listed += words[i];
  }
  return listed;
}

// Index of `word` in `choices`, or a refusal listing them.
template <std::size_t N>
int Choose(const std::string& word, const std::array<std::string_view, N>& choices,
           std::string_view what) {
  const auto* found = std::find(choices.begin(), choices.end(), word);
  if (found == choices.end()) {
    Refuse(fmt::format("{} is not {}: {}", Quote(word), what, Listed(choices)));
  }
  return static_cast<int>(found - choices.begin());
}

int ParseGroup(const std::string& word) {
  return Choose<2>(word, {"low", "high"}, "a DAC group");
}

int ParseChannel(const std::string& word) {
  const bool digits =
      !word.empty() && word.size() <= 2 &&
      std::all_of(word.begin(), word.end(), [](char c) { return c >= '0' && c <= '9'; });
  const int channel = digits ? std::stoi(word) : -1;
  if (channel < 0 || channel >= dac::ChannelCount) {
    Refuse(fmt::format("{} is not a channel number 0-15", Quote(word)));
  }
  return channel;
}

std::string GroupName(int group) {
  return group == LowGroup ? "low (DAC0 to DAC7)" : "high (DAC8 to DAC15)";
}

int ParseGroupChannel(const std::string& word, int group) {
  const int channel = ParseChannel(word);
  if (channel / dac::ChannelsPerGroup != group) {
    Refuse(fmt::format("channel {} is not in the {} group", channel, GroupName(group)));
  }
  return channel;
}

// The hex texts of the command line may carry C's "0x" as they are copied
// from code or data sheets; the panel's boxes keep their own rules.
std::string_view WithoutHexPrefix(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  return text;
}

// CODE of a CH=CODE word: the hex value rules of the DAC boxes, then 0 to FFF.
std::uint16_t ParseCode(const std::string& word, std::string_view text) {
  const dac::HexValue value = dac::ParseHexValue(WithoutHexPrefix(text));
  switch (value.fault) {
    case dac::HexTextFault::None:
      break;
    case dac::HexTextFault::Empty:
      Refuse(fmt::format("{} has no code after \"=\"", Quote(word)));
    case dac::HexTextFault::NotHex:
      Refuse(fmt::format("{}: {} is not a hex code (0 to FFF, 0x optional)", Quote(word),
                         Quote(text)));
    case dac::HexTextFault::TooManyDigits:
      Refuse(fmt::format("{}: code {} is above FFF", Quote(word), Capped(text)));
  }
  if (static_cast<std::uint32_t>(*value.value) > dac::LargestChannelCode) {
    Refuse(fmt::format("{}: code {} is above FFF", Quote(word), Capped(text)));
  }
  return static_cast<std::uint16_t>(*value.value);
}

std::int32_t ParseDacWord(const std::string& word) {
  const dac::HexValue value = dac::ParseHexValue(WithoutHexPrefix(word));
  switch (value.fault) {
    case dac::HexTextFault::None:
      return *value.value;
    case dac::HexTextFault::Empty:
      Refuse("the WORD is empty");
    case dac::HexTextFault::NotHex:
      Refuse(fmt::format("{} is not a hex word (up to 8 digits, 0x optional)", Quote(word)));
    case dac::HexTextFault::TooManyDigits:
      break;
  }
  Refuse(fmt::format("{} has more than 8 hex digits", Quote(word)));
}

std::int32_t ParseAdcWord(const std::string& word) {
  const adc::AdcWriteEntry entry = adc::ReadAdcWriteText(std::string(WithoutHexPrefix(word)));
  if (!entry.word) {
    Refuse(fmt::format("{} is not an ADC word: 1 to 4 hex digits, 0x optional", Quote(word)));
  }
  return *entry.word;
}

// The reference as a plain number, finite and within what the panel's box
// takes: read the panel's way it then gives exactly this value.
void CheckVolts(const std::string& word) {
  std::string_view text = word;
  if (text.starts_with('+') && !text.substr(1).starts_with('-')) {
    text.remove_prefix(1);
  }
  float volts = 0.0F;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), volts);
  if (text.empty() || end != text.data() + text.size() ||
      (error != std::errc{} && error != std::errc::result_out_of_range)) {
    Refuse(fmt::format("{} is not a number of volts", Quote(word)));
  }
  if (error != std::errc::result_out_of_range && !std::isfinite(volts)) {
    Refuse(fmt::format("{} volts is not a finite reference", Quote(word)));
  }
  if (error == std::errc::result_out_of_range || std::fabs(volts) > adc::LargestReference) {
    // Out of single precision one way or the other: a double tells which.
    double wide = 0.0;
    const bool tiny =
        std::from_chars(text.data(), text.data() + text.size(), wide).ec == std::errc{}
            ? std::fabs(wide) < 1.0
            : text.find_first_of("eE") != std::string_view::npos &&
                  text.find('-', text.find_first_of("eE")) != std::string_view::npos;
    Refuse(fmt::format(
        "{} volts is too {} for the \"ADC Reference\": it takes 0 or sizes from {:.1E} to "
        "{:.1E} V",
        Quote(word), tiny ? "small" : "large", std::numeric_limits<float>::denorm_min(),
        adc::LargestReference));
  }
}

// A file name is passed to the system as it is: a NUL would cut it short
// ("out\0put.txt" names "out") and the other control characters are never
// meant in a name. Refused wherever a script or the command line names a
// file.
void CheckFileName(const std::string& file) {
  if (file.empty()) {
    Refuse("the FILE name is empty");
  }
  // The system would refuse these only once the board is started, and the
  // message would echo the whole name.
  if (file.size() > LongestPath) {
    Refuse(fmt::format("the FILE name {} is longer than the system takes ({} bytes)", Quote(file),
                       LongestPath));
  }
  for (const std::filesystem::path& part : std::filesystem::path(file)) {
    if (part.native().size() > LongestFileName) {
      Refuse(fmt::format("the FILE name {} has a part longer than the system takes ({} bytes)",
                         Quote(file), LongestFileName));
    }
  }
  const auto control = std::find_if(file.begin(), file.end(), IsControl);
  if (control != file.end()) {
    Refuse(fmt::format("the FILE name {} holds the control character {}", QuotePath(file),
                       Visible(std::string_view(&*control, 1))));
  }
}

// A capture must be able to create its file; a missing folder is found now,
// before a single sample is taken.
void CheckCaptureFile(const std::string& file, FileChecks checks) {
  namespace fs = std::filesystem;
  CheckFileName(file);
  if (checks == FileChecks::Skip) {
    return;
  }
  std::error_code error;
  const fs::path path(file);
  if (fs::is_directory(path, error)) {
    Refuse(fmt::format("{} is a folder, not a file", QuotePath(file)));
  }
  const fs::path folder = path.parent_path();
  if (!folder.empty() && !fs::is_directory(folder, error)) {
    Refuse(fmt::format("{}: the folder {} does not exist", QuotePath(file),
                       QuotePath(folder.string())));
  }
}

Action ParseDacLoad(Cursor& cursor, const Edition&) {
  DacLoad load;
  std::array<bool, dac::ChannelCount> given{};
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    if (word.starts_with("--")) {
      const OptionWord option = SplitOption(word);
      RefuseValue(option);
      if (option.name == "--update") {
        load.update = true;
      } else if (option.name == "--no-pulse") {
        load.pulse = false;
      } else {
        RefuseWord(word);
      }
      continue;
    }
    const std::size_t equals = word.find('=');
    if (equals == std::string::npos) {
      Refuse(fmt::format("{} is not CH=CODE", Quote(word)));
    }
    const int channel = ParseChannel(word.substr(0, equals));
    const std::uint16_t code = ParseCode(word, std::string_view(word).substr(equals + 1));
    if (given[static_cast<std::size_t>(channel)]) {
      Refuse(fmt::format("{}: channel {} is given twice", Quote(word), channel));
    }
    given[static_cast<std::size_t>(channel)] = true;
    load.codes.push_back({channel, code});
  }
  return load;
}

Action ParseDacWrite(Cursor& cursor, const Edition&) {
  const int group = ParseGroup(cursor.TakeRequired("the group: low or high"));
  const std::string& text = cursor.TakeRequired("the WORD: up to 8 hex digits");
  // The session hands the text to the panel's raw write, which takes no prefix.
  return DacWrite{group, std::string(WithoutHexPrefix(text)), ParseDacWord(text)};
}

std::vector<int> ParseGroupChannels(Cursor& cursor, int group) {
  std::vector<int> channels;
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    if (word.starts_with("-")) {
      RefuseWord(word);
    }
    channels.push_back(ParseGroupChannel(word, group));
  }
  return channels;
}

Action ParseDacPowerDown(Cursor& cursor, const Edition&) {
  const int group = ParseGroup(cursor.TakeRequired("the group: low or high"));
  const int mode = Choose<4>(cursor.TakeRequired("the MODE: normal, 1k, 100k or three-state"),
                             {"normal", "1k", "100k", "three-state"}, "a power-down mode");
  return DacPowerDown{group, mode, ParseGroupChannels(cursor, group)};
}

Action ParseDacLdacRegister(Cursor& cursor, const Edition&) {
  const int group = ParseGroup(cursor.TakeRequired("the group: low or high"));
  return DacLdacRegister{group, ParseGroupChannels(cursor, group)};
}

Action ParseDacReference(Cursor& cursor, const Edition&) {
  const int group = ParseGroup(cursor.TakeRequired("the group: low or high"));
  const int choice = Choose<2>(cursor.TakeRequired("the reference: internal or external"),
                               {"external", "internal"}, "a reference");
  return DacReference{group, choice == 1};
}

Action ParseDacClearCode(Cursor& cursor, const Edition&) {
  const int group = ParseGroup(cursor.TakeRequired("the group: low or high"));
  const std::string& code = cursor.TakeRequired("the clear code: 0x0000, 0x0800 or 0x0FFF");
  // By value, as the codes load: "0x0800", "0800" and "800" alike.
  const dac::HexValue value = dac::ParseHexValue(WithoutHexPrefix(code));
  constexpr std::array<std::int32_t, 3> kCodes = {0x000, 0x800, 0xFFF};
  const auto* found = std::find(kCodes.begin(), kCodes.end(), value.value.value_or(-1));
  if (code.empty() || found == kCodes.end()) {
    Refuse(fmt::format("{} is not a clear code: 0x0000, 0x0800 or 0x0FFF", Quote(code)));
  }
  return DacClearCode{group, static_cast<int>(found - kCodes.begin())};
}

Action ParseAdcConfigure(Cursor& cursor, const Edition& edition) {
  AdcConfigure configure;
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    const OptionWord option = SplitOption(word);
    if (option.name == "--range") {
      configure.vref_range = Choose<2>(OptionValue(cursor, option, "2xvref or vref"),
                                       {"2xvref", "vref"}, "a range") == 1;
    } else if (option.name == "--weak") {
      RefuseValue(option);
      configure.weak = true;
    } else if (option.name == "--coding") {
      if (!edition.HasVolts()) {
        Refuse(fmt::format("{} has no Coding list: leave out --coding", edition.program_name));
      }
      configure.straight_binary = Choose<2>(OptionValue(cursor, option, "twos or binary"),
                                            {"twos", "binary"}, "a coding") == 1;
    } else {
      RefuseWord(word);
    }
  }
  return configure;
}

// --reference VOLTS of a read or a log: refused where the edition has no
// reference box.
std::string ReferenceOption(Cursor& cursor, const OptionWord& option, const Edition& edition) {
  if (!edition.HasVolts()) {
    Refuse(fmt::format("{} has no ADC reference: leave out --reference", edition.program_name));
  }
  const std::string volts = OptionValue(cursor, option, "the reference in volts");
  CheckVolts(volts);
  // As the "ADC Reference" box holds it once the operator leaves it,
  // which happens before "Read ADC" acts: two decimals.
  return adc::NormaliseReferenceText(volts);
}

// A reference that goes into a file (a log's header, a capture's metadata)
// must be one the ADC takes, or the viewer could not read the file back.
std::string FileReference(std::string volts) {
  const float value = adc::ReadReferenceNumber(volts);
  if (!(value > 0.0F) || value > adc::LargestAdcReference) {
    Refuse(fmt::format(
        "--reference: {} V is outside what the ADC takes for a file: above 0 V, at most {} V",
        volts, adc::LargestAdcReference));
  }
  return volts;
}

Action ParseAdcRead(Cursor& cursor, const Edition& edition) {
  AdcRead read;
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    const OptionWord option = SplitOption(word);
    if (option.name == "--reference") {
      read.reference = ReferenceOption(cursor, option, edition);
    } else if (option.name == "--format") {
      read.format = static_cast<ReadFormat>(Choose<3>(
          OptionValue(cursor, option, "hex, dec or volts"), {"hex", "dec", "volts"}, "a format"));
      if (read.format == ReadFormat::Volts && !edition.HasVolts()) {
        Refuse(
            fmt::format("{} shows no ADC voltages: use --format hex or dec", edition.program_name));
      }
    } else {
      RefuseWord(word);
    }
  }
  return read;
}

Action ParseAdcWrite(Cursor& cursor, const Edition&) {
  const std::string& text = cursor.TakeRequired("the WORD: 1 to 4 hex digits");
  return AdcWrite{std::string(WithoutHexPrefix(text)), ParseAdcWord(text)};
}

template <bool kChannel0>
Action ParseAdcCapture(Cursor& cursor, const Edition& edition) {
  const std::string& file = cursor.TakeRequired("the FILE to save the samples to");
  CheckCaptureFile(file, cursor.Checks());
  AdcCapture capture{file, kChannel0};
  bool reference_given = false;
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    const OptionWord option = SplitOption(word);
    if (option.name == "--metadata") {
      RefuseValue(option);
      capture.metadata = true;
    } else if (option.name == "--reference" && edition.HasVolts()) {
      const std::string volts = OptionValue(cursor, option, "the reference in volts");
      CheckVolts(volts);
      capture.reference = FileReference(adc::NormaliseReferenceText(volts));
      reference_given = true;
    } else {
      RefuseWord(word);
    }
  }
  if (reference_given && !capture.metadata) {
    Refuse("--reference of a capture goes into its metadata: add --metadata");
  }
  return capture;
}

// A log keeps an existing file unless told to replace it: a repeated command
// must not cost the last run's hours.
void CheckLogFile(const std::string& file, bool overwrite, FileChecks checks) {
  CheckCaptureFile(file, checks);
  std::error_code error;
  if (checks == FileChecks::Now && !overwrite && std::filesystem::exists(file, error)) {
    Refuse(
        fmt::format("{} exists already: choose another file or add --overwrite", QuotePath(file)));
  }
}

std::chrono::nanoseconds DurationOption(Cursor& cursor, const OptionWord& option,
                                        std::string_view what) {
  const DurationValue duration = ParseDuration(OptionValue(cursor, option, what));
  if (!duration.value) {
    Refuse(fmt::format("{}: {}", option.name, duration.error));
  }
  return *duration.value;
}

Action ParseAdcLog(Cursor& cursor, const Edition& edition) {
  const std::string& file = cursor.TakeRequired("the FILE to log to");
  AdcLog log;
  log.file = file;
  log.channels = ParseChannelList("all").channels;
  bool every_given = false;
  while (!cursor.AtNextCommand()) {
    const std::string& word = cursor.Take();
    const OptionWord option = SplitOption(word);
    if (option.name == "--every") {
      log.every = DurationOption(cursor, option, "the interval, such as 1s or 100ms");
      if (log.every < ShortestInterval || log.every > LongestInterval) {
        Refuse("--every: the interval must be 1 ms to 24 h");
      }
      every_given = true;
    } else if (option.name == "--for") {
      log.duration = DurationOption(cursor, option, "how long, such as 10h");
    } else if (option.name == "--channels") {
      const ChannelListValue list =
          ParseChannelList(OptionValue(cursor, option, "channels such as 0,3,8-11, or all"));
      if (!list.error.empty()) {
        Refuse(fmt::format("--channels: {}", list.error));
      }
      log.channels = list.channels;
    } else if (option.name == "--average") {
      const std::string count = OptionValue(cursor, option, "reads per row");
      const bool digits =
          !count.empty() && count.size() <= 6 &&
          std::all_of(count.begin(), count.end(), [](char c) { return c >= '0' && c <= '9'; });
      log.average = digits ? std::stoi(count) : 0;
      if (log.average < 1 || log.average > LargestAverage) {
        Refuse(fmt::format("--average: {} is not a number of reads from 1 to {}", Quote(count),
                           LargestAverage));
      }
    } else if (option.name == "--reference") {
      log.reference = FileReference(ReferenceOption(cursor, option, edition));
    } else if (option.name == "--overwrite") {
      RefuseValue(option);
      log.overwrite = true;
    } else if (option.name == "--quiet") {
      RefuseValue(option);
      log.quiet = true;
    } else {
      RefuseWord(word);
    }
  }
  if (!every_given) {
    Refuse("missing --every: the interval between rows, such as 1s or 100ms");
  }
  CheckLogFile(file, log.overwrite, cursor.Checks());
  return log;
}

template <Line kLine>
Action ParseLine(Cursor&, const Edition&) {
  return LineRequest{kLine};
}

using Parser = Action (*)(Cursor&, const Edition&);

struct Subcommand {
  std::string_view group;
  std::string_view word;
  Parser parse;
};

constexpr std::array<Subcommand, 17> kSubcommands = {{
    {"dac", "load", ParseDacLoad},
    {"dac", "write", ParseDacWrite},
    {"dac", "power-down", ParseDacPowerDown},
    {"dac", "ldac-register", ParseDacLdacRegister},
    {"dac", "reference", ParseDacReference},
    {"dac", "clear-code", ParseDacClearCode},
    {"line", "clr-high", ParseLine<Line::ClrHigh>},
    {"line", "clr-low", ParseLine<Line::ClrLow>},
    {"line", "ldac-high", ParseLine<Line::LdacHigh>},
    {"line", "ldac-low", ParseLine<Line::LdacLow>},
    {"line", "pulse-ldac", ParseLine<Line::PulseLdac>},
    {"adc", "configure", ParseAdcConfigure},
    {"adc", "read", ParseAdcRead},
    {"adc", "write", ParseAdcWrite},
    {"adc", "capture", ParseAdcCapture<false>},
    {"adc", "capture-channel0", ParseAdcCapture<true>},
    {"adc", "log", ParseAdcLog},
}};

// "load, write, power-down, ldac-register, reference or clear-code".
std::string SubcommandList(std::string_view group) {
  std::vector<std::string_view> words;
  for (const Subcommand& sub : kSubcommands) {
    if (sub.group == group) {
      words.push_back(sub.word);
    }
  }
  return Listed(words);
}

const Subcommand& FindSubcommand(const std::string& group, Cursor& cursor) {
  const std::string& word =
      cursor.TakeRequired(fmt::format("what to do: {}", SubcommandList(group)));
  for (const Subcommand& sub : kSubcommands) {
    if (sub.group == group && sub.word == word) {
      return sub;
    }
  }
  const bool vowel = group.find_first_of("aeiou") == 0;
  Refuse(fmt::format("{} is not {} {} command: {}", Quote(word), vowel ? "an" : "a", group,
                     SubcommandList(group)));
}

}  // namespace

std::string UsageMessage(const Source& source, const std::string& command,
                         const std::string& detail) {
  std::string message;
  if (!source.name.empty()) {
    message = SourceText(source) + ": ";
  }
  if (!command.empty()) {
    message += command + ": ";
  }
  return message + detail;
}

ParseResult ParseCommands(const std::vector<std::string>& tokens, const Source& source,
                          const Edition& edition, FileChecks checks) {
  ParseResult result;
  Cursor cursor(tokens, checks);
  while (!cursor.AtEnd()) {
    const std::string& group = cursor.Take();
    std::string name = group;
    try {
      if (!IsGroupWord(group)) {
        name.clear();
        if (group.starts_with("-")) {
          Refuse(fmt::format("unknown option {}; run with --help for the options", Quote(group)));
        }
        Refuse(
            fmt::format("unknown command {}: a command starts with dac, line, adc, script or serve",
                        Quote(group)));
      }
      if (group == "serve") {
        Refuse(
            "it runs alone: start it as \"kx7312ctl [OPTIONS] serve ...\" with no other command");
      }
      if (group == "script") {
        const std::string& path = cursor.TakeRequired("the FILE, or - for standard input");
        CheckFileName(path);
        result.items.emplace_back(ScriptCall{path, source});
        continue;
      }
      const Subcommand& sub = FindSubcommand(group, cursor);
      name = fmt::format("{} {}", sub.group, sub.word);
      Action action = sub.parse(cursor, edition);
      if (!cursor.AtNextCommand()) {
        RefuseWord(cursor.Take());
      }
      result.items.emplace_back(Command{name, std::move(action), source});
    } catch (const UsageError& error) {
      return {{}, UsageMessage(source, name, error.what())};
    }
  }
  return result;
}

std::string SourceText(const Source& source) {
  if (source.name.empty()) {
    return "command line";
  }
  return fmt::format("{}:{}", source.name, source.line);
}

}  // namespace kx::ctl
