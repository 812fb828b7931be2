#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/tcp.hpp>
#include <memory>
#include <set>

#include "scpi/instrument.h"

namespace kx::scpi {

class Connection;

// The instrument on a raw TCP socket: newline-terminated lines in (CR LF
// taken as well), one response line out per line that asked. Everything
// runs on the io_context's one thread, so the commands of all clients are
// carried out one at a time, each whole, in the order they were read. An
// idle connection holds a pending read and nothing else.
class Server {
 public:
  // Listens at once; throws asio::system_error when the address cannot be
  // bound.
  Server(asio::io_context& io, Instrument& instrument, const asio::ip::tcp::endpoint& endpoint,
         LogLine log);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  asio::ip::tcp::endpoint LocalEndpoint() const { return acceptor_.local_endpoint(); }
  // Stops accepting and closes every connection; io_context::run then returns.
  void Stop();

 private:
  friend class Connection;
  void Accept();
  void Closed(const std::shared_ptr<Connection>& connection);

  asio::ip::tcp::acceptor acceptor_;
  Instrument& instrument_;
  LogLine log_;
  std::set<std::shared_ptr<Connection>> connections_;
  bool stopped_ = false;
};

}  // namespace kx::scpi
