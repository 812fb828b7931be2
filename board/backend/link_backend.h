#pragma once

#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "board/backend/link_options.h"
#include "board/backend/named_directory.h"
#include "board/board_link_factory.h"
#include "board/link_kind.h"
#include "board/missing_library.h"
#include "board/operator_port.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"

namespace kx::board {

// The link libraries a program runs on, as its options chose them: the
// simulated board or the hardware backend, optionally behind the traffic
// trace. Qt-free, shared by the panel programs and the command-line tool.
class LinkBackend {
 public:
  // An error text (unreadable settings, a trace file that cannot be opened,
  // bad USB options, a bad board name) means nothing may start. The
  // libraries always offer a directory: the backend's boards and the
  // board's identity with the user's --board-name.
  static std::variant<std::unique_ptr<LinkBackend>, std::string> Create(LinkKind kind,
                                                                        const LinkOptions& options,
                                                                        OperatorPort& port);

  board::LinkLibraries Libraries() const { return libraries_; }
  board::sim::SimBoard* Simulated() const { return sim_.get(); }

  // Whether this build reaches a real board through libusb.
  static bool HasUsbBackend();

  // Why the latest search, connect or download failed, in one line (for the
  // simulated board: why it refused the firmware image); empty when it did not.
  std::string LastProblem() const { return last_problem_ ? last_problem_() : std::string(); }

  // Why the trace file stopped being written, naming the file; empty while
  // it is written, and without a trace. Tracing stops at the first failure;
  // the link goes on.
  std::string TraceProblem() const;
  // Called once, as the trace first fails, with TraceProblem()'s text.
  void OnTraceFailure(std::function<void(const std::string&)> report);

 private:
  LinkBackend() = default;

  // Without --simulate: the platform's backend, or MissingLinkLibrary where
  // it cannot start. Returns an error text for options it refuses.
  std::string OpenHardware(LinkKind kind, const LinkOptions& options, OperatorPort& port);

  std::unique_ptr<board::sim::SimBoard> sim_;
  std::unique_ptr<board::MissingLinkLibrary> missing_;
  std::shared_ptr<void> hardware_;  // whichever libraries the platform's backend made
  std::function<std::string()> last_problem_;
  std::string trace_path_;
  std::unique_ptr<board::trace::FileTraceWriter> trace_file_;
  std::unique_ptr<board::trace::TraceSink> sink_;
  std::unique_ptr<board::trace::TracingCvnCyusbUsb4> cvn_tracer_;
  std::unique_ptr<board::trace::TracingUsbBoardIo> io_tracer_;
  std::string why_no_listing_;
  std::unique_ptr<NamedDirectory> directory_;
  board::LinkLibraries libraries_;
};

}  // namespace kx::board
