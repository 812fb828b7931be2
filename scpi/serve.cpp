#include "scpi/serve.h"

#include <asio/io_context.hpp>
#include <asio/ip/address.hpp>
#include <asio/signal_set.hpp>
#include <asio/system_error.hpp>
#include <charconv>
#include <csignal>
#include <filesystem>
#include <memory>

#include "ctl/exit_status.h"
#include "ctl/run_ctl.h"
#include "ctl/session.h"
#include "scpi/instrument.h"
#include "scpi/server.h"
#include "scpi/steady_log_timer.h"

namespace kx::scpi {

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
  if (bad) {
    return {std::nullopt, shown + "\"" + address + "\" is no IP address"};
  }
  return {ListenAddress{address, static_cast<unsigned short>(port)}, {}};
}

int Serve(const ctl::CtlOptions& options, std::ostream& out, std::ostream& err) {
  std::string listen_text = DefaultListen;
  std::string log_folder;  // none: the working folder
  for (std::size_t i = 1; i < options.words.size(); ++i) {
    const std::string& word = options.words[i];
    if (word == "--listen" && i + 1 < options.words.size()) {
      listen_text = options.words[++i];
    } else if (word.starts_with("--listen=")) {
      listen_text = word.substr(9);
    } else if (word == "--log-folder" && i + 1 < options.words.size()) {
      log_folder = options.words[++i];
    } else if (word.starts_with("--log-folder=")) {
      log_folder = word.substr(13);
    } else {
      err << "kx7312ctl: serve: unexpected \"" << word
          << "\" (expected serve [--listen ADDR:PORT] [--log-folder DIR])\n";
      return ctl::ExitUsage;
    }
  }
  std::error_code folder_error;
  if (!log_folder.empty() && !std::filesystem::is_directory(log_folder, folder_error)) {
    err << "kx7312ctl: serve: --log-folder \"" << log_folder << "\" is no folder\n";
    return ctl::ExitUsage;
  }
  if (options.json) {
    err << "kx7312ctl: serve: --json has no meaning for the server\n";
    return ctl::ExitUsage;
  }
  const ParsedListen listen = ParseListen(listen_text);
  if (!listen.listen) {
    err << "kx7312ctl: serve: " << listen.error << "\n";
    return ctl::ExitUsage;
  }

  return ctl::WithLink(options, err, [&](const ctl::LinkSetup& link) {
    const LogLine log = [&err](const std::string& line) {
      err << "kx7312ctl serve: " << line << "\n" << std::flush;
    };
    // Before the instrument, so that they outlive a log it still runs.
    asio::io_context io(1);
    SteadyLogTimer log_timer(io);
    Instrument instrument(
        *options.edition,
        [&] {
          return std::make_unique<ctl::Session>(*options.edition, link.libraries, link.port,
                                                link.program_folder, link.link_problem,
                                                ctl::AfterFailure::Serve);
        },
        log);
    const ctl::Outcome started = instrument.StartUp();
    for (const std::string& message : started.messages) {
      log(message);
    }
    if (!started.Succeeded()) {
      err << "kx7312ctl: start-up: " << started.error << "\n";
      return ctl::ExitFailure;
    }

    instrument.UseLogTimer(log_timer);
    if (const std::optional<std::string> error = instrument.SetLogFolder(log_folder)) {
      err << "kx7312ctl: serve: " << *error << "\n";
      return ctl::ExitFailure;
    }
    std::unique_ptr<Server> server;
    try {
      server = std::make_unique<Server>(
          io, instrument,
          asio::ip::tcp::endpoint(asio::ip::make_address(listen.listen->address),
                                  listen.listen->port),
          log);
    } catch (const asio::system_error& error) {
      err << "kx7312ctl: serve: cannot listen on " << listen_text << ": " << error.code().message()
          << "\n";
      return ctl::ExitFailure;
    }
    const asio::ip::tcp::endpoint bound = server->LocalEndpoint();
    const std::string where = (bound.address().is_v6() ? "[" + bound.address().to_string() + "]"
                                                       : bound.address().to_string()) +
                              ":" + std::to_string(bound.port());
    out << "listening on " << where << "\n" << std::flush;
    log("listening on " + where);

    asio::signal_set signals(io, SIGINT, SIGTERM);
    signals.async_wait([&](const asio::error_code& error, int signal) {
      if (!error) {
        log(signal == SIGINT ? "SIGINT: stopping" : "SIGTERM: stopping");
        instrument.StopLog();
        server->Stop();
      }
    });
    io.run();
    log("stopped");
    return ctl::ExitSuccess;
  });
}

}  // namespace kx::scpi
