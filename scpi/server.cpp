#include "scpi/server.h"

#include <poll.h>

#include <array>
#include <asio/write.hpp>
#include <exception>
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

  void Start() { Read(); }

  void Close() {
    // A log it started outlives it, but its errors have nowhere to go.
    server_.instrument_.Forget(client_);
    asio::error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
  }

 private:
  void Read() {
    socket_.async_read_some(
        asio::buffer(buffer_),
        [self = shared_from_this()](const asio::error_code& error, std::size_t size) {
          if (error) {
            self->server_.Closed(self);
            return;
          }
          self->Take(std::string_view(self->buffer_.data(), size));
        });
  }

  // Runs every whole line of what arrived, then sends the responses before
  // reading on: a client that does not read its responses is not read
  // either, and cannot make the server hold more than one batch for it.
  void Take(std::string_view bytes) {
    std::string responses;
    while (!bytes.empty()) {
      const std::size_t end = bytes.find('\n');
      const std::string_view part = bytes.substr(0, end);
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
        break;
      }
      bytes.remove_prefix(end + 1);
      if (!discarding_) {
        RunLine(responses);
      }
      discarding_ = false;
      line_.clear();
    }
    if (responses.empty()) {
      Read();
      return;
    }
    out_ = std::move(responses);
    asio::async_write(socket_, asio::buffer(out_),
                      [self = shared_from_this()](const asio::error_code& error, std::size_t) {
                        if (error) {
                          self->server_.Closed(self);
                          return;
                        }
                        self->Read();
                      });
  }

  void RunLine(std::string& responses) {
    if (!line_.empty() && line_.back() == '\r') {
      line_.pop_back();
    }
    int calls = 0;
    const adc::CaptureStop stop = [this, &calls] {
      return ++calls % kStopCheckInterval == 0 && Gone();
    };
    try {
      if (const std::optional<std::string> response =
              server_.instrument_.Execute(line_, client_, stop)) {
        responses += *response;
        responses += '\n';
      }
    } catch (const std::exception& error) {
      // Whatever went wrong inside one command must not end the server for
      // every client.
      server_.instrument_.Refuse(client_, MakeError(DeviceSpecificError, error.what()));
    }
  }

  // Whether the client has closed its side: asked during a capture, which
  // holds the one thread, so the read that would notice cannot run.
  bool Gone() {
    pollfd descriptor{socket_.native_handle(), POLLRDHUP, 0};
    if (::poll(&descriptor, 1, 0) <= 0) {
      return false;
    }
    if ((descriptor.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) {
      server_.log_(client_.name + ": gone during a capture; the capture was stopped");
      return true;
    }
    return false;
  }

  Server& server_;
  tcp::socket socket_;
  Client client_;
  std::array<char, 16384> buffer_{};
  std::string line_;
  bool discarding_ = false;
  std::string out_;
};

Server::Server(asio::io_context& io, Instrument& instrument, const tcp::endpoint& endpoint,
               LogLine log)
    : acceptor_(io, endpoint), instrument_(instrument), log_(std::move(log)) {
  Accept();
}

Server::~Server() {
  Stop();
}

void Server::Accept() {
  acceptor_.async_accept([this](const asio::error_code& error, tcp::socket socket) {
    if (stopped_) {
      return;
    }
    if (!error) {
      auto connection = std::make_shared<Connection>(*this, std::move(socket));
      connections_.insert(connection);
      log_(connection->Name() + ": connected");
      connection->Start();
    } else {
      log_("accept: " + error.message());
    }
    Accept();
  });
}

void Server::Closed(const std::shared_ptr<Connection>& connection) {
  if (connections_.erase(connection) != 0) {
    log_(connection->Name() + ": disconnected");
    connection->Close();
  }
}

void Server::Stop() {
  if (stopped_) {
    return;
  }
  stopped_ = true;
  asio::error_code ignored;
  acceptor_.close(ignored);
  for (const auto& connection : connections_) {
    log_(connection->Name() + ": closed by the server");
    connection->Close();
  }
  connections_.clear();
}

}  // namespace kx::scpi
