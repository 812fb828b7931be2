#include "ctl/script.h"

#include <fmt/format.h>

#include <array>
#include <stdexcept>
#include <utility>
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
  board::BoundedFileText file = board::ReadFileAtMost(path, LargestScript);
  switch (file.problem) {
    case board::FileReadProblem::None:
      return {std::move(file.text), {}};
    case board::FileReadProblem::CannotOpen:
      return {{}, fmt::format("cannot open \"{}\": {}", path, file.reason)};
    case board::FileReadProblem::TooLarge:
      return {{}, fmt::format("\"{}\" is larger than {} bytes", path, LargestScript)};
    case board::FileReadProblem::ReadError:
      break;
  }
  return {{}, fmt::format("\"{}\" cannot be read: {}", path, file.reason)};
}

// The next line of `text` from `offset`, without its LF; `offset` moves past
// it.
std::string_view NextLine(std::string_view text, std::size_t& offset) {
  const std::size_t end = text.find('\n', offset);
  const std::string_view line =
      text.substr(offset, end == std::string_view::npos ? std::string_view::npos : end - offset);
  offset = end == std::string_view::npos ? text.size() : end + 1;
  return line;
}

// One script line: its command, none for a blank or comment line, or the
// refusal naming the line.
std::string ParseLine(std::string_view line, const Source& source, const Edition& edition,
                      FileChecks checks, std::optional<Command>& command) {
  command.reset();
  const LineWords split = SplitScriptLine(line);
  if (!split.error.empty()) {
    return UsageMessage(source, "", split.error);
  }
  ParseResult parsed = ParseCommands(split.words, source, edition, checks);
  if (!parsed.error.empty()) {
    return parsed.error;
  }
  if (parsed.items.empty()) {
    return {};
  }
  if (std::holds_alternative<ScriptCall>(parsed.items.front())) {
    return UsageMessage(source, "script", "a script cannot run another script");
  }
  if (parsed.items.size() > 1) {
    const std::string second = std::holds_alternative<Command>(parsed.items[1])
                                   ? std::get<Command>(parsed.items[1]).name
                                   : std::string("script");
    return UsageMessage(source, "",
                        fmt::format("one command per line; \"{}\" starts a second", second));
  }
  command = std::get<Command>(std::move(parsed.items.front()));
  return {};
}

std::size_t TextStart(std::string_view text) {
  return text.starts_with(kByteOrderMark) ? kByteOrderMark.size() : 0;
}

}  // namespace

CommandSequence::CommandSequence(std::vector<Command> commands) {
  for (Command& command : commands) {
    Add(std::move(command));
  }
}

void CommandSequence::Add(Command command) {
  items_.emplace_back(std::move(command));
  ++size_;
}

void CommandSequence::Append(CommandSequence&& other) {
  for (auto& item : other.items_) {
    items_.push_back(std::move(item));
  }
  size_ += other.size_;
  other.items_.clear();
  other.size_ = 0;
}

CommandSequence::Iterator::Iterator(const CommandSequence* sequence, std::size_t item)
    : sequence_(sequence), item_(item) {
  Settle();
}

const Command& CommandSequence::Iterator::operator*() const {
  if (const Command* command = std::get_if<Command>(&sequence_->items_[item_])) {
    return *command;
  }
  return *parsed_;
}

CommandSequence::Iterator& CommandSequence::Iterator::operator++() {
  if (std::holds_alternative<Command>(sequence_->items_[item_])) {
    ++item_;
  }
  Settle();
  return *this;
}

void CommandSequence::Iterator::Settle() {
  parsed_.reset();
  while (item_ < sequence_->items_.size()) {
    const auto* script = std::get_if<Script>(&sequence_->items_[item_]);
    if (script == nullptr) {
      return;
    }
    const std::string_view text = script->text;
    if (offset_ == 0) {
      offset_ = TextStart(text);
    }
    while (offset_ < text.size()) {
      const std::string_view line = NextLine(text, offset_);
      // The capture's folder was looked at when the script was checked; the
      // capture looks at its file again itself before its first transfer.
      const std::string error = ParseLine(line, Source{script->name, ++line_}, *script->edition,
                                          FileChecks::Skip, parsed_);
      if (!error.empty()) {
        // Only a fault of ours: the same line passed the same checks.
        throw std::logic_error("a checked script line was refused: " + error);
      }
      if (parsed_) {
        return;
      }
    }
    ++item_;
    offset_ = 0;
    line_ = 0;
  }
}

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
    if (split.words.size() == MostWordsOnALine) {
      return {{},
              fmt::format("more than {} words: a script line holds one command", MostWordsOnALine)};
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
  return ParseScriptText(std::string(text), name, edition);
}

CommandList ParseScriptText(std::string text, const std::string& name, const Edition& edition) {
  std::size_t count = 0;
  std::size_t offset = TextStart(text);
  std::optional<Command> command;
  for (int number = 1; offset < text.size(); ++number) {
    const std::string_view line = NextLine(text, offset);
    std::string error = ParseLine(line, Source{name, number}, edition, FileChecks::Now, command);
    if (!error.empty()) {
      return {{}, std::move(error)};
    }
    count += command ? 1 : 0;
  }
  CommandList list;
  if (count > 0) {
    list.commands.items_.emplace_back(CommandSequence::Script{name, std::move(text), &edition});
    list.commands.size_ = count;
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
      list.commands.Add(std::move(*command));
      continue;
    }
    const ScriptCall& call = std::get<ScriptCall>(item);
    const bool from_input = call.path == "-";
    if (from_input && standard_input_read) {
      return {{}, UsageMessage(call.source, "script", "standard input can be read only once")};
    }
    standard_input_read = standard_input_read || from_input;
    ScriptText script = from_input ? ReadStream(standard_input) : ReadScriptFile(call.path);
    if (!script.error.empty()) {
      return {{}, UsageMessage(call.source, "script", script.error)};
    }
    CommandList lines = ParseScriptText(std::move(script.text),
                                        from_input ? StandardInputName : call.path, edition);
    if (!lines.error.empty()) {
      return lines;
    }
    list.commands.Append(std::move(lines.commands));
  }
  return list;
}

}  // namespace kx::ctl
