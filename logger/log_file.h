#pragma once

#include <cstdint>
#include <filesystem>
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

// The one folder a server's logs go to, opened once: every log file is then
// a name beneath it, and no name, link or rename made meanwhile leads out.
class LogFolder {
 public:
  // The folder, or the operator's message when it cannot be opened.
  static std::optional<LogFolder> Open(const std::filesystem::path& path, std::string& error);
  LogFolder(LogFolder&& other) noexcept;
  LogFolder& operator=(LogFolder&& other) noexcept;
  LogFolder(const LogFolder&) = delete;
  LogFolder& operator=(const LogFolder&) = delete;
  ~LogFolder();

  const std::filesystem::path& Path() const { return path_; }
  // A name in the folder as messages show it.
  std::string Shown(const std::string& name) const;

 private:
  friend class LogFile;
  LogFolder(int descriptor, std::filesystem::path path)
      : descriptor_(descriptor), path_(std::move(path)) {}

  int descriptor_ = -1;
  std::filesystem::path path_;
};

// A log file on the disk, written as it goes so that a run cut short at any
// moment leaves every complete line valid. A write that fails part way (a
// full disk, a file-size limit) is cut back to the last whole line. Only a
// regular file is ever written, never a device or a FIFO, and while it is
// open no second log (nor a capture) may write it.
class LogFile final : public LogSink {
 public:
  struct Opened {
    std::unique_ptr<LogFile> file;
    std::string error;    // the operator's message when there is no file
    bool exists = false;  // refused only because the file exists
  };
  // `path` as the operator chose it: a link to a regular file is followed,
  // a dangling link refused. An existing file is kept unless `overwrite`
  // (a long run is not lost to a command repeated by mistake), and a
  // read-only one always.
  static Opened Create(const std::string& path, bool overwrite);
  // `name` beneath `folder`, as a client on the network names it; the file
  // itself is never a link.
  static Opened CreateIn(const LogFolder& folder, const std::string& name, bool overwrite);

  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;
  ~LogFile() override;

  std::optional<std::string> Append(std::string_view lines) override;
  // Closes the file; the message when the system reports a late failure.
  std::optional<std::string> Close();

 private:
  LogFile(int descriptor, std::string path) : descriptor_(descriptor), path_(std::move(path)) {}

  int descriptor_;
  std::string path_;
  std::uintmax_t whole_size_ = 0;  // bytes up to the end of the last whole line
};

}  // namespace kx::logger
