// A batch of ADC words through the board link, the trace and a library that
// takes it one request at a time or whole: the same requests reach the
// library, the same lines reach the trace, and the caller sees the same
// replies, statuses and requests kept as from TransferAdcWord word by word.
#include "board/link_batch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "board/board_link_factory.h"
#include "board/trace/link_trace.h"

namespace kx::board {
namespace {

// Answers request n with bytes made of its value and n, and fails request
// `fail_at` (counted from 0) with a stall, writing nothing. With `queues` it
// takes batches whole, as a backend that queues them, instead of through
// the interface's default of one call after another.
class NumberedLibrary final : public CvnCyusbUsb4, public UsbBoardIo {
 public:
  std::optional<int> fail_at;
  bool queues = false;
  std::vector<SplitWord> seen;
  int batch_calls = 0;

  std::int16_t Search_For_Boards(std::int32_t, std::int32_t, std::int32_t&,
                                 BoardList& list) override {
    list[0] = 1;
    return 0;
  }
  std::int16_t Connect(std::int32_t, std::int32_t, std::int32_t, std::int32_t& handle) override {
    handle = 9;
    return 0;
  }
  std::int16_t Download_Firmware(std::int32_t, const char*) override { return 0; }
  std::int16_t Vendor_Request(std::int32_t, std::uint8_t, std::int32_t value, std::int32_t index,
                              std::uint8_t, std::int32_t length, std::uint8_t* buffer) override {
    return Answer(value, index, length, buffer);
  }
  std::int16_t LoadFirmWare(const char*) override { return 0; }
  std::int16_t VendorIORequest(std::int16_t, std::int32_t value, std::int32_t index, std::int16_t,
                               std::int16_t length, std::uint8_t* buffer) override {
    return Answer(value, index, length, buffer);
  }
  std::size_t Vendor_Request_Batch(std::int32_t handle, const InBatch& batch) override {
    return queues ? Whole(batch) : CvnCyusbUsb4::Vendor_Request_Batch(handle, batch);
  }
  std::size_t VendorIORequestBatch(const InBatch& batch) override {
    return queues ? Whole(batch) : UsbBoardIo::VendorIORequestBatch(batch);
  }

 private:
  std::int16_t Answer(std::int32_t value, std::int32_t index, std::int32_t length,
                      std::uint8_t* buffer) {
    const auto n = static_cast<int>(seen.size());
    seen.push_back({value, index});
    if (fail_at && n == *fail_at) {
      return -4;
    }
    const std::array<std::uint8_t, 3> reply = {static_cast<std::uint8_t>(value),
                                               static_cast<std::uint8_t>(n), 0x5A};
    for (std::int32_t i = 0; i < length && i < 3; ++i) {
      buffer[i] = reply[static_cast<std::size_t>(i)];
    }
    return static_cast<std::int16_t>(length);
  }
  std::size_t Whole(const InBatch& batch) {
    ++batch_calls;
    // Sent in order up to the failure, the results handed back back to
    // front, as replies may come: each still lands on its own request.
    std::vector<std::int16_t> statuses;
    std::vector<std::uint8_t> replies(batch.replies.begin(), batch.replies.end());
    const auto length = static_cast<std::size_t>(batch.length);
    for (std::size_t n = 0; n < batch.fields.size(); ++n) {
      statuses.push_back(Answer(batch.fields[n].value, batch.fields[n].index, batch.length,
                                replies.data() + n * length));
      if (statuses.back() < 0) {
        break;
      }
    }
    for (std::size_t n = statuses.size(); n-- > 0;) {
      batch.statuses[n] = statuses[n];
      std::copy_n(replies.begin() + static_cast<std::ptrdiff_t>(n * length), length,
                  batch.replies.begin() + static_cast<std::ptrdiff_t>(n * length));
    }
    return statuses.size();
  }
};

// A board link of one kind over the traced library.
struct TracedLink {
  explicit TracedLink(LinkKind kind) : link(MakeBoardLink(kind, {&cvn, &io}, "/opt/kx7312")) {
    link->LoadUSB();
    out.str("");
    link->TakeSent();
    library.seen.clear();
  }
  NumberedLibrary library;
  std::ostringstream out;
  trace::TraceSink sink{out};
  trace::TracingCvnCyusbUsb4 cvn{library, sink};
  trace::TracingUsbBoardIo io{library, sink};
  std::unique_ptr<BoardLink> link;
};

TEST(LinkBatch, ABatchMatchesTheSameWordsSentOneByOne) {
  struct Case {
    const char* what;
    LinkKind kind;
    bool queues;
    std::optional<int> fail_at;
    std::size_t made;
  };
  const std::vector<Case> cases = {
      {"cvn, all answered", LinkKind::CvnCyusbUsb4, false, std::nullopt, 12},
      {"io, all answered, queued", LinkKind::UsbBoardIo, true, std::nullopt, 12},
      {"cvn, the first fails, queued", LinkKind::CvnCyusbUsb4, true, 0, 1},
      {"io, the sixth fails", LinkKind::UsbBoardIo, false, 5, 6},
      {"cvn, the sixth fails, queued", LinkKind::CvnCyusbUsb4, true, 5, 6},
      {"io, the last fails, queued", LinkKind::UsbBoardIo, true, 11, 12},
  };
  std::vector<std::int32_t> words(12);
  for (std::size_t n = 0; n < words.size(); ++n) {
    const auto at = static_cast<std::int32_t>(n);
    words[n] = static_cast<std::int32_t>(0xFFFF8300U) | (at << 10) | at;
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TracedLink single(c.kind);
    single.library.fail_at = c.fail_at;
    std::vector<std::int32_t> single_replies;
    for (const std::int32_t word : words) {
      single_replies.push_back(single.link->TransferAdcWord(word));
      if (single.link->State().LinkStatus < 0) {
        break;
      }
    }

    TracedLink batched(c.kind);
    batched.library.fail_at = c.fail_at;
    batched.library.queues = c.queues;
    std::vector<std::int32_t> replies(words.size(), -7);
    const std::size_t made = batched.link->TransferAdcWords(words, replies);

    EXPECT_EQ(made, c.made);
    EXPECT_EQ(batched.library.batch_calls, c.queues ? 1 : 0);
    ASSERT_EQ(single_replies.size(), c.made);
    EXPECT_EQ(std::vector<std::int32_t>(replies.begin(), replies.begin() + c.made), single_replies);
    EXPECT_EQ(std::vector<std::int32_t>(replies.begin() + c.made, replies.end()),
              std::vector<std::int32_t>(words.size() - c.made, -7))
        << "replies of requests never made are left alone";
    EXPECT_EQ(batched.out.str(), single.out.str());
    EXPECT_EQ(batched.library.seen.size(), single.library.seen.size());
    const std::vector<LinkRecord> kept = batched.link->TakeSent();
    const std::vector<LinkRecord> kept_single = single.link->TakeSent();
    ASSERT_EQ(kept.size(), kept_single.size());
    for (std::size_t n = 0; n < kept.size(); ++n) {
      EXPECT_EQ(kept[n].word, kept_single[n].word) << n;
      EXPECT_EQ(kept[n].status, kept_single[n].status) << n;
      EXPECT_EQ(kept[n].reply, kept_single[n].reply) << n;
      EXPECT_TRUE(kept[n].reads) << n;
    }
    EXPECT_EQ(batched.link->State().LinkStatus, single.link->State().LinkStatus);
    EXPECT_EQ(batched.link->State().AdcReplyBytes, single.link->State().AdcReplyBytes);
  }
}

TEST(LinkBatch, OneByOneStopsAtTheFirstFailureAndLeavesTheRestAlone) {
  const std::vector<SplitWord> fields = {{1, 0}, {2, 0}, {3, 0}, {4, 0}};
  std::vector<std::uint8_t> replies(fields.size() * 2, 0xEE);
  std::vector<std::int16_t> statuses(fields.size(), 99);
  const InBatch batch{0xE4, 2, fields, replies, statuses};
  ASSERT_TRUE(BatchFits(batch));
  std::vector<std::int32_t> values;
  const std::size_t made = RunBatchOneByOne(
      batch, [&](BatchRequest, std::int32_t value, std::int32_t, std::uint8_t* buffer) {
        values.push_back(value);
        buffer[0] = static_cast<std::uint8_t>(value);
        return static_cast<std::int16_t>(value == 2 ? -5 : 2);
      });
  EXPECT_EQ(made, 2U);
  EXPECT_EQ(values, (std::vector<std::int32_t>{1, 2}));
  EXPECT_EQ(statuses, (std::vector<std::int16_t>{2, -5, 99, 99}));
  EXPECT_EQ(replies, (std::vector<std::uint8_t>{1, 0xEE, 2, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));

  const InBatch misfit{0xE4, 3, fields, replies, statuses};
  EXPECT_FALSE(BatchFits(misfit));
}

}  // namespace
}  // namespace kx::board
