// Firmware downloads that go wrong, and one long image that goes right.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/usb/usb_status.h"
#include "usb_rig.h"

namespace kx::testing {
namespace {

namespace usb = board::usb;

// An Intel HEX text of 16-byte data records for the given runs of bytes.
std::string HexText(const std::vector<std::pair<std::uint16_t, std::vector<std::uint8_t>>>& runs) {
  std::string text;
  for (const auto& [start, bytes] : runs) {
    for (std::size_t offset = 0; offset < bytes.size(); offset += 16) {
      const std::size_t count = std::min<std::size_t>(16, bytes.size() - offset);
      const auto address = static_cast<unsigned>(start + offset);
      unsigned sum = static_cast<unsigned>(count) + (address >> 8) + (address & 0xFFU);
      std::string line = fmt::format(":{:02X}{:04X}00", count, address);
      for (std::size_t i = 0; i < count; ++i) {
        line += fmt::format("{:02X}", bytes[offset + i]);
        sum += bytes[offset + i];
      }
      text += line + fmt::format("{:02X}\n", (0x100U - (sum & 0xFFU)) & 0xFFU);
    }
  }
  return text + ":00000001FF\n";
}

std::vector<std::uint8_t> Pattern(std::size_t count, unsigned seed) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) {
    bytes[i] = static_cast<std::uint8_t>((i * 7 + seed) & 0xFFU);
  }
  return bytes;
}

UsbRig& Plugged(UsbRig& rig) {
  rig.board.PlugIn();
  return rig;
}

class UsbDownload : public UsbBackendTest {};

TEST_F(UsbDownload, LongImageGoesOverInChunksOfAtMostOneKibibyte) {
  ScratchFolder folder;
  folder.WriteFirmware(HexText({{0x0000, Pattern(2500, 1)}, {0x2000, Pattern(100, 9)}}));
  EmulatedBoardSetup setup = WaitingBoard();
  setup.firmware = (folder.Path() / "KX7312FW.hex").string();
  UsbRig rig(setup, {}, folder.Path().string());
  rig.port.ShowLoad(Plugged(rig).classic.LoadUSB());

  EXPECT_TRUE(rig.port.messages.empty());
  EXPECT_TRUE(rig.board.Running());
  std::vector<std::pair<std::uint16_t, std::size_t>> chunks;
  for (const ControlRecord& record : SeenBy(rig.board.Controls(), 5)) {
    if (record.setup.value != 0xE600) {
      chunks.emplace_back(record.setup.value, record.data.size());
    }
  }
  EXPECT_EQ(chunks, (std::vector<std::pair<std::uint16_t, std::size_t>>{
                        {0x0000, 1024}, {0x0400, 1024}, {0x0800, 452}, {0x2000, 100}}));
  EXPECT_EQ(LoaderWrites(rig.board.Controls()), DataRecordBytes(setup.firmware));
  EXPECT_EQ(rig.board.Memory(0x2000, 100), Pattern(100, 9));
}

TEST_F(UsbDownload, BadImageIsRefusedBeforeAnythingIsSent) {
  struct Case {
    const char* what;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"checksum", ":100000004B58373331322073696D756C6174656499\n:00000001FF\n"},
      {"no end record", ":100000004B58373331322073696D756C6174656498\n"},
      {"not hexadecimal", ":1000000G4B58373331322073696D756C6174656498\n:00000001FF\n"},
      {"short record", ":1000000004B5\n:00000001FF\n"},
      {"empty file", ""},
      {"beyond 64 KiB", ":020000040001F9\n:0100000042BD\n:00000001FF\n"},
      {"no data", ":00000001FF\n"},
      {"text file", "firmware goes here\n"},
  };
  for (const Case& c : cases) {
    for (const bool classic : {false, true}) {
      ScratchFolder folder;
      folder.WriteFirmware(c.text);
      UsbRig rig(WaitingBoard(), {}, folder.Path().string());
      rig.board.PlugIn();
      if (classic) {
        rig.port.ShowLoad(rig.classic.LoadUSB());
      } else {
        rig.port.ShowLoad(rig.version2.LoadUSB());
      }
      ASSERT_EQ(rig.port.messages.size(), 1U) << c.what;
      EXPECT_EQ(rig.port.messages[0].text, "No Evaluation Board Found") << c.what;
      EXPECT_EQ(rig.port.messages[0].title, classic ? ": -2" : ": 2") << c.what;
      // Not even the CPU was touched, and the post-boot request was not sent
      // to a board without firmware.
      EXPECT_TRUE(rig.board.Controls().empty()) << c.what;
      EXPECT_FALSE(rig.board.CpuHeld()) << c.what;
      EXPECT_EQ(rig.board.Appearances(), 1) << c.what;
      EXPECT_EQ(rig.LastTraceLine().substr(0, rig.LastTraceLine().find(" status=")),
                classic ? "request code=0xE0 value=0x0000 index=0 dir=0 len=0"
                        : "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0")
          << c.what;
      EXPECT_FALSE(rig.library->LastProblem().empty()) << c.what;
    }
  }
}

TEST_F(UsbDownload, MissingImageLooksLikeAMissingBoard) {
  ScratchFolder folder;
  UsbRig rig(WaitingBoard(), {}, folder.Path().string());
  rig.port.ShowLoad(Plugged(rig).version2.LoadUSB());
  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_EQ(rig.port.messages[0].text, "No Evaluation Board Found");
  EXPECT_EQ(rig.port.messages[0].title, ": 2");
  EXPECT_TRUE(rig.board.Controls().empty());
  EXPECT_NE(rig.library->LastProblem().find("KX7312FW.hex"), std::string::npos)
      << rig.library->LastProblem();
}

TEST_F(UsbDownload, ForeignImageLoadsButTheBoardNeverComesBack) {
  ScratchFolder folder;
  folder.WriteFirmware(":040000001122334452\n:00000001FF\n");
  usb::UsbOptions options;
  options.timings.return_wait = std::chrono::milliseconds(300);
  UsbRig rig(WaitingBoard(), options, folder.Path().string());
  rig.port.ShowLoad(Plugged(rig).version2.LoadUSB());

  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_EQ(rig.port.messages[0].title, ": 7");
  EXPECT_EQ(rig.board.Memory(0, 4), (std::vector<std::uint8_t>{0x11, 0x22, 0x33, 0x44}));
  EXPECT_FALSE(rig.board.CpuHeld());
  EXPECT_FALSE(rig.board.Running());
  EXPECT_EQ(rig.board.Appearances(), 1);  // still there, as the loader
  EXPECT_EQ(rig.LastTraceLine(),
            "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=-1");
}

TEST_F(UsbDownload, UnansweredLoaderRequests) {
  struct Case {
    const char* what;
    int answered;
    int ignored;
    std::int16_t status;
    std::vector<std::uint16_t> addresses;  // the loader requests the board saw
    bool running;
  };
  const std::vector<Case> cases = {
      {"chunk retried once", 1, 1, usb::DownloadOk, {0xE600, 0x0000, 0x0000, 0xE600}, true},
      {"chunk retried twice",
       1,
       2,
       usb::DownloadOk,
       {0xE600, 0x0000, 0x0000, 0x0000, 0xE600},
       true},
      {"chunk never taken",
       1,
       3,
       usb::DownloadWriteFailed,
       {0xE600, 0x0000, 0x0000, 0x0000},
       false},
      {"reset not taken", 0, 1, usb::DownloadResetFailed, {0xE600}, false},
  };
  for (const Case& c : cases) {
    usb::UsbOptions options;
    options.timings.request_timeout = std::chrono::milliseconds(100);
    options.timings.chunk_timeout = std::chrono::milliseconds(100);
    UsbRig rig(WaitingBoard(), options);
    rig.board.PlugIn();
    rig.board.IgnoreRequests(c.answered, c.ignored);
    std::int32_t number = 0;
    std::int32_t handle = 0;
    board::BoardList list{};
    rig.library->Search_For_Boards(0x1234, 0x7312, number, list);
    rig.library->Connect(0x1234, 0x7312, list[0], handle);
    EXPECT_EQ(rig.library->Download_Firmware(handle, KX_TEST_FIRMWARE), c.status) << c.what;

    std::vector<std::uint16_t> addresses;
    for (const ControlRecord& record : SeenBy(rig.board.Controls(), 5)) {
      addresses.push_back(record.setup.value);
    }
    EXPECT_EQ(addresses, c.addresses) << c.what;
    EXPECT_EQ(rig.board.Running(), c.running) << c.what;
  }
}

TEST_F(UsbDownload, BoardUnpluggedBeforeTheDownload) {
  UsbRig rig;
  rig.board.PlugIn();
  std::int32_t number = 0;
  std::int32_t handle = 0;
  board::BoardList list{};
  rig.library->Search_For_Boards(0x1234, 0x7312, number, list);
  ASSERT_EQ(rig.library->Connect(0x1234, 0x7312, list[0], handle), 0);
  rig.board.Unplug();
  EXPECT_EQ(rig.library->Download_Firmware(handle, KX_TEST_FIRMWARE), usb::DownloadNoBoard);
  EXPECT_EQ(rig.library->Download_Firmware(handle, KX_TEST_FIRMWARE), usb::DownloadNoBoard);
  EXPECT_EQ(rig.library->Download_Firmware(handle + 1, KX_TEST_FIRMWARE), usb::DownloadBadHandle);
}

}  // namespace
}  // namespace kx::testing
