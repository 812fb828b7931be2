#include "board/bounded_file.h"

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
BoundedFileText ReadRegularFile(const std::string& path, std::size_t limit) {
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
  if (const std::uintmax_t size = fs::file_size(path, ec); !ec && size > limit) {
    return Refused(FileReadProblem::TooLarge, {});
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    return Refused(FileReadProblem::CannotOpen, ErrnoText(errno != 0 ? errno : EIO));
  }
  return ReadBounded(limit, [&in](char* data, std::size_t size, std::size_t& got) {
    in.read(data, static_cast<std::streamsize>(size));
    got = static_cast<std::size_t>(in.gcount());
    return in.bad() ? EIO : 0;
  });
}

#else

BoundedFileText ReadRegularFile(const std::string& path, std::size_t limit) {
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
  const Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.Get() < 0) {
    return Refused(FileReadProblem::CannotOpen, ErrnoText(errno));
  }
  struct stat opened {};
  if (::fstat(file.Get(), &opened) != 0) {
    return Refused(FileReadProblem::CannotOpen, ErrnoText(errno));
  }
  if (!S_ISREG(opened.st_mode)) {
    return Refused(FileReadProblem::CannotOpen, NotRegularFile(opened.st_mode));
  }
  // Refused by its size before a byte is read: a file far too large costs
  // nothing. One that grows while it is read is still stopped by the read.
  if (static_cast<std::uintmax_t>(opened.st_size) > limit) {
    return Refused(FileReadProblem::TooLarge, {});
  }
  return ReadBounded(limit, [&file](char* data, std::size_t size, std::size_t& got) {
    while (true) {
      const ssize_t count = ::read(file.Get(), data, size);
      if (count >= 0) {
        got = static_cast<std::size_t>(count);
        return 0;
      }
      if (errno != EINTR) {
        return errno;
      }
    }
  });
}

#endif

}  // namespace

BoundedFileText ReadFileAtMost(const std::string& path, std::size_t limit) {
  if (path.empty()) {
    return Refused(FileReadProblem::CannotOpen, ErrnoText(ENOENT));
  }
  return ReadRegularFile(path, limit);
}

}  // namespace kx::board
