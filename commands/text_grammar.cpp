#include "commands/text_grammar.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

#include "adc/adc_write_entry.h"
#include "adc/reference_entry.h"
#include "dac/dac_command_word.h"
#include "dac/hex_entry.h"

namespace kx::commands {

namespace {

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

// The longest path and the longest name in a folder that the system takes.
#ifdef _WIN32
constexpr std::size_t LongestPath = 32767;
#else
constexpr std::size_t LongestPath = PATH_MAX - 1;
#endif
constexpr std::size_t LongestFileName = 255;

// What a number too large or too small for single precision says.
[[noreturn]] void RefuseOutsideFloat(const std::string& word, std::string_view text) {
  // Out of single precision one way or the other: a double tells which.
  double wide = 0.0;
  const bool tiny = std::from_chars(text.data(), text.data() + text.size(), wide).ec == std::errc{}
                        ? std::fabs(wide) < 1.0
                        : text.find_first_of("eE") != std::string_view::npos &&
                              text.find('-', text.find_first_of("eE")) != std::string_view::npos;
  Refuse(fmt::format(
      "{} volts is too {} for the \"ADC Reference\": it takes 0 or sizes from {:.1E} to "
      "{:.1E} V",
      Quote(word), tiny ? "small" : "large", std::numeric_limits<float>::denorm_min(),
      adc::LargestReference));
}

}  // namespace

void Refuse(const std::string& detail) {
  throw UsageError(detail);
}

std::string QuotePath(std::string_view path) {
  return fmt::format("\"{}\"", Visible(path));
}

bool IsGroupWord(std::string_view word) {
  return word == "dac" || word == "line" || word == "adc" || word == "setup" ||
         word == "calibration" || word == "script" || word == "serve" || word == "list";
}

const std::string& Cursor::TakeRequired(std::string_view what) {
  if (AtEnd()) {
    Refuse(fmt::format("missing {}", what));
  }
  return Take();
}

bool Cursor::IsGlobalOption(std::string_view word) const {
  const std::string_view name = word.substr(0, word.find('='));
  return std::find(global_options_.begin(), global_options_.end(), name) != global_options_.end();
}

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

void RefuseWord(const Cursor& cursor, const std::string& word) {
  if (cursor.IsGlobalOption(word)) {
    Refuse(
        fmt::format("{} is an option of the tool: put it before the first command", Quote(word)));
  }
  if (word.starts_with("-")) {
    Refuse(fmt::format("unknown option {}", Quote(word)));
  }
  Refuse(fmt::format("unexpected {}", Quote(word)));
}

std::string_view WithoutHexPrefix(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  return text;
}

std::uint16_t CodeText(const std::string& word, std::string_view text) {
  const dac::HexValue value = dac::ParseHexValue(WithoutHexPrefix(text));
  switch (value.fault) {
    case dac::HexTextFault::None:
      break;
    case dac::HexTextFault::Empty:
      Refuse(fmt::format("{} has no code after \"=\"", Quote(word)));
    case dac::HexTextFault::NotHex:
      // "1.25" was meant as volts: say how to write them.
      Refuse(fmt::format(
          "{}: {} is not a hex code (0 to FFF, 0x optional){}", Quote(word), Quote(text),
          text.find('.') != std::string_view::npos ? "; volts end in V: 1.25V" : ""));
    case dac::HexTextFault::TooManyDigits:
      Refuse(fmt::format("{}: code {} is above FFF", Quote(word), Capped(text)));
  }
  if (static_cast<std::uint32_t>(*value.value) > dac::LargestChannelCode) {
    Refuse(fmt::format("{}: code {} is above FFF", Quote(word), Capped(text)));
  }
  return static_cast<std::uint16_t>(*value.value);
}

std::int32_t DacWordText(const std::string& word) {
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

std::int32_t AdcWordText(const std::string& word) {
  const adc::AdcWriteEntry entry = adc::ReadAdcWriteText(std::string(WithoutHexPrefix(word)));
  if (!entry.word) {
    Refuse(fmt::format("{} is not an ADC word: 1 to 4 hex digits, 0x optional", Quote(word)));
  }
  return *entry.word;
}

void CheckVoltsText(const std::string& word) {
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
    RefuseOutsideFloat(word, text);
  }
}

// A NUL would cut a name short ("out\0put.txt" names "out") and the other
// control characters are never meant in a name. Refused wherever a script
// or the command line names a file.
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

// A repeated command must not cost the last run's hours.
void CheckLogFile(const std::string& file, bool overwrite, FileChecks checks) {
  CheckCaptureFile(file, checks);
  std::error_code error;
  if (checks == FileChecks::Now && !overwrite && std::filesystem::exists(file, error)) {
    Refuse(
        fmt::format("{} exists already: choose another file or add --overwrite", QuotePath(file)));
  }
}

}  // namespace kx::commands
