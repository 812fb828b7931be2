#pragma once

#include <span>
#include <string>
#include <string_view>

#include "commands/choices.h"
#include "commands/command.h"
#include "commands/text_grammar.h"
#include "session/edition.h"

namespace kx::commands {

// What a positional argument takes, for help and completion.
enum class ArgumentKind {
  Group,          // low|high
  Choice,         // one of `choices`
  GroupChannels,  // the rest: channel numbers of the group given first
  ChannelCodes,   // the rest: CH=CODE or CH=VOLTS
  Value,          // a value with no list: WORD
  File,           // a file name
  Folder,         // a folder name
};

struct ArgumentSpec {
  std::string_view name;  // as help shows it: "low|high", "WORD", "FILE", "[CH ...]"
  ArgumentKind kind;
  Choices choices = {};
};

struct OptionSpec;
// Reads an option's value into the command (throws UsageError).
using OptionReader = void (*)(Action& action, const std::string& value, const Edition& edition);

struct OptionSpec {
  std::string_view name;   // "--format"
  std::string_view value;  // as help shows it ("VOLTS"); empty for a flag
  // What a missing value is said to be: "hex, dec or volts".
  std::string_view what = {};
  Choices choices = {};  // the values, for completion; checked by `read`
  // Values completion offers where there is no list: "1s 100ms".
  std::string_view examples = {};
  ArgumentKind value_kind = ArgumentKind::Value;
  bool required = false;    // the command cannot do without it
  bool volts_only = false;  // only where the edition shows volts
  // Where the edition has none: the message after the program's name ("has
  // no Coding list: leave out --coding"); empty: the option is unknown there.
  std::string_view absent = {};
  OptionReader read = nullptr;
  // Help's line on it, where the usage line does not say enough.
  std::string_view summary = {};
};

struct CommandSpec;
// Reads the command's words after its group and word (throws UsageError).
using TextReader = Action (*)(Cursor& cursor, const CommandSpec& spec, const Edition& edition);

// One command, declared once: kx7312ctl's parser, --help, the completion
// and the manual's command list all read it.
struct CommandSpec {
  std::string_view group;
  std::string_view word;  // empty for script and serve, which stand alone
  std::span<const ArgumentSpec> arguments;
  std::span<const OptionSpec> options;
  std::string_view summary;
  TextReader read = nullptr;  // none for script, serve and list: the tool runs those itself
  bool volts_only = false;    // only where the edition shows volts
};

std::span<const CommandSpec> CommandTable();
// The command of `group` and `word`, or none.
const CommandSpec* FindCommand(std::string_view group, std::string_view word);
// "load, write, power-down, ldac-register, reference or clear-code".
std::string CommandWords(std::string_view group);
// The usage line: "adc read [--reference VOLTS] [--format hex|dec|volts]".
std::string UsageText(const CommandSpec& spec);
// Whether the edition has the option, or the command.
bool Has(const Edition& edition, const OptionSpec& option);
bool Has(const Edition& edition, const CommandSpec& command);

// One option word of `spec` read into `action`: its name checked against
// the command's options in this edition, then its value. Returns the option.
const OptionSpec& ReadOption(Cursor& cursor, const std::string& word, const CommandSpec& spec,
                             Action& action, const Edition& edition);

}  // namespace kx::commands
