#pragma once

#include <QObject>
#include <string>

#include "board/operator_port.h"

namespace kx::panel {

// Tells the operator, once, that the trace file could not be written. The
// message waits until the handler that ran into the failure has finished and
// no box of its own is up: in the middle of a capture it would hold up the
// transfers, and the trace is a side matter to the operation.
class TraceNotice final : public QObject {
 public:
  explicit TraceNotice(board::OperatorPort& port) : port_(port) {}

  // From the trace, at its first failure; later calls change nothing.
  void Report(const std::string& problem);

  static constexpr const char* Title = "Trace";

 private:
  void ShowWhenIdle();

  board::OperatorPort& port_;
  std::string problem_;
  bool reported_ = false;
};

}  // namespace kx::panel
