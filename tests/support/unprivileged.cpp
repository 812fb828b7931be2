#include "support/unprivileged.h"

#ifndef _WIN32

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>

namespace kx::testing {

namespace {

// The conventional id of "nobody" and "nogroup"; no name lookup, so that the
// tests need no user database.
constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

// The first byte of a child's answer: what kind of answer it is.
constexpr char kDone = 'D';
constexpr char kUnreachable = 'U';
constexpr char kCannotSwitch = 'S';

void WriteAll(int descriptor, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t written = ::write(descriptor, text.data() + done, text.size() - done);
    if (written <= 0 && errno != EINTR) {
      return;
    }
    done += written > 0 ? static_cast<std::size_t>(written) : 0;
  }
}

std::string ReadAll(int descriptor) {
  std::string text;
  std::array<char, 4096> buffer{};
  while (true) {
    const ssize_t got = ::read(descriptor, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return text;
    }
    text.append(buffer.data(), static_cast<std::size_t>(got));
  }
}

}  // namespace

uid_t UnprivilegedUser() {
  return ::geteuid() == 0 ? kNobody : ::geteuid();
}

gid_t UnprivilegedGroup() {
  return ::geteuid() == 0 ? kNoGroup : ::getegid();
}

void GiveToUnprivileged(const std::filesystem::path& path, unsigned mode) {
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(path.c_str(), kNobody, kNoGroup), 0) << path;
  }
  ASSERT_EQ(::chmod(path.c_str(), static_cast<mode_t>(mode)), 0) << path;
}

std::optional<std::string> RunUnprivileged(const std::filesystem::path& folder,
                                           const std::function<std::string()>& work) {
  std::array<int, 2> pipe_ends{};
  if (::pipe(pipe_ends.data()) != 0) {
    ADD_FAILURE() << "pipe failed";
    return std::nullopt;
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_ends[0]);
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNoGroup) != 0 || ::setuid(kNobody) != 0)) {
      WriteAll(pipe_ends[1], std::string(1, kCannotSwitch));
      std::_Exit(0);
    }
    if (::access(folder.c_str(), X_OK) != 0) {
      WriteAll(pipe_ends[1], std::string(1, kUnreachable));
      std::_Exit(0);
    }
    WriteAll(pipe_ends[1], kDone + work());
    std::_Exit(0);
  }
  ::close(pipe_ends[1]);
  if (child < 0) {
    ::close(pipe_ends[0]);
    ADD_FAILURE() << "fork failed";
    return std::nullopt;
  }
  const std::string answer = ReadAll(pipe_ends[0]);
  ::close(pipe_ends[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || answer.empty()) {
    ADD_FAILURE() << "the unprivileged child failed (status " << status << ")";
    return std::nullopt;
  }
  if (answer[0] == kCannotSwitch) {
    ADD_FAILURE() << "could not switch to uid " << kNobody;
    return std::nullopt;
  }
  if (answer[0] == kUnreachable) {
    return std::nullopt;
  }
  return answer.substr(1);
}

}  // namespace kx::testing

#endif  // _WIN32
