// A board pulled off the bus, or one that answers short, while a capture
// runs: the capture stops at the transfer that failed, says so, saves
// nothing, and the panel can go on once the board answers again.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "adc/adc_operations.h"
#include "board/usb/usb_status.h"
#include "support/shown_operations.h"
#include "usb_rig.h"

namespace kx::testing {
namespace {

namespace usb = board::usb;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t CountLines(const std::string& text) {
  std::size_t lines = 0;
  for (const char c : text) {
    lines += c == '\n' ? 1 : 0;
  }
  return lines;
}

class UsbCapture : public UsbBackendTest {};

// One program's link on a booted board, its ADC operations, and an earlier
// capture file, named in the next save dialog, that a failed capture must
// leave as it was. The board's record of transfers starts empty.
struct CaptureBench {
  explicit CaptureBench(bool classic)
      : link(classic ? static_cast<board::BoardLink&>(rig.classic) : rig.version2),
        core(link, classic ? AdcWordRules::Classic : AdcWordRules::Version2),
        file(folder.Path() / "samples.dat") {
    rig.board.PlugIn();
    rig.port.ShowLoad(link.LoadUSB());
    std::ofstream(file, std::ios::binary) << "an earlier capture\r\n";
    rig.port.save_answers.emplace_back(file.string());
    rig.board.ClearControls();
  }

  UsbRig rig;
  board::BoardLink& link;
  adc::AdcOperations core;
  kx::testing::ShownAdc ops{core, rig.port};
  ScratchFolder folder;
  std::filesystem::path file;
};

TEST_F(UsbCapture, BoardUnpluggedMidCaptureStopsItAndSavesNothing) {
  struct Case {
    const char* what;
    bool classic;
    bool all_channels;
    int answered;  // transfers the board answers before its cable comes out
  };
  const std::vector<Case> cases = {
      {"version2, all channels", false, true, 300},
      {"classic, all channels", true, true, 1000},
      {"version2, channel 0", false, false, 500},
      {"classic, channel 0", true, false, 1},
  };
  for (const Case& c : cases) {
    CaptureBench bench(c.classic);
    UsbRig& rig = bench.rig;
    board::BoardLink& link = bench.link;
    kx::testing::ShownAdc& ops = bench.ops;
    const std::filesystem::path& file = bench.file;

    rig.board.PullCableAfter(c.answered);
    if (c.all_channels) {
      ops.CaptureAllChannels();
    } else {
      ops.CaptureChannel0();
    }

    ASSERT_EQ(rig.port.messages.size(), 1U) << c.what;
    EXPECT_EQ(rig.port.messages[0].text,
              "The board did not answer (status -1). No samples were saved.")
        << c.what;
    EXPECT_EQ(rig.port.messages[0].title, "Error") << c.what;
    EXPECT_EQ(link.State().LinkStatus, usb::RequestNoBoard) << c.what;
    EXPECT_FALSE(rig.board.Present()) << c.what;
    // The transfer the cable took was the last to reach the bus.
    EXPECT_EQ(rig.board.Controls().size(), static_cast<std::size_t>(c.answered) + 1) << c.what;
    // The earlier file is as it was, and nothing else was left in the folder.
    EXPECT_EQ(ReadText(file), "an earlier capture\r\n") << c.what;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(bench.folder.Path()),
                            std::filesystem::directory_iterator()),
              1)
        << c.what;
    ASSERT_FALSE(rig.port.progress.empty()) << c.what;
    EXPECT_EQ(rig.port.progress.back(), (std::pair<int, int>{0, 0})) << c.what;
    if (c.all_channels) {
      ASSERT_FALSE(rig.port.capture_statuses.empty()) << c.what;
      EXPECT_EQ(rig.port.capture_statuses.back(), "") << c.what;
    }

    // Plugged in again, "Reload USB" boots it and a capture succeeds.
    rig.board.PlugIn();
    rig.port.ShowLoad(link.LoadUSB());
    EXPECT_EQ(rig.port.messages.size(), 1U) << c.what;
    rig.port.save_answers.emplace_back(file.string());
    ops.CaptureChannel0();
    EXPECT_EQ(rig.port.messages.size(), 1U) << c.what;
    EXPECT_EQ(CountLines(ReadText(file)), 1024U) << c.what;
  }
}

// A short answer is a failed transfer like any other: the capture stops at
// it, and no sample built from the buffer's old bytes reaches a file.
TEST_F(UsbCapture, ShortReplyMidCaptureStopsItAndSavesNothing) {
  struct Case {
    const char* what;
    bool classic;
    bool all_channels;
    int answered;  // transfers answered in full before the short one
    int bytes;     // of the three asked for
  };
  const std::vector<Case> cases = {
      {"version2, all channels", false, true, 200, 1},
      {"classic, channel 0", true, false, 700, 0},
      {"version2, channel 0", false, false, 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CaptureBench bench(c.classic);
    UsbRig& rig = bench.rig;
    board::BoardLink& link = bench.link;
    kx::testing::ShownAdc& ops = bench.ops;
    const std::filesystem::path& file = bench.file;

    rig.board.ShortenReplies(c.answered, c.bytes);
    if (c.all_channels) {
      ops.CaptureAllChannels();
    } else {
      ops.CaptureChannel0();
    }

    ASSERT_EQ(rig.port.messages.size(), 1U);
    EXPECT_NE(rig.port.messages[0].text.find("(status -9)"), std::string::npos)
        << rig.port.messages[0].text;
    EXPECT_NE(rig.port.messages[0].text.find("No samples were saved."), std::string::npos)
        << rig.port.messages[0].text;
    EXPECT_EQ(link.State().LinkStatus, usb::RequestShortReply);
    // Only the transfers already queued behind the short answer went out
    // after it, and the board is still there.
    EXPECT_GE(rig.board.Controls().size(), static_cast<std::size_t>(c.answered) + 1);
    EXPECT_LT(rig.board.Controls().size(),
              static_cast<std::size_t>(c.answered + 1 + usb::DefaultTransferWindow));
    EXPECT_TRUE(rig.board.Present());
    EXPECT_EQ(ReadText(file), "an earlier capture\r\n");

    rig.board.ShortenReplies(0, -1);
    rig.port.save_answers.emplace_back(file.string());
    ops.CaptureChannel0();
    EXPECT_EQ(rig.port.messages.size(), 1U);
    EXPECT_EQ(CountLines(ReadText(file)), 1024U);
  }
}

}  // namespace
}  // namespace kx::testing
