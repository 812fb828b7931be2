#include "ctl/help_text.h"

#include <fmt/format.h>

#include <algorithm>
#include <sstream>
#include <string_view>

#include "commands/command_table.h"
#include "session/edition.h"

namespace kx::ctl {

namespace {

constexpr std::size_t kWidth = 79;
constexpr std::size_t kUsageIndent = 2;
constexpr std::size_t kContinuedIndent = 10;
constexpr std::size_t kSummaryIndent = 25;

// `text` from column `indent` on (after what the line holds up to `column`),
// in lines of at most kWidth columns, broken at blanks.
std::string Wrapped(std::string_view text, std::size_t column, std::size_t indent) {
  std::string out(indent > column ? indent - column : 1, ' ');
  column = std::max(column + 1, indent);
  bool line_start = true;
  std::istringstream words{std::string(text)};
  for (std::string word; words >> word;) {
    if (!line_start && column + 1 + word.size() > kWidth) {
      out += "\n" + std::string(indent, ' ');
      column = indent;
      line_start = true;
    }
    if (!line_start) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    line_start = false;
  }
  return out + "\n";
}

// Usage words break only between options: "[--for DURATION]" stays whole.
std::string UsageLines(const commands::CommandSpec& spec) {
  const std::string usage = commands::UsageText(spec);
  std::string out(kUsageIndent, ' ');
  std::size_t column = kUsageIndent;
  std::size_t start = 0;
  while (start < usage.size()) {
    std::size_t end = usage.find(" [--", start + 1);
    end = end == std::string::npos ? usage.size() : end;
    const std::string_view piece = std::string_view(usage).substr(start, end - start);
    if (start > 0 && column + piece.size() > kWidth) {
      out += "\n" + std::string(kContinuedIndent - 1, ' ');
      column = kContinuedIndent - 1;
    }
    out += piece;
    column += piece.size();
    start = end;
  }
  return out + "\n";
}

}  // namespace

std::string CommandsHelp() {
  std::string help =
      "Commands (CH: channel 0-15; CODE, WORD: hex, 0x optional; VOLTS: 1.25V or 1250mV):\n";
  for (const commands::CommandSpec& spec : commands::CommandTable()) {
    std::string usage = UsageLines(spec);
    usage.pop_back();
    const std::size_t line_start = usage.rfind('\n');
    const std::size_t last_line =
        line_start == std::string::npos ? usage.size() : usage.size() - line_start - 1;
    // A short usage takes its summary on the same line.
    help += last_line + 1 < kSummaryIndent
                ? usage + Wrapped(spec.summary, last_line, kSummaryIndent)
                : usage + "\n" + Wrapped(spec.summary, 0, kSummaryIndent);
    for (const commands::OptionSpec& option : spec.options) {
      std::string line = std::string(option.summary);
      if (option.volts_only) {
        line += fmt::format("{}{} only", line.empty() ? "" : "; ", Version2Edition.program_name);
      }
      if (!line.empty()) {
        help += Wrapped(fmt::format("{}: {}", option.name, line), 0, kSummaryIndent);
      }
    }
  }
  help += R"(
One start-up per call, then the commands in order; several may follow one
another on the command line. Exit status: 0 success, 1 the board, the link
or a capture file failed (the tool stops at the first failure), 2 bad usage
or input (nothing is sent).
)";
  return help;
}

}  // namespace kx::ctl
