// kx7312ctl: the panel's operations from the command line, for scripts and
// test benches, and with `serve` the board as a SCPI instrument.
#include <iostream>
#include <string>
#include <vector>

#include "ctl/run_ctl.h"
#ifdef KX_WITH_SERVER
#include "scpi/serve.h"
#endif

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
#ifdef KX_WITH_SERVER
  return kx::ctl::RunCtl(args, std::cin, std::cout, std::cerr, kx::scpi::Serve);
#else
  return kx::ctl::RunCtl(args, std::cin, std::cout, std::cerr);
#endif
}
