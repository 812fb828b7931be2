#include "ctl/command_parser.h"

#include <fmt/format.h>

#include <utility>

#include "commands/command_table.h"
#include "commands/text_readers.h"
#include "ctl/ctl_options.h"

namespace kx::ctl {

namespace {

const CommandSpec& FindSubcommand(const std::string& group, Cursor& cursor) {
  const std::string& word = cursor.TakeRequired(fmt::format("what to do: {}", CommandWords(group)));
  if (const CommandSpec* spec = FindCommand(group, word)) {
    return *spec;
  }
  const bool vowel = group.find_first_of("aeiou") == 0;
  Refuse(fmt::format("{} is not {} {} command: {}", Quote(word), vowel ? "an" : "a", group,
                     CommandWords(group)));
}

// One command from its group word on, or a script call.
ParsedItem ParseOne(Cursor& cursor, const std::string& group, const Source& source,
                    const Edition& edition, std::string& name) {
  if (!IsGroupWord(group)) {
    name.clear();
    if (group.starts_with("-")) {
      Refuse(fmt::format("unknown option {}; run with --help for the options", Quote(group)));
    }
    Refuse(
        fmt::format("unknown command {}: a command starts with dac, line, adc, setup, calibration, "
                    "script, serve or list",
                    Quote(group)));
  }
  if (group == "serve") {
    Refuse("it runs alone: start it as \"kx7312ctl [OPTIONS] serve ...\" with no other command");
  }
  if (group == "list") {
    Refuse("it runs alone: start it as \"kx7312ctl [OPTIONS] list\" with no other command");
  }
  if (group == "script") {
    const std::string& path = cursor.TakeRequired("the FILE, or - for standard input");
    CheckFileName(path);
    return ScriptCall{path, source};
  }
  const CommandSpec& spec = FindSubcommand(group, cursor);
  name = fmt::format("{} {}", spec.group, spec.word);
  Action action = spec.read(cursor, spec, edition);
  if (!cursor.AtNextCommand()) {
    RefuseWord(cursor, cursor.Take());
  }
  return Command{name, std::move(action), source};
}

}  // namespace

std::string CheckList(const std::vector<std::string>& words) {
  Cursor cursor(words, FileChecks::Now, GlobalOptionNames());
  cursor.Take();  // "list"
  try {
    if (!cursor.AtEnd()) {
      if (cursor.AtNextCommand()) {
        Refuse("it runs alone: start it as \"kx7312ctl [OPTIONS] list\" with no other command");
      }
      RefuseWord(cursor, cursor.Take());
    }
  } catch (const UsageError& error) {
    return UsageMessage({}, "list", error.what());
  }
  return {};
}

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
  Cursor cursor(tokens, checks, GlobalOptionNames());
  while (!cursor.AtEnd()) {
    const std::string& group = cursor.Take();
    std::string name = group;
    try {
      result.items.push_back(ParseOne(cursor, group, source, edition, name));
    } catch (const UsageError& error) {
      return {{}, UsageMessage(source, name, error.what())};
    }
  }
  return result;
}

ParsedServe ParseServe(const std::vector<std::string>& words) {
  Cursor cursor(words, FileChecks::Now, GlobalOptionNames());
  cursor.Take();  // "serve"
  try {
    return {text::Serve(cursor, *FindCommand("serve", "")), {}};
  } catch (const UsageError& error) {
    return {std::nullopt, UsageMessage({}, "serve", error.what())};
  }
}

}  // namespace kx::ctl
