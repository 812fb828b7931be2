// kx7312ctl's command-line parser: the input is the argument list, words
// separated by NUL bytes as the kernel hands them over.
//
// Promises checked on every input, for both editions:
//  - commands or an error, and no command kept with an error;
//  - every command is one the tool can run without a further check (see
//    ctl_checks.h); a `script` call names a file;
//  - KX7312 has fewer controls than KX7312(version2) and no other
//    differences in what it accepts: what it takes, version2 takes the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ctl/command_parser.h"
#include "ctl_checks.h"
#include "fuzz_check.h"

namespace {

using kx::fuzz::Require;

std::vector<std::string> SplitWords(std::string_view text) {
  std::vector<std::string> words;
  if (text.empty()) {
    return words;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find('\0', start);
    words.emplace_back(text.substr(start, end - start));
    if (end == std::string_view::npos) {
      return words;
    }
    start = end + 1;
  }
}

// The parse as one text, or empty when it failed.
std::string Checked(const std::vector<std::string>& words, const kx::Edition& edition) {
  const kx::ctl::ParseResult result = kx::ctl::ParseCommands(words, kx::ctl::Source{}, edition);
  if (!result.error.empty()) {
    Require(result.items.empty(), "no command is kept when a word is refused");
    return {};
  }
  Require(words.empty() || !result.items.empty(), "accepted words make commands");
  std::string described = "ok";
  for (const kx::ctl::ParsedItem& item : result.items) {
    if (const auto* call = std::get_if<kx::ctl::ScriptCall>(&item)) {
      Require(!call->path.empty(), "script: the file name is not empty");
      described += "\nscript " + call->path;
      continue;
    }
    const auto& command = std::get<kx::ctl::Command>(item);
    Require(command.source.name.empty() && command.source.line == 0,
            "a command from the command line says so");
    kx::fuzz::CheckCommand(command, edition);
    described += "\n" + kx::fuzz::Describe(command);
  }
  return described;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::string> words = SplitWords(kx::fuzz::AsText(data, size));
  const std::string version2 = Checked(words, kx::Version2Edition);
  const std::string classic = Checked(words, kx::ClassicEdition);
  Require(classic.empty() || classic == version2,
          "what KX7312 accepts, KX7312(version2) accepts the same");
  return 0;
}
