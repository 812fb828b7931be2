// kx7312ctl's script reader: the input is a script's text.
//
// Promises checked on every input, for both editions:
//  - commands or an error naming the script and a line of it, and no command
//    kept with an error;
//  - every command is one the tool can run without a further check (see
//    ctl_checks.h), at most one per line, in line order;
//  - Windows line ends (CR LF) read as Unix ones do;
//  - what KX7312 accepts, KX7312(version2) accepts the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "ctl/script.h"
#include "ctl_checks.h"
#include "fuzz_check.h"

namespace {

using kx::fuzz::Require;

constexpr std::string_view kName = "fuzz.txt";

std::size_t LineCount(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) {
    text.remove_prefix(3);
  }
  std::size_t lines = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lines;
  }
  return lines;
}

// The error's line number, after "fuzz.txt:", or 0 when there is none.
std::size_t ErrorLine(const std::string& error) {
  const std::string prefix = std::string(kName) + ":";
  if (!error.starts_with(prefix)) {
    return 0;
  }
  std::size_t line = 0;
  std::size_t at = prefix.size();
  for (; at < error.size() && error[at] >= '0' && error[at] <= '9' && line < 1'000'000'000; ++at) {
    line = line * 10 + static_cast<std::size_t>(error[at] - '0');
  }
  return error.compare(at, 2, ": ") == 0 ? line : 0;
}

// The parse as one text: the error, or the commands.
std::string Checked(std::string_view text, const kx::Edition& edition) {
  const kx::ctl::CommandList list = kx::ctl::ParseScript(text, std::string(kName), edition);
  const std::size_t lines = LineCount(text);
  if (!list.error.empty()) {
    Require(list.commands.empty(), "no command is kept when a line is refused");
    const std::size_t line = ErrorLine(list.error);
    Require(line >= 1 && line <= lines, "the error names the script and one of its lines");
    return "error " + list.error;
  }
  Require(list.commands.size() <= lines, "at most one command per line");
  std::string described = "ok";
  int previous = 0;
  for (const kx::ctl::Command& command : list.commands) {
    Require(command.source.name == kName, "a command names its script");
    Require(
        command.source.line > previous && static_cast<std::size_t>(command.source.line) <= lines,
        "commands come one per line, in line order");
    previous = command.source.line;
    kx::fuzz::CheckCommand(command, edition);
    described += "\n" + kx::fuzz::Describe(command);
  }
  return described;
}

std::string WithCrLf(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '\n') {
      out += '\r';
    }
    out += c;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = kx::fuzz::AsText(data, size);
  const std::string version2 = Checked(text, kx::Version2Edition);
  const std::string classic = Checked(text, kx::ClassicEdition);
  Require(classic.starts_with("error ") || classic == version2,
          "what KX7312 accepts, KX7312(version2) accepts the same");
  if (text.find('\n') != std::string_view::npos) {
    Require(Checked(WithCrLf(text), kx::Version2Edition) == version2,
            "CR LF line ends read as LF ones");
  }
  return 0;
}
