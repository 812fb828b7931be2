#include "scpi/vxi11_core.h"

#include <algorithm>
#include <asio/post.hpp>
#include <chrono>
#include <exception>
#include <utility>

#include "scpi/vxi11_rpc.h"

namespace kx::scpi {

namespace {

// The core channel's error numbers.
constexpr long kNoError = 0;
constexpr long kDeviceNotAccessible = 3;
constexpr long kInvalidLink = 4;
constexpr long kOutOfResources = 9;
constexpr long kLockedByAnother = 11;
constexpr long kNoLockHeld = 12;
constexpr long kIoTimeout = 15;

// Operation flags and read reasons.
constexpr long kWaitLock = 0x01;
constexpr long kEnd = 0x08;
constexpr long kTermCharSet = 0x80;
constexpr long kRequestCount = 0x01;
constexpr long kTermChar = 0x02;
constexpr long kEndReason = 0x04;

constexpr int kStopCheckInterval = 64;

// A link's turn, as a socket client's: at least one step (a line checked or
// a unit run), then no more than these, before the others have theirs.
constexpr auto kTurn = std::chrono::milliseconds(1);
constexpr int kStepsPerTurn = 64;

// The arguments of one call, decoded and freed with their XDR routine.
template <typename T>
struct Args {
  explicit Args(xdrproc_t proc) : proc_(proc) {}
  ~Args() { xdr_free(proc_, &value); }
  Args(const Args&) = delete;
  Args& operator=(const Args&) = delete;
  bool From(const RpcCall& call) { return call.Decode(proc_, &value); }
  T value{};

 private:
  xdrproc_t proc_;
};

void ErrorReply(const RpcReply& reply, long error) {
  Device_Error result{error};
  reply.Success(XdrRoutine(xdr_Device_Error), &result);
}

}  // namespace

Vxi11Core::Vxi11Core(asio::io_context& io, Instrument& instrument, std::size_t max_links)
    : io_(io), instrument_(instrument), max_links_(max_links) {}

Vxi11Core::~Vxi11Core() {
  try {
    Stop();
  } catch (...) {
    // Forgetting the links cannot fail in practice; nothing is left to tell.
  }
}

void Vxi11Core::Stop() {
  stopped_ = true;
  for (const std::shared_ptr<asio::steady_timer>& waiter : waiters_) {
    waiter->cancel();
  }
  waiters_.clear();
  for (auto& [id, link] : links_) {
    instrument_.Forget(link.client);
  }
  links_.clear();
}

Vxi11Core::Link* Vxi11Core::Find(long id) {
  const auto found = links_.find(id);
  return found == links_.end() ? nullptr : &found->second;
}

Vxi11Core::Link* Vxi11Core::Find(long id, const RpcConnection* from) {
  Link* link = Find(id);
  return link != nullptr && link->connection == from ? link : nullptr;
}

void Vxi11Core::Erase(long id) {
  Link* link = Find(id);
  if (link == nullptr) {
    return;
  }
  instrument_.Forget(link->client);
  links_.erase(id);
  if (lock_holder_ == id) {
    lock_holder_ = 0;
    Released();
  }
}

void Vxi11Core::Closed(const RpcConnection& connection) {
  std::vector<long> gone;
  for (const auto& [id, link] : links_) {
    if (link.connection == &connection) {
      gone.push_back(id);
    }
  }
  for (const long id : gone) {
    Erase(id);
  }
}

void Vxi11Core::WhenFree(long id, bool wait, unsigned long timeout_ms,
                         std::function<void(bool)> go) {
  if (lock_holder_ == 0 || lock_holder_ == id) {
    go(true);
    return;
  }
  if (!wait || timeout_ms == 0) {
    go(false);
    return;
  }
  auto timer = std::make_shared<asio::steady_timer>(io_, std::chrono::milliseconds(timeout_ms));
  waiters_.push_back(timer);
  Await(timer, id, std::move(go));
}

void Vxi11Core::Await(const std::shared_ptr<asio::steady_timer>& timer, long id,
                      std::function<void(bool)> go) {
  timer->async_wait([this, timer, id, go = std::move(go)](const asio::error_code&) mutable {
    if (stopped_) {
      return;
    }
    // A link destroyed meanwhile goes on, to be told it is gone.
    const bool free = lock_holder_ == 0 || lock_holder_ == id || Find(id) == nullptr;
    if (!free && std::chrono::steady_clock::now() < timer->expiry()) {
      Await(timer, id, std::move(go));  // woken by another's release
      return;
    }
    std::erase(waiters_, timer);
    go(free);
  });
}

void Vxi11Core::Released() {
  // Every waiter looks again; the first to run takes the lock when it wants it.
  for (const std::shared_ptr<asio::steady_timer>& waiter : waiters_) {
    waiter->cancel();
  }
}

void Vxi11Core::Dispatch(const std::shared_ptr<RpcConnection>& connection, const RpcCall& call,
                         const RpcReply& reply) {
  if (call.program == DEVICE_ASYNC) {
    // The abort channel: nothing here runs long enough to need aborting
    // from outside; the link is only checked.
    Args<Device_Link> link(XdrRoutine(xdr_Device_Link));
    if (call.version != DEVICE_ASYNC_VERSION) {
      reply.VersionMismatch(DEVICE_ASYNC_VERSION, DEVICE_ASYNC_VERSION);
    } else if (call.procedure == 0) {
      reply.Success(XdrRoutine(xdr_void), nullptr);
    } else if (call.procedure != device_abort) {
      reply.ProcedureUnavailable();
    } else if (!link.From(call)) {
      reply.GarbageArguments();
    } else {
      ErrorReply(reply, Find(link.value) != nullptr ? kNoError : kInvalidLink);
    }
    return;
  }
  if (call.program != DEVICE_CORE) {
    reply.ProgramUnavailable();
    return;
  }
  if (call.version != DEVICE_CORE_VERSION) {
    reply.VersionMismatch(DEVICE_CORE_VERSION, DEVICE_CORE_VERSION);
    return;
  }
  switch (call.procedure) {
    case 0:
      reply.Success(XdrRoutine(xdr_void), nullptr);
      return;
    case create_link:
      CreateLink(connection, call, reply);
      return;
    case device_write:
      Write(connection.get(), call, reply);
      return;
    case device_read:
      Read(connection.get(), call, reply);
      return;
    case device_readstb:
    case device_trigger:
    case device_clear:
    case device_remote:
    case device_local:
      Generic(connection.get(), call, reply);
      return;
    case device_lock:
      Lock(connection.get(), call, reply);
      return;
    case device_unlock:
      Unlock(connection.get(), call, reply);
      return;
    case destroy_link:
      Destroy(connection.get(), call, reply);
      return;
    default:
      reply.ProcedureUnavailable();
  }
}

void Vxi11Core::CreateLink(const std::shared_ptr<RpcConnection>& connection, const RpcCall& call,
                           const RpcReply& reply) {
  Args<Create_LinkParms> parms(XdrRoutine(xdr_Create_LinkParms));
  if (!parms.From(call)) {
    reply.GarbageArguments();
    return;
  }
  const auto answer = [reply](long error, long id, unsigned short abort_port) {
    Create_LinkResp result{error, id, abort_port, Vxi11MaxReceive};
    reply.Success(XdrRoutine(xdr_Create_LinkResp), &result);
  };
  const std::string device = parms.value.device != nullptr ? parms.value.device : "";
  // The one device: what VISA names "TCPIP::host::INSTR" and "::inst0::INSTR".
  if (device != "inst0") {
    answer(kDeviceNotAccessible, 0, 0);
    return;
  }
  if (links_.size() >= max_links_) {
    answer(kOutOfResources, 0, 0);
    return;
  }
  const long id = next_id_++;
  Link& link = links_[id];
  link.id = id;
  link.connection = connection.get();
  link.owner = connection;
  link.client.name = connection->Name() + " link " + std::to_string(id);
  if (parms.value.lockDevice == 0) {
    answer(kNoError, id, abort_port_);
    return;
  }
  WhenFree(id, true, parms.value.lock_timeout, [this, id, answer](bool free) {
    if (Find(id) == nullptr) {
      answer(kInvalidLink, 0, 0);
    } else if (!free) {
      Erase(id);
      answer(kLockedByAnother, 0, 0);
    } else {
      lock_holder_ = id;
      answer(kNoError, id, abort_port_);
    }
  });
}

void Vxi11Core::Write(const RpcConnection* from, const RpcCall& call, const RpcReply& reply) {
  Args<Device_WriteParms> parms(XdrRoutine(xdr_Device_WriteParms));
  if (!parms.From(call)) {
    reply.GarbageArguments();
    return;
  }
  const auto answer = [reply](long error, unsigned long size) {
    Device_WriteResp result{error, size};
    reply.Success(XdrRoutine(xdr_Device_WriteResp), &result);
  };
  const long id = parms.value.lid;
  std::string data(parms.value.data.data_val, parms.value.data.data_len);
  const bool end = (parms.value.flags & kEnd) != 0;
  WhenFree(id, (parms.value.flags & kWaitLock) != 0, parms.value.lock_timeout,
           [this, from, id, end, answer, data = std::move(data)](bool free) {
             Link* link = Find(id, from);
             if (link == nullptr) {
               answer(kInvalidLink, 0);
               return;
             }
             if (!free) {
               answer(kLockedByAnother, 0);
               return;
             }
             if (link->message.empty() && !link->replies.empty()) {
               // A new message while replies wait unread: they are dropped,
               // as IEEE 488.2 wants.
               link->replies.clear();
               instrument_.Refuse(link->client, MakeError(QueryInterrupted));
             }
             if (link->message.size() + data.size() > LongestLine + 2) {
               instrument_.Refuse(
                   link->client,
                   MakeError(TooMuchData, "a line longer than 65536 bytes; it was discarded"));
               link->message.clear();
               answer(kNoError, data.size());
               return;
             }
             link->message += data;
             RunLines(id, end, [answer, size = data.size()] { answer(kNoError, size); });
           });
}

void Vxi11Core::RunLines(long id, bool end, std::function<void()> done) {
  const auto start = std::chrono::steady_clock::now();
  for (int steps = 0;; ++steps) {
    Link* link = Find(id);
    if (stopped_ || link == nullptr) {
      return;  // nobody left to answer
    }
    if (steps > 0 &&
        (steps >= kStepsPerTurn || std::chrono::steady_clock::now() - start >= kTurn)) {
      // The rest after every handler already waiting: other links, the
      // socket's clients, the listeners.
      asio::post(io_, [this, id, end, done = std::move(done)]() mutable {
        RunLines(id, end, std::move(done));
      });
      return;
    }
    if (!link->line) {
      if (!TakeLine(*link, end)) {
        done();
        return;
      }
    } else if (link->line->Done() || link->response.size() > Vxi11HeldReplies) {
      EndLine(*link);
    } else if (!RunUnit(*link)) {
      Erase(id);
      return;
    }
  }
}

bool Vxi11Core::TakeLine(Link& link, bool end) {
  const std::size_t line_end = link.message.find('\n');
  if (line_end == std::string::npos && !(end && !link.message.empty())) {
    return false;
  }
  std::string line = link.message.substr(0, line_end);
  link.message.erase(0, line_end == std::string::npos ? std::string::npos : line_end + 1);
  if (!line.empty() && line.back() == '\r') {
    line.pop_back();
  }
  try {
    link.line = instrument_.Check(line, link.client);
  } catch (const std::exception& error) {
    instrument_.Refuse(link.client, MakeError(DeviceSpecificError, error.what()));
  }
  return true;
}

void Vxi11Core::EndLine(Link& link) {
  if (!link.line->Done()) {
    instrument_.Refuse(link.client, MakeError(TooMuchData,
                                              "the replies of one line passed 16 MiB; "
                                              "the rest of the line did not run"));
  }
  link.line.reset();
  if (!link.response.empty()) {
    link.response.erase(0, 1);  // the first unit's ';'
    link.response += '\n';
    link.replies.push_back(std::move(link.response));
  }
  link.response.clear();
}

bool Vxi11Core::RunUnit(Link& link) {
  int calls = 0;
  const std::weak_ptr<RpcConnection> owner = link.owner;
  const adc::CaptureStop stop = [&calls, &owner] {
    if (++calls % kStopCheckInterval != 0) {
      return false;
    }
    const std::shared_ptr<RpcConnection> connection = owner.lock();
    return !connection || connection->Gone();
  };
  const bool long_unit = link.line->units.size() > 1;
  try {
    if (const std::optional<std::string> reply =
            instrument_.RunNext(*link.line, link.client, stop)) {
      link.response += ';';
      link.response += *reply;
    }
  } catch (const std::exception& error) {
    instrument_.Refuse(link.client, MakeError(DeviceSpecificError, error.what()));
    link.line->next = link.line->units.size();
  }
  if (!long_unit && calls == 0) {
    return true;  // a single quick unit: the next call notices a client gone
  }
  const std::shared_ptr<RpcConnection> connection = owner.lock();
  if (!connection || connection->Gone()) {
    // The client went during the line: its link goes now, the rest of the
    // line with it.
    instrument_.LogFor(link.client, "gone; the rest of its line did not run");
    return false;
  }
  return true;
}

void Vxi11Core::Read(const RpcConnection* from, const RpcCall& call, const RpcReply& reply) {
  Args<Device_ReadParms> parms(XdrRoutine(xdr_Device_ReadParms));
  if (!parms.From(call)) {
    reply.GarbageArguments();
    return;
  }
  const long id = parms.value.lid;
  const unsigned long request = parms.value.requestSize;
  const bool term_set = (parms.value.flags & kTermCharSet) != 0;
  const char term = parms.value.termChar;
  WhenFree(id, (parms.value.flags & kWaitLock) != 0, parms.value.lock_timeout,
           [this, from, id, request, term_set, term, reply](bool free) {
             Device_ReadResp result{};
             Link* link = Find(id, from);
             std::string data;
             if (link == nullptr) {
               result.error = kInvalidLink;
             } else if (!free) {
               result.error = kLockedByAnother;
             } else if (link->replies.empty()) {
               // Nothing was asked that is not answered: no reply will come.
               instrument_.Refuse(link->client, MakeError(QueryUnterminated));
               result.error = kIoTimeout;
             } else {
               std::string& front = link->replies.front();
               std::size_t size = std::min<std::size_t>(request, front.size());
               if (term_set) {
                 const std::size_t at = front.find(term);
                 if (at != std::string::npos && at < size) {
                   size = at + 1;
                   result.reason |= kTermChar;
                 }
               }
               data = front.substr(0, size);
               front.erase(0, size);
               if (front.empty()) {
                 link->replies.pop_front();
                 result.reason |= kEndReason;
               } else if (size == request) {
                 result.reason |= kRequestCount;
               }
             }
             result.data.data_len = static_cast<u_int>(data.size());
             result.data.data_val = data.data();
             reply.Success(XdrRoutine(xdr_Device_ReadResp), &result);
           });
}

void Vxi11Core::Generic(const RpcConnection* from, const RpcCall& call, const RpcReply& reply) {
  Args<Device_GenericParms> parms(XdrRoutine(xdr_Device_GenericParms));
  if (!parms.From(call)) {
    reply.GarbageArguments();
    return;
  }
  const long id = parms.value.lid;
  const std::uint32_t procedure = call.procedure;
  WhenFree(
      id, (parms.value.flags & kWaitLock) != 0, parms.value.lock_timeout,
      [this, from, id, procedure, reply](bool free) {
        Link* link = Find(id, from);
        const long error = link == nullptr ? kInvalidLink : !free ? kLockedByAnother : kNoError;
        if (procedure == device_readstb) {
          Device_ReadStbResp result{error, 0};
          if (error == kNoError) {
            result.stb = link->client.status.StatusByte(!link->replies.empty());
          }
          reply.Success(XdrRoutine(xdr_Device_ReadStbResp), &result);
          return;
        }
        if (error != kNoError) {
          ErrorReply(reply, error);
          return;
        }
        if (procedure == device_clear) {
          link->message.clear();
          link->replies.clear();
        } else if (procedure == device_trigger) {
          // A message of its own, after whatever this link wrote.
          link->message += "\n*TRG\n";
          RunLines(id, true, [reply] { ErrorReply(reply, kNoError); });
          return;
        }
        // device_local and device_remote: the board has no front panel
        // of its own to lock out, so both are granted and change nothing.
        ErrorReply(reply, kNoError);
      });
}

void Vxi11Core::Lock(const RpcConnection* from, const RpcCall& call, const RpcReply& reply) {
  Args<Device_LockParms> parms(XdrRoutine(xdr_Device_LockParms));
  if (!parms.From(call)) {
    reply.GarbageArguments();
    return;
  }
  const long id = parms.value.lid;
  WhenFree(id, (parms.value.flags & kWaitLock) != 0, parms.value.lock_timeout,
           [this, from, id, reply](bool free) {
             if (Find(id, from) == nullptr) {
               ErrorReply(reply, kInvalidLink);
             } else if (!free) {
               ErrorReply(reply, kLockedByAnother);
             } else {
               lock_holder_ = id;
               ErrorReply(reply, kNoError);
             }
           });
}

void Vxi11Core::Unlock(const RpcConnection* from, const RpcCall& call, const RpcReply& reply) {
  Args<Device_Link> id(XdrRoutine(xdr_Device_Link));
  if (!id.From(call)) {
    reply.GarbageArguments();
    return;
  }
  if (Find(id.value, from) == nullptr) {
    ErrorReply(reply, kInvalidLink);
  } else if (lock_holder_ != id.value) {
    ErrorReply(reply, kNoLockHeld);
  } else {
    lock_holder_ = 0;
    Released();
    ErrorReply(reply, kNoError);
  }
}

void Vxi11Core::Destroy(const RpcConnection* from, const RpcCall& call, const RpcReply& reply) {
  Args<Device_Link> id(XdrRoutine(xdr_Device_Link));
  if (!id.From(call)) {
    reply.GarbageArguments();
    return;
  }
  if (Find(id.value, from) == nullptr) {
    ErrorReply(reply, kInvalidLink);
    return;
  }
  Erase(id.value);
  ErrorReply(reply, kNoError);
}

}  // namespace kx::scpi
