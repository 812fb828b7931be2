// kx7312ctl: the panel's operations from the command line, for scripts and
// test benches.
#include <iostream>
#include <string>
#include <vector>

#include "ctl/run_ctl.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return kx::ctl::RunCtl(args, std::cin, std::cout, std::cerr);
}
