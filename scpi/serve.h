#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "ctl/ctl_options.h"

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
// `options.words` starts with "serve"; LOG:STARt's files go into DIR (by
// default the working folder); at most N clients at once (64). One start-up, then the server until
// SIGINT or SIGTERM. The bound address goes to `out` as "listening on ADDR:PORT"; the log to `err`.
int Serve(const ctl::CtlOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kx::scpi
