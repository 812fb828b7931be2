// The log file's system calls on Windows, through the C runtime's
// descriptors. Windows has no FIFOs in its file system; its devices (CON,
// NUL, COM1) are no regular files and are refused by the look before the
// open. A second writer is kept out by the open's sharing mode.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "board/file_descriptor.h"
#include "logger/log_file_platform.h"

namespace kx::logger::platform {
namespace {

namespace fs = std::filesystem;

Opening Refused(std::string refusal) {
  Opening opening;
  opening.refusal = std::move(refusal);
  return opening;
}

constexpr int kWriteAccess = 2;

}  // namespace

Opening OpenFollowing(const fs::path& path, bool overwrite) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  const bool exists = !error && status.type() != fs::file_type::not_found;
  if (!exists && fs::is_symlink(fs::symlink_status(path, error))) {
    return Refused(
        "it is a link to a file that does not exist, and a log never creates a link's target: "
        "give the target's own name");
  }
  if (exists && status.type() == fs::file_type::directory) {
    return Refused("it is a folder, not a regular file");
  }
  if (exists && status.type() != fs::file_type::regular) {
    return Refused("it is not a regular file");
  }
  if (exists && !overwrite) {
    Opening opening = Refused("it exists already");
    opening.exists = true;
    return opening;
  }
  struct _stat64 info {};
  if (exists && (_wstat64(path.c_str(), &info) != 0 || (info.st_mode & _S_IWRITE) == 0 ||
                 _waccess(path.c_str(), kWriteAccess) != 0)) {
    return Refused("the file is read-only");
  }
  // _SH_DENYWR: while this log writes, no other program may open the file
  // for writing; _O_EXCL for a new file, since the name may be taken
  // meanwhile.
  int descriptor = -1;
  const int flags = _O_WRONLY | _O_BINARY | _O_NOINHERIT | (exists ? _O_TRUNC : _O_CREAT | _O_EXCL);
  const errno_t failure =
      _wsopen_s(&descriptor, path.c_str(), flags, _SH_DENYWR, _S_IREAD | _S_IWRITE);
  if (failure != 0) {
    Opening opening =
        Refused(failure == EACCES ? "access is denied (another program may be writing it)"
                                  : std::generic_category().message(failure));
    opening.exists = failure == EEXIST;
    opening.creating = !exists;
    return opening;
  }
  Opening opening;
  opening.descriptor = descriptor;
  return opening;
}

Opening OpenBeneath(int, const fs::path& folder_path, const std::string& name, bool overwrite) {
  const fs::path relative(name);
  bool outside = name.empty() || relative.has_root_path() || relative.has_root_name();
  for (const fs::path& part : relative) {
    outside = outside || part == "..";
  }
  if (outside) {
    return Refused("it is not a file name inside the log folder");
  }
  return OpenFollowing(folder_path / relative, overwrite);
}

int OpenFolder(const fs::path& path, std::error_code& error) {
  error.clear();
  if (!fs::is_directory(path, error) && !error) {
    error = std::make_error_code(std::errc::not_a_directory);
  }
  return -1;
}

void CloseFolder(int) {}

std::error_code WriteAll(int descriptor, std::string_view bytes) {
  return board::WriteAllBytes(descriptor, bytes);
}

void CutBack(int descriptor, std::uintmax_t size) {
  (void)_chsize_s(descriptor, static_cast<long long>(size));
  (void)_lseeki64(descriptor, static_cast<long long>(size), SEEK_SET);
}

std::error_code Close(int descriptor) {
  return _close(descriptor) == 0 ? std::error_code()
                                 : std::error_code(errno, std::generic_category());
}

}  // namespace kx::logger::platform
