#pragma once

#include <cstddef>
#include <istream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "commands/command.h"
#include "ctl/commands_vocabulary.h"
#include "session/edition.h"

namespace kx::ctl {

// A script larger than this is refused rather than read into memory; a
// 10,000-line script is a few hundred kilobytes.
inline constexpr std::size_t LargestScript = std::size_t{64} * 1024 * 1024;

// A script line holds one command, and the longest (a load of all sixteen
// DAC channels with its options) has about twenty words: a line with more is
// refused at this many, before the rest of it is split.
inline constexpr std::size_t MostWordsOnALine = 64;

// The name standard input goes by in messages.
inline constexpr const char* StandardInputName = "<stdin>";

struct LineWords {
  std::vector<std::string> words;
  std::string error;  // empty: the line was split
};

// One script line as words: blanks separate them, a word in double quotes may
// hold blanks ("my samples.txt"), and a word starting with # begins a comment
// that runs to the end of the line.
LineWords SplitScriptLine(std::string_view line);

struct CommandList;
CommandList ParseScriptText(std::string text, const std::string& name, const Edition& edition);

// The commands of one call, in order. The command line's are kept as they
// are; a script is kept as its checked text, and each of its lines is parsed
// again when its turn comes. A Command takes a hundred bytes and more, many
// times a short script line ("adc read" is nine bytes), so a large script
// held as Commands would take many times its own size in memory; held as
// text it takes its size once.
class CommandSequence {
 public:
  // Reads the commands one at a time; each is valid until the next step.
  class Iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = Command;
    using difference_type = std::ptrdiff_t;
    using pointer = const Command*;
    using reference = const Command&;

    Iterator() = default;
    const Command& operator*() const;
    const Command* operator->() const { return &**this; }
    Iterator& operator++();
    void operator++(int) { ++*this; }
    friend bool operator==(const Iterator& a, const Iterator& b) {
      return a.item_ == b.item_ && a.offset_ == b.offset_;
    }

   private:
    friend class CommandSequence;
    Iterator(const CommandSequence* sequence, std::size_t item);
    // Moves to the first command at or after the current place.
    void Settle();

    const CommandSequence* sequence_ = nullptr;
    std::size_t item_ = 0;
    std::size_t offset_ = 0;  // in a script: where its next line starts
    int line_ = 0;
    std::optional<Command> parsed_;  // the current script line's command
  };

  CommandSequence() = default;
  explicit CommandSequence(std::vector<Command> commands);

  void Add(Command command);
  void Append(CommandSequence&& other);

  bool empty() const { return size_ == 0; }
  std::size_t size() const { return size_; }
  Iterator begin() const { return {this, 0}; }
  Iterator end() const { return {this, items_.size()}; }

 private:
  // The one way a script's text gets in: checked first.
  friend CommandList ParseScriptText(std::string text, const std::string& name,
                                     const Edition& edition);

  struct Script {
    std::string name;
    std::string text;  // every line checked
    const Edition* edition;
  };

  std::vector<std::variant<Command, Script>> items_;
  std::size_t size_ = 0;
};

struct CommandList {
  CommandSequence commands;
  std::string error;  // empty: every command was understood; else nothing may run
};

// The commands of a script's text, one per line. Blank lines and comments
// are skipped; CR LF line ends and a leading byte-order mark are taken as a
// Windows editor writes them. A script cannot run another script. Every line
// is checked here; the text is kept, not the commands (see CommandSequence).
CommandList ParseScript(std::string_view text, const std::string& name, const Edition& edition);
// The same for a text handed over whole, without a copy.
CommandList ParseScriptText(std::string text, const std::string& name, const Edition& edition);

// Every command of one call, in order: the command line's, with each
// `script FILE` replaced by the commands of its lines. All scripts are read
// and checked before the call starts, so a mistake on the last line stops the
// call before anything is sent. `script -` reads `standard_input` to its end,
// once. Memory stays within a small multiple of the scripts' size.
CommandList ReadCommands(const std::vector<std::string>& tokens, const Edition& edition,
                         std::istream& standard_input);

}  // namespace kx::ctl
