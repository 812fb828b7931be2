// The capture file's system calls on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "adc/sample_file_platform.h"
#include "board/file_descriptor.h"

namespace kx::adc::platform {

namespace {

std::error_code LastError() {
  return {errno, std::generic_category()};
}

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

}  // namespace

std::error_code Inspect(const std::filesystem::path& path, FileFacts& facts) {
  facts = {};
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
      return {};
    }
    return {error, std::generic_category()};
  }
  facts.exists = true;
  facts.directory = S_ISDIR(info.st_mode);
  facts.regular = S_ISREG(info.st_mode);
  // AT_EACCESS: the effective user is the one who writes. Root passes this
  // check for any file, hence the look at the bits as well.
  facts.writable = ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 &&
                   (info.st_mode & kAnyWriteBit) != 0;
  facts.mode = info.st_mode & 07777U;
  facts.owner = info.st_uid;
  facts.group = info.st_gid;
  return {};
}

int CreateNew(const std::filesystem::path& path, std::error_code& error) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  error = descriptor < 0 ? LastError() : std::error_code{};
  return descriptor;
}

int OpenExisting(const std::filesystem::path& path, std::error_code& error) {
  // No O_CREAT: only the file that was checked, never a new one, and no
  // O_TRUNC: nothing changes until the samples are there to be written.
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  error = descriptor < 0 ? LastError() : std::error_code{};
  return descriptor;
}

int LockExisting(const std::filesystem::path& path, std::error_code& error) {
  error.clear();
  // O_NONBLOCK: the path was a regular file when it was looked at, but a
  // FIFO put in its place must not make the open wait.
  int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (descriptor < 0) {
    descriptor = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  }
  if (descriptor < 0) {
    return -1;
  }
  if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      error = std::make_error_code(std::errc::resource_unavailable_try_again);
    }
    ::close(descriptor);
    return -1;
  }
  return descriptor;
}

std::error_code WriteAll(int descriptor, std::string_view bytes) {
  return board::WriteAllBytes(descriptor, bytes);
}

std::error_code TruncateToZero(int descriptor) {
  return ::ftruncate(descriptor, 0) == 0 ? std::error_code{} : LastError();
}

std::error_code SyncFile(int descriptor) {
  return ::fsync(descriptor) == 0 ? std::error_code{} : LastError();
}

std::error_code Close(int descriptor) {
  // Linux frees the descriptor even when close reports an error, so it is
  // never tried again; the error itself (a late write failure on a network
  // file system) still counts.
  return ::close(descriptor) == 0 ? std::error_code{} : LastError();
}

std::error_code KeepOwnerAndMode(int descriptor, const FileFacts& facts) {
  // Only root may give a file away, and a user only groups of their own:
  // where we may not, the file is the writer's, as any new file would be.
  // The owner comes first, because changing it clears set-id bits.
  if (::fchown(descriptor, facts.owner, facts.group) != 0 && errno != EPERM) {
    return LastError();
  }
  return ::fchmod(descriptor, facts.mode) == 0 ? std::error_code{} : LastError();
}

std::error_code RenameOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? std::error_code{} : LastError();
}

void SyncFolder(const std::filesystem::path& folder) {
  // A rename lives in the folder: without this the new name may not survive
  // a power cut even though the data did. Some file systems cannot sync a
  // folder; the samples are in place all the same, so nothing is reported.
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor >= 0) {
    ::fsync(descriptor);
    ::close(descriptor);
  }
}

}  // namespace kx::adc::platform
