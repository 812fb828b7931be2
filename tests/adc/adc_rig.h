#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "adc/adc_operations.h"
#include "adc/adc_word_rules.h"
#include "board/board_link.h"
#include "board/cvn_cyusb_usb4.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "board/usb_board_io.h"
#include "support/cut_off_library.h"
#include "support/fake_operator.h"
#include "support/shown_operations.h"
#include "support/temp_folder.h"

namespace kx::adc::testing {

using kx::testing::AbsentBoard;
using kx::testing::CutOffLibrary;
using kx::testing::CutOffStatus;
using kx::testing::ReadBytes;
using kx::testing::TempFolder;
using kx::testing::WriteBytes;

// The ADC operations on the simulated board behind the link of the given
// rules (CVN_CYUSB_USB4 for Version2, UsbBoardIo for Classic), every link call
// traced. The board is booted and the trace emptied before a test starts.
struct AdcRig {
  explicit AdcRig(AdcWordRules rules, board::sim::SimSettings settings = {});

  // The ADC words passed to TransferAdcWord since the last call, rebuilt from
  // the trace's value and index fields, and the trace lines themselves.
  std::vector<std::uint32_t> TakeAdcWords();
  std::vector<std::string> TakeLines();

  AdcWordRules rules;
  board::sim::SimBoard board;
  CutOffLibrary unplugging{board.Cvn(), board.Io()};
  std::ostringstream out;
  board::trace::TraceSink sink{out};
  board::trace::TracingCvnCyusbUsb4 cvn{unplugging, sink};
  board::trace::TracingUsbBoardIo io{unplugging, sink};
  kx::testing::FakeOperator port;
  std::unique_ptr<board::BoardLink> link;
  AdcOperations core;
  kx::testing::ShownAdc ops{core, port};
};

// Test names for suites run under both word rules.
std::string RulesName(const ::testing::TestParamInfo<AdcWordRules>& info);

// Sets every ADC input to channel x 0.3125 V, so that with the default 2.5 V
// reference and "0V to 2xVREFA" channel c converts to 0x100 x c (straight).
board::sim::SimSettings StaircaseInputs();

// A file's lines split at CR LF; fails the test on a bare LF or a missing
// final CR LF.
std::vector<std::string> CrLfLines(const std::string& bytes);

}  // namespace kx::adc::testing
