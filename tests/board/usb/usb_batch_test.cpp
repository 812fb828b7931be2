// Captures through the queued path of the libusb backend: the same words on
// the bus, the same trace and the same file as one transfer at a time, also
// when the board answers out of order or late; and a stall or an unplug in
// the middle ends the batch with every URB reaped and nothing saved.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "adc/adc_operations.h"
#include "board/link_requests.h"
#include "board/usb/usb_status.h"
#include "board/usb/vendor_control.h"
#include "support/shown_operations.h"
#include "usb_rig.h"

namespace kx::testing {
namespace {

namespace usb = board::usb;
using std::chrono::microseconds;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The bus of the tests with the timing model on: short enough to keep the
// tests quick, long enough that several transfers are in flight at once.
constexpr BusTiming kTestBus{microseconds(150), microseconds(150 * 100 / 27)};

struct CaptureRun {
  bool classic = false;
  bool all_channels = false;
  int window = usb::DefaultTransferWindow;
  std::optional<BusTiming> timing;
  microseconds jitter{0};
  std::function<void(EmulatedUsbBoard&)> fault;  // set just before the capture
};

// What one capture left behind.
struct Outcome {
  std::string file;
  std::vector<std::string> requests;  // the capture's request lines in the trace
  std::vector<SetupPacket> seen;      // what the board received, in order
  std::vector<FakeOperator::Message> messages;
  std::int16_t status = 0;
  std::size_t most_unreaped = 0;
  int out_of_order = 0;
  std::size_t unreaped_after = 0;
};

constexpr const char* kEarlier = "an earlier capture\r\n";

// Boots the board through the program's link, gives each DAC channel its own
// code (the ADC inputs are wired to the DAC outputs, so every channel answers
// with its own value and a reply filed under the wrong word shows), then
// captures into a file that holds an earlier capture.
Outcome Capture(const CaptureRun& run) {
  usb::UsbOptions options;
  options.transfer_window = run.window;
  UsbRig rig(WaitingBoard(), options);
  board::BoardLink& link = run.classic ? static_cast<board::BoardLink&>(rig.classic) : rig.version2;
  adc::AdcOperations core(link, run.classic ? AdcWordRules::Classic : AdcWordRules::Version2);
  ShownAdc ops(core, rig.port);
  rig.board.PlugIn();
  rig.port.ShowLoad(link.LoadUSB());
  for (const std::uint8_t group : {board::DacLowRequest, board::DacHighRequest}) {
    link.WriteDacWord(group, 0x08000001);  // the internal reference
    for (std::int32_t channel = 0; channel < 8; ++channel) {
      const std::int32_t code =
          0x0A0 + (group == board::DacHighRequest ? 8 : 0) * 0x0F0 + channel * 0x0F0;
      link.WriteDacWord(group, 0x03000000 | (channel << 20) | (code << 8));
    }
  }
  ScratchFolder folder;
  const std::filesystem::path file = folder.Path() / "samples.dat";
  std::ofstream(file, std::ios::binary) << kEarlier;
  rig.port.save_answers.emplace_back(file.string());
  rig.board.ClearControls();
  const std::size_t trace_before = rig.TraceLines().size();
  rig.board.SetBusTiming(run.timing);
  rig.board.JitterCompletions(run.jitter);
  if (run.fault) {
    run.fault(rig.board);
  }

  if (run.all_channels) {
    ops.CaptureAllChannels();
  } else {
    ops.CaptureChannel0();
  }

  Outcome outcome;
  outcome.file = ReadText(file);
  const std::vector<std::string> lines = rig.TraceLines();
  for (std::size_t n = trace_before; n < lines.size(); ++n) {
    if (lines[n].starts_with("request ")) {
      outcome.requests.push_back(lines[n]);
    }
  }
  for (const ControlRecord& record : rig.board.Controls()) {
    outcome.seen.push_back(record.setup);
  }
  outcome.messages = rig.port.messages;
  outcome.status = link.State().LinkStatus;
  outcome.most_unreaped = rig.board.MostUnreaped();
  outcome.out_of_order = rig.board.ReapedOutOfOrder();
  outcome.unreaped_after = rig.board.Unreaped();
  return outcome;
}

bool SameSetup(const SetupPacket& a, const SetupPacket& b) {
  return a.request_type == b.request_type && a.request == b.request && a.value == b.value &&
         a.index == b.index && a.length == b.length;
}

class UsbBatch : public UsbBackendTest {
 protected:
  // The queued capture against the one-at-a-time one of the same program.
  static void ExpectSameAsOneAtATime(const std::vector<CaptureRun>& queued) {
    CaptureRun single = queued.front();
    single.window = 1;
    single.timing.reset();
    single.jitter = microseconds(0);
    const Outcome reference = Capture(single);
    ASSERT_TRUE(reference.messages.empty());
    ASSERT_NE(reference.file, kEarlier);
    ASSERT_EQ(reference.requests.size(),
              static_cast<std::size_t>(single.all_channels ? adc::AllChannelsTransfers
                                                           : adc::Channel0Transfers));
    EXPECT_EQ(reference.most_unreaped, 1U);

    for (const CaptureRun& run : queued) {
      SCOPED_TRACE(::testing::Message()
                   << "window " << run.window << ", jitter " << run.jitter.count() << " us, timing "
                   << run.timing.has_value());
      const Outcome outcome = Capture(run);
      EXPECT_TRUE(outcome.messages.empty());
      EXPECT_EQ(outcome.file, reference.file);
      EXPECT_EQ(outcome.requests, reference.requests);
      ASSERT_EQ(outcome.seen.size(), reference.seen.size());
      for (std::size_t n = 0; n < outcome.seen.size(); ++n) {
        ASSERT_TRUE(SameSetup(outcome.seen[n], reference.seen[n])) << "transfer " << n;
      }
      EXPECT_EQ(outcome.status, 3);
      // The queue was really used, up to its window and no further.
      EXPECT_GT(outcome.most_unreaped, 1U);
      EXPECT_LE(outcome.most_unreaped, static_cast<std::size_t>(run.window));
      if (run.jitter.count() > 0) {
        EXPECT_GT(outcome.out_of_order, 0) << "the board never answered out of order";
      }
      EXPECT_EQ(outcome.unreaped_after, 0U);
    }
  }
};

TEST_F(UsbBatch, AllChannelCaptureQueuedMatchesOneAtATimeWithRepliesOutOfOrder) {
  CaptureRun run;
  run.all_channels = true;
  run.jitter = microseconds(400);
  ExpectSameAsOneAtATime({run});
}

TEST_F(UsbBatch, Channel0CaptureQueuedMatchesOneAtATimeOnTheTimedBus) {
  std::vector<CaptureRun> runs(3);
  for (CaptureRun& run : runs) {
    run.classic = true;
  }
  runs[0].window = 2;
  runs[1].timing = kTestBus;
  runs[2].timing = kTestBus;
  runs[2].jitter = microseconds(600);
  runs[2].window = 32;
  ExpectSameAsOneAtATime(runs);
}

// Each failure ends the capture at the transfer it hit: the request lines
// stop there with its status, every URB is reaped, the earlier file stays.
TEST_F(UsbBatch, AFailureMidBatchEndsItWithEveryUrbReapedAndNoFile) {
  struct Case {
    const char* what;
    CaptureRun run;
    int failing;  // the transfer, counted from 1, that fails
    std::int16_t status;
    bool exact;  // false: an unplug may also cut off transfers just before
  };
  const auto stall = [](int answered) {
    return [answered](EmulatedUsbBoard& board) { board.StallAfter(answered); };
  };
  const auto pull = [](int answered) {
    return [answered](EmulatedUsbBoard& board) { board.PullCableAfter(answered); };
  };
  const std::vector<Case> cases = {
      {"stall, version2, channel 0, timed bus",
       {false, false, 16, kTestBus, microseconds(0), stall(499)},
       500,
       usb::RequestStalled,
       true},
      {"stall, classic, all channels, out of order",
       {true, true, 16, std::nullopt, microseconds(300), stall(499)},
       500,
       usb::RequestStalled,
       true},
      {"unplug, version2, all channels",
       {false, true, 16, std::nullopt, microseconds(0), pull(300)},
       301,
       usb::RequestNoBoard,
       true},
      {"unplug, classic, channel 0, timed bus",
       {true, false, 16, kTestBus, microseconds(0), pull(700)},
       701,
       usb::RequestNoBoard,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Outcome outcome = Capture(c.run);
    ASSERT_EQ(outcome.messages.size(), 1U);
    EXPECT_EQ(outcome.messages[0].text, adc::BoardNoAnswerText(c.status));
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.file, kEarlier);
    EXPECT_EQ(outcome.unreaped_after, 0U);
    ASSERT_FALSE(outcome.requests.empty());
    if (c.exact) {
      EXPECT_EQ(outcome.requests.size(), static_cast<std::size_t>(c.failing));
    } else {
      EXPECT_LE(outcome.requests.size(), static_cast<std::size_t>(c.failing));
      EXPECT_GT(outcome.requests.size() + static_cast<std::size_t>(c.run.window),
                static_cast<std::size_t>(c.failing));
    }
    EXPECT_NE(outcome.requests.back().find(" status=" + std::to_string(c.status) + " "),
              std::string::npos)
        << outcome.requests.back();
    for (std::size_t n = 0; n + 1 < outcome.requests.size(); ++n) {
      ASSERT_NE(outcome.requests[n].find(" status=3 "), std::string::npos) << n;
    }
    // Transfers queued behind the failed one may have reached a board that
    // was still there; none beyond the window, and none once the cable is out.
    EXPECT_GE(outcome.seen.size(), static_cast<std::size_t>(c.failing));
    EXPECT_LT(outcome.seen.size(), static_cast<std::size_t>(c.failing + c.run.window));
    if (c.status == usb::RequestNoBoard) {
      EXPECT_EQ(outcome.seen.size(), static_cast<std::size_t>(c.failing));
    }
  }
}

// A batch the backend cannot start fails its first request with the status
// the single request gets, and makes no other.
TEST_F(UsbBatch, ABatchThatCannotStartFailsAsTheSingleRequestDoes) {
  struct Case {
    const char* what;
    bool plugged;
    bool connect;
    bool download;
    std::int32_t handle_offset;  // added to the handle Connect gave
    std::int32_t length;
    std::int16_t status;
  };
  const std::vector<Case> cases = {
      {"never connected", true, false, false, 0, 3, usb::RequestBadHandle},
      {"another handle", true, true, true, 1, 3, usb::RequestBadHandle},
      {"waiting for its firmware", true, true, false, 0, 3, usb::RequestNotBooted},
      {"reply too long", true, true, true, 0, usb::MaxRequestLength + 1, usb::RequestBadArgument},
      {"no board", false, true, false, 0, 3, usb::RequestNoBoard},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UsbRig rig;
    if (c.plugged) {
      rig.board.PlugIn();
    }
    std::int32_t handle = 0;
    if (c.connect) {
      std::int32_t number = 0;
      board::BoardList list{};
      rig.library->Search_For_Boards(0, 0, number, list);
      rig.library->Connect(0, 0, list[0], handle);
    }
    if (c.download) {
      ASSERT_EQ(rig.library->Download_Firmware(handle, KX_TEST_FIRMWARE), usb::DownloadOk);
    }
    handle += c.handle_offset;
    const std::vector<board::SplitWord> fields = {{0x8330, 0}, {0x8730, 0}};
    std::vector<std::uint8_t> replies(fields.size() * static_cast<std::size_t>(c.length), 0xEE);
    std::vector<std::int16_t> statuses(fields.size(), 0);
    const board::InBatch batch{board::AdcTransferRequest, c.length, fields, replies, statuses};
    const std::size_t controls = rig.board.Controls().size();

    EXPECT_EQ(rig.library->Vendor_Request_Batch(handle, batch), 1U);
    EXPECT_EQ(statuses[0], c.status);
    EXPECT_EQ(statuses[1], 0) << "the second request was not made";
    EXPECT_EQ(replies, std::vector<std::uint8_t>(replies.size(), 0xEE));
    std::vector<std::uint8_t> single(static_cast<std::size_t>(c.length), 0xEE);
    EXPECT_EQ(rig.library->Vendor_Request(handle, board::AdcTransferRequest, 0x8330, 0, 1, c.length,
                                          single.data()),
              c.status);
    EXPECT_EQ(rig.board.Controls().size(), controls);
  }
}

// A sweep's DAC word and LDAC pulse queued with its reads: the board
// and the trace see what the single requests, one after another, give.
TEST_F(UsbBatch, WritesAheadOfReadsGoOutAsTheSingleRequestsWould) {
  const std::int32_t dac_word = 0x03200000 | (0x9A5 << 8);  // channel 2, code 0x9A5
  std::vector<board::LinkStep> steps = {{board::DacLowRequest, dac_word},
                                        {board::PulseLdacRequest, 0}};
  steps.resize(7, {board::AdcTransferRequest, 0x8B30});  // channel 2, again and again
  const auto run = [&](bool classic, bool queued, std::vector<std::int32_t>& replies) {
    usb::UsbOptions options;
    options.transfer_window = queued ? usb::DefaultTransferWindow : 1;
    UsbRig rig(WaitingBoard(), options);
    board::BoardLink& link = classic ? static_cast<board::BoardLink&>(rig.classic) : rig.version2;
    rig.board.PlugIn();
    rig.port.ShowLoad(link.LoadUSB());
    const std::size_t before = rig.TraceLines().size();
    rig.board.ClearControls();
    rig.board.SetBusTiming(queued ? std::optional(kTestBus) : std::nullopt);
    if (queued) {
      EXPECT_EQ(link.TransferSteps(steps, replies), 7U);
    } else {
      link.WriteDacWord(steps[0].code, steps[0].word);
      link.SendControlRequest(static_cast<std::uint8_t>(steps[1].code));
      for (std::size_t n = 2; n < steps.size(); ++n) {
        replies[n] = link.TransferAdcWord(steps[n].word);
      }
    }
    const std::vector<std::string> lines = rig.TraceLines();
    std::vector<std::string> seen(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end());
    for (const ControlRecord& record : rig.board.Controls()) {
      seen.push_back(fmt::format("{:02X} {:02X} {} {} {}", record.setup.request_type,
                                 record.setup.request, record.setup.value, record.setup.index,
                                 record.setup.length));
    }
    EXPECT_EQ(link.State().LinkStatus, 3);
    return seen;
  };
  for (const bool classic : {false, true}) {
    std::vector<std::int32_t> single(steps.size());
    std::vector<std::int32_t> queued(steps.size());
    const std::vector<std::string> expected = run(classic, false, single);
    EXPECT_EQ(run(classic, true, queued), expected) << classic;
    EXPECT_EQ(queued, single) << classic;
    EXPECT_EQ(single.back() & 0xFFF, 0x9A5) << classic;  // the ADC saw the new code
  }
}

}  // namespace
}  // namespace kx::testing
