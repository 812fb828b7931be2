#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kx::scpi::testing {

// `kx7312ctl ARGS serve --listen 127.0.0.1:0 --no-vxi11 SERVE_ARGS` as a child process, in
// `folder`, its log in `folder`/server.log. The constructor waits for the
// "listening on" line and takes the port from it; the destructor ends the
// server with SIGKILL if it is still running. `descriptors`, when given, is
// the child's limit of open files.
class ServerProcess {
 public:
  ServerProcess(const std::filesystem::path& folder, const std::vector<std::string>& args,
                const std::vector<std::string>& serve_args = {}, int descriptors = 0);
  ~ServerProcess();
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  unsigned short Port() const { return port_; }
  pid_t Pid() const { return pid_; }
  // Sends `signal` and waits (at most 20 s) for the exit status; -1 when it
  // did not end or did not exit normally.
  int Stop(int signal);
  std::string Log() const;
  // The peak of its resident memory so far (VmHWM), in KiB.
  long PeakKib() const;

 private:
  std::filesystem::path folder_;
  pid_t pid_ = -1;
  unsigned short port_ = 0;
};

// One client on a blocking socket to 127.0.0.1 with 20 s time-outs, so that
// a test that waits for a reply that never comes fails instead of hanging.
class LineClient {
 public:
  explicit LineClient(unsigned short port);
  ~LineClient();
  LineClient(const LineClient&) = delete;
  LineClient& operator=(const LineClient&) = delete;

  void Send(const std::string& bytes);
  // The next line without its line end; "<closed>" at the end of the stream
  // or "<timeout>".
  std::string ReadLine();
  // Exactly `size` bytes, or fewer if the stream ends.
  std::string ReadBytes(std::size_t size);
  std::string Ask(const std::string& line) {
    Send(line + "\n");
    return ReadLine();
  }
  // Shuts both directions and closes at once.
  void Close();

 private:
  bool Fill();
  int socket_ = -1;
  std::string buffer_;
  bool timed_out_ = false;
};

}  // namespace kx::scpi::testing
