#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "commands/call_options.h"
#include "commands/command.h"

namespace kx::scpi {

// Where `kx7312ctl serve` listens unless --listen says otherwise: loopback,
// the usual raw-socket SCPI port.
inline constexpr const char* DefaultListen = "127.0.0.1:5025";

struct ListenAddress {
  std::string address;  // as asio takes it: "127.0.0.1", "::1", or a host name
  unsigned short port = 0;
};

// "ADDR:PORT", "[V6ADDR]:PORT", "HOST:PORT"; port 0 lets the system choose.
// A host name is only checked for its form here; Serve resolves it. On a
// mistake, the message.
struct ParsedListen {
  std::optional<ListenAddress> listen;
  std::string error;
};
ParsedListen ParseListen(const std::string& text);

// kx7312ctl serve [--listen ADDR:PORT] [--log-folder DIR] [--max-clients N]:
// LOG:STARt's files go into the request's folder; at most its number of
// clients at once. One start-up, then the server until SIGINT or SIGTERM.
// The bound address goes to `out` as "listening on ADDR:PORT"; the log to
// `err`. VXI-11 as the request's Vxi11Use says: where it is served,
// "vxi-11 on ADDR:PORT" follows on `out`; where it is not by default, one
// line of the log says why.
int Serve(const commands::CtlOptions& options, const commands::ServeRequest& request,
          std::ostream& out, std::ostream& err);

}  // namespace kx::scpi
