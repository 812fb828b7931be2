#include "ctl/script.h"

#include <fmt/format.h>

#include <array>
#include <variant>

#include "board/bounded_file.h"
#include "ctl/command_parser.h"

namespace kx::ctl {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

struct ScriptText {
  std::string text;
  std::string error;
};

ScriptText ReadStream(std::istream& in) {
  ScriptText script;
  std::array<char, std::size_t{64} * 1024> chunk{};
  while (script.text.size() <= LargestScript) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    script.text.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
    if (!in) {
      break;
    }
  }
  if (in.bad()) {
    script.error = "standard input cannot be read";
  } else if (script.text.size() > LargestScript) {
    script.error = fmt::format("standard input holds more than {} bytes", LargestScript);
  }
  return script;
}

ScriptText ReadScriptFile(const std::string& path) {
  const board::BoundedFileText file = board::ReadFileAtMost(path, LargestScript);
  switch (file.problem) {
    case board::FileReadProblem::None:
      return {file.text, {}};
    case board::FileReadProblem::CannotOpen:
      return {{}, fmt::format("cannot open \"{}\": {}", path, file.reason)};
    case board::FileReadProblem::TooLarge:
      return {{}, fmt::format("\"{}\" is larger than {} bytes", path, LargestScript)};
    case board::FileReadProblem::ReadError:
      break;
  }
  return {{}, fmt::format("\"{}\" cannot be read: {}", path, file.reason)};
}

}  // namespace

LineWords SplitScriptLine(std::string_view line) {
  LineWords split;
  std::size_t at = 0;
  while (true) {
    while (at < line.size() && IsBlank(line[at])) {
      ++at;
    }
    if (at == line.size() || line[at] == '#') {
      return split;
    }
    if (line[at] == '"') {
      const std::size_t close = line.find('"', at + 1);
      if (close == std::string_view::npos) {
        return {{}, "a quote is not closed"};
      }
      if (close + 1 < line.size() && !IsBlank(line[close + 1])) {
        return {{}, "a closing quote must end its word"};
      }
      split.words.emplace_back(line.substr(at + 1, close - at - 1));
      at = close + 1;
      continue;
    }
    const std::size_t start = at;
    while (at < line.size() && !IsBlank(line[at])) {
      if (line[at] == '"') {
        return {{}, "a quote must start its word"};
      }
      ++at;
    }
    split.words.emplace_back(line.substr(start, at - start));
  }
}

CommandList ParseScript(std::string_view text, const std::string& name, const Edition& edition) {
  CommandList list;
  if (text.starts_with(kByteOrderMark)) {
    text.remove_prefix(kByteOrderMark.size());
  }
  int number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    const Source source{name, ++number};

    const LineWords split = SplitScriptLine(line);
    if (!split.error.empty()) {
      return {{}, UsageMessage(source, "", split.error)};
    }
    ParseResult parsed = ParseCommands(split.words, source, edition);
    if (!parsed.error.empty()) {
      return {{}, parsed.error};
    }
    if (parsed.items.empty()) {
      continue;
    }
    if (std::holds_alternative<ScriptCall>(parsed.items.front())) {
      return {{}, UsageMessage(source, "script", "a script cannot run another script")};
    }
    if (parsed.items.size() > 1) {
      const std::string second = std::holds_alternative<Command>(parsed.items[1])
                                     ? std::get<Command>(parsed.items[1]).name
                                     : std::string("script");
      return {{},
              UsageMessage(source, "",
                           fmt::format("one command per line; \"{}\" starts a second", second))};
    }
    list.commands.push_back(std::get<Command>(std::move(parsed.items.front())));
  }
  return list;
}

CommandList ReadCommands(const std::vector<std::string>& tokens, const Edition& edition,
                         std::istream& standard_input) {
  ParseResult parsed = ParseCommands(tokens, Source{}, edition);
  if (!parsed.error.empty()) {
    return {{}, parsed.error};
  }
  CommandList list;
  bool standard_input_read = false;
  for (ParsedItem& item : parsed.items) {
    if (Command* command = std::get_if<Command>(&item)) {
      list.commands.push_back(std::move(*command));
      continue;
    }
    const ScriptCall& call = std::get<ScriptCall>(item);
    const bool from_input = call.path == "-";
    if (from_input && standard_input_read) {
      return {{}, UsageMessage(call.source, "script", "standard input can be read only once")};
    }
    standard_input_read = standard_input_read || from_input;
    const ScriptText script = from_input ? ReadStream(standard_input) : ReadScriptFile(call.path);
    if (!script.error.empty()) {
      return {{}, UsageMessage(call.source, "script", script.error)};
    }
    CommandList lines =
        ParseScript(script.text, from_input ? StandardInputName : call.path, edition);
    if (!lines.error.empty()) {
      return lines;
    }
    for (Command& command : lines.commands) {
      list.commands.push_back(std::move(command));
    }
  }
  return list;
}

}  // namespace kx::ctl
