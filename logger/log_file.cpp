#include "logger/log_file.h"

#include <fmt/format.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kx::logger {
namespace {

std::string SystemReason(int error) {
  return std::generic_category().message(error);
}

// Cuts the file back to `size` bytes through its open handle.
void CutBack(std::FILE* file, std::uintmax_t size) {
#ifdef _WIN32
  (void)_chsize_s(_fileno(file), static_cast<long long>(size));
#else
  (void)ftruncate(fileno(file), static_cast<off_t>(size));
#endif
  (void)std::fseek(file, 0, SEEK_END);
}

}  // namespace

LogFile::Opened LogFile::Create(const std::string& path, bool overwrite) {
  std::error_code ec;
  if (!overwrite && std::filesystem::exists(path, ec)) {
    return {nullptr,
            fmt::format("{} exists already: choose another file or add --overwrite", path)};
  }
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return {nullptr, fmt::format("{} could not be created: {}", path, SystemReason(errno))};
  }
  // Unbuffered: every line goes to the system in one write when appended,
  // and a failed one leaves nothing behind in a buffer.
  std::setvbuf(file, nullptr, _IONBF, 0);
  return {std::unique_ptr<LogFile>(new LogFile(file, path)), {}};
}

LogFile::~LogFile() {
  if (file_ != nullptr) {
    std::fclose(file_);
  }
}

std::optional<std::string> LogFile::Append(std::string_view lines) {
  if (file_ == nullptr) {
    return fmt::format("{} is closed", path_);
  }
  errno = 0;
  const std::size_t written = std::fwrite(lines.data(), 1, lines.size(), file_);
  if (written == lines.size() && std::fflush(file_) == 0) {
    whole_size_ += lines.size();
    return std::nullopt;
  }
  const int error = errno != 0 ? errno : EIO;
  std::clearerr(file_);
  CutBack(file_, whole_size_);
  return fmt::format("{} could not be written: {}", path_, SystemReason(error));
}

std::optional<std::string> LogFile::Close() {
  std::FILE* file = std::exchange(file_, nullptr);
  if (file != nullptr && std::fclose(file) != 0) {
    return fmt::format("{} could not be closed: {}", path_, SystemReason(errno));
  }
  return std::nullopt;
}

}  // namespace kx::logger
