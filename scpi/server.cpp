#include "scpi/server.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <asio/post.hpp>
#include <asio/write.hpp>
#include <cerrno>
#include <chrono>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "scpi/parser.h"

namespace kx::scpi {

using asio::ip::tcp;

namespace {

std::string EndpointText(const tcp::endpoint& endpoint) {
  const asio::ip::address address = endpoint.address();
  if (address.is_v6()) {
    return "[" + address.to_string() + "]:" + std::to_string(endpoint.port());
  }
  return address.to_string() + ":" + std::to_string(endpoint.port());
}

// How often a capture asks whether its client has gone: every this many
// transfers, so that the question costs nothing next to the transfers.
constexpr int kStopCheckInterval = 64;

// One client's turn: at least one step (a line checked or a unit run),
// then no more than these, before the others and the listener have theirs.
constexpr auto kTurn = std::chrono::milliseconds(1);
constexpr int kStepsPerTurn = 64;

// How long accepting waits, while descriptors are short, when no client
// goes meanwhile.
constexpr auto kAcceptRetry = std::chrono::milliseconds(500);
constexpr auto kShortageQuiet = std::chrono::minutes(1);

// What accept() says when this process or the system is out of descriptors
// or the memory that comes with one.
bool OutOfDescriptors(const asio::error_code& error) {
  return error == asio::error::no_descriptors || error == asio::error::no_buffer_space ||
         error == asio::error::no_memory ||
         (error.category() == asio::system_category() && error.value() == ENFILE);
}

}  // namespace

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(Server& server, tcp::socket socket) : server_(server), socket_(std::move(socket)) {
    asio::error_code ignored;
    client_.name = EndpointText(socket_.remote_endpoint(ignored));
    // Replies are small and a client waits for each: send them at once.
    socket_.set_option(tcp::no_delay(true), ignored);
  }

  const std::string& Name() const { return client_.name; }
  std::size_t HeldBack() const { return client_.log_rate.HeldBack(); }

  void Start() { Pump(); }

  void Close() {
    closed_ = true;
    // A log it started outlives it, but its errors have nowhere to go.
    server_.instrument_.Forget(client_);
    asio::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }

 private:
  std::size_t Queued() const { return queued_.size() + sending_.size(); }

  // Everything a connection does goes through here: lines taken from what
  // was read, units run, replies sent, and more read only when all that
  // is done and the client has taken its replies (back-pressure: a client
  // that does not read is not read either, and holds OutputLimit at most).
  void Pump() {
    if (closed_ || scheduled_) {
      return;
    }
    const auto start = std::chrono::steady_clock::now();
    int steps = 0;
    while (Queued() < OutputLimit) {
      if (steps > 0 &&
          (steps >= kStepsPerTurn || std::chrono::steady_clock::now() - start >= kTurn)) {
        // The rest after every handler already waiting, the listener's too.
        scheduled_ = true;
        asio::post(socket_.get_executor(), [self = shared_from_this()] {
          self->scheduled_ = false;
          self->Pump();
        });
        break;
      }
      if (!line_program_) {
        if (!TakeLine()) {
          break;
        }
        ++steps;
      } else if (line_program_->Done()) {
        EndLine();
      } else {
        RunUnit();
        ++steps;
      }
    }
    Send();
    if (scheduled_ || line_program_ || taken_ < input_.size() || Queued() >= OutputLimit) {
      return;
    }
    if (ended_) {
      if (!writing_) {
        server_.Closed(shared_from_this());
      }
    } else if (!reading_) {
      if (!writing_) {
        // What was read asked for nothing: acknowledge it now rather than
        // with a reply that will not come.
        AcknowledgeNow();
      }
      Read();
    }
  }

  void Read() {
    reading_ = true;
    socket_.async_read_some(
        asio::buffer(buffer_),
        [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
          self->reading_ = false;
          if (self->closed_) {
            return;
          }
          if (error == asio::error::eof) {
            // Half-closed: what it sent is still answered, then it goes.
            self->ended_ = true;
          } else if (error) {
            self->server_.Closed(self);
            return;
          } else {
            self->input_.assign(self->buffer_.data(), size);
            self->taken_ = 0;
          }
          self->Pump();
        });
  }

  // A client that writes a command without a reply and then a query, with
  // Nagle's algorithm on (the default of most clients), holds the query
  // until the command is acknowledged, and a delayed acknowledgement costs
  // some 40 ms. Linux leaves its quick-acknowledgement mode on its own, so
  // it is asked for again after every read that had no reply (a reply
  // carries the acknowledgement itself, at no extra packet).
  void AcknowledgeNow() {
#ifdef TCP_QUICKACK
    const int on = 1;
    ::setsockopt(socket_.native_handle(), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
#endif
  }

  // What was read up to the next line end goes into the line; true when a
  // whole line was taken (and checked, unless it was too long).
  bool TakeLine() {
    if (taken_ >= input_.size()) {
      return false;
    }
    const std::string_view rest = std::string_view(input_).substr(taken_);
    const std::size_t end = rest.find('\n');
    const std::string_view part = rest.substr(0, end);
    if (discarding_) {
      // The rest of a line that was too long.
    } else if (line_.size() + part.size() > LongestLine) {
      server_.instrument_.Refuse(
          client_, MakeError(TooMuchData, "a line longer than 65536 bytes; it was discarded"));
      line_.clear();
      discarding_ = true;
    } else {
      line_.append(part);
    }
    if (end == std::string_view::npos) {
      taken_ = input_.size();
      return false;
    }
    taken_ += end + 1;
    if (!discarding_) {
      CheckLine();
    }
    discarding_ = false;
    std::string().swap(line_);
    return true;
  }

  void CheckLine() {
    if (!line_.empty() && line_.back() == '\r') {
      line_.pop_back();
    }
    try {
      line_program_ = server_.instrument_.Check(line_, client_);
    } catch (const std::exception& error) {
      // Whatever went wrong inside one command must not end the server for
      // every client.
      server_.instrument_.Refuse(client_, MakeError(DeviceSpecificError, error.what()));
    }
    answered_ = false;
  }

  // The next unit of the line; its reply goes out as soon as the turn ends,
  // so that a line of many captures never stands whole in memory.
  void RunUnit() {
    int calls = 0;
    const adc::CaptureStop stop = [this, &calls] {
      return ++calls % kStopCheckInterval == 0 && Gone();
    };
    try {
      if (const std::optional<std::string> reply =
              server_.instrument_.RunNext(*line_program_, client_, stop)) {
        queued_ += answered_ ? ";" : "";
        queued_ += *reply;
        answered_ = true;
      }
    } catch (const std::exception& error) {
      server_.instrument_.Refuse(client_, MakeError(DeviceSpecificError, error.what()));
      EndLine();
    }
    if (gone_) {
      // Nobody is left to take the rest of the line's replies.
      line_program_.reset();
    }
  }

  void EndLine() {
    if (answered_) {
      queued_ += '\n';
    }
    line_program_.reset();
  }

  void Send() {
    if (writing_ || queued_.empty()) {
      return;
    }
    writing_ = true;
    sending_.swap(queued_);
    queued_.clear();
    asio::async_write(socket_, asio::buffer(sending_),
                      [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                        self->writing_ = false;
                        if (self->closed_) {
                          return;
                        }
                        if (error) {
                          self->server_.Closed(self);
                          return;
                        }
                        // Its memory too: a client that had one long reply
                        // does not keep its room.
                        std::string().swap(self->sending_);
                        self->Pump();
                      });
  }

  // Whether the client has closed its side: asked during a capture, which
  // holds the one thread, so the read that would notice cannot run.
  bool Gone() {
    pollfd descriptor{socket_.native_handle(), POLLRDHUP, 0};
    if (::poll(&descriptor, 1, 0) <= 0) {
      return false;
    }
    if ((descriptor.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
      if (!gone_) {
        server_.instrument_.LogFor(client_, "gone during a capture; the capture was stopped");
      }
      gone_ = true;
      return true;
    }
    return false;
  }

  Server& server_;
  tcp::socket socket_;
  Client client_;
  std::array<char, 16384> buffer_{};
  std::string input_;      // the latest read
  std::size_t taken_ = 0;  // how much of it went into lines
  std::string line_;
  bool discarding_ = false;
  std::optional<CheckedLine> line_program_;  // the line whose units run
  bool answered_ = false;                    // a unit of it replied: the next reply after a ';'
  std::string queued_;                       // replies not yet handed to the socket
  std::string sending_;                      // replies the socket is writing
  bool reading_ = false;
  bool writing_ = false;
  bool scheduled_ = false;  // the rest of its work is posted
  bool ended_ = false;      // the client sent its last byte
  bool gone_ = false;       // noticed during a capture
  bool closed_ = false;
};

Server::Server(asio::io_context& io, Instrument& instrument, const tcp::endpoint& endpoint,
               LogLine log, std::size_t max_clients)
    : acceptor_(io, endpoint),
      instrument_(instrument),
      log_(std::move(log)),
      max_clients_(max_clients),
      retry_(io) {
  Accept();
}

Server::~Server() {
  try {
    Stop();
  } catch (...) {
    // Only the log lines of the closing can fail here; the sockets close
    // with their objects anyway.
  }
}

void Server::Accept() {
  if (stopped_ || accepting_ || paused_) {
    return;
  }
  accepting_ = true;
  acceptor_.async_accept([this](const asio::error_code& error, tcp::socket socket) {
    accepting_ = false;
    if (stopped_ || error == asio::error::operation_aborted) {
      return;
    }
    if (OutOfDescriptors(error)) {
      PauseAccepting(error);
      return;
    }
    if (error) {
      // One connection that failed on its way in (reset, aborted).
      if (const auto line = listener_log_.Pass("accept: " + error.message())) {
        log_(*line);
      }
    } else if (connections_.size() >= max_clients_) {
      Refuse(std::move(socket));
    } else {
      auto connection = std::make_shared<Connection>(*this, std::move(socket));
      connections_.insert(connection);
      log_(connection->Name() + ": connected");
      connection->Start();
    }
    Accept();
  });
}

void Server::Refuse(tcp::socket socket) {
  auto refused = std::make_shared<tcp::socket>(std::move(socket));
  asio::error_code ignored;
  const std::string name = EndpointText(refused->remote_endpoint(ignored));
  const std::string why = std::to_string(connections_.size()) +
                          " clients are connected, the most this server takes (--max-clients)";
  if (const auto line = listener_log_.Pass(name + ": refused: " + why)) {
    log_(*line);
  }
  // A line the client can read, then the end of the connection.
  auto text = std::make_shared<std::string>(
      ErrorResponse(MakeError(DeviceSpecificError, why + "; try again later")) + "\n");
  asio::async_write(*refused, asio::buffer(*text),
                    [refused, text](const asio::error_code&, std::size_t) {
                      asio::error_code ignored_too;
                      refused->shutdown(tcp::socket::shutdown_both, ignored_too);
                      refused->close(ignored_too);
                    });
}

void Server::PauseAccepting(const asio::error_code& error) {
  // Under a flood each client that goes lets one more in, and the next
  // accept is short again: shortages less than a minute apart are one.
  const auto now = std::chrono::steady_clock::now();
  if (!last_shortage_ || now - *last_shortage_ > kShortageQuiet) {
    log_("accept: " + error.message() + "; no new clients until a descriptor frees");
  }
  last_shortage_ = now;
  paused_ = true;
  retry_.expires_after(kAcceptRetry);
  retry_.async_wait([this](const asio::error_code& cancelled) {
    if (!cancelled) {
      ResumeAccepting();
    }
  });
}

void Server::ResumeAccepting() {
  if (!paused_ || stopped_) {
    return;
  }
  paused_ = false;
  retry_.cancel();
  Accept();
}

void Server::Closed(const std::shared_ptr<Connection>& connection) {
  if (connections_.erase(connection) != 0) {
    const std::size_t held_back = connection->HeldBack();
    log_(connection->Name() + ": disconnected" +
         (held_back == 0
              ? ""
              : " (" + std::to_string(held_back) + " more of its lines were not logged)"));
    connection->Close();
    // Its descriptor is free now.
    ResumeAccepting();
  }
}

void Server::Stop() {
  if (stopped_) {
    return;
  }
  stopped_ = true;
  asio::error_code ignored;
  acceptor_.close(ignored);
  retry_.cancel();
  for (const auto& connection : connections_) {
    log_(connection->Name() + ": closed by the server");
    connection->Close();
  }
  connections_.clear();
}

}  // namespace kx::scpi
