#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <set>

#include "scpi/instrument.h"
#include "scpi/log_rate.h"

namespace kx::scpi {

class Connection;

// Clients served at once unless `serve --max-clients` says otherwise.
inline constexpr std::size_t DefaultMaxClients = 64;
// Replies queued for one client beyond which none of its units runs and
// none of its input is read until the client has taken them. One reply
// (a capture's block, about 50 KB) may go over it.
inline constexpr std::size_t OutputLimit = std::size_t{64} * 1024;

// The instrument on a raw TCP socket: newline-terminated lines in (CR LF
// taken as well), one response line out per line that asked. Everything
// runs on the io_context's one thread, so the commands of all clients are
// carried out one at a time, each unit whole. A client's lines run in
// order, each checked whole before its first unit; a line that takes more
// than a millisecond lets the other clients and the listener have their
// turn between its units. An idle connection holds a pending read and
// nothing else.
class Server {
 public:
  // Listens at once; throws asio::system_error when the address cannot be
  // bound.
  Server(asio::io_context& io, Instrument& instrument, const asio::ip::tcp::endpoint& endpoint,
         LogLine log, std::size_t max_clients = DefaultMaxClients);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  asio::ip::tcp::endpoint LocalEndpoint() const { return acceptor_.local_endpoint(); }
  // Stops accepting and closes every connection; io_context::run then returns.
  void Stop();

 private:
  friend class Connection;
  void Accept();
  void Refuse(asio::ip::tcp::socket socket);
  void PauseAccepting(const asio::error_code& error);
  void ResumeAccepting();
  void Closed(const std::shared_ptr<Connection>& connection);

  asio::ip::tcp::acceptor acceptor_;
  Instrument& instrument_;
  LogLine log_;
  std::size_t max_clients_;
  std::set<std::shared_ptr<Connection>> connections_;
  // While descriptors are short: accepting waits for a client to go or
  // for this timer.
  asio::steady_timer retry_;
  bool accepting_ = false;
  bool paused_ = false;
  // The latest, so that a shortage is logged once, however long it lasts.
  std::optional<std::chrono::steady_clock::time_point> last_shortage_;
  LogRate listener_log_;  // refusals and descriptor shortages
  bool stopped_ = false;
};

}  // namespace kx::scpi
