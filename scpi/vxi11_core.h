#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "scpi/instrument.h"
#include "scpi/parser.h"
#include "scpi/rpc_connection.h"

namespace kx::scpi {

// What one device_write may carry and one device_read returns at most:
// the longest line, as on the socket.
inline constexpr std::size_t Vxi11MaxReceive = LongestLine;
// The replies of one message held for device_read at most; the rest of the
// message does not run.
inline constexpr std::size_t Vxi11HeldReplies = std::size_t{16} * 1024 * 1024;

// The instrument behind VXI-11's core channel (and a minimal abort
// channel): each link is a client of its own, with its error queue and
// status, its message and its replies. A message's lines run unit by unit,
// each unit a turn on the io_context, so that socket clients and other
// links are served between them; a lock waited for is a timer, never a
// blocked thread. Everything runs on the io_context's thread.
class Vxi11Core {
 public:
  Vxi11Core(asio::io_context& io, Instrument& instrument, std::size_t max_links);
  ~Vxi11Core();
  Vxi11Core(const Vxi11Core&) = delete;
  Vxi11Core& operator=(const Vxi11Core&) = delete;

  // Where create_link says the abort channel is.
  void SetAbortPort(unsigned short port) { abort_port_ = port; }
  void Dispatch(const std::shared_ptr<RpcConnection>& connection, const RpcCall& call,
                const RpcReply& reply);
  // The links made over a connection that ended are destroyed with it.
  void Closed(const RpcConnection& connection);
  // Every link gone, every wait for a lock ended: the server stops.
  void Stop();
  std::size_t Links() const { return links_.size(); }

 private:
  struct Link {
    long id = 0;
    const RpcConnection* connection = nullptr;
    std::weak_ptr<RpcConnection> owner;
    Client client;
    std::string message;              // what was written towards the next line end
    std::optional<CheckedLine> line;  // the line whose units run
    std::string response;             // its replies so far, each after a ';'
    std::deque<std::string> replies;  // each a response message, its line end included
  };

  void CreateLink(const std::shared_ptr<RpcConnection>& connection, const RpcCall& call,
                  const RpcReply& reply);
  void Write(const RpcConnection* from, const RpcCall& call, const RpcReply& reply);
  void Read(const RpcConnection* from, const RpcCall& call, const RpcReply& reply);
  void Generic(const RpcConnection* from, const RpcCall& call, const RpcReply& reply);
  void Lock(const RpcConnection* from, const RpcCall& call, const RpcReply& reply);
  void Unlock(const RpcConnection* from, const RpcCall& call, const RpcReply& reply);
  void Destroy(const RpcConnection* from, const RpcCall& call, const RpcReply& reply);

  // Calls `go` with true once no other link holds the lock, at once or
  // (when `wait`) within `timeout_ms`; with false when another still does.
  void WhenFree(long id, bool wait, unsigned long timeout_ms, std::function<void(bool)> go);
  void Await(const std::shared_ptr<asio::steady_timer>& timer, long id,
             std::function<void(bool)> go);
  void Released();
  Link* Find(long id);
  // The link, when it was made over `from`: another connection's links are
  // none of its business.
  Link* Find(long id, const RpcConnection* from);
  // Runs the complete lines of the link's message (all of it at `end`),
  // then calls `done`.
  void RunLines(long id, bool end, std::function<void()> done);
  // The steps of RunLines: the next line checked (false: no complete
  // line), a line's replies made a response message, a unit run (false:
  // the client went meanwhile).
  bool TakeLine(Link& link, bool end);
  void EndLine(Link& link);
  bool RunUnit(Link& link);
  void Erase(long id);

  asio::io_context& io_;
  Instrument& instrument_;
  std::size_t max_links_;
  unsigned short abort_port_ = 0;
  std::map<long, Link> links_;
  long next_id_ = 1;
  long lock_holder_ = 0;  // none
  std::vector<std::shared_ptr<asio::steady_timer>> waiters_;
  bool stopped_ = false;
};

}  // namespace kx::scpi
