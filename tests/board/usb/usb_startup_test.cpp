// The whole start-up of both links against the emulated board: find it,
// hold its CPU, load the image, let it go, follow it to its new address,
// reopen it and send the post-boot request.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/link_requests.h"
#include "board/sim/sim_board.h"
#include "board/usb/usb_status.h"
#include "usb_rig.h"

namespace kx::testing {
namespace {

using board::BoardList;
using board::sim::SimBoard;
namespace usb = board::usb;

const std::string kFirmwarePath = FirmwareFolder() + "/KX7312FW.hex";

int PostBoots(const UsbRig& rig) {
  return rig.board.InspectChip([](const SimBoard& chip) { return chip.PostBootCount(); });
}

// The loader traffic one appearance of the board saw: CPU held, the image,
// CPU released.
void ExpectDownloadSeenBy(const UsbRig& rig, int device_number) {
  std::vector<ControlRecord> seen;
  for (const ControlRecord& record : SeenBy(rig.board.Controls(), device_number)) {
    if (record.setup.request == 0xA0) {
      seen.push_back(record);
    }
  }
  ASSERT_GE(seen.size(), 3U);
  const ControlRecord& hold = seen.front();
  EXPECT_EQ(hold.setup.request_type, 0x40);
  EXPECT_EQ(hold.setup.request, 0xA0);
  EXPECT_EQ(hold.setup.value, 0xE600);
  EXPECT_EQ(hold.setup.index, 0);
  EXPECT_EQ(hold.data, (std::vector<std::uint8_t>{0x01}));
  const ControlRecord& release = seen.back();
  EXPECT_EQ(release.setup.request, 0xA0);
  EXPECT_EQ(release.setup.value, 0xE600);
  EXPECT_EQ(release.data, (std::vector<std::uint8_t>{0x00}));
  for (std::size_t i = 1; i + 1 < seen.size(); ++i) {
    EXPECT_EQ(seen[i].setup.request_type, 0x40) << i;
    EXPECT_EQ(seen[i].setup.request, 0xA0) << i;
    EXPECT_NE(seen[i].setup.value, 0xE600) << i;
    EXPECT_LE(seen[i].data.size(), 1024U) << i;
    EXPECT_EQ(seen[i].setup.length, seen[i].data.size()) << i;
  }
  EXPECT_EQ(LoaderWrites(seen), DataRecordBytes(KX_TEST_FIRMWARE));
}

class UsbStartUp : public UsbBackendTest {};

TEST_F(UsbStartUp, Version2BootsAWaitingBoardAndFollowsItToItsNewAddress) {
  UsbRig rig;
  rig.board.PlugIn();
  ASSERT_EQ(rig.board.Address(), (usb::UsbBusAddress{1, 5}));

  rig.port.ShowLoad(rig.version2.LoadUSB());

  EXPECT_EQ(rig.TraceLines(),
            (std::vector<std::string>{
                "search vendor=0x1234 product=0x7312 found=1",
                "connect vendor=0x1234 product=0x7312 board=1 handle=1",
                "download handle=1 status=0 path=" + kFirmwarePath,
                "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0",
            }));
  EXPECT_TRUE(rig.port.messages.empty());
  EXPECT_EQ(rig.version2.State().LinkStatus, 0);
  EXPECT_EQ(rig.version2.State().BoardHandle, 1);

  // The board left address 5 and came back at 6 running its firmware.
  EXPECT_TRUE(rig.board.Running());
  EXPECT_EQ(rig.board.Appearances(), 2);
  EXPECT_EQ(rig.board.Address(), (usb::UsbBusAddress{1, 6}));
  ExpectDownloadSeenBy(rig, 5);
  const std::vector<ControlRecord> after = SeenBy(rig.board.Controls(), 6);
  ASSERT_EQ(after.size(), 1U);
  EXPECT_EQ(after[0].setup.request_type, 0x40);
  EXPECT_EQ(after[0].setup.request, board::PostBootRequest);
  EXPECT_EQ(after[0].setup.length, 0);
  EXPECT_EQ(PostBoots(rig), 1);
  EXPECT_TRUE(rig.library->LastProblem().empty()) << rig.library->LastProblem();
}

TEST_F(UsbStartUp, ClassicBootsTheBoardThroughLoadFirmWare) {
  UsbRig rig;
  rig.board.PlugIn();

  rig.port.ShowLoad(rig.classic.LoadUSB());

  EXPECT_EQ(rig.TraceLines(), (std::vector<std::string>{
                                  "loadfirmware status=0 path=" + kFirmwarePath,
                                  "request code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0",
                              }));
  EXPECT_TRUE(rig.port.messages.empty());
  EXPECT_TRUE(rig.board.Running());
  EXPECT_EQ(rig.board.Address(), (usb::UsbBusAddress{1, 6}));
  ExpectDownloadSeenBy(rig, 5);
  EXPECT_EQ(PostBoots(rig), 1);
}

TEST_F(UsbStartUp, ReloadLoadsTheRunningBoardAgainOnANewHandle) {
  UsbRig rig;
  rig.board.PlugIn();
  rig.port.ShowLoad(rig.version2.LoadUSB());
  rig.port.ShowLoad(rig.version2.LoadUSB());

  const std::vector<std::string> lines = rig.TraceLines();
  ASSERT_EQ(lines.size(), 8U);
  EXPECT_EQ(lines[4], "search vendor=0x1234 product=0x7312 found=1");
  EXPECT_EQ(lines[5], "connect vendor=0x1234 product=0x7312 board=1 handle=2");
  EXPECT_EQ(lines[6], "download handle=2 status=0 path=" + kFirmwarePath);
  EXPECT_EQ(lines[7], "request handle=2 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0");
  EXPECT_TRUE(rig.port.messages.empty());
  EXPECT_EQ(rig.version2.State().BoardHandle, 2);

  // The running board re-enumerated once more, from 6 to 7.
  EXPECT_EQ(rig.board.Appearances(), 3);
  EXPECT_EQ(rig.board.Address(), (usb::UsbBusAddress{1, 7}));
  ExpectDownloadSeenBy(rig, 6);
  EXPECT_EQ(PostBoots(rig), 2);

  // Only the latest handle is accepted.
  std::uint8_t unused = 0;
  EXPECT_EQ(rig.library->Vendor_Request(1, board::PulseLdacRequest, 0, 0, 0, 0, &unused),
            usb::RequestBadHandle);
  EXPECT_EQ(rig.library->Vendor_Request(2, board::PulseLdacRequest, 0, 0, 0, 0, &unused), 0);
}

TEST_F(UsbStartUp, ClassicReloadWorksOnABoardThatRunsAlready) {
  UsbRig rig(RunningBoard());
  rig.board.PlugIn();
  rig.port.ShowLoad(rig.classic.LoadUSB());
  rig.port.ShowLoad(rig.classic.LoadUSB());

  EXPECT_TRUE(rig.port.messages.empty());
  EXPECT_EQ(rig.classic.State().LinkStatus, 0);
  EXPECT_EQ(rig.board.Appearances(), 3);
  ExpectDownloadSeenBy(rig, 5);
  ExpectDownloadSeenBy(rig, 6);
  EXPECT_EQ(PostBoots(rig), 2);
}

TEST_F(UsbStartUp, NoBoardGivesTheMessageAndStillSendsPostBoot) {
  UsbRig rig;
  rig.port.ShowLoad(rig.version2.LoadUSB());
  EXPECT_EQ(rig.TraceLines(),
            (std::vector<std::string>{
                "search vendor=0x1234 product=0x7312 found=0",
                "connect vendor=0x1234 product=0x7312 board=0 handle=1",
                "download handle=1 status=1 path=" + kFirmwarePath,
                "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=-1",
            }));
  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_EQ(rig.port.messages[0].text, "No Evaluation Board Found");
  EXPECT_EQ(rig.port.messages[0].title, ": 1");

  rig.port.ShowLoad(rig.classic.LoadUSB());
  ASSERT_EQ(rig.port.messages.size(), 2U);
  EXPECT_EQ(rig.port.messages[1].title, ": -1");
  EXPECT_EQ(rig.LastTraceLine(), "request code=0xE0 value=0x0000 index=0 dir=0 len=0 status=-1");
}

TEST_F(UsbStartUp, SearchDescribesTheBoardsItFound) {
  UsbRig rig;
  rig.board.PlugIn();
  BoardList list{};
  std::int32_t number = 0;
  EXPECT_EQ(rig.library->Search_For_Boards(0x1234, 0x7312, number, list), 1);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(list[0], 1);  // the board Connect opens
  EXPECT_EQ(list[1], 1);  // boards described
  EXPECT_EQ(list[4], 1);  // bus
  EXPECT_EQ(list[5], 5);  // address
  EXPECT_EQ(list[6], 2);  // waiting for firmware
  EXPECT_EQ(list[8], 0);  // no second board

  rig.port.ShowLoad(rig.version2.LoadUSB());
  list.fill(0xEE);
  EXPECT_EQ(rig.library->Search_For_Boards(0x1234, 0x7312, number, list), 1);
  EXPECT_EQ(list[5], 6);
  EXPECT_EQ(list[6], 1);  // running its firmware
  EXPECT_EQ(list[127], 0);
}

TEST_F(UsbStartUp, BusOptionPicksTheBoardThereAndFollowsIt) {
  struct Case {
    usb::UsbBusAddress place;
    std::int16_t first_status;
  };
  for (const Case c :
       {Case{{1, 5}, 0}, Case{{1, 9}, usb::DownloadNoBoard}, Case{{2, 5}, usb::DownloadNoBoard}}) {
    usb::UsbOptions options;
    options.bus_address = c.place;
    UsbRig rig(WaitingBoard(), options);
    rig.board.PlugIn();
    rig.port.ShowLoad(rig.version2.LoadUSB());
    if (c.first_status != 0) {
      ASSERT_EQ(rig.port.messages.size(), 1U);
      EXPECT_EQ(rig.port.messages[0].title, ": " + std::to_string(c.first_status));
      EXPECT_TRUE(rig.board.Controls().empty());
      continue;
    }
    EXPECT_TRUE(rig.port.messages.empty());
    // 1:5 is gone after the download; the board at its port is still ours.
    rig.port.ShowLoad(rig.version2.LoadUSB());
    EXPECT_TRUE(rig.port.messages.empty());
    EXPECT_EQ(rig.board.Appearances(), 3);
    EXPECT_EQ(PostBoots(rig), 2);
  }
}

TEST_F(UsbStartUp, IdentifiersComeFromTheOptions) {
  EmulatedBoardSetup setup = WaitingBoard();
  setup.loader = {0xABCD, 0x0100};
  setup.running = {0xABCD, 0x0200};

  {
    UsbRig unknown(setup);
    unknown.board.PlugIn();
    unknown.port.ShowLoad(unknown.version2.LoadUSB());
    ASSERT_EQ(unknown.port.messages.size(), 1U);
    EXPECT_EQ(unknown.port.messages[0].title, ": 1");
    EXPECT_TRUE(unknown.board.Controls().empty());
  }

  usb::UsbOptions options;
  options.loader = setup.loader;
  options.running = setup.running;
  UsbRig known(setup, options);
  known.board.PlugIn();
  known.port.ShowLoad(known.version2.LoadUSB());
  EXPECT_TRUE(known.port.messages.empty());
  EXPECT_TRUE(known.board.Running());
  EXPECT_EQ(PostBoots(known), 1);
}

}  // namespace
}  // namespace kx::testing
