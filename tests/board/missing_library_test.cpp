#include "board/missing_library.h"

#include <gtest/gtest.h>

#include "board/cvn_board_link.h"
#include "board/link_requests.h"
#include "board/usb_board_io_link.h"
#include "support/fake_operator.h"

namespace kx::board {
namespace {

using testing::FakeOperator;

TEST(MissingLibrary, TellsTheOperatorOnceThenActsLikeAnAbsentBoard) {
  FakeOperator port;
  MissingLinkLibrary library("CVN_CYUSB_USB4", "file not found", port);
  CvnBoardLink link(library, "/opt/kx7312");
  port.ShowLoad(link.LoadUSB());

  ASSERT_EQ(port.messages.size(), 2U);
  EXPECT_NE(port.messages[0].text.find("CVN_CYUSB_USB4"), std::string::npos);
  EXPECT_NE(port.messages[0].text.find("file not found"), std::string::npos);
  EXPECT_EQ(port.messages[0].icon, MessageIcon::Critical);
  // Then the normal course for a board that did not answer.
  EXPECT_EQ(port.messages[1].text, "No Evaluation Board Found");
  EXPECT_EQ(port.messages[1].title, ": -1");

  EXPECT_EQ(link.TransferAdcWord(0x8300), 257);
  EXPECT_EQ(link.State().LinkStatus, LibraryMissingStatus);
  link.WriteDacWord(DacLowRequest, 0x00100000);
  EXPECT_LT(link.State().LinkStatus, 0);
  port.ShowLoad(link.LoadUSB());  // a reload does not repeat the explanation
  EXPECT_EQ(port.messages.size(), 3U);
  EXPECT_EQ(port.messages[2].text, "No Evaluation Board Found");
}

TEST(MissingLibrary, ClassicLinkFailsWithNegativeStatuses) {
  FakeOperator port;
  MissingLinkLibrary library("UsbBoardIo", "no such library", port);
  UsbBoardIoLink link(library, "/opt/kx7312");
  port.ShowLoad(link.LoadUSB());
  ASSERT_EQ(port.messages.size(), 2U);
  EXPECT_NE(port.messages[0].text.find("UsbBoardIo"), std::string::npos);
  EXPECT_EQ(port.messages[1].title, ": -1");
  link.SendControlRequest(PulseLdacRequest);
  EXPECT_LT(link.State().LinkStatus, 0);
}

}  // namespace
}  // namespace kx::board
