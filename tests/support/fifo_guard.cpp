#include "support/fifo_guard.h"

#ifndef _WIN32

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <future>
#include <thread>

namespace kx::testing {

bool MakeFifo(const std::string& path) {
  if (::mkfifo(path.c_str(), 0600) != 0) {
    ADD_FAILURE() << "mkfifo " << path << ": " << std::strerror(errno);
    return false;
  }
  return true;
}

bool ReturnsWithoutAWriter(const std::string& fifo, const std::function<void()>& read_it,
                           std::chrono::milliseconds deadline) {
  std::future<void> done = std::async(std::launch::async, read_it);
  if (done.wait_for(deadline) == std::future_status::ready) {
    done.get();
    return true;
  }
  // A writer that opens without waiting succeeds only once a reader is in
  // open(), so keep trying until the stuck reader has let go.
  while (done.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (writer >= 0) {
      ::close(writer);
    }
  }
  done.get();
  return false;
}

}  // namespace kx::testing

#else

namespace kx::testing {

// Windows has no FIFOs in its file system: what the tests hand a reader there
// (folders, missing files) cannot keep open() waiting.
bool ReturnsWithoutAWriter(const std::string& /*fifo*/, const std::function<void()>& read_it,
                           std::chrono::milliseconds /*deadline*/) {
  read_it();
  return true;
}

}  // namespace kx::testing

#endif
