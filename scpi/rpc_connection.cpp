#include "scpi/rpc_connection.h"

#include <poll.h>

#include <algorithm>
#include <asio/post.hpp>
#include <asio/write.hpp>
#include <chrono>

namespace kx::scpi {

using asio::ip::tcp;

namespace {

constexpr std::uint32_t kLastFragment = 0x80000000U;

// A reply's header, and room for what follows it; XDR streams over memory
// need their size up front.
constexpr std::size_t kReplyHeader = 64;

}  // namespace

bool RpcCall::Decode(xdrproc_t proc, void* args) const {
  XDR xdr;
  // The XDR routines read without writing, whatever the pointer's type.
  xdrmem_create(&xdr, const_cast<char*>(body.data() + args_at),
                static_cast<unsigned>(body.size() - args_at), XDR_DECODE);
  const bool decoded = proc(&xdr, args) != 0;
  xdr_destroy(&xdr);
  return decoded;
}

void RpcReply::Accepted(accept_stat status, xdrproc_t proc, void* result, std::uint32_t low,
                        std::uint32_t high) const {
  rpc_msg reply{};
  reply.rm_xid = xid_;
  reply.rm_direction = REPLY;
  reply.rm_reply.rp_stat = MSG_ACCEPTED;
  reply.acpted_rply.ar_verf = _null_auth;
  reply.acpted_rply.ar_stat = status;
  if (status == SUCCESS) {
    reply.acpted_rply.ar_results.where = static_cast<caddr_t>(result);
    reply.acpted_rply.ar_results.proc = proc;
  } else if (status == PROG_MISMATCH) {
    reply.acpted_rply.ar_vers.low = low;
    reply.acpted_rply.ar_vers.high = high;
  }
  const unsigned long size = kReplyHeader + (status == SUCCESS ? xdr_sizeof(proc, result) : 0);
  std::string record(4 + size, '\0');
  XDR xdr;
  xdrmem_create(&xdr, record.data() + 4, static_cast<unsigned>(size), XDR_ENCODE);
  if (xdr_replymsg(&xdr, &reply) == 0) {
    xdr_destroy(&xdr);
    send_({});
    return;
  }
  const std::uint32_t length = xdr_getpos(&xdr);
  xdr_destroy(&xdr);
  record.resize(4 + length);
  const std::uint32_t mark = length | kLastFragment;
  for (int i = 0; i < 4; ++i) {
    record[static_cast<std::size_t>(i)] = static_cast<char>((mark >> (24 - 8 * i)) & 0xFF);
  }
  send_(std::move(record));
}

void RpcReply::Success(xdrproc_t proc, void* result) const {
  Accepted(SUCCESS, proc, result);
}
void RpcReply::ProgramUnavailable() const {
  Accepted(PROG_UNAVAIL, nullptr, nullptr);
}
void RpcReply::VersionMismatch(std::uint32_t low, std::uint32_t high) const {
  Accepted(PROG_MISMATCH, nullptr, nullptr, low, high);
}
void RpcReply::ProcedureUnavailable() const {
  Accepted(PROC_UNAVAIL, nullptr, nullptr);
}
void RpcReply::GarbageArguments() const {
  Accepted(GARBAGE_ARGS, nullptr, nullptr);
}

RpcConnection::RpcConnection(tcp::socket socket, RpcDispatch dispatch, std::size_t longest,
                             std::function<void(const std::shared_ptr<RpcConnection>&)> closed)
    : socket_(std::move(socket)),
      dispatch_(std::move(dispatch)),
      longest_(longest),
      closed_callback_(std::move(closed)) {
  asio::error_code ignored;
  const tcp::endpoint remote = socket_.remote_endpoint(ignored);
  name_ = "vxi-11 " + remote.address().to_string() + ":" + std::to_string(remote.port());
  socket_.set_option(tcp::no_delay(true), ignored);
  // Write's sends return at once when the socket's buffer is full.
  socket_.non_blocking(true, ignored);
}

void RpcConnection::Close() {
  closed_ = true;
  asio::error_code ignored;
  socket_.shutdown(tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
}

bool RpcConnection::Stopped(const asio::error_code& error) {
  if (!closed_ && error) {
    End();
  }
  return closed_;
}

void RpcConnection::End() {
  if (!closed_) {
    Close();
    closed_callback_(shared_from_this());
  }
}

bool RpcConnection::Gone() {
  if (closed_) {
    return true;
  }
  pollfd descriptor{socket_.native_handle(), POLLRDHUP, 0};
  return ::poll(&descriptor, 1, 0) > 0 &&
         (descriptor.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

void RpcConnection::ReadMore() {
  socket_.async_read_some(
      asio::buffer(chunk_),
      [self = shared_from_this()](const asio::error_code& error, std::size_t got) {
        if (self->Stopped(error)) {
          return;
        }
        self->input_.append(self->chunk_.data(), got);
        self->TakeRecords();
      });
}

void RpcConnection::TakeRecords() {
  for (;;) {
    if (input_.size() < 4) {
      ReadMore();
      return;
    }
    const auto byte = [this](std::size_t i) {
      return std::uint32_t{static_cast<unsigned char>(input_[i])};
    };
    const std::uint32_t mark = (byte(0) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
    const std::size_t size = mark & ~kLastFragment;
    if (record_.size() + size > longest_) {
      End();
      return;
    }
    if (input_.size() < 4 + size) {
      ReadMore();
      return;
    }
    record_.insert(record_.end(), input_.begin() + 4,
                   input_.begin() + static_cast<std::ptrdiff_t>(4 + size));
    input_.erase(0, 4 + size);
    if ((mark & kLastFragment) != 0) {
      Dispatch();
      return;
    }
  }
}

void RpcConnection::Dispatch() {
  RpcCall call;
  call.body.swap(record_);
  std::array<char, MAX_AUTH_BYTES> credentials{};
  std::array<char, MAX_AUTH_BYTES> verifier{};
  rpc_msg message{};
  message.rm_call.cb_cred.oa_base = credentials.data();
  message.rm_call.cb_verf.oa_base = verifier.data();
  XDR xdr;
  xdrmem_create(&xdr, call.body.data(), static_cast<unsigned>(call.body.size()), XDR_DECODE);
  const bool decoded = xdr_callmsg(&xdr, &message) != 0 && message.rm_direction == CALL;
  call.args_at = xdr_getpos(&xdr);
  xdr_destroy(&xdr);
  if (!decoded) {
    // Not RPC at all: nothing sensible can answer it.
    End();
    return;
  }
  call.xid = message.rm_xid;
  call.program = static_cast<std::uint32_t>(message.rm_call.cb_prog);
  call.version = static_cast<std::uint32_t>(message.rm_call.cb_vers);
  call.procedure = static_cast<std::uint32_t>(message.rm_call.cb_proc);
  RpcReply reply(call.xid, [weak = weak_from_this()](std::string record) {
    if (const std::shared_ptr<RpcConnection> connection = weak.lock()) {
      connection->Write(std::move(record));
    }
  });
  dispatch_(shared_from_this(), call, reply);
}

void RpcConnection::Write(std::string record) {
  if (closed_) {
    return;
  }
  if (record.empty()) {
    End();
    return;
  }
  // Straight into the socket where it takes the whole reply, as it mostly
  // does: no completion handler to wait for.
  asio::error_code error;
  const std::size_t sent = socket_.write_some(asio::buffer(record), error);
  if (error && error != asio::error::would_block && error != asio::error::try_again) {
    End();
    return;
  }
  if (sent == record.size()) {
    Replied();
    return;
  }
  sending_ = record.substr(sent);
  asio::async_write(socket_, asio::buffer(sending_),
                    [self = shared_from_this()](const asio::error_code& failed, std::size_t) {
                      if (self->Stopped(failed)) {
                        return;
                      }
                      std::string().swap(self->sending_);
                      self->Replied();
                    });
}

void RpcConnection::Replied() {
  if (input_.empty()) {
    ReadMore();
    return;
  }
  // Calls sent ahead of their turn: taken after the handlers already
  // waiting, and without a call chain that grows with each.
  asio::post(socket_.get_executor(), [self = shared_from_this()] {
    if (!self->closed_) {
      self->TakeRecords();
    }
  });
}

RpcListener::RpcListener(asio::io_context& io, const tcp::endpoint& endpoint, RpcDispatch dispatch,
                         std::size_t longest, std::function<void(const RpcConnection&)> closed)
    : acceptor_(io, endpoint),
      dispatch_(std::move(dispatch)),
      longest_(longest),
      closed_(std::move(closed)),
      retry_(io) {
  Accept();
}

RpcListener::~RpcListener() {
  try {
    Stop();
  } catch (...) {
    // Only the closing callbacks can throw here; the sockets close with
    // their objects anyway.
  }
}

void RpcListener::Stop() {
  stopped_ = true;
  asio::error_code ignored;
  acceptor_.close(ignored);
  retry_.cancel();
  for (const std::shared_ptr<RpcConnection>& connection : connections_) {
    connection->Close();
    closed_(*connection);
  }
  connections_.clear();
}

void RpcListener::Accept() {
  acceptor_.async_accept([this](const asio::error_code& error, tcp::socket socket) {
    if (stopped_) {
      return;
    }
    if (error) {
      // Out of descriptors, most likely: a while for some to come free,
      // rather than a loop that spins on the same refusal.
      retry_.expires_after(std::chrono::milliseconds(100));
      retry_.async_wait([this](const asio::error_code& cancelled) {
        if (!cancelled && !stopped_) {
          Accept();
        }
      });
      return;
    }
    auto connection = std::make_shared<RpcConnection>(
        std::move(socket), dispatch_, longest_, [this](const std::shared_ptr<RpcConnection>& gone) {
          std::erase(connections_, gone);
          closed_(*gone);
        });
    connections_.push_back(connection);
    connection->Start();
    Accept();
  });
}

}  // namespace kx::scpi
