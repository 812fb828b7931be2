// One board session driven with no operator at all: start-up, a capture that
// hands its samples back, and the file written apart from it.
#include "session/board_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "adc/sample_file.h"
#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "support/fake_operator.h"
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
  explicit SessionRig(const Edition& edition)
      : session(edition, {&cvn, &io}, port, FirmwareFolder()) {
    session.StartUp();
    port = {};
    out.str("");
  }

  board::sim::SimBoard board;
  std::ostringstream out;
  board::trace::TraceSink sink{out};
  board::trace::TracingCvnCyusbUsb4 cvn{board.Cvn(), sink};
  board::trace::TracingUsbBoardIo io{board.Io(), sink};
  FakeOperator port;
  BoardSession session;
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
  // Nothing reached an operator: no dialog, no label, no message.
  EXPECT_TRUE(quiet.port.save_filters.empty());
  EXPECT_TRUE(quiet.port.capture_statuses.empty());
  EXPECT_TRUE(quiet.port.messages.empty());
  ASSERT_FALSE(progress.empty());
  EXPECT_EQ(progress.front(), (std::pair{0, 8193}));
  EXPECT_EQ(progress.back(), (std::pair{8193, 8193}));

  const std::string by_session = folder.File("session.txt");
  adc::SampleFileWriter file(by_session);
  ASSERT_FALSE(file.Prepare().has_value());
  ASSERT_FALSE(file.Save(adc::AllChannelsFileText(taken.sets)).has_value());

  // The panel's way: the save dialog, then the same transfers and the file.
  SessionRig panel(*GetParam());
  const std::string by_panel = folder.File("panel.txt");
  panel.port.save_answers.emplace_back(by_panel);
  panel.session.Adc().CaptureAllChannels();
  EXPECT_EQ(panel.out.str(), quiet.out.str()) << "the same words on the wire";
  EXPECT_EQ(ReadBytes(by_session), ReadBytes(by_panel));
}

TEST_P(BoardSessionTest, ACaptureStopsWhenToldAndKeepsTheWholeSetsTaken) {
  SessionRig rig(*GetParam());
  int asked = 0;
  // Stops before transfer 1 + 16 x 3 + 5: three whole sets.
  const adc::CaptureSamples taken =
      rig.session.Adc().TakeAllChannels({}, [&] { return ++asked > 1 + 16 * 3 + 5; });
  ASSERT_TRUE(taken.stopped.has_value());
  EXPECT_EQ(taken.stopped->status, 0);
  EXPECT_EQ(taken.transfers, 1 + 16 * 3 + 5);
  EXPECT_EQ(taken.sets.size(), 3U);

  const adc::CaptureSamples channel0 =
      rig.session.Adc().TakeChannel0({}, [&, n = 0]() mutable { return ++n > 11; });
  ASSERT_TRUE(channel0.stopped.has_value());
  EXPECT_EQ(channel0.replies.size(), 10U);  // after the priming transfer
}

INSTANTIATE_TEST_SUITE_P(BothEditions, BoardSessionTest,
                         ::testing::Values(&Version2Edition, &ClassicEdition),
                         [](const auto& param_info) {
                           return std::string(param_info.param->HasVolts() ? "Version2"
                                                                           : "Classic");
                         });

}  // namespace
}  // namespace kx::session
