// How many queries per second `kx7312ctl serve` answers over loopback TCP
// on the simulated board: *IDN? (the server alone) and ADC:READ? (sixteen
// codes read through the session), with one client and with eight at once;
// and a command without a reply followed by a query, written separately by a
// client that leaves Nagle's algorithm on (as most do), against the same two
// on one line.
// The server runs in this process on its own thread, as it does in the
// program; each client waits for every reply before the next query.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <asio/io_context.hpp>
#include <asio/post.hpp>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

#include "board/firmware_path.h"
#include "board/sim/sim_board.h"
#include "commands/console_port.h"
#include "commands/session.h"
#include "scpi/instrument.h"
#include "scpi/server.h"

namespace {

using namespace kx;

// The server on its own thread for the whole run of the benchmarks.
class LoopbackServer {
 public:
  LoopbackServer()
      : instrument_(
            Version2Edition,
            [this] {
              return std::make_unique<commands::Session>(
                  Version2Edition, board::LinkLibraries{&board_.Cvn(), &board_.Io()}, port_,
                  board::FirmwareFolder(), std::function<std::string()>{},
                  commands::AfterFailure::Serve);
            },
            [](const std::string&) {}),
        server_(io_, instrument_, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0),
                [](const std::string&) {}) {
    if (!instrument_.StartUp().Succeeded()) {
      throw std::runtime_error("the simulated board did not start");
    }
    thread_ = std::thread([this] { io_.run(); });
  }
  ~LoopbackServer() {
    asio::post(io_, [this] { server_.Stop(); });
    thread_.join();
  }
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  unsigned short Port() const { return server_.LocalEndpoint().port(); }

 private:
  board::sim::SimBoard board_;
  commands::ConsolePort port_;
  scpi::Instrument instrument_;
  asio::io_context io_{1};
  scpi::Server server_;
  std::thread thread_;
};

LoopbackServer& Server() {
  static LoopbackServer server;
  return server;
}

class Client {
 public:
  explicit Client(unsigned short port, bool no_delay = true)
      : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      throw std::runtime_error("cannot connect");
    }
    const int on = no_delay ? 1 : 0;
    ::setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }

  // A line that has no reply.
  void Write(const std::string& line) {
    if (::send(socket_, line.data(), line.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(line.size())) {
      throw std::runtime_error("send failed");
    }
  }
  ~Client() { ::close(socket_); }
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // One query and its whole reply line; the reply's length.
  std::size_t Ask(const std::string& line) {
    if (::send(socket_, line.data(), line.size(), MSG_NOSIGNAL) !=
        static_cast<ssize_t>(line.size())) {
      throw std::runtime_error("send failed");
    }
    std::size_t length = 0;
    for (;;) {
      const ssize_t got = ::recv(socket_, buffer_, sizeof buffer_, 0);
      if (got <= 0) {
        throw std::runtime_error("the server closed the connection");
      }
      length += static_cast<std::size_t>(got);
      if (buffer_[got - 1] == '\n') {
        return length;
      }
    }
  }

 private:
  int socket_;
  char buffer_[4096];
};

void Queries(benchmark::State& state, const std::string& query) {
  const unsigned short port = Server().Port();
  Client client(port);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    benchmark::DoNotOptimize(client.Ask(query));
  }
  state.SetItemsProcessed(state.iterations());
}

void BM_IdnQueries(benchmark::State& state) {
  Queries(state, "*IDN?\n");
}
BENCHMARK(BM_IdnQueries)->Threads(1)->Threads(8)->UseRealTime();

void BM_AdcReadQueries(benchmark::State& state) {
  Queries(state, "ADC:READ?\n");
}
BENCHMARK(BM_AdcReadQueries)->Threads(1)->Threads(8)->UseRealTime();

// The pair the server must not stall: without a quick acknowledgement of the
// write, the query waits for the delayed one (some 40 ms).
void BM_WriteThenQueryPairs(benchmark::State& state) {
  Client client(Server().Port(), false);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    client.Write("DAC:LOAD 3,100\n");
    benchmark::DoNotOptimize(client.Ask("ADC:READ?\n"));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WriteThenQueryPairs)->UseRealTime();

void BM_OneLinePairs(benchmark::State& state) {
  Client client(Server().Port(), false);
  for (auto _ : state) {  // NOLINT(clang-analyzer-deadcode.DeadStores)
    benchmark::DoNotOptimize(client.Ask("DAC:LOAD 3,100;:ADC:READ?\n"));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_OneLinePairs)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
