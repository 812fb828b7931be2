#include "analysis/capture_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "adc/adc_control_word.h"
#include "adc/adc_reply.h"
#include "adc/capture_metadata.h"
#include "adc/sample_file.h"
#include "board/bounded_file.h"

namespace kx::analysis {
namespace {

// A whole capture file is about 40 kB; anything far larger is not one.
constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;
constexpr std::int32_t kLargestReply = 0xFFFF;
constexpr std::int32_t kLargestCode = adc::CodeMask;

CaptureRead Fail(std::string message) {
  return CaptureRead{std::nullopt, std::move(message)};
}

// Unsigned decimal of at most five digits at `text[pos]`; advances `pos`.
std::optional<std::int32_t> Number(std::string_view text, std::size_t& pos) {
  const std::size_t start = pos;
  std::int32_t value = 0;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 6) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start || pos - start > 5) {
    return std::nullopt;
  }
  return value;
}

// The line's text without its end; false when the file ends inside it.
bool NextLine(std::string_view text, std::size_t& pos, std::string_view& line) {
  const std::size_t end = text.find('\n', pos);
  if (end == std::string_view::npos) {
    line = text.substr(pos);
    pos = text.size();
    return false;
  }
  line = text.substr(pos, end - pos);
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  pos = end + 1;
  return true;
}

std::string ParseAllChannelsLine(std::string_view line, CaptureFile& file) {
  std::size_t pos = 0;
  for (int channel = 0; channel < adc::AdcChannels; ++channel) {
    const std::optional<std::int32_t> code = Number(line, pos);
    if (!code) {
      return pos >= line.size()
                 ? fmt::format("it ends after {} of the {} codes", channel, adc::AdcChannels)
                 : fmt::format("code {} (ADC{}) is not a decimal number", channel + 1, channel);
    }
    if (*code > kLargestCode) {
      return fmt::format("code {} (ADC{}) is {}, above the largest code {}", channel + 1, channel,
                         *code, kLargestCode);
    }
    if (pos >= line.size() || line[pos] != '\t') {
      return fmt::format("code {} (ADC{}) is not followed by a tab", channel + 1, channel);
    }
    ++pos;
    file.columns[static_cast<std::size_t>(channel)].push_back(*code);
  }
  if (pos != line.size()) {
    return fmt::format("more than {} codes", adc::AdcChannels);
  }
  return {};
}

std::string ParseChannel0Line(std::string_view line, CaptureFile& file) {
  std::size_t pos = 0;
  if (line.empty() || line[pos] != ' ') {
    return "expected a blank, the reply in decimal and a blank";
  }
  ++pos;
  const std::optional<std::int32_t> reply = Number(line, pos);
  if (!reply || pos + 1 != line.size() || line[pos] != ' ') {
    return "expected a blank, the reply in decimal and a blank";
  }
  if (*reply > kLargestReply) {
    return fmt::format("the reply {} is larger than a 16-bit word", *reply);
  }
  file.columns.front().push_back(*reply);
  return {};
}

}  // namespace

const char* KindName(CaptureKind kind) {
  return kind == CaptureKind::AllChannels ? "all-channel" : "channel-0";
}

CaptureRead ParseCapture(std::string_view text) {
  if (text.empty()) {
    return Fail("line 1: the file is empty");
  }
  // A capture starts with a digit or a blank, never with JSON's brace.
  if (text.front() == '{' || text.front() == '[') {
    return Fail("line 1: the file holds JSON, not a capture or log file");
  }
  CaptureFile file;
  file.kind = text.front() == ' ' ? CaptureKind::Channel0 : CaptureKind::AllChannels;
  const bool all = file.kind == CaptureKind::AllChannels;
  const int expected = all ? adc::AllChannelsSampleSets : adc::Channel0Samples;
  file.columns.assign(all ? adc::AdcChannels : 1, {});
  for (auto& column : file.columns) {
    column.reserve(static_cast<std::size_t>(expected));
  }

  std::size_t pos = 0;
  int line_number = 0;
  while (pos < text.size()) {
    ++line_number;
    std::string_view line;
    const bool ended = NextLine(text, pos, line);
    if (line_number > expected) {
      return Fail(fmt::format("line {}: this {} capture goes on past its {} lines", line_number,
                              KindName(file.kind), expected));
    }
    // A cut file usually ends inside a number; that it is cut is what
    // tells the reader what happened.
    std::string fault = !ended ? "the file ends inside this line (it has no line end)"
                        : all  ? ParseAllChannelsLine(line, file)
                               : ParseChannel0Line(line, file);
    if (!fault.empty()) {
      return Fail(fmt::format("line {}: {}", line_number, fault));
    }
  }
  if (line_number < expected) {
    return Fail(fmt::format("line {}: the file ends after {} lines; a whole {} capture holds {}",
                            line_number + 1, line_number, KindName(file.kind), expected));
  }
  return CaptureRead{std::move(file), {}};
}

CaptureRead ReadCaptureFile(const std::string& path) {
  const board::BoundedFileText read = board::ReadFileAtMost(path, kMaxFileBytes);
  switch (read.problem) {
    case board::FileReadProblem::CannotOpen:
    case board::FileReadProblem::ReadError:
      return Fail(fmt::format("cannot read {}: {}", path, read.reason));
    case board::FileReadProblem::TooLarge:
      return Fail(fmt::format("{}: larger than 1 MiB, not a capture file", path));
    case board::FileReadProblem::None:
      break;
  }
  CaptureRead parsed = ParseCapture(read.text);
  if (!parsed.file) {
    // The metadata lies beside its capture under the capture's name and
    // ".json": the one meant is most likely that capture.
    constexpr std::string_view kJson = ".json";
    if (path.ends_with(kJson) && adc::ParseMetadata(read.text).metadata) {
      return Fail(fmt::format("{}: the metadata file of the capture {}, not a capture or log file",
                              path, path.substr(0, path.size() - kJson.size())));
    }
    parsed.error = fmt::format("{}: {}", path, parsed.error);
  }
  return parsed;
}

AdcWordRules GuessChannel0Rules(const CaptureFile& file) {
  const auto& replies = file.columns.front();
  const bool odd = std::any_of(replies.begin(), replies.end(), [](auto r) { return r % 2 != 0; });
  const bool high =
      std::any_of(replies.begin(), replies.end(), [](auto r) { return r > kLargestCode; });
  return odd && !high ? AdcWordRules::Classic : AdcWordRules::Version2;
}

}  // namespace kx::analysis
