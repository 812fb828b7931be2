#pragma once

#include <rpc/rpc.h>

#include <array>
#include <asio/ip/tcp.hpp>
#include <asio/steady_timer.hpp>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kx::scpi {

// An XDR routine as RPC calls them all: their declarations differ (some
// take no arguments as C declares them), their calls do not.
template <typename Routine>
xdrproc_t XdrRoutine(Routine routine) {
  return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

// One ONC RPC call as it arrived: its header and its arguments, still in
// XDR. Decode reads the arguments into `args` with the procedure's XDR
// routine; false when they do not decode.
struct RpcCall {
  std::uint32_t xid = 0;
  std::uint32_t program = 0;
  std::uint32_t version = 0;
  std::uint32_t procedure = 0;
  std::vector<char> body;  // the whole record
  std::size_t args_at = 0;

  bool Decode(xdrproc_t proc, void* args) const;
};

// The reply to one call: given once, encoded at once. Success carries the
// procedure's result through its XDR routine; the others are RPC's own
// refusals (no such program, version or procedure, arguments that did not
// decode).
class RpcReply {
 public:
  using Send = std::function<void(std::string record)>;
  RpcReply(std::uint32_t xid, Send send) : xid_(xid), send_(std::move(send)) {}

  void Success(xdrproc_t proc, void* result) const;
  void ProgramUnavailable() const;
  void VersionMismatch(std::uint32_t low, std::uint32_t high) const;
  void ProcedureUnavailable() const;
  void GarbageArguments() const;

 private:
  void Accepted(accept_stat status, xdrproc_t proc, void* result, std::uint32_t low = 0,
                std::uint32_t high = 0) const;
  std::uint32_t xid_;
  Send send_;
};

class RpcConnection;
// Called once for every call; the reply may come later (a lock waited for,
// the units of a line run in turns). The connection reads its next call
// only when the reply has gone.
using RpcDispatch = std::function<void(const std::shared_ptr<RpcConnection>& connection,
                                       RpcCall call, RpcReply reply)>;

// ONC RPC over one TCP connection: record-marked calls in, replies out, one
// call at a time as clients make them. A record longer than `longest`
// closes the connection: no client of ours sends one. A call's record mark
// and body come in one receive, and a reply goes out at once where the
// socket takes it: a call costs one wake-up, one receive and one send.
class RpcConnection : public std::enable_shared_from_this<RpcConnection> {
 public:
  RpcConnection(asio::ip::tcp::socket socket, RpcDispatch dispatch, std::size_t longest,
                std::function<void(const std::shared_ptr<RpcConnection>&)> closed);

  void Start() { ReadMore(); }
  void Close();
  bool IsClosed() const { return closed_; }
  // Whether the client has closed its side; asked during a capture, which
  // holds the one thread.
  bool Gone();
  const std::string& Name() const { return name_; }

 private:
  void ReadMore();
  // Takes the fragments read so far; dispatches a call once its last one
  // is in, or reads on.
  void TakeRecords();
  void Dispatch();
  void Write(std::string record);
  // The reply has gone: the next call.
  void Replied();
  void End();
  // Whether the connection is closed, ended here when `error` ended a
  // transfer: the completion handlers then stop.
  bool Stopped(const asio::error_code& error);

  asio::ip::tcp::socket socket_;
  RpcDispatch dispatch_;
  std::size_t longest_;
  std::function<void(const std::shared_ptr<RpcConnection>&)> closed_callback_;
  std::string name_;
  std::array<char, 16384> chunk_{};
  std::string input_;  // read, not yet taken into record_
  std::vector<char> record_;
  std::string sending_;
  bool closed_ = false;
};

// Accepts connections for `dispatch` until Stop.
class RpcListener {
 public:
  // `closed` hears of every connection that ends, whichever side ended it.
  RpcListener(
      asio::io_context& io, const asio::ip::tcp::endpoint& endpoint, RpcDispatch dispatch,
      std::size_t longest,
      std::function<void(const RpcConnection&)> closed = [](const RpcConnection&) {});
  ~RpcListener();
  RpcListener(const RpcListener&) = delete;
  RpcListener& operator=(const RpcListener&) = delete;

  asio::ip::tcp::endpoint LocalEndpoint() const { return acceptor_.local_endpoint(); }
  void Stop();

 private:
  void Accept();

  asio::ip::tcp::acceptor acceptor_;
  RpcDispatch dispatch_;
  std::size_t longest_;
  std::function<void(const RpcConnection&)> closed_;
  asio::steady_timer retry_;  // while descriptors are short
  std::vector<std::shared_ptr<RpcConnection>> connections_;
  bool stopped_ = false;
};

}  // namespace kx::scpi
