// A board that this user may not open: the operator hears once which udev
// rule to install, and the panel goes on as without a board.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/usb/access_message.h"
#include "board/usb/usb_status.h"
#include "file_access.h"
#include "usb_rig.h"

namespace kx::testing {
namespace {

namespace usb = board::usb;

bool Contains(const std::string& text, std::string_view part) {
  return text.find(part) != std::string::npos;
}

class UsbAccess : public UsbBackendTest {};

TEST_F(UsbAccess, BoardWithoutAccessRightsNamesTheRuleFileOnce) {
  for (const bool classic : {false, true}) {
    UsbRig rig;
    rig.board.DenyAccess(true);
    rig.board.PlugIn();
    {
      const WithoutFileAccessOverride as_user;
      ASSERT_TRUE(as_user.Active());
      if (classic) {
        rig.port.ShowLoad(rig.classic.LoadUSB());
        rig.port.ShowLoad(rig.classic.LoadUSB());  // "Reload USB"
      } else {
        rig.port.ShowLoad(rig.version2.LoadUSB());
        rig.port.ShowLoad(rig.version2.LoadUSB());
      }
    }
    ASSERT_EQ(rig.port.messages.size(), 3U) << classic;
    const FakeOperator::Message& access = rig.port.messages[0];
    EXPECT_TRUE(Contains(access.text, "70-kx7312.rules")) << access.text;
    EXPECT_TRUE(Contains(access.text, "packaging/udev/70-kx7312.rules")) << access.text;
    EXPECT_TRUE(Contains(access.text, "/etc/udev/rules.d/")) << access.text;
    EXPECT_TRUE(Contains(access.text, "USB bus 1, address 5")) << access.text;
    EXPECT_EQ(access.title, "KX7312");
    EXPECT_EQ(access.icon, board::MessageIcon::Exclamation);
    for (std::size_t i = 1; i < 3; ++i) {
      EXPECT_EQ(rig.port.messages[i].text, "No Evaluation Board Found");
      EXPECT_EQ(rig.port.messages[i].title, classic ? ": -4" : ": 4");
    }
    EXPECT_TRUE(rig.board.Controls().empty());
    EXPECT_TRUE(Contains(rig.library->LastProblem(), "1:5")) << rig.library->LastProblem();
    if (!classic) {
      EXPECT_EQ(rig.LastTraceLine(),
                "request handle=2 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=-6");
    }

    // Once the rule is in place the same library boots the board.
    rig.board.DenyAccess(false);
    {
      const WithoutFileAccessOverride as_user;
      if (classic) {
        rig.port.ShowLoad(rig.classic.LoadUSB());
      } else {
        rig.port.ShowLoad(rig.version2.LoadUSB());
      }
    }
    EXPECT_EQ(rig.port.messages.size(), 3U);
    EXPECT_TRUE(rig.board.Running());
  }
}

TEST_F(UsbAccess, BoardThatComesBackWithoutAccessRights) {
  UsbRig rig;
  rig.board.PlugIn();
  std::int32_t number = 0;
  std::int32_t handle = 0;
  board::BoardList list{};
  rig.library->Search_For_Boards(0x1234, 0x7312, number, list);
  ASSERT_EQ(rig.library->Connect(0x1234, 0x7312, list[0], handle), 0);
  // Only the node of the board's next appearance is closed to the user.
  rig.board.DenyAccess(true);
  std::int16_t status = 0;
  {
    const WithoutFileAccessOverride as_user;
    ASSERT_TRUE(as_user.Active());
    status = rig.library->Download_Firmware(handle, KX_TEST_FIRMWARE);
  }
  EXPECT_EQ(status, usb::DownloadNoAccess);
  EXPECT_TRUE(rig.board.Running());
  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_TRUE(Contains(rig.port.messages[0].text, "USB bus 1, address 6"));
  std::uint8_t unused = 0;
  EXPECT_EQ(rig.library->Vendor_Request(handle, 0xE0, 0, 0, 0, 0, &unused), usb::RequestNoAccess);
}

TEST(UsbAccessMessage, TellsWhereTheBoardIsAndHowToInstallTheRule) {
  const std::string text = usb::NoAccessMessage({3, 17});
  EXPECT_TRUE(Contains(text, "USB bus 3, address 17")) << text;
  EXPECT_TRUE(Contains(text, "sudo cp packaging/udev/70-kx7312.rules /etc/udev/rules.d/")) << text;
  EXPECT_TRUE(Contains(text, "sudo udevadm control --reload-rules")) << text;
  EXPECT_TRUE(Contains(text, "unplug the board")) << text;
}

}  // namespace
}  // namespace kx::testing
