#include "board/win/win_usb_board_io.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "board/firmware_path.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "board/usb_board_io_link.h"
#include "board/win/usb_board_io_names.h"
#include "link_exercise.h"
#include "standin_paths.h"
#include "support/fake_operator.h"

namespace kx::board::win {
namespace {

using kx::testing::FakeOperator;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string ExerciseTrace(UsbBoardIo& library, FakeOperator& port) {
  std::ostringstream out;
  trace::TraceSink sink(out);
  trace::TracingUsbBoardIo traced(library, sink);
  UsbBoardIoLink link(traced, ProgramFolder());
  Exercise(link, port);
  return out.str();
}

class WinUsbBoardIoStandIn : public ::testing::TestWithParam<const char*> {};

std::string FolderName(const ::testing::TestParamInfo<const char*>& info) {
  return std::string(info.param) == "io-plain" ? "Plain" : "Decorated";
}

INSTANTIATE_TEST_SUITE_P(Exports, WinUsbBoardIoStandIn,
                         ::testing::Values("io-decorated", "io-plain"), FolderName);

TEST_P(WinUsbBoardIoStandIn, CarriesEveryArgumentAndAnswerUnchanged) {
  FakeOperator reference_port;
  sim::SimBoard reference;
  const std::string expected = ExerciseTrace(reference.Io(), reference_port);
  ASSERT_TRUE(Contains(expected, "loadfirmware status=0")) << expected;
  ASSERT_TRUE(Contains(expected, "code=0xE4 value=0x8390 index=-1 dir=1 len=3 status=0"))
      << expected;
  ASSERT_TRUE(reference_port.messages.empty());

  FakeOperator port;
  WinUsbBoardIo library(port, UsbBoardIoStandIn(GetParam()));
  EXPECT_EQ(ExerciseTrace(library, port), expected);
  EXPECT_TRUE(port.messages.empty());
}

TEST(WinUsbBoardIo, AMissingFunctionIsToldWithEveryNameTried) {
  FakeOperator port;
  WinUsbBoardIo library(port, UsbBoardIoStandIn("io-no-request"));
  UsbBoardIoLink link(library, ProgramFolder());
  port.ShowLoad(link.LoadUSB());

  // LoadFirmWare came from the library, so no failed start-up is reported.
  ASSERT_EQ(port.messages.size(), 1U);
  const std::string& text = port.messages[0].text;
  EXPECT_TRUE(Contains(text, "io-no-request\\UsbBoardIo.dll")) << text;
  std::string names;
  for (const char* name : VendorIORequestNames()) {
    names += (names.empty() ? "" : ", ") + std::string(name);
  }
  EXPECT_TRUE(Contains(text, "no function VendorIORequest under any of the names " + names + ": "))
      << text;
  EXPECT_TRUE(Contains(text, "(error 127)")) << text;
  EXPECT_EQ(link.State().LinkStatus, LibraryMissingStatus);
}

TEST(WinUsbBoardIo, WithoutTheLibraryAnywhereTheBoardIsAbsent) {
  FakeOperator port;
  WinUsbBoardIo library(port);
  UsbBoardIoLink link(library, ProgramFolder());
  port.ShowLoad(link.LoadUSB());
  ASSERT_EQ(port.messages.size(), 2U);
  EXPECT_TRUE(Contains(port.messages[0].text, "UsbBoardIo.dll could not be loaded: "));
  EXPECT_TRUE(Contains(port.messages[0].text, "(error 126)"));
  EXPECT_EQ(port.messages[1].text, "No Evaluation Board Found");
  EXPECT_EQ(port.messages[1].title, ": -1");
}

}  // namespace
}  // namespace kx::board::win
