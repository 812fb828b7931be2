#pragma once

namespace kx::ctl {

// While one lives, SIGINT and SIGTERM only raise a flag, so that a running
// log can finish its row and close its file, and SIGXFSZ is ignored, so that
// a file over the size limit fails its write with a reason instead of
// ending the program. The earlier handlers come back when it goes.
class StopSignals {
 public:
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Whether a stop signal came since the flag was raised last.
  static bool Raised();
};

}  // namespace kx::ctl
