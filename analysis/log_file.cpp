#include "analysis/log_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "adc/adc_control_word.h"
#include "adc/adc_display.h"
#include "board/bounded_file.h"
#include "board/number_text.h"

namespace kx::analysis {
namespace {

// A log is never held whole, only its rows: a week of sixteen channels at
// ten rows a second (1.6 GB of text) takes a few hundred MB. Far beyond
// that a file is not worth showing.
constexpr std::uintmax_t kMaxLogBytes = std::uintmax_t{16} << 30;
constexpr std::size_t kBlockBytes = std::size_t{1} << 20;
// A row of sixteen averaged channels with volts is under 2 kB; a line far
// longer is no row, and is not gathered in memory while its end is sought.
constexpr std::size_t kLongestRow = std::size_t{64} << 10;
// Codes on a line: two's complement shown signed, straight binary as is.
constexpr int kLowestCode = -2048;
constexpr int kHighestCode = 4095;
// A deviation of codes cannot exceed the codes' whole span.
constexpr double kLargestDeviation = kHighestCode - kLowestCode;

LogRead Fail(std::string message) {
  return LogRead{std::nullopt, std::move(message)};
}

// Whole numbers of a few digits, as the logger writes its codes and
// statuses; anything else goes the long way, which gives the same answer.
std::optional<int> WholeNumber(std::string_view text) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::size_t first = negative ? 1 : 0;
  if (text.size() > first && text.size() - first <= 6) {
    int value = 0;
    std::size_t i = first;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      value = value * 10 + (text[i] - '0');
    }
    if (i == text.size()) {
      return negative ? -value : value;
    }
  }
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// Whether text is a finite number, without working out which: the volts
// columns are checked but not kept. Plain decimals ("-1.234567", as the
// logger writes them) are told at a glance; the rest goes the long way.
bool IsFiniteNumber(std::string_view text) {
  std::size_t i = !text.empty() && text.front() == '-' ? 1 : 0;
  std::size_t digits = 0;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      ++digits;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (i == text.size() && digits > 0) {
    return true;
  }
  return board::FiniteNumberText(text).has_value();
}

// The fields of a line one after the other, without copying them.
class FieldCursor {
 public:
  explicit FieldCursor(std::string_view line) : line_(line) {}
  std::string_view Next() {
    if (pos_ > line_.size()) {
      exhausted_ = true;
      return {};
    }
    const char* start = line_.data() + pos_;
    const std::size_t left = line_.size() - pos_;
    const void* comma = std::memchr(start, ',', left);
    const std::size_t length =
        comma == nullptr ? left : static_cast<std::size_t>(static_cast<const char*>(comma) - start);
    pos_ += length + 1;
    return {start, length};
  }
  // A whole number as the logger writes codes ("-123") and the field's end:
  // taken at a glance. False, with nothing taken, for anything else.
  bool FastWhole(int& value) {
    const std::size_t n = line_.size();
    std::size_t i = pos_;
    const bool negative = i < n && line_[i] == '-';
    i += negative ? 1 : 0;
    const std::size_t first = i;
    int v = 0;
    while (i < n && i - first < 6 && line_[i] >= '0' && line_[i] <= '9') {
      v = v * 10 + (line_[i] - '0');
      ++i;
    }
    if (i == first || i > n || (i < n && line_[i] != ',')) {
      return false;
    }
    value = negative ? -v : v;
    pos_ = i + 1;
    return true;
  }
  // A plain decimal ("-1.234567") and the field's end, likewise.
  bool FastDecimal() {
    const std::size_t n = line_.size();
    std::size_t i = pos_ < n && line_[pos_] == '-' ? pos_ + 1 : pos_;
    std::size_t digits = 0;
    bool point = false;
    for (; i < n && line_[i] != ','; ++i) {
      if (line_[i] >= '0' && line_[i] <= '9') {
        ++digits;
      } else if (line_[i] == '.' && !point) {
        point = true;
      } else {
        return false;
      }
    }
    if (digits == 0 || pos_ > n) {
      return false;
    }
    pos_ = i + 1;
    return true;
  }
  // Whether every field was taken, and no more than there were.
  bool AtEnd() const { return pos_ == line_.size() + 1 && !exhausted_; }

 private:
  std::string_view line_;
  std::size_t pos_ = 0;
  bool exhausted_ = false;
};

// Reads a log's lines as they come, block after block: a line cut by a
// block's end waits for the next one, and the last line without its end
// stays for a later read.
class LogReader {
 public:
  explicit LogReader(LogData& log) : log_(log) {
    if (log_.lines >= 1) {
      names_ = logger::ColumnNames(log_.layout);
    }
  }
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;
  ~LogReader() = default;

  // About how many bytes are still to come, so that the columns are made
  // their size at once rather than grown (and for a while held twice).
  void ExpectBytes(std::uintmax_t bytes) { expected_bytes_ = bytes; }

  // Adds the whole lines of `block`; the message of the first bad line.
  std::string Feed(std::string_view block) {
    std::string fault = FeedLines(block);
    for (LogColumn& column : log_.columns) {
      ExtendLevels(column);
    }
    return fault;
  }

  // The end of the text: what is left is a last line without its end.
  std::string Finish() {
    log_.partial_bytes = carry_.size();
    // A CR before the last byte ends a line of a file whose lines end in
    // CR alone: nothing would ever count as a whole row.
    if (const std::size_t cr = carry_.find('\r'); cr != carry_.npos && cr + 1 < carry_.size()) {
      return fmt::format("line {}: the lines end in CR alone; a log's lines end in LF or CR LF",
                         log_.lines + 1);
    }
    return {};
  }

 private:
  std::string FeedLines(std::string_view block) {
    std::size_t pos = 0;
    if (!carry_.empty()) {
      const void* found = std::memchr(block.data(), '\n', block.size());
      if (found == nullptr) {
        carry_.append(block);
        return CheckCarry();
      }
      const auto end = static_cast<std::size_t>(static_cast<const char*>(found) - block.data());
      carry_.append(block.substr(0, end));
      const std::string line = std::move(carry_);
      carry_.clear();
      if (std::string fault = Line(line); !fault.empty()) {
        return fault;
      }
      pos = end + 1;
    }
    while (pos < block.size()) {
      const void* found = std::memchr(block.data() + pos, '\n', block.size() - pos);
      if (found == nullptr) {
        carry_.assign(block.substr(pos));
        return CheckCarry();
      }
      const auto end = static_cast<std::size_t>(static_cast<const char*>(found) - block.data());
      if (std::string fault = Line(block.substr(pos, end - pos)); !fault.empty()) {
        return fault;
      }
      pos = end + 1;
    }
    return {};
  }

  // A line still without its end: the first line may not be longer than a
  // log's, a row not longer than any row, and CR alone ends no line here.
  std::string CheckCarry() {
    if (log_.lines == 0 && carry_.size() > logger::LargestHeaderLine) {
      return fmt::format("line 1: the comment line is longer than {} KiB: not a KX7312 log",
                         logger::LargestHeaderLine >> 10);
    }
    if (const std::size_t cr = carry_.find('\r'); cr != carry_.npos && cr + 1 < carry_.size()) {
      return fmt::format("line {}: the lines end in CR alone; a log's lines end in LF or CR LF",
                         log_.lines + 1);
    }
    if (log_.lines > 0 && carry_.size() > kLongestRow) {
      return fmt::format("line {}: longer than {} KiB without a line end: not a row of a log",
                         log_.lines + 1, kLongestRow >> 10);
    }
    return {};
  }

  // One whole line, without its LF.
  std::string Line(std::string_view whole) {
    std::string_view line = whole;
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    const std::int64_t number = log_.lines + 1;
    std::string fault;
    if (number == 1) {
      fault = FirstLine(whole, line);
    } else if (number == 2) {
      const std::string expected = logger::ColumnLine(log_.layout);
      if (line != std::string_view(expected).substr(0, expected.size() - 1)) {
        fault = fmt::format(
            "the header row does not name the columns of the first line's layout "
            "(expected \"{}\")",
            expected.substr(0, expected.size() - 1));
      }
    } else {
      fault = Row(line);
    }
    if (!fault.empty()) {
      return fmt::format("line {}: {}", number, fault);
    }
    ++log_.lines;
    log_.complete_bytes += whole.size() + 1;
    expected_bytes_ -= std::min<std::uintmax_t>(expected_bytes_, whole.size() + 1);
    return {};
  }

  std::string FirstLine(std::string_view whole, std::string_view line) {
    if (whole.size() > logger::LargestHeaderLine) {
      return fmt::format("the comment line is longer than {} KiB: not a KX7312 log",
                         logger::LargestHeaderLine >> 10);
    }
    logger::HeaderRead header = logger::ParseHeaderLine(line);
    if (!header.layout) {
      return std::move(header.error);
    }
    log_.layout = std::move(*header.layout);
    log_.header_line = std::string(whole);
    log_.columns = std::vector<LogColumn>(log_.layout.channels.size());
    names_ = logger::ColumnNames(log_.layout);
    return {};
  }

  // Makes the columns the size the rest of the file suggests, from the
  // length of its first row.
  void Reserve(std::size_t row_bytes) {
    if (expected_bytes_ == 0 || reserved_) {
      return;
    }
    reserved_ = true;
    const auto more = static_cast<std::size_t>(expected_bytes_ / (row_bytes + 1));
    const std::size_t rows = log_.seconds.size() + more + more / 32 + 16;
    log_.seconds.reserve(rows);
    for (LogColumn& column : log_.columns) {
      column.codes.reserve(rows);
      if (log_.layout.Averaged()) {
        column.maxima.reserve(rows);
        column.means.reserve(rows);
        column.deviations.reserve(rows);
      }
    }
  }

  // The fields are counted only when something is wrong: a row of the
  // wrong length is named as such before any field of it.
  std::string Row(std::string_view line) {
    FieldCursor cursor(line);
    std::string fault = RowFields(line, cursor);
    if (!fault.empty() || !cursor.AtEnd()) {
      const auto fields = static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
      if (fields != names_.size()) {
        return fmt::format("{} fields where the header row names {}", fields, names_.size());
      }
    }
    return fault;
  }

  std::string RowFields(std::string_view line, FieldCursor& cursor) {
    const std::size_t fields = names_.size();
    const std::string_view time = cursor.Next();
    if (time.size() < 20 || time[4] != '-' || time[10] != 'T' || time.back() != 'Z') {
      return fmt::format("time_utc is \"{}\", not an ISO 8601 UTC time", time);
    }
    const std::string_view seconds_text = cursor.Next();
    const std::optional<double> seconds = board::FiniteNumberText(seconds_text);
    if (!seconds || *seconds < 0.0) {
      return fmt::format("seconds is \"{}\", not a number of seconds", seconds_text);
    }
    const std::string_view status = cursor.Next();
    const bool gap = status == "gap";
    if (!gap && status != "ok") {
      return fmt::format("status is \"{}\", not \"ok\" or \"gap\"", status);
    }
    const std::string_view link_status = cursor.Next();
    std::optional<int> gap_status;
    if (gap) {
      gap_status = WholeNumber(link_status);
      if (!gap_status) {
        return fmt::format("a gap row's link_status is \"{}\", not a status number", link_status);
      }
      for (std::size_t i = 4; i < fields; ++i) {
        if (const std::string_view field = cursor.Next(); !field.empty()) {
          return fmt::format("a gap row has \"{}\" in {}", field, names_[i]);
        }
      }
    } else if (!link_status.empty()) {
      return fmt::format("a good row has \"{}\" in link_status", link_status);
    } else if (std::string fault = ReadFigures(cursor); !fault.empty()) {
      return fault;
    }
    if (!gap) {
      // A gap row is far shorter than a good one.
      Reserve(line.size());
    }
    const std::size_t row = log_.seconds.size();
    log_.seconds.push_back(*seconds);
    if (log_.first_time.empty()) {
      log_.first_time = std::string(time);
    }
    log_.last_time.assign(time);
    if (gap) {
      log_.gaps.push_back({row, *gap_status});
      for (LogColumn& column : log_.columns) {
        column.codes.push_back(kGapCode);
        if (log_.layout.Averaged()) {
          column.maxima.push_back(kGapCode);
          column.means.push_back(std::nanf(""));
          column.deviations.push_back(std::nanf(""));
        }
      }
      return {};
    }
    const bool averaged = log_.layout.Averaged();
    for (std::size_t c = 0; c < log_.columns.size(); ++c) {
      LogColumn& column = log_.columns[c];
      const Figures& f = read_[c];
      column.codes.push_back(f.minimum);
      const double value = averaged ? static_cast<double>(f.mean) : f.minimum;
      if (averaged) {
        column.maxima.push_back(f.maximum);
        column.means.push_back(f.mean);
        column.deviations.push_back(f.deviation);
      }
      if (column.count == 0) {
        column.origin = value;
        column.lowest = value;
        column.highest = value;
      }
      const double offset = value - column.origin;
      column.sum += offset;
      column.squares += offset * offset;
      column.lowest = std::min(column.lowest, value);
      column.highest = std::max(column.highest, value);
      ++column.count;
    }
    return {};
  }

  struct Figures {
    float mean = 0.0F;
    std::int16_t minimum = 0;
    std::int16_t maximum = 0;
    float deviation = 0.0F;
  };

  // Every channel's figures of a good row into `read_`; nothing is stored
  // before the whole row is known good.
  std::string ReadFigures(FieldCursor& cursor) {
    read_.resize(log_.columns.size());
    std::size_t at = 4;
    std::string fault;
    const auto code = [&](std::int16_t& out) {
      int value = 0;
      if (!cursor.FastWhole(value)) {
        const std::string_view text = cursor.Next();
        const std::optional<int> slow = WholeNumber(text);
        if (!slow) {
          fault = fmt::format("{} is \"{}\", not a whole code", names_[at], text);
          return false;
        }
        value = *slow;
      }
      if (value < kLowestCode || value > kHighestCode) {
        fault = fmt::format("{} is {}, outside the codes {} to {}", names_[at], value, kLowestCode,
                            kHighestCode);
        return false;
      }
      out = static_cast<std::int16_t>(value);
      ++at;
      return true;
    };
    // The volts: checked, not kept.
    const auto number = [&]() {
      if (!cursor.FastDecimal()) {
        const std::string_view text = cursor.Next();
        if (!IsFiniteNumber(text)) {
          fault = fmt::format("{} is \"{}\", not a number", names_[at], text);
          return false;
        }
      }
      ++at;
      return true;
    };
    // A decimal in [low, high]: the means and deviations.
    const auto decimal = [&](float& out, double low, double high) {
      const std::string_view text = cursor.Next();
      const std::optional<double> value = board::FiniteNumberText(text);
      if (!value) {
        fault = fmt::format("{} is \"{}\", not a number", names_[at], text);
        return false;
      }
      if (*value < low || *value > high) {
        fault = fmt::format("{} is {}, outside {:g} to {:g}", names_[at], text, low, high);
        return false;
      }
      out = static_cast<float>(*value);
      ++at;
      return true;
    };
    const bool averaged = log_.layout.Averaged();
    const bool volts = log_.HasVolts();
    for (Figures& f : read_) {
      bool good = false;
      if (!averaged) {
        good = code(f.minimum) && (!volts || number());
        f.maximum = f.minimum;
        f.mean = f.minimum;
        f.deviation = 0.0F;
      } else {
        // mean, min, max, std: the extremes are whole codes, the rest decimals.
        good = decimal(f.mean, kLowestCode, kHighestCode) && code(f.minimum) && code(f.maximum) &&
               decimal(f.deviation, 0.0, kLargestDeviation) &&
               (!volts || (number() && number() && number() && number()));
      }
      if (!good) {
        return fault;
      }
    }
    return {};
  }

  void ExtendLevels(LogColumn& column) const {
    if (log_.layout.Averaged()) {
      column.code_levels.Extend(column.codes, column.maxima);
      column.mean_levels.Extend(column.means, column.means);
    } else {
      column.code_levels.Extend(column.codes, column.codes);
    }
  }

  LogData& log_;
  std::vector<std::string> names_;
  std::vector<Figures> read_;
  std::string carry_;
  std::uintmax_t expected_bytes_ = 0;
  bool reserved_ = false;
};

// The end of a read: a text that ends inside its first two lines is not
// yet a log.
LogRead Finished(LogData& log, LogReader& reader, std::string fault) {
  if (fault.empty()) {
    fault = reader.Finish();
  }
  if (!fault.empty()) {
    return Fail(std::move(fault));
  }
  if (log.lines < 2) {
    const std::int64_t line = log.lines + 1;
    return Fail(fmt::format("line {}: the file ends inside the {}", line,
                            line == 1 ? "comment line" : "header row"));
  }
  return LogRead{std::move(log), {}};
}

// At most `length` bytes of a regular file from the start.
std::optional<std::string> ReadHead(const std::string& path, std::size_t length) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return std::nullopt;
  }
  std::ifstream in(path, std::ios::binary);
  std::string text(length, '\0');
  in.read(text.data(), static_cast<std::streamsize>(length));
  text.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  return in.bad() ? std::nullopt : std::optional<std::string>(std::move(text));
}

std::chrono::sys_time<std::chrono::microseconds> ParseStarted(const std::string& started) {
  // The header's check made sure of "dddd-dd-ddTdd:dd:dd.ddddddZ".
  const auto number = [&started](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = at; i < at + digits && i < started.size(); ++i) {
      value = value * 10 + (started[i] - '0');
    }
    return value;
  };
  const std::chrono::year_month_day date{std::chrono::year{number(0, 4)},
                                         std::chrono::month{static_cast<unsigned>(number(5, 2))},
                                         std::chrono::day{static_cast<unsigned>(number(8, 2))}};
  return std::chrono::sys_days{date} + std::chrono::hours{number(11, 2)} +
         std::chrono::minutes{number(14, 2)} + std::chrono::seconds{number(17, 2)} +
         std::chrono::microseconds{number(20, 6)};
}

}  // namespace

std::optional<int> LogData::GapStatus(std::size_t row) const {
  const auto found = std::lower_bound(gaps.begin(), gaps.end(), row,
                                      [](const LogGap& gap, std::size_t r) { return gap.row < r; });
  if (found == gaps.end() || found->row != row) {
    return std::nullopt;
  }
  return found->status;
}

int LogData::ColumnOf(int channel) const {
  const auto found = std::find(layout.channels.begin(), layout.channels.end(), channel);
  return found == layout.channels.end() ? -1 : static_cast<int>(found - layout.channels.begin());
}

LogFigures LogData::Codes(std::size_t row, std::size_t column) const {
  const LogColumn& c = columns[column];
  if (!layout.Averaged()) {
    const double code = c.codes[row];
    return {code, code, code, 0.0};
  }
  return {c.means[row], static_cast<double>(c.codes[row]), static_cast<double>(c.maxima[row]),
          c.deviations[row]};
}

LogFigures LogData::Volts(std::size_t row, std::size_t column) const {
  const LogFigures codes = Codes(row, column);
  const auto volts = [this, column](double value) { return ValueVolts(value, column); };
  return {volts(codes.mean), volts(codes.minimum), volts(codes.maximum),
          volts(codes.deviation) - volts(0.0)};
}

double LogData::Value(std::size_t row, std::size_t column) const {
  const LogColumn& c = columns[column];
  return layout.Averaged() ? static_cast<double>(c.means[row]) : c.codes[row];
}

double LogData::ValueVolts(double value, std::size_t column) const {
  const auto range_bit = static_cast<std::int16_t>(layout.half_span ? adc::RangeField : 0);
  const float span =
      adc::FullScaleSpan(static_cast<float>(layout.VoltsReference().value_or(0.0)), range_bit);
  return adc::CalibratedLineVolts(value, span, layout.straight_binary.value_or(true),
                                  Correction(column));
}

const board::LineCorrection* LogData::Correction(std::size_t column) const {
  if (!layout.calibration || column >= layout.channels.size()) {
    return nullptr;
  }
  const auto channel = static_cast<std::size_t>(layout.channels[column]);
  if (channel >= layout.calibration->adc.size()) {
    return nullptr;
  }
  const auto& correction = layout.calibration->adc[channel];
  return correction ? &*correction : nullptr;
}

std::string LogData::TimeUtc(std::size_t row) const {
  if (row == 0) {
    return first_time;
  }
  if (row + 1 == Rows()) {
    return last_time;
  }
  const auto micros = std::chrono::microseconds{std::llround(seconds[row] * 1e6)};
  return logger::IsoMicroseconds(std::chrono::time_point_cast<std::chrono::system_clock::duration>(
      ParseStarted(layout.started) + micros));
}

std::size_t LogData::Bytes() const {
  std::size_t bytes = seconds.capacity() * sizeof(double) + gaps.capacity() * sizeof(LogGap);
  for (const LogColumn& c : columns) {
    bytes += (c.codes.capacity() + c.maxima.capacity()) * sizeof(std::int16_t) +
             (c.means.capacity() + c.deviations.capacity()) * sizeof(float) +
             c.code_levels.Bytes() + c.mean_levels.Bytes();
  }
  return bytes;
}

bool StartsAsLog(std::string_view text) {
  return text.starts_with(logger::HeaderPrefix);
}

bool FileStartsAsLog(const std::string& path) {
  const std::optional<std::string> start = ReadHead(path, logger::HeaderPrefix.size());
  return start && StartsAsLog(*start);
}

LogRead ParseLog(std::string_view text) {
  if (text.empty()) {
    return Fail("line 1: the file is empty");
  }
  LogData log;
  LogReader reader(log);
  reader.ExpectBytes(text.size());
  std::string fault = reader.Feed(text);
  return Finished(log, reader, std::move(fault));
}

LogRead ReadLogFile(const std::string& path) {
  LogData log;
  LogReader reader(log);
  std::error_code size_error;
  reader.ExpectBytes(std::filesystem::file_size(path, size_error));
  std::string fault;
  std::string reason;
  bool empty = true;
  const board::FileReadProblem problem = board::ReadFileBlocks(
      path, 0, kMaxLogBytes, kBlockBytes,
      [&](std::string_view block) {
        empty = false;
        fault = reader.Feed(block);
        return fault.empty();
      },
      reason);
  switch (problem) {
    case board::FileReadProblem::CannotOpen:
    case board::FileReadProblem::ReadError:
      return Fail(fmt::format("cannot read {}: {}", path, reason));
    case board::FileReadProblem::TooLarge:
      return Fail(
          fmt::format("{}: larger than {} GiB, too large to show", path, kMaxLogBytes >> 30));
    case board::FileReadProblem::None:
      break;
  }
  if (empty) {
    return Fail(fmt::format("{}: line 1: the file is empty", path));
  }
  LogRead read = Finished(log, reader, std::move(fault));
  if (!read.log) {
    read.error = fmt::format("{}: {}", path, read.error);
  }
  return read;
}

std::string FollowLogFile(const std::string& path, LogData& log) {
  // Only the first line and what came after the last whole row are read:
  // a log of many hours is not read again for each new row.
  const std::string first_line = log.header_line + '\n';
  std::error_code error;
  const std::uintmax_t size = std::filesystem::file_size(path, error);
  std::optional<std::string> head;
  if (!error && size >= log.complete_bytes) {
    head = ReadHead(path, first_line.size());
  }
  if (!head || *head != first_line) {
    LogRead fresh = ReadLogFile(path);
    if (!fresh.log) {
      return fresh.error;
    }
    log = std::move(*fresh.log);
    return {};
  }
  LogReader reader(log);
  std::string fault;
  std::string reason;
  const board::FileReadProblem problem = board::ReadFileBlocks(
      path, log.complete_bytes, kMaxLogBytes, kBlockBytes,
      [&](std::string_view block) {
        fault = reader.Feed(block);
        return fault.empty();
      },
      reason);
  if (problem == board::FileReadProblem::TooLarge) {
    return fmt::format("{}: larger than {} GiB, too large to show", path, kMaxLogBytes >> 30);
  }
  if (problem != board::FileReadProblem::None) {
    return fmt::format("cannot read {}: {}", path, reason);
  }
  if (fault.empty()) {
    fault = reader.Finish();
  }
  return fault.empty() ? std::string{} : fmt::format("{}: {}", path, fault);
}

}  // namespace kx::analysis
