// The capture file's system calls on Windows, through the C runtime's
// descriptors and the Win32 rename.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>

#include <algorithm>
#include <cerrno>

#include "adc/sample_file_platform.h"
#include "board/file_descriptor.h"

namespace kx::adc::platform {

namespace {

std::error_code ErrnoError(int error) {
  return {error, std::generic_category()};
}

constexpr int kWriteAccess = 2;

}  // namespace

std::error_code Inspect(const std::filesystem::path& path, FileFacts& facts) {
  facts = {};
  struct _stat64 info {};
  if (_wstat64(path.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      return {};
    }
    return ErrnoError(error);
  }
  facts.exists = true;
  facts.directory = (info.st_mode & _S_IFMT) == _S_IFDIR;
  facts.regular = (info.st_mode & _S_IFMT) == _S_IFREG;
  // The read-only attribute shows as a missing write bit and fails the
  // access check alike.
  facts.writable = _waccess(path.c_str(), kWriteAccess) == 0 && (info.st_mode & _S_IWRITE) != 0;
  return {};
}

int CreateNew(const std::filesystem::path& path, std::error_code& error) {
  // _O_EXCL: the C library's "x" mode is missing from the runtime mingw-w64
  // programs use, which would silently truncate a file already there.
  int descriptor = -1;
  const errno_t failure = _wsopen_s(&descriptor, path.c_str(),
                                    _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                                    _SH_DENYNO, _S_IREAD | _S_IWRITE);
  error = failure != 0 ? ErrnoError(failure) : std::error_code{};
  return failure != 0 ? -1 : descriptor;
}

int OpenExisting(const std::filesystem::path& path, std::error_code& error) {
  int descriptor = -1;
  const errno_t failure =
      _wsopen_s(&descriptor, path.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT, _SH_DENYNO, 0);
  error = failure != 0 ? ErrnoError(failure) : std::error_code{};
  return failure != 0 ? -1 : descriptor;
}

// A log holds its file open without sharing it for writes or deletion, so
// the rename over it fails by itself.
int LockExisting(const std::filesystem::path& /*path*/, std::error_code& error) {
  error.clear();
  return -1;
}

std::error_code WriteAll(int descriptor, std::string_view bytes) {
  return board::WriteAllBytes(descriptor, bytes);
}

std::error_code TruncateToZero(int descriptor) {
  const errno_t failure = _chsize_s(descriptor, 0);
  return failure != 0 ? ErrnoError(failure) : std::error_code{};
}

std::error_code SyncFile(int descriptor) {
  return _commit(descriptor) == 0 ? std::error_code{} : ErrnoError(errno);
}

std::error_code Close(int descriptor) {
  return _close(descriptor) == 0 ? std::error_code{} : ErrnoError(errno);
}

// Windows files have no POSIX owner or mode; a replacement takes the
// permissions its folder hands down, as any new file there would.
std::error_code KeepOwnerAndMode(int /*descriptor*/, const FileFacts& /*facts*/) {
  return {};
}

std::error_code RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  // WRITE_THROUGH: returns only once the rename is on the disk, which is
  // what a folder sync gives on POSIX.
  if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ==
      0) {
    return {static_cast<int>(GetLastError()), std::system_category()};
  }
  return {};
}

void SyncFolder(const std::filesystem::path& /*folder*/) {}

}  // namespace kx::adc::platform
