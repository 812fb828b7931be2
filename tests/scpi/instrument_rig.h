#pragma once

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "commands/console_port.h"
#include "scpi/instrument.h"
#include "session/edition.h"
#include "support/cut_off_library.h"

namespace kx::scpi::testing {

// The instrument in this process on the simulated board, every call traced,
// the link cut off at will.
class InstrumentRig {
 public:
  explicit InstrumentRig(const Edition& edition = Version2Edition,
                         board::sim::SimSettings settings = {});

  // The response to `line`, or "<none>" when it gave none.
  std::string Ask(const std::string& line, const adc::CaptureStop& stop = {});
  // SYSTem:ERRor? of the rig's client.
  std::string NextError();
  // The trace's request lines so far.
  std::vector<std::string> RequestLines() const;

  const Edition& edition;
  board::sim::SimBoard board;
  kx::testing::CutOffLibrary cut_off{board.Cvn(), board.Io()};
  std::vector<std::string> log;
  Client client{"test client", {}};

 private:
  std::ostringstream trace_;
  board::trace::TraceSink sink_{trace_};
  board::trace::TracingCvnCyusbUsb4 cvn_{cut_off, sink_};
  board::trace::TracingUsbBoardIo io_{cut_off, sink_};
  commands::ConsolePort port_;

 public:
  Instrument instrument;
};

// Settings under which an ADC code equals the DAC code on the same channel.
board::sim::SimSettings LoopbackSettings();

// The folder of the firmware image the simulated board accepts.
std::string FirmwareFolder();

}  // namespace kx::scpi::testing
