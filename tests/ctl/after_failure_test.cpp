// What a session does after a failed request: kx7312ctl's policy stops
// everything at the first failure; a server's reports it and serves on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "board/link_requests.h"
#include "board/sim/sim_board.h"
#include "commands/session.h"
#include "support/cut_off_library.h"

namespace kx::commands {
namespace {

std::string FirmwareFolder() {
  return std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();
}

const Command kPulse{"line pulse-ldac", LineRequest{Line::PulseLdac}, {}};
const Command kRead{"adc read", AdcRead{}, {}};

TEST(AfterFailure, StopBlocksTheBoardAndServeReachesItAgain) {
  struct Case {
    AfterFailure policy;
    bool reaches_board_after;
  };
  for (const Case c : {Case{AfterFailure::Stop, false}, Case{AfterFailure::Serve, true}}) {
    board::sim::SimBoard board;
    kx::testing::CutOffLibrary cut{board.Cvn(), board.Io()};
    ConsolePort port;
    Session session(Version2Edition, {&cut, &cut}, port, FirmwareFolder(), {}, c.policy);
    ASSERT_TRUE(session.StartUp().Succeeded());

    cut.answers_left = 0;  // the cable comes out
    const Outcome failed = session.Run(kPulse);
    EXPECT_FALSE(failed.Succeeded());
    EXPECT_EQ(failed.status, kx::testing::CutOffStatus);
    ASSERT_EQ(failed.requests.size(), 1U);

    cut.answers_left.reset();  // and goes back in
    const Outcome next = session.Run(kRead);
    if (c.reaches_board_after) {
      EXPECT_TRUE(next.Succeeded()) << next.error;
      EXPECT_EQ(next.requests.size(), 17U);
    } else {
      EXPECT_FALSE(next.Succeeded());
      EXPECT_TRUE(next.requests.empty()) << "nothing passes the fuse";
    }
  }
}

// A capture asked for without a file hands the file's text back instead,
// and leaves no file anywhere.
TEST(AfterFailure, ACaptureWithoutAFileReturnsTheFileText) {
  board::sim::SimBoard board;
  ConsolePort port;
  Session session(ClassicEdition, {&board.Cvn(), &board.Io()}, port, FirmwareFolder(), {},
                  AfterFailure::Serve);
  ASSERT_TRUE(session.StartUp().Succeeded());
  const Outcome outcome = session.Run({"adc capture-channel0", AdcCapture{"", true}, {}});
  ASSERT_TRUE(outcome.Succeeded()) << outcome.error;
  const auto* capture = outcome.As<CaptureResult>();
  ASSERT_TRUE(capture != nullptr && capture->text.has_value());
  EXPECT_TRUE(capture->text->starts_with(" ")) << "a channel-0 line starts with a blank";
  EXPECT_EQ(std::count(capture->text->begin(), capture->text->end(), '\n'), 1024);
  EXPECT_EQ(outcome.requests.size(), 1025U);
}

}  // namespace
}  // namespace kx::commands
