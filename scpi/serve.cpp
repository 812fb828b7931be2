#include "scpi/serve.h"

#include <algorithm>
#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/ip/tcp.hpp>
#include <asio/signal_set.hpp>
#include <asio/system_error.hpp>
#include <charconv>
#include <csignal>
#include <filesystem>
#include <memory>
#include <string_view>

#include "board/number_text.h"
#include "commands/call_link.h"
#include "commands/exit_status.h"
#include "commands/session.h"
#include "scpi/instrument.h"
#include "scpi/parser.h"
#include "scpi/portmapper.h"
#include "scpi/rpc_connection.h"
#include "scpi/server.h"
#include "scpi/steady_log_timer.h"
#include "scpi/vxi11_core.h"

namespace kx::scpi {

namespace {

// A name as DNS has them: labels of letters, digits and '-', none longer
// than 63, and a last label that is not all digits (that would be a
// mistyped IPv4 address, such as 300.1.1.1).
bool IsHostName(std::string_view name) {
  if (name.empty() || name.size() > 253) {
    return false;
  }
  bool all_digits = true;
  std::size_t label = 0;
  for (std::size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || name[i] == '.') {
      if (label == 0 || label > 63 || name[i - 1] == '-') {
        return false;
      }
      if (i < name.size()) {
        label = 0;
        all_digits = true;
      }
      continue;
    }
    const char c = name[i];
    const bool digit = c >= '0' && c <= '9';
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (!digit && !letter && (c != '-' || label == 0)) {
      return false;
    }
    all_digits = all_digits && digit;
    ++label;
  }
  return !all_digits;
}

struct ResolvedListen {
  std::optional<asio::ip::tcp::endpoint> endpoint;
  std::string note;  // which address of several was taken
  std::string error;
};

// A host name that resolves to several addresses is served on one: the
// first IPv4 one where there is one, since a client that connects by the
// name tries each address in turn, while one given an address is mostly
// given an IPv4 one ("localhost" is both ::1 and 127.0.0.1 on most systems).
ResolvedListen Resolve(const ListenAddress& listen) {
  asio::error_code error;
  const asio::ip::address address = asio::ip::make_address(listen.address, error);
  if (!error) {
    return {asio::ip::tcp::endpoint(address, listen.port), {}, {}};
  }
  asio::io_context io(1);
  asio::ip::tcp::resolver resolver(io);
  const auto results = resolver.resolve(listen.address, std::to_string(listen.port),
                                        asio::ip::tcp::resolver::numeric_service, error);
  if (error || results.empty()) {
    return {std::nullopt,
            {},
            "\"" + listen.address + "\" does not resolve" +
                (error ? ": " + error.message() : std::string())};
  }
  std::vector<asio::ip::address> found;
  for (const auto& result : results) {
    if (std::find(found.begin(), found.end(), result.endpoint().address()) == found.end()) {
      found.push_back(result.endpoint().address());
    }
  }
  const auto v4 = std::find_if(found.begin(), found.end(),
                               [](const asio::ip::address& one) { return one.is_v4(); });
  const asio::ip::address chosen = v4 != found.end() ? *v4 : found.front();
  std::string note;
  if (found.size() > 1) {
    std::string all;
    for (const asio::ip::address& one : found) {
      all += (all.empty() ? "" : ", ") + one.to_string();
    }
    note = "--listen: " + listen.address + " resolves to " + all + "; listening on " +
           chosen.to_string() + " only";
  }
  return {asio::ip::tcp::endpoint(chosen, listen.port), note, {}};
}

}  // namespace

ParsedListen ParseListen(const std::string& text) {
  const std::string shown = "--listen \"" + text + "\": ";
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos) {
    return {std::nullopt, shown + "expected ADDR:PORT, such as 127.0.0.1:5025"};
  }
  std::string address = text.substr(0, colon);
  const std::string port_text = text.substr(colon + 1);
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  unsigned port = 0;
  const auto [end, error] =
      std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
  if (port_text.empty() || error != std::errc{} || end != port_text.data() + port_text.size() ||
      port > 65535) {
    return {std::nullopt, shown + "the port must be a number from 0 to 65535"};
  }
  asio::error_code bad;
  asio::ip::make_address(address, bad);
  if (bad && !IsHostName(address)) {
    return {std::nullopt, shown + "\"" + address + "\" is no IP address or host name"};
  }
  return {ListenAddress{address, static_cast<unsigned short>(port)}, {}};
}

namespace {

// "listening on ADDR:PORT": IPv6 addresses in brackets.
std::string BoundText(const asio::ip::tcp::endpoint& bound) {
  return (bound.address().is_v6() ? "[" + bound.address().to_string() + "]"
                                  : bound.address().to_string()) +
         ":" + std::to_string(bound.port());
}

// VXI-11 beside the socket: its core channel (the abort channel on the same
// port) on the socket's address, a port the system chooses, and the
// portmapper that tells clients where: the system's or our own.
struct Vxi11Service {
  std::unique_ptr<Vxi11Core> core;
  std::unique_ptr<RpcListener> channel;
  std::unique_ptr<RpcListener> portmapper;
  std::unique_ptr<PortmapperEntry> entry;

  void Stop() {
    if (portmapper) {
      portmapper->Stop();
    }
    if (channel) {
      channel->Stop();
    }
    if (core) {
      core->Stop();
    }
    entry.reset();
  }
};

// The reason VXI-11 cannot be served, or none.
std::optional<std::string> StartVxi11(asio::io_context& io, Instrument& instrument,
                                      const commands::ServeRequest& request,
                                      const asio::ip::address& address, Vxi11Service& service) {
  service.core =
      std::make_unique<Vxi11Core>(io, instrument, static_cast<std::size_t>(request.max_clients));
  Vxi11Core& core = *service.core;
  try {
    service.channel = std::make_unique<RpcListener>(
        io, asio::ip::tcp::endpoint(address, 0),
        [&core](const std::shared_ptr<RpcConnection>& connection, const RpcCall& call,
                const RpcReply& reply) { core.Dispatch(connection, call, reply); },
        Vxi11MaxReceive + 1024, [&core](const RpcConnection& gone) { core.Closed(gone); });
  } catch (const asio::system_error& error) {
    return "cannot listen for VXI-11 on " + address.to_string() + ": " + error.code().message();
  }
  const unsigned short port = service.channel->LocalEndpoint().port();
  core.SetAbortPort(port);
  if (!request.portmapper.empty()) {
    // Its form was checked before the start-up.
    const ParsedListen parsed = ParseListen(request.portmapper);
    const ResolvedListen resolved = Resolve(*parsed.listen);
    if (!resolved.endpoint) {
      return "--portmapper \"" + request.portmapper + "\": " + resolved.error;
    }
    try {
      service.portmapper =
          std::make_unique<RpcListener>(io, *resolved.endpoint, OwnPortmapper(port), 4096);
    } catch (const asio::system_error& error) {
      return "cannot answer the portmapper on " + request.portmapper + ": " +
             error.code().message() +
             (resolved.endpoint->port() < 1024 ? " (a port below 1024 wants root; see the README)"
                                               : "");
    }
  } else {
    std::string error;
    service.entry = PortmapperEntry::Make(port, error);
    if (!service.entry) {
      return error;
    }
  }
  return std::nullopt;
}

enum class Vxi11Start { Served, LeftOut, Failed };

// VXI-11 as the request wants it. Failed, the reason written, only where
// it was asked for; by default a failure leaves it out, said in one line.
// Stopped, not destroyed, when it fails: its listeners' cancelled handlers
// still run once.
Vxi11Start StartVxi11As(asio::io_context& io, Instrument& instrument,
                        const commands::ServeRequest& request, const asio::ip::address& address,
                        Vxi11Service& service, const LogLine& log, std::ostream& err) {
  if (request.vxi11 == commands::Vxi11Use::Off) {
    return Vxi11Start::LeftOut;
  }
  const std::optional<std::string> error = StartVxi11(io, instrument, request, address, service);
  if (!error) {
    return Vxi11Start::Served;
  }
  service.Stop();
  if (request.vxi11 == commands::Vxi11Use::Required) {
    err << "kx7312ctl: serve: VXI-11: " << *error << "\n";
    return Vxi11Start::Failed;
  }
  log("no VXI-11 (TCPIP::host::INSTR), the raw socket alone: " + *error);
  return Vxi11Start::LeftOut;
}

void ShowVxi11(const Vxi11Service& service, std::ostream& out, const LogLine& log) {
  const std::string where = BoundText(service.channel->LocalEndpoint());
  out << "vxi-11 on " << where << "\n";
  log("vxi-11 on " + where);
  if (service.portmapper) {
    const std::string portmapper = BoundText(service.portmapper->LocalEndpoint());
    out << "portmapper on " << portmapper << "\n";
    log("portmapper on " + portmapper);
  }
  out << std::flush;
}

// The start-up and the log's timer and folder; false, the reason written,
// when the board or the folder fails.
bool StartInstrument(Instrument& instrument, SteadyLogTimer& log_timer,
                     const commands::ServeRequest& request, const LogLine& log, std::ostream& err) {
  const commands::Outcome started = instrument.StartUp();
  for (const std::string& message : started.messages) {
    log(message);
  }
  if (!started.Succeeded()) {
    err << "kx7312ctl: start-up: " << started.error << "\n";
    return false;
  }
  // The volts it serves are the calibration's from the first query on: a
  // file that cannot be applied stops the start.
  instrument.UseCalibration(request.calibration);
  if (const commands::Session::CalibrationForVolts calibration = instrument.CalibrationInUse();
      !calibration.error.empty()) {
    err << "kx7312ctl: serve: " << calibration.error << "\n";
    return false;
  } else if (calibration.note) {
    log("calibration: " + calibration.note->path);
  }
  instrument.UseLogTimer(log_timer);
  if (const std::optional<std::string> error = instrument.SetLogFolder(request.log_folder)) {
    err << "kx7312ctl: serve: " << *error << "\n";
    return false;
  }
  if (const std::optional<std::string> error = instrument.SetSetupFolder(request.setup_folder)) {
    err << "kx7312ctl: serve: " << *error << "\n";
    return false;
  }
  return true;
}

// The instrument's life on the link: start-up, the server until a signal.
int ServeOn(const commands::CtlOptions& options, const commands::ServeRequest& request,
            const ResolvedListen& resolved, const commands::LinkSetup& link, std::ostream& out,
            std::ostream& err) {
  const LogLine log = [&err](const std::string& line) {
    err << "kx7312ctl serve: " << line << "\n" << std::flush;
  };
  // Before the instrument, so that they outlive a log it still runs.
  asio::io_context io(1);
  SteadyLogTimer log_timer(io);
  Instrument instrument(
      *options.edition,
      [&] {
        return std::make_unique<commands::Session>(*options.edition, link.libraries, link.port,
                                                   link.program_folder, link.link_problem,
                                                   commands::AfterFailure::Serve);
      },
      log);
  if (!resolved.note.empty()) {
    log(resolved.note);
  }
  if (!StartInstrument(instrument, log_timer, request, log, err)) {
    return commands::ExitFailure;
  }
  std::unique_ptr<Server> server;
  try {
    server = std::make_unique<Server>(io, instrument, *resolved.endpoint, log,
                                      static_cast<std::size_t>(request.max_clients));
  } catch (const asio::system_error& error) {
    err << "kx7312ctl: serve: cannot listen on " << request.listen << ": " << error.code().message()
        << "\n";
    return commands::ExitFailure;
  }
  Vxi11Service vxi11;
  // Before the portmapper entry and the lines that tell a client where to
  // connect: a signal from then on stops the server and removes the entry.
  asio::signal_set signals(io, SIGINT, SIGTERM);
  signals.async_wait([&](const asio::error_code& error, int signal) {
    if (!error) {
      log(signal == SIGINT ? "SIGINT: stopping" : "SIGTERM: stopping");
      instrument.StopLog();
      vxi11.Stop();
      server->Stop();
    }
  });
  const Vxi11Start vxi11_start =
      StartVxi11As(io, instrument, request, resolved.endpoint->address(), vxi11, log, err);
  if (vxi11_start == Vxi11Start::Failed) {
    return commands::ExitFailure;
  }
  const std::string where = BoundText(server->LocalEndpoint());
  out << "listening on " << where << "\n" << std::flush;
  log("listening on " + where);
  if (vxi11_start == Vxi11Start::Served) {
    ShowVxi11(vxi11, out, log);
  }
  io.run();
  log("stopped");
  return commands::ExitSuccess;
}

}  // namespace

int Serve(const commands::CtlOptions& options, const commands::ServeRequest& request,
          std::ostream& out, std::ostream& err) {
  const std::string& listen_text = request.listen;
  if (options.json) {
    err << "kx7312ctl: serve: --json has no meaning for the server\n";
    return commands::ExitUsage;
  }
  const ParsedListen listen = ParseListen(listen_text);
  if (!listen.listen) {
    err << "kx7312ctl: serve: " << listen.error << "\n";
    return commands::ExitUsage;
  }
  const ResolvedListen resolved = Resolve(*listen.listen);
  if (!resolved.endpoint) {
    err << "kx7312ctl: serve: --listen \"" << listen_text << "\": " << resolved.error << "\n";
    return commands::ExitUsage;
  }
  if (!request.portmapper.empty()) {
    const ParsedListen portmapper = ParseListen(request.portmapper);
    if (!portmapper.listen) {
      err << "kx7312ctl: serve: --portmapper" << portmapper.error.substr(portmapper.error.find(' '))
          << "\n";
      return commands::ExitUsage;
    }
  }
  // A client that closes while its reply is written must cost the server
  // nothing but that client; nor may any other pipe or socket end it.
  std::signal(SIGPIPE, SIG_IGN);
  return commands::WithLink(options, err, [&](const commands::LinkSetup& link) {
    return ServeOn(options, request, resolved, link, out, err);
  });
}

}  // namespace kx::scpi
