#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "board/cvn_cyusb_usb4.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "board/usb_board_io.h"
#include "commands/command.h"
#include "commands/console_port.h"
#include "ctl/script.h"
#include "logger/log_clock.h"
#include "session/edition.h"
#include "support/cut_off_library.h"
#include "support/temp_folder.h"

namespace kx::ctl::testing {

using kx::testing::AbsentBoard;
using kx::testing::CutOffStatus;
using kx::testing::ReadBytes;
using kx::testing::TempFolder;
using kx::testing::WriteBytes;

// One vendor request read back from the trace: "0xD9 0x0001FF00".
std::string RequestText(std::uint8_t code, std::uint32_t word);

// The tool's commands, run in this process on the simulated board behind the
// link library of the edition, every call traced. Each Run is one call of the
// tool with its own start-up; the board stays as the calls leave it.
class CtlRig {
 public:
  explicit CtlRig(const Edition& edition = Version2Edition, board::sim::SimSettings settings = {});

  // The words of `command_line` split at blanks, `input` as standard input.
  // Returns the exit status; `out` and `err` hold what the call printed.
  int Run(const std::string& command_line, bool json = false, const std::string& input = "");
  // Commands made by hand, past the checks of the parser.
  int Run(const std::vector<Command>& commands, bool json = false);
  int Run(const CommandSequence& commands, bool json = false);

  // The requests of the last call after its start-up (0xE0 and the four ADC
  // words), as RequestText gives them.
  std::vector<std::string> Requests() const;
  // Every trace line of the last call.
  std::vector<std::string> TraceLines() const;

  const Edition& edition;
  board::sim::SimBoard board;
  kx::testing::CutOffLibrary cut_off{board.Cvn(), board.Io()};
  std::string out;
  std::string err;
  // The clock of `adc log`; none: the machine's.
  logger::LogClock* log_clock = nullptr;

 private:
  std::ostringstream trace_;
  board::trace::TraceSink sink_{trace_};
  board::trace::TracingCvnCyusbUsb4 cvn_{cut_off, sink_};
  board::trace::TracingUsbBoardIo io_{cut_off, sink_};
  ConsolePort port_;
  std::size_t trace_start_ = 0;
};

std::vector<std::string> SplitLines(const std::string& text);

// The folder of the firmware image the simulated board accepts.
std::string FirmwareFolder();

}  // namespace kx::ctl::testing
