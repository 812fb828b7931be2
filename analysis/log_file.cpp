#include "analysis/log_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "board/bounded_file.h"
#include "board/number_text.h"

namespace kx::analysis {
namespace {

// Ten hours of sixteen averaged channels at one row a second is about
// 40 MB; far beyond that a file is not worth holding in memory whole.
constexpr std::size_t kMaxLogBytes = std::size_t{1} << 30;
// Codes on a line: two's complement shown signed, straight binary as is.
constexpr int kLowestCode = -2048;
constexpr int kHighestCode = 4095;

LogRead Fail(std::string message) {
  return LogRead{std::nullopt, std::move(message)};
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = line.find(',', start);
    fields.push_back(
        line.substr(start, comma == std::string_view::npos ? line.npos : comma - start));
    if (comma == std::string_view::npos) {
      return fields;
    }
    start = comma + 1;
  }
}

// The figures of one channel from its fields; `codes` says whether they are
// the code columns (whole codes, averages with decimals) or volts.
std::string ReadFigures(const logger::LogLayout& layout, const std::vector<std::string>& names,
                        const std::vector<std::string_view>& fields, std::size_t first, bool codes,
                        LogFigures& out) {
  const auto number = [&](std::size_t i, bool whole, double& value) -> std::string {
    const std::string_view text = fields[first + i];
    const std::string& name = names[first + i];
    if (whole) {
      const std::optional<int> code = board::WholeNumberText(text);
      if (!code) {
        return fmt::format("{} is \"{}\", not a whole code", name, text);
      }
      if (*code < kLowestCode || *code > kHighestCode) {
        return fmt::format("{} is {}, outside the codes {} to {}", name, *code, kLowestCode,
                           kHighestCode);
      }
      value = *code;
      return {};
    }
    const std::optional<double> decimal = board::FiniteNumberText(text);
    if (!decimal) {
      return fmt::format("{} is \"{}\", not a number", name, text);
    }
    value = *decimal;
    return {};
  };
  if (!layout.Averaged()) {
    std::string fault = number(0, codes, out.mean);
    out.minimum = out.mean;
    out.maximum = out.mean;
    out.deviation = 0.0;
    return fault;
  }
  // mean, min, max, std: the extremes are whole codes, the rest decimals.
  std::string fault = number(0, false, out.mean);
  fault = fault.empty() ? number(1, codes, out.minimum) : fault;
  fault = fault.empty() ? number(2, codes, out.maximum) : fault;
  fault = fault.empty() ? number(3, false, out.deviation) : fault;
  if (!fault.empty()) {
    return fault;
  }
  return {};
}

std::string ReadRow(const LogData& log, const std::vector<std::string>& names,
                    std::string_view line, LogEntry& row) {
  const std::vector<std::string_view> fields = Fields(line);
  if (fields.size() != names.size()) {
    return fmt::format("{} fields where the header row names {}", fields.size(), names.size());
  }
  row.time_utc = std::string(fields[0]);
  if (row.time_utc.size() < 20 || row.time_utc[4] != '-' || row.time_utc[10] != 'T' ||
      row.time_utc.back() != 'Z') {
    return fmt::format("time_utc is \"{}\", not an ISO 8601 UTC time", fields[0]);
  }
  const std::optional<double> seconds = board::FiniteNumberText(fields[1]);
  if (!seconds || *seconds < 0.0) {
    return fmt::format("seconds is \"{}\", not a number of seconds", fields[1]);
  }
  row.seconds = *seconds;
  const bool gap = fields[2] == "gap";
  if (!gap && fields[2] != "ok") {
    return fmt::format("status is \"{}\", not \"ok\" or \"gap\"", fields[2]);
  }
  if (gap) {
    const std::optional<int> status = board::WholeNumberText(fields[3]);
    if (!status) {
      return fmt::format("a gap row's link_status is \"{}\", not a status number", fields[3]);
    }
    row.gap_status = *status;
    for (std::size_t i = 4; i < fields.size(); ++i) {
      if (!fields[i].empty()) {
        return fmt::format("a gap row has \"{}\" in {}", fields[i], names[i]);
      }
    }
    return {};
  }
  if (!fields[3].empty()) {
    return fmt::format("a good row has \"{}\" in link_status", fields[3]);
  }
  const std::size_t per_figures = log.layout.Averaged() ? 4 : 1;
  std::size_t at = 4;
  for (std::size_t c = 0; c < log.layout.channels.size(); ++c) {
    LogFigures& codes = row.codes.emplace_back();
    if (std::string fault = ReadFigures(log.layout, names, fields, at, true, codes);
        !fault.empty()) {
      return fault;
    }
    at += per_figures;
    if (log.HasVolts()) {
      LogFigures& volts = row.volts.emplace_back();
      if (std::string fault = ReadFigures(log.layout, names, fields, at, false, volts);
          !fault.empty()) {
        return fault;
      }
      at += per_figures;
    }
  }
  return {};
}

// Adds the whole lines of `text` (which starts where `log` stopped) to the
// log; a last line without its end is left out.
std::string AddLines(std::string_view text, LogData& log) {
  std::vector<std::string> names =
      log.lines >= 1 ? logger::ColumnNames(log.layout) : std::vector<std::string>{};
  std::size_t pos = 0;
  while (true) {
    // The comment line's end is looked for only as far as it may reach.
    const std::size_t end = log.lines == 0
                                ? text.substr(0, logger::LargestHeaderLine + 1).find('\n')
                                : text.find('\n', pos);
    if (end == std::string_view::npos) {
      const std::string_view rest = text.substr(pos);
      log.partial_bytes = rest.size();
      if (log.lines == 0 && rest.size() > logger::LargestHeaderLine) {
        return fmt::format("line 1: the comment line is longer than {} KiB: not a KX7312 log",
                           logger::LargestHeaderLine >> 10);
      }
      // A CR before the last byte ends a line of a file whose lines end in
      // CR alone: nothing would ever count as a whole row.
      if (const std::size_t cr = rest.find('\r'); cr != rest.npos && cr + 1 < rest.size()) {
        return fmt::format("line {}: the lines end in CR alone; a log's lines end in LF or CR LF",
                           log.lines + 1);
      }
      return {};
    }
    std::string_view line = text.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    const int number = log.lines + 1;
    std::string fault;
    if (number == 1) {
      logger::HeaderRead header = logger::ParseHeaderLine(line);
      if (header.layout) {
        log.layout = std::move(*header.layout);
        log.header_line = std::string(text.substr(pos, end - pos));
        names = logger::ColumnNames(log.layout);
      } else {
        fault = std::move(header.error);
      }
    } else if (number == 2) {
      const std::string expected = logger::ColumnLine(log.layout);
      if (line != std::string_view(expected).substr(0, expected.size() - 1)) {
        fault = fmt::format(
            "the header row does not name the columns of the first line's layout "
            "(expected \"{}\")",
            expected.substr(0, expected.size() - 1));
      }
    } else {
      LogEntry row;
      fault = ReadRow(log, names, line, row);
      if (fault.empty()) {
        log.rows.push_back(std::move(row));
      }
    }
    if (!fault.empty()) {
      return fmt::format("line {}: {}", number, fault);
    }
    ++log.lines;
    log.complete_bytes += end + 1 - pos;
    pos = end + 1;
  }
}

// At most `length` bytes of a regular file from `offset` (all the rest
// without a length).
std::optional<std::string> ReadPart(const std::string& path, std::size_t offset,
                                    std::optional<std::size_t> length, std::string& reason) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    reason = "it is not a regular file";
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    reason = "it cannot be opened";
    return std::nullopt;
  }
  in.seekg(static_cast<std::streamoff>(offset));
  std::string text;
  if (length) {
    text.resize(*length);
    in.read(text.data(), static_cast<std::streamsize>(*length));
    text.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  } else {
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  if (in.bad()) {
    reason = "reading it failed";
    return std::nullopt;
  }
  return text;
}

}  // namespace

int LogData::GapRows() const {
  return static_cast<int>(
      std::count_if(rows.begin(), rows.end(), [](const LogEntry& row) { return row.Gap(); }));
}

int LogData::ColumnOf(int channel) const {
  const auto found = std::find(layout.channels.begin(), layout.channels.end(), channel);
  return found == layout.channels.end() ? -1 : static_cast<int>(found - layout.channels.begin());
}

bool StartsAsLog(std::string_view text) {
  return text.starts_with(logger::HeaderPrefix);
}

bool FileStartsAsLog(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::string start(logger::HeaderPrefix.size(), '\0');
  in.read(start.data(), static_cast<std::streamsize>(start.size()));
  return in.gcount() == static_cast<std::streamsize>(start.size()) && StartsAsLog(start);
}

LogRead ParseLog(std::string_view text) {
  if (text.empty()) {
    return Fail("line 1: the file is empty");
  }
  LogData log;
  if (std::string fault = AddLines(text, log); !fault.empty()) {
    return Fail(std::move(fault));
  }
  if (log.lines < 2) {
    const int line = log.lines + 1;
    return Fail(fmt::format("line {}: the file ends inside the {}", line,
                            line == 1 ? "comment line" : "header row"));
  }
  return LogRead{std::move(log), {}};
}

LogRead ReadLogFile(const std::string& path) {
  // A first line far longer than any log's is refused before the rest of
  // the file is read.
  std::string reason;
  const std::optional<std::string> head = ReadPart(path, 0, logger::LargestHeaderLine + 1, reason);
  if (head && head->size() > logger::LargestHeaderLine && head->find('\n') == head->npos) {
    return Fail(fmt::format("{}: line 1: the comment line is longer than {} KiB: not a KX7312 log",
                            path, logger::LargestHeaderLine >> 10));
  }
  const board::BoundedFileText read = board::ReadFileAtMost(path, kMaxLogBytes);
  switch (read.problem) {
    case board::FileReadProblem::CannotOpen:
    case board::FileReadProblem::ReadError:
      return Fail(fmt::format("cannot read {}: {}", path, read.reason));
    case board::FileReadProblem::TooLarge:
      return Fail(fmt::format("{}: larger than 1 GiB, too large to show", path));
    case board::FileReadProblem::None:
      break;
  }
  LogRead parsed = ParseLog(read.text);
  if (!parsed.log) {
    parsed.error = fmt::format("{}: {}", path, parsed.error);
  }
  return parsed;
}

std::string FollowLogFile(const std::string& path, LogData& log) {
  // Only the first line and what came after the last whole row are read:
  // a log of many hours is not read again for each new row.
  std::string reason;
  const std::string first_line = log.header_line + '\n';
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  std::optional<std::string> head;
  if (!error && size >= log.complete_bytes) {
    head = ReadPart(path, 0, first_line.size(), reason);
  }
  if (!head || *head != first_line) {
    LogRead fresh = ReadLogFile(path);
    if (!fresh.log) {
      return fresh.error;
    }
    log = std::move(*fresh.log);
    return {};
  }
  const std::optional<std::string> more = ReadPart(path, log.complete_bytes, std::nullopt, reason);
  if (!more) {
    return fmt::format("cannot read {}: {}", path, reason);
  }
  if (std::string fault = AddLines(*more, log); !fault.empty()) {
    return fmt::format("{}: {}", path, fault);
  }
  return {};
}

}  // namespace kx::analysis
