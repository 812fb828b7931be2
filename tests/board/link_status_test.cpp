#include "board/link_status.h"

#include <gtest/gtest.h>

#include <set>
#include <string_view>

namespace kx::board {
namespace {

// Each shared table: its statuses on the side of zero its calls use for
// failure, no two alike, and each with a name and a meaning of its own.
TEST(LinkStatus, SharedTablesHoldDistinctStatusesWithTheirTexts) {
  struct Table {
    std::string_view what;
    const std::array<StatusMeaning, 4>& entries;
    bool failures_negative;
  };
  for (const Table& table : {Table{"request", LinkRequestStatuses, true},
                             Table{"download", LinkDownloadStatuses, false}}) {
    std::set<std::int16_t> statuses;
    std::set<std::string_view> names;
    std::set<std::string_view> meanings;
    for (const StatusMeaning& entry : table.entries) {
      if (table.failures_negative) {
        EXPECT_LT(entry.status, 0) << table.what << ": " << entry.name;
      } else {
        EXPECT_GE(entry.status, 0) << table.what << ": " << entry.name;
      }
      EXPECT_FALSE(entry.name.empty()) << table.what << ": " << entry.status;
      EXPECT_FALSE(entry.meaning.empty()) << table.what << ": " << entry.status;
      statuses.insert(entry.status);
      names.insert(entry.name);
      meanings.insert(entry.meaning);
    }
    EXPECT_EQ(statuses.size(), table.entries.size()) << table.what;
    EXPECT_EQ(names.size(), table.entries.size()) << table.what;
    EXPECT_EQ(meanings.size(), table.entries.size()) << table.what;
  }
}

TEST(LinkStatus, JoinedTableKeepsTheSharedEntriesFirstThenTheOwn) {
  constexpr std::array<StatusMeaning, 1> own = {{{-5, "own", "a backend's own failure"}}};
  constexpr auto joined = JoinStatuses(LinkRequestStatuses, own);
  ASSERT_EQ(joined.size(), LinkRequestStatuses.size() + 1);
  for (std::size_t n = 0; n < LinkRequestStatuses.size(); ++n) {
    EXPECT_EQ(joined[n].status, LinkRequestStatuses[n].status) << n;
    EXPECT_EQ(joined[n].meaning, LinkRequestStatuses[n].meaning) << n;
  }
  EXPECT_EQ(joined.back().status, -5);
  EXPECT_EQ(joined.back().meaning, "a backend's own failure");
}

}  // namespace
}  // namespace kx::board
