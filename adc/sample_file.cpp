#include "adc/sample_file.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#endif

namespace kx::adc {

namespace {

namespace fs = std::filesystem;

// How many temporary names to try when earlier captures' are taken.
constexpr int TemporaryNameAttempts = 100;

std::string FailureText(const std::string& path, const std::error_code& reason) {
  return fmt::format(
      "Cannot save the samples to \"{}\": {}. Any existing file of that name is "
      "unchanged.",
      path, reason.message());
}

std::error_code LastError() {
  return {errno, std::generic_category()};
}

struct TemporaryFile {
  fs::path path;
  std::FILE* file = nullptr;
};

// Opens a new file for writing; fails with EEXIST when the name is taken.
std::FILE* OpenNewFile(const fs::path& path) {
#ifdef _WIN32
  // The C library that mingw-w64 programs use has no "x" mode: it would
  // silently truncate a file that is already there.
  int descriptor = -1;
  if (const errno_t failure =
          _wsopen_s(&descriptor, path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                    _SH_DENYNO, _S_IREAD | _S_IWRITE)) {
    errno = failure;
    return nullptr;
  }
  std::FILE* file = _fdopen(descriptor, "wb");
  if (file == nullptr) {
    _close(descriptor);
  }
  return file;
#else
  // "x": fail rather than open a file someone else is writing.
  return std::fopen(path.string().c_str(), "wbx");
#endif
}

// Creates a file that did not exist before, in the target's own folder so
// that the final rename never crosses file systems.
std::optional<TemporaryFile> CreateTemporary(const fs::path& target, std::error_code& error) {
  for (int attempt = 0; attempt < TemporaryNameAttempts; ++attempt) {
    fs::path candidate = target;
    candidate += fmt::format(".{}.part", attempt);
    errno = 0;
    std::FILE* file = OpenNewFile(candidate);
    if (file != nullptr) {
      return TemporaryFile{candidate, file};
    }
    error = LastError();
    if (error != std::errc::file_exists) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

}  // namespace

std::string AllChannelsFileText(std::span<const SampleSet> sets) {
  std::string text;
  text.reserve(sets.size() * (AdcChannels * 5 + 2));
  for (const SampleSet& set : sets) {
    for (const std::int32_t code : set) {
      fmt::format_to(std::back_inserter(text), "{}\t", code);
    }
    text += "\r\n";
  }
  return text;
}

std::string Channel0FileText(std::span<const std::int32_t> replies) {
  std::string text;
  text.reserve(replies.size() * 9);
  for (const std::int32_t reply : replies) {
    fmt::format_to(std::back_inserter(text), " {} \r\n", reply);
  }
  return text;
}

std::optional<std::string> WriteFileReplacing(const std::string& path, std::string_view contents) {
  if (path.empty()) {
    return FailureText(path, std::make_error_code(std::errc::no_such_file_or_directory));
  }
  const fs::path target(path);
  std::error_code error;
  std::optional<TemporaryFile> temporary = CreateTemporary(target, error);
  if (!temporary) {
    return FailureText(path, error);
  }

  errno = 0;
  const bool written =
      std::fwrite(contents.data(), 1, contents.size(), temporary->file) == contents.size() &&
      std::fflush(temporary->file) == 0;
  if (!written) {
    error = LastError();
  }
  errno = 0;
  const bool closed = std::fclose(temporary->file) == 0;
  if (written && !closed) {
    error = LastError();
  }
  if (!written || !closed) {
    std::error_code ignored;
    fs::remove(temporary->path, ignored);
    return FailureText(path, error ? error : std::make_error_code(std::errc::io_error));
  }

  // A replaced file keeps the permissions it had.
  std::error_code ignored;
  const fs::file_status existing = fs::status(target, ignored);
  if (fs::is_regular_file(existing)) {
    fs::permissions(temporary->path, existing.permissions(), ignored);
  }
  fs::rename(temporary->path, target, error);
  if (error) {
    fs::remove(temporary->path, ignored);
    return FailureText(path, error);
  }
  return std::nullopt;
}

}  // namespace kx::adc
