#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "commands/parameters.h"

namespace kx::commands {

// Whether the file system is looked at: a capture's folder must exist when a
// call is checked. A script line parsed again when its turn comes skips
// that; the capture then checks its file itself before its first transfer.
enum class FileChecks { Now, Skip };

// Thrown while kx7312ctl's words are read; the parser turns it into its
// message.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

[[noreturn]] void Refuse(const std::string& detail);
// The value of a check, or its fault's text thrown, after `prefix`.
template <class T>
T Take(const Checked<T>& checked, std::string_view prefix = {}) {
  if (!checked.Ok()) {
    Refuse(std::string(prefix) + checked.Failure().text);
  }
  return checked.Value();
}

// Paths are quoted whole: a cut one would not say which file was meant.
std::string QuotePath(std::string_view path);

// Whether `word` starts a command: dac, line, adc, setup, calibration, script,
// serve or list.
bool IsGroupWord(std::string_view word);

// The words of one call or script line, read front to back.
class Cursor {
 public:
  // `global_options`: the tool's own option names, told apart in messages.
  Cursor(const std::vector<std::string>& tokens, FileChecks checks,
         const std::vector<std::string>& global_options)
      : tokens_(tokens), checks_(checks), global_options_(global_options) {}

  FileChecks Checks() const { return checks_; }
  // Whether a word names one of the tool's own options (--json, --edition=...).
  bool IsGlobalOption(std::string_view word) const;

  bool AtEnd() const { return pos_ == tokens_.size(); }
  // The words of a command end where the next command's group word stands.
  bool AtNextCommand() const { return AtEnd() || IsGroupWord(tokens_[pos_]); }
  const std::string& Take() { return tokens_[pos_++]; }
  // A value the command cannot do without, whatever word stands there.
  const std::string& TakeRequired(std::string_view what);

 private:
  const std::vector<std::string>& tokens_;
  FileChecks checks_;
  const std::vector<std::string>& global_options_;
  std::size_t pos_ = 0;
};

// "--format=dec" and "--format dec" alike.
struct OptionWord {
  std::string name;
  std::optional<std::string> value;
};
OptionWord SplitOption(const std::string& word);
std::string OptionValue(Cursor& cursor, const OptionWord& option, std::string_view what);
void RefuseValue(const OptionWord& option);

// A word the command does not take, refused with what it looks like.
[[noreturn]] void RefuseWord(const Cursor& cursor, const std::string& word);

// The hex texts of the command line may carry C's "0x" as they are copied
// from code or data sheets; the panel's boxes keep their own rules.
std::string_view WithoutHexPrefix(std::string_view text);

// CODE of a CH=CODE word: the hex value rules of the DAC boxes, then 0 to FFF.
std::uint16_t CodeText(const std::string& word, std::string_view text);
std::int32_t DacWordText(const std::string& word);
std::int32_t AdcWordText(const std::string& word);
// The reference as a plain number, finite and within what the panel's box
// takes: read the panel's way it then gives exactly this value.
void CheckVoltsText(const std::string& word);
// A file name is passed to the system as it is; see the definition.
void CheckFileName(const std::string& file);
// A capture must be able to create its file; a missing folder is found now.
void CheckCaptureFile(const std::string& file, FileChecks checks);
// A log keeps an existing file unless told to replace it.
void CheckLogFile(const std::string& file, bool overwrite, FileChecks checks);

}  // namespace kx::commands
