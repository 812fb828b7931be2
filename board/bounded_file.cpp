#include "board/bounded_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "board/file_descriptor.h"

#ifdef _WIN32
#include <filesystem>
#include <fstream>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kx::board {
namespace {

constexpr std::size_t kChunkBytes = std::size_t{64} * 1024;

std::string ErrnoText(int error) {
  return std::generic_category().message(error);
}

BoundedFileText Refused(FileReadProblem problem, std::string reason) {
  BoundedFileText result;
  result.problem = problem;
  result.reason = std::move(reason);
  return result;
}

// Reads up to one byte past `limit`, then sorts out what it got.
template <typename ReadSome>
BoundedFileText ReadBounded(std::size_t limit, ReadSome read_some) {
  BoundedFileText result;
  std::array<char, kChunkBytes> chunk{};
  while (result.text.size() <= limit) {
    std::size_t got = 0;
    if (int error = read_some(chunk.data(), chunk.size(), got); error != 0) {
      return Refused(FileReadProblem::ReadError, ErrnoText(error));
    }
    if (got == 0) {
      return result;
    }
    result.text.append(chunk.data(), got);
  }
  result.text.clear();
  result.problem = FileReadProblem::TooLarge;
  return result;
}

#ifdef _WIN32

// Windows has no FIFOs in the file system; its devices (CON, NUL, COM1) and
// pipes are no regular files either, and the check before the open is the
// one the platform offers.
struct OpenedFile {
  std::ifstream in;
  std::uintmax_t size = 0;

  bool Seek(std::uintmax_t offset) {
    in.seekg(static_cast<std::streamoff>(offset));
    return !in.fail();
  }
  int ReadSome(char* data, std::size_t size_wanted, std::size_t& got) {
    in.read(data, static_cast<std::streamsize>(size_wanted));
    got = static_cast<std::size_t>(in.gcount());
    return in.bad() ? EIO : 0;
  }
};

BoundedFileText OpenRegular(const std::string& path, OpenedFile& opened) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec) {
    return Refused(FileReadProblem::CannotOpen, ec.message());
  }
  if (status.type() == fs::file_type::directory) {
    return Refused(FileReadProblem::CannotOpen, "it is a folder, not a regular file");
  }
  if (status.type() != fs::file_type::regular) {
    return Refused(FileReadProblem::CannotOpen, "it is not a regular file");
  }
  opened.size = fs::file_size(path, ec);
  opened.in.open(path, std::ios::binary);
  if (!opened.in) {
    return Refused(FileReadProblem::CannotOpen, ErrnoText(errno != 0 ? errno : EIO));
  }
  return {};
}

#else

struct OpenedFile {
  Descriptor file;
  std::uintmax_t size = 0;

  bool Seek(std::uintmax_t offset) const {
    return ::lseek(file.Get(), static_cast<off_t>(offset), SEEK_SET) >= 0;
  }
  int ReadSome(char* data, std::size_t size_wanted, std::size_t& got) const {
    while (true) {
      const ssize_t count = ::read(file.Get(), data, size_wanted);
      if (count >= 0) {
        got = static_cast<std::size_t>(count);
        return 0;
      }
      if (errno != EINTR) {
        return errno;
      }
    }
  }
};

BoundedFileText OpenRegular(const std::string& path, OpenedFile& opened) {
  // Looked at first, so that no device is ever opened (opening one may
  // already do something, as a serial line raising its control lines).
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) {
    return Refused(FileReadProblem::CannotOpen, ErrnoText(errno));
  }
  if (!S_ISREG(before.st_mode)) {
    return Refused(FileReadProblem::CannotOpen, NotRegularFile(before.st_mode));
  }
  // O_NONBLOCK in case a FIFO took the file's place since: open() then
  // returns at once instead of waiting for a writer. A regular file ignores it.
  opened.file.Reset(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (opened.file.Get() < 0) {
    return Refused(FileReadProblem::CannotOpen, ErrnoText(errno));
  }
  struct stat after {};
  if (::fstat(opened.file.Get(), &after) != 0) {
    return Refused(FileReadProblem::CannotOpen, ErrnoText(errno));
  }
  if (!S_ISREG(after.st_mode)) {
    return Refused(FileReadProblem::CannotOpen, NotRegularFile(after.st_mode));
  }
  opened.size = static_cast<std::uintmax_t>(after.st_size);
  return {};
}

#endif

BoundedFileText ReadRegularFile(const std::string& path, std::size_t limit) {
  OpenedFile opened;
  if (BoundedFileText refused = OpenRegular(path, opened);
      refused.problem != FileReadProblem::None) {
    return refused;
  }
  // Refused by its size before a byte is read: a file far too large costs
  // nothing. One that grows while it is read is still stopped by the read.
  if (opened.size > limit) {
    return Refused(FileReadProblem::TooLarge, {});
  }
  return ReadBounded(limit, [&opened](char* data, std::size_t size, std::size_t& got) {
    return opened.ReadSome(data, size, got);
  });
}

}  // namespace

BoundedFileText ReadFileAtMost(const std::string& path, std::size_t limit) {
  if (path.empty()) {
    return Refused(FileReadProblem::CannotOpen, ErrnoText(ENOENT));
  }
  return ReadRegularFile(path, limit);
}

FileReadProblem ReadFileBlocks(const std::string& path, std::uintmax_t offset, std::uintmax_t limit,
                               std::size_t block_bytes,
                               const std::function<bool(std::string_view)>& each,
                               std::string& reason) {
  if (path.empty()) {
    reason = ErrnoText(ENOENT);
    return FileReadProblem::CannotOpen;
  }
  OpenedFile opened;
  if (BoundedFileText refused = OpenRegular(path, opened);
      refused.problem != FileReadProblem::None) {
    reason = std::move(refused.reason);
    return refused.problem;
  }
  if (opened.size > limit) {
    return FileReadProblem::TooLarge;
  }
  if (offset > 0 && !opened.Seek(offset)) {
    reason = ErrnoText(errno != 0 ? errno : EIO);
    return FileReadProblem::ReadError;
  }
  std::string block(std::max<std::size_t>(block_bytes, 1), '\0');
  std::uintmax_t total = offset;
  while (true) {
    std::size_t got = 0;
    if (const int error = opened.ReadSome(block.data(), block.size(), got); error != 0) {
      reason = ErrnoText(error);
      return FileReadProblem::ReadError;
    }
    total += got;
    // A file that grows while it is read stops at its limit as well.
    if (got == 0 || total > limit || !each(std::string_view(block.data(), got))) {
      return total > limit ? FileReadProblem::TooLarge : FileReadProblem::None;
    }
  }
}

}  // namespace kx::board
