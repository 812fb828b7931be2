#include "logger/log_file.h"

#include <fmt/format.h>

#include <system_error>
#include <utility>

#include "logger/log_file_platform.h"

namespace kx::logger {
namespace {

LogFile::Opened Refusal(const std::string& shown, const platform::Opening& opening,
                        std::string_view overwrite_hint) {
  if (opening.exists) {
    return {nullptr,
            fmt::format("{} exists already: choose another file or {}", shown, overwrite_hint),
            true};
  }
  return {
      nullptr,
      fmt::format("{} {}: {}", shown,
                  opening.creating ? "could not be created" : "cannot be written", opening.refusal),
      false};
}

}  // namespace

std::optional<LogFolder> LogFolder::Open(const std::filesystem::path& path, std::string& error) {
  std::error_code failure;
  const int descriptor = platform::OpenFolder(path, failure);
  if (failure) {
    error =
        fmt::format("the log folder \"{}\" cannot be opened: {}", path.string(), failure.message());
    return std::nullopt;
  }
  return LogFolder(descriptor, path);
}

LogFolder::LogFolder(LogFolder&& other) noexcept
    : descriptor_(std::exchange(other.descriptor_, -1)), path_(std::move(other.path_)) {}

LogFolder& LogFolder::operator=(LogFolder&& other) noexcept {
  if (this != &other) {
    platform::CloseFolder(descriptor_);
    descriptor_ = std::exchange(other.descriptor_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

LogFolder::~LogFolder() {
  platform::CloseFolder(descriptor_);
}

std::string LogFolder::Shown(const std::string& name) const {
  return path_.empty() || path_ == "." ? name : (path_ / name).string();
}

LogFile::Opened LogFile::Create(const std::string& path, bool overwrite) {
  const platform::Opening opening = platform::OpenFollowing(path, overwrite);
  if (opening.descriptor < 0) {
    return Refusal(path, opening, "add --overwrite");
  }
  return {std::unique_ptr<LogFile>(new LogFile(opening.descriptor, path)), {}};
}

LogFile::Opened LogFile::CreateIn(const LogFolder& folder, const std::string& name,
                                  bool overwrite) {
  const std::string shown = folder.Shown(name);
  const platform::Opening opening =
      platform::OpenBeneath(folder.descriptor_, folder.path_, name, overwrite);
  if (opening.descriptor < 0) {
    return Refusal(shown, opening, "turn overwriting on");
  }
  return {std::unique_ptr<LogFile>(new LogFile(opening.descriptor, shown)), {}};
}

LogFile::~LogFile() {
  if (descriptor_ >= 0) {
    (void)platform::Close(descriptor_);
  }
}

std::optional<std::string> LogFile::Append(std::string_view lines) {
  if (descriptor_ < 0) {
    return fmt::format("{} is closed", path_);
  }
  // Unbuffered: every line goes to the system in one write when appended,
  // and a failed one leaves nothing behind in a buffer.
  const std::error_code error = platform::WriteAll(descriptor_, lines);
  if (!error) {
    whole_size_ += lines.size();
    return std::nullopt;
  }
  platform::CutBack(descriptor_, whole_size_);
  return fmt::format("{} could not be written: {}", path_, error.message());
}

std::optional<std::string> LogFile::Close() {
  const int descriptor = std::exchange(descriptor_, -1);
  if (descriptor >= 0) {
    if (const std::error_code error = platform::Close(descriptor)) {
      return fmt::format("{} could not be closed: {}", path_, error.message());
    }
  }
  return std::nullopt;
}

}  // namespace kx::logger
