#include "board/win/win_cvn_cyusb_usb4.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "board/cvn_board_link.h"
#include "board/firmware_path.h"
#include "board/link_requests.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "link_exercise.h"
#include "standin_paths.h"
#include "support/fake_operator.h"

namespace kx::board::win {
namespace {

using kx::testing::FakeOperator;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The trace of Exercise over a library: every argument and every answer.
std::string ExerciseTrace(CvnCyusbUsb4& library, FakeOperator& port) {
  std::ostringstream out;
  trace::TraceSink sink(out);
  trace::TracingCvnCyusbUsb4 traced(library, sink);
  CvnBoardLink link(traced, ProgramFolder());
  Exercise(link, port);
  return out.str();
}

class WinCvnStandIn : public ::testing::TestWithParam<const char*> {};

// Test names: the stand-in's folder, spelt as a name.
std::string FolderName(const ::testing::TestParamInfo<const char*>& info) {
  return std::string(info.param) == "cvn" ? "Plain" : "SplitInTwo";
}

INSTANTIATE_TEST_SUITE_P(Libraries, WinCvnStandIn, ::testing::Values("cvn", "cvn-split"),
                         FolderName);

// The stand-in answers from the same board model as the simulated board in
// this process, so through a faithful binding both give the same trace.
TEST_P(WinCvnStandIn, CarriesEveryArgumentAndAnswerUnchanged) {
  FakeOperator reference_port;
  sim::SimBoard reference;
  const std::string expected = ExerciseTrace(reference.Cvn(), reference_port);
  ASSERT_TRUE(Contains(expected, "download handle=1 status=0")) << expected;
  ASSERT_TRUE(Contains(expected, "code=0xE4 value=0x8390 index=-1 dir=1 len=3 status=0"))
      << expected;
  ASSERT_TRUE(reference_port.messages.empty());

  FakeOperator port;
  WinCvnCyusbUsb4 library(port, CvnStandIn(GetParam()));
  EXPECT_FALSE(library.Dll().Loaded());
  EXPECT_EQ(ExerciseTrace(library, port), expected);
  EXPECT_TRUE(library.Dll().Loaded());
  EXPECT_TRUE(port.messages.empty());
}

TEST(WinCvnCyusbUsb4, AMissingFunctionIsToldAtItsFirstCallThenTheBoardIsAbsent) {
  FakeOperator port;
  WinCvnCyusbUsb4 library(port, CvnStandIn("cvn-no-request"));
  CvnBoardLink link(library, ProgramFolder());
  port.ShowLoad(link.LoadUSB());

  // Search, connect and download came from the library; the post-boot
  // request found Vendor_Request missing.
  EXPECT_EQ(link.State().BoardHandle, 1);
  EXPECT_EQ(link.State().LinkStatus, LibraryMissingStatus);
  ASSERT_EQ(port.messages.size(), 1U);
  const std::string& text = port.messages[0].text;
  EXPECT_TRUE(Contains(text, "cvn-no-request\\CVN_CYUSB_USB4.dll")) << text;
  EXPECT_TRUE(Contains(text, "no function Vendor_Request: ")) << text;
  EXPECT_TRUE(Contains(text, "(error 127)")) << text;

  EXPECT_EQ(link.TransferAdcWord(0x8300), 0x0101);  // nothing written into the reply
  port.ShowLoad(link.LoadUSB());
  ASSERT_EQ(port.messages.size(), 2U);
  EXPECT_EQ(port.messages[1].text, "No Evaluation Board Found");
  EXPECT_EQ(port.messages[1].title, ": -1");
}

TEST(WinCvnCyusbUsb4, AMissingLibraryIsToldOnceThenTheBoardIsAbsent) {
  FakeOperator port;
  WinCvnCyusbUsb4 library(port, CvnStandIn("nowhere"));
  CvnBoardLink link(library, ProgramFolder());
  port.ShowLoad(link.LoadUSB());

  ASSERT_EQ(port.messages.size(), 2U);
  const std::string& text = port.messages[0].text;
  EXPECT_TRUE(Contains(text, "nowhere\\CVN_CYUSB_USB4.dll could not be loaded: ")) << text;
  EXPECT_TRUE(Contains(text, "(error 126)")) << text;
  EXPECT_EQ(port.messages[1].text, "No Evaluation Board Found");
  EXPECT_EQ(port.messages[1].title, ": -1");

  link.WriteDacWord(DacLowRequest, 0x03000800);
  EXPECT_EQ(link.State().LinkStatus, LibraryMissingStatus);
  port.ShowLoad(link.LoadUSB());
  ASSERT_EQ(port.messages.size(), 3U);
  EXPECT_EQ(port.messages[2].text, "No Evaluation Board Found");
}

}  // namespace
}  // namespace kx::board::win
