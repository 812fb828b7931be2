// One board session driven with no operator at all: start-up, a capture that
// hands its samples back, the file written apart from it, and failures
// handed back as values.
#include "session/board_session.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <utility>
#include <vector>

#include "adc/sample_file.h"
#include "board/link_requests.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "support/fake_operator.h"
#include "support/shown_operations.h"
#include "support/temp_folder.h"
#include "support/trace_requests.h"

namespace kx::session {
namespace {

using testing::FakeOperator;
using testing::ReadBytes;
using testing::TempFolder;

std::string FirmwareFolder() {
  return std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();
}

// Sessions of one edition on simulated boards with the same settings.
struct SessionRig {
  explicit SessionRig(const Edition& edition, board::sim::SimSettings settings = {})
      : board(std::move(settings)), session(edition, {&cvn, &io}, FirmwareFolder()) {
    started = session.StartUp();
    out.str("");
  }

  board::sim::SimBoard board;
  std::ostringstream out;
  board::trace::TraceSink sink{out};
  board::trace::TracingCvnCyusbUsb4 cvn{board.Cvn(), sink};
  board::trace::TracingUsbBoardIo io{board.Io(), sink};
  BoardSession session;
  StartUpResult started;
};

class BoardSessionTest : public ::testing::TestWithParam<const Edition*> {};

TEST_P(BoardSessionTest, ACaptureHandsBackItsSamplesAndTheFileMatchesThePanels) {
  TempFolder folder;
  SessionRig quiet(*GetParam());
  std::vector<std::pair<int, int>> progress;
  const adc::CaptureSamples taken = quiet.session.Adc().TakeAllChannels(
      [&](int done, int total) { progress.emplace_back(done, total); });

  ASSERT_FALSE(taken.stopped.has_value());
  EXPECT_EQ(taken.transfers, 8193);
  ASSERT_EQ(taken.sets.size(), 512U);
  EXPECT_EQ(testing::Requests(testing::SplitLines(quiet.out.str())).size(), 8193U);
  ASSERT_EQ(taken.sent.size(), 8193U);
  EXPECT_EQ(taken.sent.back().code, board::AdcTransferRequest);
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), (std::pair{0, 8193}));
  EXPECT_EQ(progress.back(), (std::pair{8193, 8193}));

  const std::string by_session = folder.File("session.txt");
  adc::SampleFileWriter file(by_session);
  ASSERT_FALSE(file.Prepare().has_value());
  ASSERT_FALSE(file.Save(adc::AllChannelsFileText(taken.sets)).has_value());

  // The panel's way: the save dialog, then the same transfers and the file.
  SessionRig panel(*GetParam());
  FakeOperator port;
  const std::string by_panel = folder.File("panel.txt");
  port.save_answers.emplace_back(by_panel);
  testing::ShownAdc(panel.session.Adc(), port).CaptureAllChannels();
  EXPECT_EQ(panel.out.str(), quiet.out.str()) << "the same words on the wire";
  EXPECT_EQ(ReadBytes(by_session), ReadBytes(by_panel));
  EXPECT_TRUE(port.messages.empty());

  // And the session's own file step: the same bytes again.
  SessionRig direct(*GetParam());
  const std::string by_step = folder.File("step.txt");
  const CaptureReport report = direct.session.CaptureToFile(CaptureKind::AllChannels, by_step);
  EXPECT_TRUE(report.transfers_made);
  EXPECT_FALSE(report.failure.has_value()) << *report.failure;
  EXPECT_EQ(ReadBytes(by_step), ReadBytes(by_panel));
}

TEST_P(BoardSessionTest, FailuresComeBackAsValuesAndTheSessionServesOn) {
  TempFolder folder;
  board::sim::SimSettings absent;
  absent.present = false;
  SessionRig rig(*GetParam(), absent);
  EXPECT_TRUE(rig.started.download.failed);
  EXPECT_NE(rig.started.download.status, 0);
  // The post-boot request and the start-up words still went out, and failed.
  ASSERT_EQ(rig.started.done.sent.size(), 5U);
  EXPECT_EQ(rig.started.done.sent[0].code, board::PostBootRequest);
  ASSERT_TRUE(rig.started.done.FirstFailure().has_value());
  EXPECT_LT(rig.started.done.FirstFailure()->status, 0);

  const board::OperationResult pulse = rig.session.Dac().PulseLdac();
  ASSERT_EQ(pulse.sent.size(), 1U);
  const std::optional<board::Failure> failure = pulse.FirstFailure();
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->reason, fmt::format("the board did not answer PulseLdacRequest with "
                                         "0x00000000: status {}",
                                         failure->status));

  // A capture into a file that cannot be written makes no transfer.
  const CaptureReport refused =
      rig.session.CaptureToFile(CaptureKind::Channel0, folder.Path().string());
  EXPECT_FALSE(refused.transfers_made);
  EXPECT_TRUE(refused.failure.has_value());
  EXPECT_TRUE(refused.samples.sent.empty());

  // One that the board does not answer leaves no file and says why.
  const std::string path = folder.File("none.dat");
  const CaptureReport unanswered = rig.session.CaptureToFile(CaptureKind::Channel0, path);
  EXPECT_TRUE(unanswered.transfers_made);
  ASSERT_TRUE(unanswered.failure.has_value());
  EXPECT_EQ(*unanswered.failure, adc::BoardNoAnswerText(unanswered.samples.stopped->status));
  EXPECT_FALSE(std::filesystem::exists(path));

  // A refused input sends nothing and says why.
  const board::OperationResult raw = rig.session.Dac().RawWrite(0, "XYZ");
  EXPECT_TRUE(raw.sent.empty());
  EXPECT_TRUE(raw.refusal.has_value());
}

TEST_P(BoardSessionTest, ACaptureStopsWhenToldAndKeepsTheWholeSetsTaken) {
  SessionRig rig(*GetParam());
  int asked = 0;
  std::vector<std::pair<int, int>> progress;
  // Asked before each chunk of 128 transfers; stops before the third, after
  // 256 transfers: the priming one and 15 whole sets of 16, and 15 more.
  const adc::CaptureSamples taken = rig.session.Adc().TakeAllChannels(
      [&](int done, int total) { progress.emplace_back(done, total); },
      [&] { return ++asked > 2; });
  ASSERT_TRUE(taken.stopped.has_value());
  EXPECT_EQ(taken.stopped->status, 0);
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(taken.transfers, 256);
  EXPECT_EQ(taken.sets.size(), 15U);
  EXPECT_EQ(testing::Requests(testing::SplitLines(rig.out.str())).size(), 256U);
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{0, 8193}, {128, 8193}, {256, 8193}}));

  const adc::CaptureSamples channel0 =
      rig.session.Adc().TakeChannel0({}, [&, n = 0]() mutable { return ++n > 1; });
  ASSERT_TRUE(channel0.stopped.has_value());
  EXPECT_EQ(channel0.transfers, 128);
  EXPECT_EQ(channel0.replies.size(), 127U);  // after the priming transfer
}

INSTANTIATE_TEST_SUITE_P(BothEditions, BoardSessionTest,
                         ::testing::Values(&Version2Edition, &ClassicEdition),
                         [](const auto& param_info) {
                           return std::string(param_info.param->HasVolts() ? "Version2"
                                                                           : "Classic");
                         });

}  // namespace
}  // namespace kx::session
