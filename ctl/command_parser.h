#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "commands/command.h"
#include "commands/text_grammar.h"
#include "ctl/commands_vocabulary.h"
#include "session/edition.h"

namespace kx::ctl {

// `script FILE` as written; the caller reads the file and parses its lines.
struct ScriptCall {
  std::string path;  // "-" is standard input
  Source source;
};

using ParsedItem = std::variant<Command, ScriptCall>;

struct ParseResult {
  std::vector<ParsedItem> items;
  // Empty when every word was understood; otherwise what was wrong, naming
  // where, the command and the offending word. No item is kept then.
  std::string error;
};

// The commands in `tokens`, one after the other: each starts with its group
// word (dac, line, adc, setup, calibration, script) and takes the words up to
// the next group word. Every value is checked here, before anything could be sent:
// channels 0-15, codes 0-FFF, DAC words up to 8 and ADC words up to 4 hex
// digits, finite volts, file names without control characters, and what the
// edition has no control for.
ParseResult ParseCommands(const std::vector<std::string>& tokens, const Source& source,
                          const Edition& edition, FileChecks checks = FileChecks::Now);

// `serve ...`, which runs alone: the words from "serve" on.
struct ParsedServe {
  std::optional<ServeRequest> request;
  std::string error;
};
ParsedServe ParseServe(const std::vector<std::string>& words);

// `list`, which runs alone and takes no words: the reason it cannot run,
// empty when it can.
std::string CheckList(const std::vector<std::string>& words);

// The same text as a ParseResult error, for problems found around a command:
// "run.txt:4: script: ..." or "dac load: ...".
std::string UsageMessage(const Source& source, const std::string& command,
                         const std::string& detail);

}  // namespace kx::ctl
