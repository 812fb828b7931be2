#include "ctl/stop_signals.h"

#include <csignal>

namespace kx::ctl {
namespace {

volatile std::sig_atomic_t stop_raised = 0;

extern "C" void RaiseStop(int /*signal*/) {
  stop_raised = 1;
}

using Handler = void (*)(int);
Handler previous_int = SIG_DFL;
Handler previous_term = SIG_DFL;
#ifdef SIGXFSZ
Handler previous_xfsz = SIG_DFL;
#endif

}  // namespace

StopSignals::StopSignals() {
  stop_raised = 0;
  previous_int = std::signal(SIGINT, RaiseStop);
  previous_term = std::signal(SIGTERM, RaiseStop);
#ifdef SIGXFSZ
  previous_xfsz = std::signal(SIGXFSZ, SIG_IGN);
#endif
}

StopSignals::~StopSignals() {
  std::signal(SIGINT, previous_int);
  std::signal(SIGTERM, previous_term);
#ifdef SIGXFSZ
  std::signal(SIGXFSZ, previous_xfsz);
#endif
}

bool StopSignals::Raised() {
  return stop_raised != 0;
}

}  // namespace kx::ctl
