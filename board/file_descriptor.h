#pragma once

// What the files that must never block or half-write share on POSIX: a
// descriptor that closes itself, the words for a path that is no regular
// file, and a write that goes on until every byte is taken.

#include <string>
#include <string_view>
#include <system_error>
#include <utility>

namespace kx::board {

// Writes all of `bytes` to the descriptor (POSIX, or the C runtime's on
// Windows), going on after a partial write or a signal.
std::error_code WriteAllBytes(int descriptor, std::string_view bytes);

#ifndef _WIN32

// "it is a FIFO, not a regular file", for a file mode that is no regular file.
std::string NotRegularFile(unsigned mode);

class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { Reset(-1); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return fd_; }
  int Release() { return std::exchange(fd_, -1); }
  void Reset(int fd);

 private:
  int fd_;
};

#endif

}  // namespace kx::board
