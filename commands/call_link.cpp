#include "commands/call_link.h"

#include <memory>
#include <variant>

#include "board/backend/link_backend.h"
#include "board/firmware_path.h"
#include "commands/exit_status.h"

namespace kx::commands {

int WithLink(const CtlOptions& options, std::ostream& err,
             const std::function<int(const LinkSetup& link)>& body) {
  ConsolePort port;
  auto created = board::LinkBackend::Create(options.edition->link, options.link, port);
  if (const auto* error = std::get_if<std::string>(&created)) {
    err << "kx7312ctl: " << *error << "\n";
    return ExitUsage;
  }
  const board::LinkBackend& backend = *std::get<std::unique_ptr<board::LinkBackend>>(created);
  LinkSetup link{backend.Libraries(), port, board::FirmwareFolder(),
                 [&backend] { return backend.LastProblem(); }};
  const int status = body(link);
  // Said once, at the end: the link went on without its trace, but a trace
  // that silently misses calls would mislead whoever reads it.
  if (const std::string trace = backend.TraceProblem(); !trace.empty()) {
    err << "kx7312ctl: " << trace << "\n";
    return ExitFailure;
  }
  return status;
}

}  // namespace kx::commands
