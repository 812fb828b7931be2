// The log file's system calls on Linux and other POSIX systems.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string_view>
#include <utility>

#ifdef __linux__
#include <linux/openat2.h>
#include <sys/syscall.h>
#endif

#include "board/file_descriptor.h"
#include "logger/log_file_platform.h"

namespace kx::logger::platform {
namespace {

using board::Descriptor;

std::string Reason(int error) {
  return std::generic_category().message(error);
}

Opening Refused(std::string refusal) {
  Opening opening;
  opening.refusal = std::move(refusal);
  return opening;
}

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

#ifdef O_PATH
constexpr int kFolderOnly = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int kFolderOnly = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// Locked, so that a second logger (or a capture renaming over it) is
// refused while this one writes, then emptied if it held an earlier run.
Opening Claim(Descriptor& file, bool existed) {
  struct stat opened {};
  if (::fstat(file.Get(), &opened) != 0) {
    return Refused(Reason(errno));
  }
  // Something else may have taken the checked name's place meanwhile.
  if (!S_ISREG(opened.st_mode)) {
    return Refused(board::NotRegularFile(opened.st_mode));
  }
  if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      return Refused("another program is writing it now (a log or a capture)");
    }
    return Refused(Reason(errno));
  }
  if (existed && ::ftruncate(file.Get(), 0) != 0) {
    return Refused(Reason(errno));
  }
  Opening opening;
  opening.descriptor = file.Release();
  return opening;
}

// Opens `name` at `at` (a folder, or the working folder). The name is looked
// at before it is opened, so that no device is ever opened (that alone may
// do something) and no FIFO makes open() wait for a reader.
Opening OpenAt(int at, const char* name, bool follow_links, bool overwrite) {
  struct stat info {};
  if (::fstatat(at, name, &info, follow_links ? 0 : AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) {
      return Refused(Reason(errno));
    }
    struct stat link {};
    if (follow_links && ::fstatat(at, name, &link, AT_SYMLINK_NOFOLLOW) == 0) {
      return Refused(
          "it is a link to a file that does not exist, and a log never creates a link's target: "
          "give the target's own name");
    }
    // O_EXCL and O_NOFOLLOW: a name that appears meanwhile (a link above
    // all) is refused, not followed.
    Descriptor created(
        ::openat(at, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, 0666));
    if (created.Get() < 0) {
      Opening opening = Refused(Reason(errno));
      opening.exists = errno == EEXIST;
      opening.creating = true;
      return opening;
    }
    return Claim(created, false);
  }
  if (S_ISLNK(info.st_mode)) {
    return Refused(
        "it is a link, and files in the log folder are written only under names of their own");
  }
  if (!S_ISREG(info.st_mode)) {
    return Refused(board::NotRegularFile(info.st_mode));
  }
  if (!overwrite) {
    Opening opening = Refused("it exists already");
    opening.exists = true;
    return opening;
  }
  // AT_EACCESS: the effective user is the one who writes. Root passes that
  // check for any file, so a file without write bits counts as read-only
  // too: the bits are how a user keeps a file from being replaced.
  if (::faccessat(at, name, W_OK, AT_EACCESS) != 0 || (info.st_mode & kAnyWriteBit) == 0) {
    return Refused("the file is read-only");
  }
  Descriptor existing(::openat(
      at, name, O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (follow_links ? 0 : O_NOFOLLOW)));
  if (existing.Get() < 0) {
    return Refused(Reason(errno));
  }
  return Claim(existing, true);
}

#ifdef __linux__
// The kernel resolves the name and refuses any step out of the folder,
// links and ".." included. -1 with ENOSYS on kernels before 5.6.
int OpenBeneathByKernel(int folder, const std::string& path) {
  open_how how{};
  how.flags = kFolderOnly;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  return static_cast<int>(::syscall(SYS_openat2, folder, path.c_str(), &how, sizeof how));
}
#endif

// The sub-folder `path` of `folder`, one step at a time, no step a link or
// "..": stricter than the kernel's check, but needs nothing of the kernel.
int OpenBeneathByHand(int folder, const std::string& path, std::string& refusal) {
  Descriptor current(::dup(folder));
  std::string_view rest = path;
  while (!rest.empty() && current.Get() >= 0) {
    const std::size_t slash = rest.find('/');
    const std::string step(rest.substr(0, slash));
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (step.empty() || step == ".") {
      continue;
    }
    if (step == "..") {
      refusal = "it leads outside the log folder";
      return -1;
    }
    current.Reset(::openat(current.Get(), step.c_str(), kFolderOnly | O_NOFOLLOW));
    if (current.Get() < 0 && (errno == ELOOP || errno == ENOTDIR)) {
      refusal = "\"" + step + "\" on its way is a link or no folder";
      return -1;
    }
  }
  if (current.Get() < 0 && refusal.empty()) {
    refusal = Reason(errno);
  }
  return current.Release();
}

}  // namespace

Opening OpenFollowing(const std::filesystem::path& path, bool overwrite) {
  return OpenAt(AT_FDCWD, path.c_str(), true, overwrite);
}

Opening OpenBeneath(int folder, const std::filesystem::path&, const std::string& name,
                    bool overwrite) {
  if (name.empty() || name.front() == '/') {
    return Refused("it is not a file name inside the log folder");
  }
  if (name.size() >= PATH_MAX) {
    return Refused(Reason(ENAMETOOLONG));
  }
  const std::size_t slash = name.rfind('/');
  const std::string leaf = slash == std::string::npos ? name : name.substr(slash + 1);
  if (leaf.empty() || leaf == "." || leaf == "..") {
    return Refused("it is not a file name inside the log folder");
  }
  Descriptor parent;
  if (slash == std::string::npos) {
    parent.Reset(::dup(folder));
  } else {
    const std::string path = name.substr(0, slash);
    std::string refusal;
#ifdef __linux__
    parent.Reset(OpenBeneathByKernel(folder, path));
    if (parent.Get() < 0 && errno == EXDEV) {
      return Refused("it leads outside the log folder");
    }
    // ENOSYS: an older kernel; EPERM: a sandbox that filters the call.
    if (parent.Get() < 0 && (errno == ENOSYS || errno == EPERM)) {
      parent.Reset(OpenBeneathByHand(folder, path, refusal));
    }
#else
    parent.Reset(OpenBeneathByHand(folder, path, refusal));
#endif
    if (parent.Get() < 0) {
      Opening opening = Refused(refusal.empty() ? Reason(errno) : refusal);
      opening.creating = true;
      return opening;
    }
  }
  if (parent.Get() < 0) {
    return Refused(Reason(errno));
  }
  return OpenAt(parent.Get(), leaf.c_str(), false, overwrite);
}

int OpenFolder(const std::filesystem::path& path, std::error_code& error) {
  const int folder = ::open(path.c_str(), kFolderOnly);
  error = folder < 0 ? std::error_code(errno, std::generic_category()) : std::error_code();
  return folder;
}

void CloseFolder(int folder) {
  if (folder >= 0) {
    ::close(folder);
  }
}

std::error_code WriteAll(int descriptor, std::string_view bytes) {
  return board::WriteAllBytes(descriptor, bytes);
}

void CutBack(int descriptor, std::uintmax_t size) {
  (void)::ftruncate(descriptor, static_cast<off_t>(size));
  (void)::lseek(descriptor, static_cast<off_t>(size), SEEK_SET);
}

std::error_code Close(int descriptor) {
  // The lock goes with the descriptor.
  return ::close(descriptor) == 0 ? std::error_code()
                                  : std::error_code(errno, std::generic_category());
}

}  // namespace kx::logger::platform
