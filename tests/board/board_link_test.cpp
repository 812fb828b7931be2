#include "board/board_link.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/cvn_board_link.h"
#include "board/firmware_path.h"
#include "board/link_requests.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "board/usb_board_io_link.h"
#include "support/fake_operator.h"
#include "support/scripted_library.h"
#include "support/trace_requests.h"

namespace kx::board {
namespace {

using sim::SimBoard;
using sim::SimSettings;
using testing::FakeOperator;
using testing::ScriptedLibrary;

const std::string kFirmwareFolder = std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();
// The separator and file name that the program folder is followed by.
const std::string kFirmwareName = PathSeparator + std::string("KX7312FW.hex");

std::vector<std::string> Lines(const std::ostringstream& out) {
  return testing::SplitLines(out.str());
}

SimSettings Absent() {
  SimSettings settings;
  settings.present = false;
  return settings;
}

// The KX7312(version2) link on the simulated board, every call traced.
struct Version2Rig {
  explicit Version2Rig(SimSettings settings = {}, std::string folder = kFirmwareFolder)
      : board(std::move(settings)), link(tracer, std::move(folder)) {}
  SimBoard board;
  std::ostringstream out;
  trace::TraceSink sink{out};
  trace::TracingCvnCyusbUsb4 tracer{board.Cvn(), sink};
  FakeOperator port;
  CvnBoardLink link;
};

// The KX7312 link on the simulated board.
struct ClassicRig {
  explicit ClassicRig(SimSettings settings = {}, std::string folder = kFirmwareFolder)
      : board(std::move(settings)), link(tracer, std::move(folder)) {}
  SimBoard board;
  std::ostringstream out;
  trace::TraceSink sink{out};
  trace::TracingUsbBoardIo tracer{board.Io(), sink};
  FakeOperator port;
  UsbBoardIoLink link;
};

TEST(LoadUsbVersion2, BootsTheBoardQuietlyAndSendsPostBoot) {
  Version2Rig rig;
  rig.port.ShowLoad(rig.link.LoadUSB());

  const std::string path = kFirmwareFolder + kFirmwareName;
  EXPECT_EQ(Lines(rig.out),
            (std::vector<std::string>{
                "search vendor=0x1234 product=0x7312 found=1",
                "connect vendor=0x1234 product=0x7312 board=1 handle=1",
                "download handle=1 status=0 path=" + path,
                "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0",
            }));
  EXPECT_TRUE(rig.port.messages.empty());
  EXPECT_EQ(rig.link.State().FirmwarePath, path);
  EXPECT_EQ(rig.link.State().BoardHandle, 1);
  EXPECT_EQ(rig.link.State().LinkStatus, 0);
  EXPECT_EQ(rig.board.PostBootCount(), 1);
  // Start-up echoes nothing on the status line.
  EXPECT_TRUE(rig.port.status_lines.empty());
}

TEST(LoadUsbVersion2, AbsentBoardShowsOneMessageAndStillSendsPostBoot) {
  Version2Rig rig(Absent());
  rig.port.ShowLoad(rig.link.LoadUSB());

  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_EQ(rig.port.messages[0].text, "No Evaluation Board Found");
  EXPECT_EQ(rig.port.messages[0].title, ": 1");
  EXPECT_EQ(rig.port.messages[0].icon, MessageIcon::Exclamation);
  const std::vector<std::string> lines = Lines(rig.out);
  ASSERT_EQ(lines.size(), 4U);
  EXPECT_EQ(lines[0], "search vendor=0x1234 product=0x7312 found=0");
  EXPECT_EQ(lines[1], "connect vendor=0x1234 product=0x7312 board=0 handle=0");
  EXPECT_EQ(lines[3], "request handle=0 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=-1");
  // The post-boot request's failure is what LinkStatus holds in the end.
  EXPECT_EQ(rig.link.State().LinkStatus, -1);
}

TEST(LoadUsbVersion2, MissingFirmwareFileLooksLikeAMissingBoard) {
  const std::filesystem::path empty = std::filesystem::temp_directory_path() / "kx7312-no-fw";
  std::filesystem::create_directories(empty);
  Version2Rig rig({}, empty.string());
  rig.port.ShowLoad(rig.link.LoadUSB());

  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_EQ(rig.port.messages[0].text, "No Evaluation Board Found");
  EXPECT_EQ(rig.port.messages[0].title, ": 2");
  EXPECT_FALSE(rig.board.FirmwareRunning());
  EXPECT_EQ(Lines(rig.out).back(),
            "request handle=1 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=-2");
  std::filesystem::remove(empty);
}

TEST(LoadUsbVersion2, ReloadDownloadsAgainOnANewHandle) {
  Version2Rig rig;
  rig.port.ShowLoad(rig.link.LoadUSB());
  rig.port.ShowLoad(rig.link.LoadUSB());

  const std::vector<std::string> lines = Lines(rig.out);
  ASSERT_EQ(lines.size(), 8U);
  EXPECT_EQ(lines[5], "connect vendor=0x1234 product=0x7312 board=1 handle=2");
  EXPECT_EQ(lines[6].rfind("download handle=2 status=0 path=", 0), 0U);
  EXPECT_EQ(lines[7], "request handle=2 code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0");
  EXPECT_EQ(rig.link.State().BoardHandle, 2);
  EXPECT_EQ(rig.board.PostBootCount(), 2);
  EXPECT_TRUE(rig.port.messages.empty());
}

TEST(LoadUsbVersion2, DriveRootGivesADoubledSeparatorThatReachesTheLibrary) {
  const std::string root = PathSeparator == '/' ? "/" : "C:\\";
  Version2Rig rig({}, root);
  rig.port.ShowLoad(rig.link.LoadUSB());
  EXPECT_EQ(rig.link.State().FirmwarePath, root + kFirmwareName);
  EXPECT_EQ(Lines(rig.out)[2].substr(Lines(rig.out)[2].find("path=")),
            "path=" + root + kFirmwareName);
}

TEST(LoadUsbVersion2, LongProgramFolderReachesTheLibraryWhole) {
  ScriptedLibrary library;
  FakeOperator port;
  const std::string folder = "/" + std::string(700, 'k');
  CvnBoardLink link(library, folder);
  port.ShowLoad(link.LoadUSB());

  ASSERT_EQ(library.paths.size(), 1U);
  EXPECT_EQ(library.paths[0], folder + kFirmwareName);
  EXPECT_EQ(link.State().FirmwarePathBytes.size(), folder.size() + 14);
  EXPECT_EQ(link.State().FirmwarePathBytes.back(), 0);
}

TEST(LoadUsbVersion2, AnyNonZeroDownloadStatusIsAFailure) {
  for (const std::int16_t status : {std::int16_t{3}, std::int16_t{-1}, std::int16_t{0x7FFF}}) {
    ScriptedLibrary library;
    library.download_status = status;
    FakeOperator port;
    CvnBoardLink link(library, "/opt/kx7312");
    port.ShowLoad(link.LoadUSB());
    ASSERT_EQ(port.messages.size(), 1U) << status;
    EXPECT_EQ(port.messages[0].title, ": " + std::to_string(status));
  }
}

TEST(LoadUsbClassic, BootsThroughLoadFirmWareWithoutHandle) {
  ClassicRig rig;
  rig.port.ShowLoad(rig.link.LoadUSB());
  EXPECT_EQ(Lines(rig.out), (std::vector<std::string>{
                                "loadfirmware status=0 path=" + kFirmwareFolder + kFirmwareName,
                                "request code=0xE0 value=0x0000 index=0 dir=0 len=0 status=0",
                            }));
  EXPECT_TRUE(rig.port.messages.empty());
}

TEST(LoadUsbClassic, OnlyNegativeStatusesAreFailures) {
  struct Case {
    std::int16_t status;
    bool message;
  };
  for (const Case c : {Case{0, false}, Case{5, false}, Case{-1, true}, Case{-32768, true}}) {
    ScriptedLibrary library;
    library.download_status = c.status;
    FakeOperator port;
    UsbBoardIoLink link(library, "/opt/kx7312");
    port.ShowLoad(link.LoadUSB());
    ASSERT_EQ(port.messages.size(), c.message ? 1U : 0U) << c.status;
    if (c.message) {
      EXPECT_EQ(port.messages[0].text, "No Evaluation Board Found");
      EXPECT_EQ(port.messages[0].title, ": " + std::to_string(c.status));
    }
  }
}

TEST(LoadUsbClassic, AbsentBoardTitleCarriesMinusOne) {
  ClassicRig rig(Absent());
  rig.port.ShowLoad(rig.link.LoadUSB());
  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_EQ(rig.port.messages[0].title, ": -1");
  EXPECT_EQ(Lines(rig.out).back(), "request code=0xE0 value=0x0000 index=0 dir=0 len=0 status=-1");
}

TEST(WriteDacWord, SplitsTheWordAndEchoesItOnBothLinks) {
  struct Case {
    std::uint8_t code;
    std::int32_t word;
    std::string fields;
    std::string status;
  };
  const std::vector<Case> cases = {
      {DacLowRequest, 0x08000001, "code=0xD9 value=0x0001 index=2048", "DAC Write: 0x8000001"},
      {DacHighRequest, 0, "code=0xDA value=0x0000 index=0", "DAC Write: 0x0"},
      {DacLowRequest, 0x0077FF00, "code=0xD9 value=0xFF00 index=119", "DAC Write: 0x77FF00"},
      {DacHighRequest, static_cast<std::int32_t>(0x8234ABCDU),
       "code=0xDA value=0xABCD index=-32204", "DAC Write: 0x8234ABCD"},
      {DacLowRequest, -1, "code=0xD9 value=0xFFFF index=-1", "DAC Write: 0xFFFFFFFF"},
  };
  for (const Case& c : cases) {
    Version2Rig v2;
    v2.port.ShowLoad(v2.link.LoadUSB());
    v2.link.WriteDacWord(c.code, c.word);
    EXPECT_EQ(Lines(v2.out).back(), "request handle=1 " + c.fields + " dir=0 len=0 status=0");
    v2.port.ShowSent(v2.link);
    EXPECT_EQ(v2.port.status_lines.back(), c.status);

    ClassicRig classic;
    classic.port.ShowLoad(classic.link.LoadUSB());
    classic.link.WriteDacWord(c.code, c.word);
    EXPECT_EQ(Lines(classic.out).back(), "request " + c.fields + " dir=0 len=0 status=0");
    classic.port.ShowSent(classic.link);
    EXPECT_EQ(classic.port.status_lines.back(), c.status);
  }
}

TEST(WriteDacWord, ReachesTheChipRegisters) {
  Version2Rig rig;
  rig.port.ShowLoad(rig.link.LoadUSB());
  rig.link.WriteDacWord(DacHighRequest, 0x0337FF00);  // write and update DAC11
  EXPECT_EQ(rig.board.Group(1).DacRegister(3), 0x7FF);
  EXPECT_EQ(rig.board.Group(0).DacRegister(3), 0);
}

TEST(TransferAdcWord, SendsTheHalvesAndShowsTheWordSent) {
  Version2Rig rig;
  rig.port.ShowLoad(rig.link.LoadUSB());
  rig.link.TransferAdcWord(static_cast<std::int32_t>(0xFFFF8390U));
  const std::string last = Lines(rig.out).back();
  EXPECT_EQ(last.substr(0, last.find(" status=")),
            "request handle=1 code=0xE4 value=0x8390 index=-1 dir=1 len=3");
  rig.port.ShowSent(rig.link);
  EXPECT_EQ(rig.port.status_lines.back(), "ADC Write: 0xFFFF8390");

  rig.link.TransferAdcWord(0xFFFF);
  const std::string next = Lines(rig.out).back();
  EXPECT_EQ(next.substr(0, next.find(" status=")),
            "request handle=1 code=0xE4 value=0xFFFF index=0 dir=1 len=3");
  rig.port.ShowSent(rig.link);
  EXPECT_EQ(rig.port.status_lines.back(), "ADC Write: 0xFFFF");
}

TEST(TransferAdcWord, AssemblesLowByteThenHighByte) {
  for (const bool classic : {false, true}) {
    ScriptedLibrary library;
    library.reply = {0x34, 0x12, 0x99};
    FakeOperator port;
    std::unique_ptr<BoardLink> link;
    if (classic) {
      link = std::make_unique<UsbBoardIoLink>(library, "/x");
    } else {
      link = std::make_unique<CvnBoardLink>(library, "/x");
    }
    EXPECT_EQ(link->TransferAdcWord(0xFFFF), 0x1234);
    library.reply = {0xFF, 0xFF, 0x00};
    EXPECT_EQ(link->TransferAdcWord(0xFFFF), 0xFFFF);
  }
}

TEST(TransferAdcWord, UntouchedBufferReads257) {
  ScriptedLibrary library;
  library.write_reply = false;
  FakeOperator port;
  CvnBoardLink link(library, "/x");
  EXPECT_EQ(link.TransferAdcWord(0x8300), 257);

  Version2Rig absent(Absent());
  absent.port.ShowLoad(absent.link.LoadUSB());
  EXPECT_EQ(absent.link.TransferAdcWord(0x8300), 257);
  EXPECT_EQ(Lines(absent.out).back(),
            "request handle=0 code=0xE4 value=0x8300 index=0 dir=1 len=3 status=-1 data=010101");
  EXPECT_EQ(absent.link.State().LinkStatus, -1);

  ClassicRig classic(Absent());
  classic.port.ShowLoad(classic.link.LoadUSB());
  EXPECT_EQ(classic.link.TransferAdcWord(0x8300), 257);
}

TEST(TransferAdcWord, ReplyShapeDiffersBetweenTheLinks) {
  // DAC5 at mid-scale on the internal reference: 1.25 V, read on a 0..2.5 V
  // straight-binary range gives code 0x800 from channel 5.
  for (const bool classic : {false, true}) {
    std::unique_ptr<Version2Rig> v2;
    std::unique_ptr<ClassicRig> c;
    BoardLink* link = nullptr;
    if (classic) {
      c = std::make_unique<ClassicRig>();
      link = &c->link;
    } else {
      v2 = std::make_unique<Version2Rig>();
      link = &v2->link;
    }
    link->LoadUSB();
    link->WriteDacWord(DacLowRequest, 0x08000001);  // internal reference
    link->WriteDacWord(DacLowRequest, 0x03580000);  // DAC5 = 0x800 in both registers
    link->TransferAdcWord(0x8300 | (5 << 10) | 0x30);
    const std::int32_t reply = link->TransferAdcWord(0x8300 | 0x30);
    EXPECT_EQ(reply, classic ? 0x5800 : 0xB000) << classic;
  }
}

TEST(SendControlRequest, SendsNoDataAndLeavesTheStatusLineAlone) {
  Version2Rig rig;
  rig.port.ShowLoad(rig.link.LoadUSB());
  for (const std::uint8_t code :
       {ClrHighRequest, PulseLdacRequest, ClrLowRequest, LdacHighRequest, LdacLowRequest}) {
    rig.link.SendControlRequest(code);
    EXPECT_EQ(
        Lines(rig.out).back(),
        fmt::format("request handle=1 code=0x{:02X} value=0x0000 index=0 dir=0 len=0 status=0",
                    code));
    EXPECT_EQ(rig.link.State().LinkStatus, 0);
  }
  EXPECT_TRUE(rig.port.status_lines.empty());
}

}  // namespace
}  // namespace kx::board
