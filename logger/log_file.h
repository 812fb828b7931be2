#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kx::logger {

// Where the logger's lines go. Each Append is one or more whole lines,
// flushed to the system before it returns; on failure nothing of them stays
// and the reason comes back.
class LogSink {
 public:
  virtual ~LogSink() = default;
  virtual std::optional<std::string> Append(std::string_view lines) = 0;
};

// A log file on the disk, written as it goes so that a run cut short at any
// moment leaves every complete line valid. A write that fails part way (a
// full disk, a file-size limit) is cut back to the last whole line.
class LogFile final : public LogSink {
 public:
  struct Opened {
    std::unique_ptr<LogFile> file;
    std::string error;  // the operator's message when there is no file
  };
  // An existing file is kept unless `overwrite`: a long run is not lost to
  // a command repeated by mistake.
  static Opened Create(const std::string& path, bool overwrite);

  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  ~LogFile() override;

  std::optional<std::string> Append(std::string_view lines) override;
  // Closes the file; the message when the system reports a late failure.
  std::optional<std::string> Close();

 private:
  LogFile(std::FILE* file, std::string path) : file_(file), path_(std::move(path)) {}

  std::FILE* file_;
  std::string path_;
  std::uintmax_t whole_size_ = 0;  // bytes up to the end of the last whole line
};

}  // namespace kx::logger
