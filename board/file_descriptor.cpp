#include "board/file_descriptor.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kx::board {

std::error_code WriteAllBytes(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
#ifdef _WIN32
    constexpr std::size_t kLargestWrite = std::size_t{1} << 30;
    const int written = _write(descriptor, bytes.data(),
                               static_cast<unsigned>(std::min(bytes.size(), kLargestWrite)));
#else
    const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
#endif
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      return {errno, std::generic_category()};
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return {};
}

#ifndef _WIN32

std::string NotRegularFile(unsigned mode) {
  const char* kind = "a socket";
  if (S_ISDIR(mode)) {
    kind = "a folder";
  } else if (S_ISFIFO(mode)) {
    kind = "a FIFO";
  } else if (S_ISCHR(mode) || S_ISBLK(mode)) {
    kind = "a device";
  }
  return std::string("it is ") + kind + ", not a regular file";
}

void Descriptor::Reset(int fd) {
  if (fd_ >= 0) {
    ::close(fd_);
  }
  fd_ = fd;
}

#endif

}  // namespace kx::board
