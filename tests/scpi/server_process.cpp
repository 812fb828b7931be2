#include "server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "support/config_home.h"

namespace kx::scpi::testing {

namespace {

constexpr int kTimeoutMs = 20000;

}  // namespace

ServerProcess::ServerProcess(const std::filesystem::path& folder,
                             const std::vector<std::string>& args,
                             const std::vector<std::string>& serve_args, int descriptors)
    : folder_(folder) {
  kx::testing::PrivateConfigHome();
  std::vector<std::string> words = {KX7312CTL};
  words.insert(words.end(), args.begin(), args.end());
  // No portmapper entry: these servers run side by side, and the one test
  // of VXI-11 alone holds it.
  words.insert(words.end(), {"serve", "--listen", "127.0.0.1:0", "--no-vxi11"});
  words.insert(words.end(), serve_args.begin(), serve_args.end());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  const std::string log = (folder / "server.log").string();

  int out[2];
  if (::pipe(out) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_ = ::fork();
  if (pid_ == 0) {
    ::dup2(out[1], STDOUT_FILENO);
    const int log_file = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(log_file, STDERR_FILENO);
    ::close(out[0]);
    ::close(out[1]);
    const rlimit limit{static_cast<rlim_t>(descriptors), static_cast<rlim_t>(descriptors)};
    if ((descriptors > 0 && ::setrlimit(RLIMIT_NOFILE, &limit) != 0) ||
        ::chdir(folder.c_str()) != 0) {
      ::_exit(126);
    }
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(out[1]);
  std::string first;
  pollfd descriptor{out[0], POLLIN, 0};
  while (first.find('\n') == std::string::npos && ::poll(&descriptor, 1, kTimeoutMs) > 0) {
    char c = 0;
    if (::read(out[0], &c, 1) != 1) {
      break;
    }
    first += c;
  }
  ::close(out[0]);
  const std::size_t colon = first.rfind(':');
  if (!first.starts_with("listening on 127.0.0.1:") || colon == std::string::npos) {
    throw std::runtime_error("the server did not say where it listens: \"" + first +
                             "\"; log: " + Log());
  }
  port_ = static_cast<unsigned short>(std::stoi(first.substr(colon + 1)));
}

ServerProcess::~ServerProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

int ServerProcess::Stop(int signal) {
  ::kill(pid_, signal);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kTimeoutMs);
  int status = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return -1;
}

std::string ServerProcess::Log() const {
  std::ifstream in(folder_ / "server.log", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

long ServerProcess::PeakKib() const {
  std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
  std::string word;
  while (in >> word) {
    if (word == "VmHWM:") {
      long kib = 0;
      in >> kib;
      return kib;
    }
  }
  return -1;
}

LineClient::LineClient(unsigned short port) {
  socket_ = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
  }
  const int on = 1;
  ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

LineClient::~LineClient() {
  if (socket_ >= 0) {
    ::close(socket_);
  }
}

void LineClient::Send(const std::string& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t done = ::send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (done <= 0) {
      return;
    }
    sent += static_cast<std::size_t>(done);
  }
}

bool LineClient::Fill() {
  pollfd descriptor{socket_, POLLIN, 0};
  if (::poll(&descriptor, 1, kTimeoutMs) <= 0) {
    timed_out_ = true;
    return false;
  }
  char chunk[65536];
  const ssize_t got = ::recv(socket_, chunk, sizeof chunk, 0);
  if (got <= 0) {
    return false;
  }
  buffer_.append(chunk, static_cast<std::size_t>(got));
  return true;
}

std::string LineClient::ReadLine() {
  std::size_t end = 0;
  while ((end = buffer_.find('\n')) == std::string::npos) {
    if (!Fill()) {
      return timed_out_ ? "<timeout>" : "<closed>";
    }
  }
  std::string line = buffer_.substr(0, end);
  buffer_.erase(0, end + 1);
  return line;
}

std::string LineClient::ReadBytes(std::size_t size) {
  while (buffer_.size() < size && Fill()) {
  }
  std::string bytes = buffer_.substr(0, size);
  buffer_.erase(0, bytes.size());
  return bytes;
}

void LineClient::Close() {
  ::shutdown(socket_, SHUT_RDWR);
  ::close(socket_);
  socket_ = -1;
}

}  // namespace kx::scpi::testing
