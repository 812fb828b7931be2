#include "adc/sample_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#endif

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "adc_rig.h"

namespace kx::adc {
namespace {

using namespace std::string_literals;
using testing::CrLfLines;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;

TEST(AllChannelsFile, SixteenTabEndedFieldsAndCrLfPerSet) {
  SampleSet first{};
  SampleSet second{};
  for (std::size_t i = 0; i < first.size(); ++i) {
    first[i] = static_cast<std::int32_t>(i);
    second[i] = 4095 - static_cast<std::int32_t>(i) * 100;
  }
  const std::vector<SampleSet> sets = {first, second};
  EXPECT_EQ(AllChannelsFileText(sets),
            "0\t1\t2\t3\t4\t5\t6\t7\t8\t9\t10\t11\t12\t13\t14\t15\t\r\n"
            "4095\t3995\t3895\t3795\t3695\t3595\t3495\t3395\t3295\t3195\t3095\t2995\t2895\t"
            "2795\t2695\t2595\t\r\n");
}

TEST(AllChannelsFile, FullBlockHas512LinesOf16Fields) {
  std::vector<SampleSet> sets(AllChannelsSampleSets);
  for (std::size_t n = 0; n < sets.size(); ++n) {
    sets[n].fill(static_cast<std::int32_t>(n * 8 % 4096));
  }
  const std::vector<std::string> lines = CrLfLines(AllChannelsFileText(sets));
  ASSERT_EQ(lines.size(), 512U);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::string expected;
    for (int field = 0; field < 16; ++field) {
      expected += std::to_string(n * 8 % 4096) + "\t";
    }
    ASSERT_EQ(lines[n], expected) << "line " << n;
  }
}

TEST(Channel0File, BlankReplyBlankCrLfPerReply) {
  const std::vector<std::int32_t> replies = {0x1234, 0, 65535, 0x0101};
  EXPECT_EQ(Channel0FileText(replies), " 4660 \r\n 0 \r\n 65535 \r\n 257 \r\n");
}

TEST(Channel0File, EmptyBlocksGiveEmptyFiles) {
  EXPECT_EQ(Channel0FileText({}), "");
  EXPECT_EQ(AllChannelsFileText({}), "");
}

TEST(WriteFileReplacing, CreatesANewFileWithExactlyTheBytes) {
  TempFolder folder;
  const std::string path = folder.File("samples.dat");
  const std::string bytes = "1\t2\t\r\n\0\xFF"s;
  EXPECT_EQ(WriteFileReplacing(path, bytes), std::nullopt);
  EXPECT_EQ(ReadBytes(path), bytes);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"samples.dat"}));
}

TEST(WriteFileReplacing, ReplacesAnExistingFileWhole) {
  TempFolder folder;
  const std::string path = folder.File("old.dat");
  WriteBytes(path, std::string(10000, 'x'));
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::owner_write |
                                         std::filesystem::perms::group_read);
  EXPECT_EQ(WriteFileReplacing(path, "short\r\n"), std::nullopt);
  EXPECT_EQ(ReadBytes(path), "short\r\n");
#ifndef _WIN32  // Windows files have no permission bits to keep
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                std::filesystem::perms::group_read);
#endif
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"old.dat"}));
}

TEST(WriteFileReplacing, KeepsAPathWithoutExtensionAsItIs) {
  TempFolder folder;
  EXPECT_EQ(WriteFileReplacing(folder.File("capture"), "x"), std::nullopt);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"capture"}));
}

TEST(WriteFileReplacing, StepsAroundALeftoverTemporaryName) {
  TempFolder folder;
  const std::string path = folder.File("s.dat");
  WriteBytes(path + ".0.part", "someone else's");
  EXPECT_EQ(WriteFileReplacing(path, "mine"), std::nullopt);
  EXPECT_EQ(ReadBytes(path), "mine");
  EXPECT_EQ(ReadBytes(path + ".0.part"), "someone else's");
}

TEST(WriteFileReplacing, FailuresNameThePathAndTheReasonAndLeaveNothingBehind) {
  TempFolder folder;
  WriteBytes(folder.File("plain"), "a file, not a folder");
  std::filesystem::create_directories(folder.Path() / "taken" / "inner");
  struct Case {
    std::string path;
    std::string reason;
  };
  const Case cases[] = {
      {folder.File("missing/s.dat"), "No such file or directory"},
#ifdef _WIN32  // Windows does not tell a file in the way from a missing folder
      {folder.File("plain/s.dat"), "No such file or directory"},
#else
      {folder.File("plain/s.dat"), "Not a directory"},
#endif
      {folder.File("taken"), "Is a directory"},
      {"", "No such file or directory"},
  };
  for (const Case& c : cases) {
    const std::optional<std::string> failure = WriteFileReplacing(c.path, "data");
    ASSERT_TRUE(failure.has_value()) << c.path;
    EXPECT_EQ(*failure, "Cannot save the samples to \"" + c.path + "\": " + c.reason +
                            ". Any existing file of that name is unchanged.");
  }
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"plain", "taken"}));
  EXPECT_EQ(ReadBytes(folder.File("plain")), "a file, not a folder");
  EXPECT_TRUE(std::filesystem::is_directory(folder.Path() / "taken" / "inner"));
}

#ifndef _WIN32
// Runs in a child process: a file size limit (which holds even for root)
// makes the write fail half-way. Exit code 0 when the failure was reported
// with the path and the reason.
int WriteBeyondTheSizeLimit(const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  limit.rlim_cur = 1000;
  limit.rlim_max = 1000;
  setrlimit(RLIMIT_FSIZE, &limit);
  const std::optional<std::string> failure = WriteFileReplacing(path, std::string(100000, '7'));
  const bool told = failure.has_value() && failure->find("File too large") != std::string::npos &&
                    failure->find(path) != std::string::npos;
  return told ? 0 : 1;
}

TEST(WriteFileReplacingDeathTest, WriteFailureKeepsTheOldFileAndLeavesNoTemporary) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempFolder folder;
  const std::string path = folder.File("kept.dat");
  const std::string old_bytes = "the previous capture\r\n";
  WriteBytes(path, old_bytes);

  EXPECT_EXIT(std::_Exit(WriteBeyondTheSizeLimit(path)), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadBytes(path), old_bytes);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"kept.dat"}));
}
#endif  // Windows has no per-process file size limit to make a write fail with.

}  // namespace
}  // namespace kx::adc
