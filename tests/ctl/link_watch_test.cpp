// The fuse between the board link and the library: what it records, what
// counts as a failure for each library, and that nothing passes it after one.
#include "commands/link_watch.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "board/board_link_factory.h"
#include "board/link_requests.h"
#include "support/fake_operator.h"
#include "support/scripted_library.h"

namespace kx::commands {
namespace {

// Counts the calls that reach the library behind the watch.
class CountingLibrary final : public board::CvnCyusbUsb4, public board::UsbBoardIo {
 public:
  kx::testing::ScriptedLibrary inner;
  int calls = 0;

  std::int16_t Search_For_Boards(std::int32_t v, std::int32_t p, std::int32_t& n,
                                 board::BoardList& l) override {
    ++calls;
    return inner.Search_For_Boards(v, p, n, l);
  }
  std::int16_t Connect(std::int32_t v, std::int32_t p, std::int32_t b, std::int32_t& h) override {
    ++calls;
    return inner.Connect(v, p, b, h);
  }
  std::int16_t Download_Firmware(std::int32_t h, const char* path) override {
    ++calls;
    return inner.Download_Firmware(h, path);
  }
  std::int16_t Vendor_Request(std::int32_t h, std::uint8_t r, std::int32_t v, std::int32_t i,
                              std::uint8_t d, std::int32_t l, std::uint8_t* b) override {
    ++calls;
    return inner.Vendor_Request(h, r, v, i, d, l, b);
  }
  std::int16_t LoadFirmWare(const char* path) override {
    ++calls;
    return inner.LoadFirmWare(path);
  }
  std::int16_t VendorIORequest(std::int16_t r, std::int32_t v, std::int32_t i, std::int16_t d,
                               std::int16_t l, std::uint8_t* b) override {
    ++calls;
    return inner.VendorIORequest(r, v, i, d, l, b);
  }
};

struct WatchRig {
  explicit WatchRig(LinkKind kind)
      : link(board::MakeBoardLink(kind, watch.Libraries(), "/opt/kx7312")) {}
  CountingLibrary library;
  LinkWatch watch{{&library, &library}};
  kx::testing::FakeOperator port;
  std::unique_ptr<board::BoardLink> link;
};

class LinkWatchTest : public ::testing::TestWithParam<LinkKind> {};

INSTANTIATE_TEST_SUITE_P(BothLibraries, LinkWatchTest,
                         ::testing::Values(LinkKind::CvnCyusbUsb4, LinkKind::UsbBoardIo));

TEST_P(LinkWatchTest, RecordsEachRequestsWordStatusAndReply) {
  WatchRig rig(GetParam());
  rig.library.inner.reply = {0x34, 0x12, 0x77};
  rig.link->WriteDacWord(board::DacHighRequest, static_cast<std::int32_t>(0x8000ABCDU));
  EXPECT_EQ(rig.link->TransferAdcWord(static_cast<std::int32_t>(0xFFFF8390U)), 0x1234);
  rig.link->SendControlRequest(board::PulseLdacRequest);

  const std::vector<LinkRecord> records = rig.watch.TakeRecords();
  ASSERT_EQ(records.size(), 3U);
  EXPECT_EQ(records[0].code, board::DacHighRequest);
  EXPECT_EQ(static_cast<std::uint32_t>(records[0].word), 0x8000ABCDU);
  EXPECT_FALSE(records[0].reads);
  EXPECT_EQ(records[1].code, board::AdcTransferRequest);
  EXPECT_EQ(static_cast<std::uint32_t>(records[1].word), 0xFFFF8390U);
  EXPECT_TRUE(records[1].reads);
  EXPECT_EQ(records[1].reply, 0x1234);
  EXPECT_EQ(records[2].code, board::PulseLdacRequest);
  EXPECT_TRUE(rig.watch.TakeRecords().empty());
  EXPECT_FALSE(rig.watch.Failure());
}

TEST_P(LinkWatchTest, AfterTheFirstFailedRequestNothingReachesTheLibrary) {
  WatchRig rig(GetParam());
  rig.link->SendControlRequest(board::ClrHighRequest);
  rig.library.inner.request_status = -4;
  rig.link->WriteDacWord(board::DacLowRequest, 0x0037FF00);
  const int calls = rig.library.calls;
  rig.library.inner.request_status = 0;  // the board would answer again: it is not asked
  EXPECT_EQ(rig.link->TransferAdcWord(0x8700), 0x0101);
  rig.link->SendControlRequest(board::PulseLdacRequest);
  rig.port.ShowLoad(rig.link->LoadUSB());

  EXPECT_EQ(rig.library.calls, calls);
  ASSERT_TRUE(rig.watch.Failure());
  EXPECT_FALSE(rig.watch.Failure()->download);
  EXPECT_EQ(rig.watch.Failure()->status, -4);
  EXPECT_EQ(rig.watch.Failure()->code, board::DacLowRequest);
  EXPECT_EQ(rig.watch.Failure()->word, 0x0037FF00);
  EXPECT_LT(rig.link->State().LinkStatus, 0);
  EXPECT_EQ(rig.watch.TakeRecords().size(), 2U);
}

TEST_P(LinkWatchTest, ABatchIsRecordedWordByWordAndNothingPassesItsFailure) {
  WatchRig rig(GetParam());
  rig.library.inner.reply = {0x34, 0x12, 0x77};
  const std::vector<std::int32_t> words = {0x8300, static_cast<std::int32_t>(0xFFFF8700U), 0x8B00};
  std::vector<std::int32_t> replies(words.size());
  EXPECT_EQ(rig.link->TransferAdcWords(words, replies), 3U);
  EXPECT_EQ(replies, (std::vector<std::int32_t>{0x1234, 0x1234, 0x1234}));
  std::vector<LinkRecord> records = rig.watch.TakeRecords();
  ASSERT_EQ(records.size(), 3U);
  for (std::size_t n = 0; n < records.size(); ++n) {
    EXPECT_EQ(records[n].code, board::AdcTransferRequest);
    EXPECT_EQ(records[n].word, words[n]);
    EXPECT_TRUE(records[n].reads);
    EXPECT_EQ(records[n].reply, 0x1234);
  }

  // The library fails the first word: the batch ends there, and the watch
  // holds the failure.
  rig.library.inner.request_status = -5;
  const int calls = rig.library.calls;
  EXPECT_EQ(rig.link->TransferAdcWords(words, replies), 1U);
  EXPECT_EQ(rig.library.calls, calls + 1);
  ASSERT_TRUE(rig.watch.Failure());
  EXPECT_EQ(rig.watch.Failure()->word, words[0]);
  EXPECT_EQ(rig.watch.TakeRecords().size(), 1U);

  // A later batch does not reach the library, though it would answer.
  rig.library.inner.request_status = 3;
  replies.assign(words.size(), 0);
  EXPECT_EQ(rig.link->TransferAdcWords(words, replies), 1U);
  EXPECT_EQ(rig.library.calls, calls + 1);
  EXPECT_EQ(replies[0], 0x0101);
  EXPECT_EQ(rig.link->State().LinkStatus, -5);
  EXPECT_TRUE(rig.watch.TakeRecords().empty());
}

TEST_P(LinkWatchTest, PositiveRequestStatusesAreSuccesses) {
  WatchRig rig(GetParam());
  rig.library.inner.request_status = 3;
  rig.link->SendControlRequest(board::LdacLowRequest);
  EXPECT_FALSE(rig.watch.Failure());
}

TEST(LinkWatchDownloadTest, EachLibrarysOwnRuleSaysWhetherTheDownloadFailed) {
  struct Case {
    LinkKind kind;
    std::int16_t status;
    bool failed;
  };
  for (const Case c :
       {Case{LinkKind::CvnCyusbUsb4, 0, false}, Case{LinkKind::CvnCyusbUsb4, 2, true},
        Case{LinkKind::CvnCyusbUsb4, -1, true}, Case{LinkKind::UsbBoardIo, 0, false},
        Case{LinkKind::UsbBoardIo, 5, false}, Case{LinkKind::UsbBoardIo, -2, true}}) {
    WatchRig rig(c.kind);
    rig.library.inner.download_status = c.status;
    rig.port.ShowLoad(rig.link->LoadUSB());
    ASSERT_EQ(rig.watch.Failure().has_value(), c.failed) << c.status;
    if (c.failed) {
      EXPECT_TRUE(rig.watch.Failure()->download);
      EXPECT_EQ(rig.watch.Failure()->status, c.status);
      // The post-boot request never left: a script must not believe it did.
      EXPECT_TRUE(rig.watch.TakeRecords().empty());
      EXPECT_LT(rig.link->State().LinkStatus, 0);
    } else {
      EXPECT_EQ(rig.watch.TakeRecords().size(), 1U);
    }
  }
}

}  // namespace
}  // namespace kx::commands
