// "Read && Save ADC" and "Channel 0 to File": the dialog, the transfers, the
// files byte for byte, and what happens when the board or the disk fails.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "adc/adc_operations.h"
#include "adc_rig.h"
#include "board/cvn_board_link.h"
#include "support/scripted_library.h"

namespace kx::adc {
namespace {

using testing::AdcRig;
using testing::CrLfLines;
using testing::ReadBytes;
using testing::TempFolder;
using testing::WriteBytes;
using Words = std::vector<std::uint32_t>;

const char* const kFilter = "All Files (*.*)|*.*|DAT Files(*.dat)|*.dat";

class AdcCaptureTest : public ::testing::TestWithParam<AdcWordRules> {};

INSTANTIATE_TEST_SUITE_P(BothPrograms, AdcCaptureTest,
                         ::testing::Values(AdcWordRules::Version2, AdcWordRules::Classic),
                         testing::RulesName);

TEST_P(AdcCaptureTest, CancelSendsNothingWritesNothingSaysNothing) {
  TempFolder folder;
  AdcRig rig(GetParam());
  rig.ops.CaptureAllChannels();
  rig.port.save_answers.emplace_back(std::string());  // a dialog closed without a name
  rig.ops.CaptureChannel0();
  EXPECT_EQ(rig.port.save_filters, (std::vector<std::string>{kFilter, kFilter}));
  EXPECT_TRUE(rig.TakeLines().empty());
  EXPECT_TRUE(rig.port.capture_statuses.empty());
  EXPECT_TRUE(rig.port.progress.empty());
  EXPECT_TRUE(rig.port.messages.empty());
  EXPECT_TRUE(rig.port.status_lines.empty());
  EXPECT_TRUE(folder.Entries().empty());
}

TEST_P(AdcCaptureTest, AllChannelsSends8193WordsInSetsOfSixteen) {
  TempFolder folder;
  AdcRig rig(GetParam());
  rig.ops.ChooseListEntry({1, 1, 1});
  rig.TakeAdcWords();
  rig.port.save_answers.emplace_back(folder.File("s.dat"));
  rig.ops.CaptureAllChannels();

  const bool version2 = GetParam() == AdcWordRules::Version2;
  // Version2 words carry Range and Coding, classic ones Range and Weak/Tri.
  const std::uint32_t bits = version2 ? 0x30 : 0x60;
  const Words words = rig.TakeAdcWords();
  ASSERT_EQ(words.size(), 8193U);
  EXPECT_EQ(words[0], 0xFFFF8300U | bits);
  for (std::size_t n = 0; n < 512; ++n) {
    for (std::size_t a = 1; a < 16; ++a) {
      ASSERT_EQ(words[1 + n * 16 + a - 1], (0x8300U + 0x400U * a) | bits) << n << " " << a;
    }
    ASSERT_EQ(words[1 + n * 16 + 15], 0x8300U | bits) << n;
  }
  EXPECT_EQ(rig.port.status_lines.back(), fmt::format("ADC Write: 0x{:X}", 0x8300U | bits));
  EXPECT_EQ(rig.port.capture_statuses, (std::vector<std::string>{"Taking Samples", ""}));
  EXPECT_TRUE(rig.port.messages.empty());
  // A read's results and volts are left alone.
  EXPECT_EQ(rig.ops.AdcResults(), (std::array<std::int32_t, 16>{}));
  EXPECT_EQ(rig.ops.VoltTexts()[0], "0.000V");
}

TEST_P(AdcCaptureTest, AllChannelsFileHoldsEachChannelInItsColumn) {
  TempFolder folder;
  AdcRig rig(GetParam(), testing::StaircaseInputs());
  const std::string path = folder.File("staircase.dat");
  rig.port.save_answers.emplace_back(path);
  rig.ops.CaptureAllChannels();

  // Without a Coding bit the converter answers in two's complement, so
  // channel c (0x100 x c straight) comes back with bit 11 flipped.
  std::string expected_line;
  for (unsigned c = 0; c < 16; ++c) {
    expected_line += std::to_string((0x100U * c) ^ 0x800U) + "\t";
  }
  const std::string bytes = ReadBytes(path);
  const std::vector<std::string> lines = CrLfLines(bytes);
  ASSERT_EQ(lines.size(), 512U);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    ASSERT_EQ(lines[n], expected_line) << "line " << n;
  }
  EXPECT_EQ(bytes.size(), 512U * (expected_line.size() + 2));
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"staircase.dat"}));
}

TEST(AdcCaptureFile, Version2StraightBinaryGivesTheStaircaseItself) {
  TempFolder folder;
  AdcRig rig(AdcWordRules::Version2, testing::StaircaseInputs());
  rig.ops.ChooseListEntry({-1, -1, 1});
  rig.port.save_answers.emplace_back(folder.File("s.dat"));
  rig.ops.CaptureAllChannels();
  const std::vector<std::string> lines = CrLfLines(ReadBytes(folder.File("s.dat")));
  ASSERT_EQ(lines.size(), 512U);
  EXPECT_EQ(lines.front(),
            "0\t256\t512\t768\t1024\t1280\t1536\t1792\t2048\t2304\t2560\t2816\t3072\t3328\t3584\t"
            "3840\t");
  EXPECT_EQ(lines.back(), lines.front());
}

TEST_P(AdcCaptureTest, Channel0Sends1025FixedWordsAndWritesWholeReplies) {
  TempFolder folder;
  AdcRig rig(GetParam(), testing::StaircaseInputs());
  rig.ops.ChooseListEntry({1, 1, 1});  // ignored by this capture
  rig.TakeAdcWords();
  const std::string path = folder.File("ch0");
  rig.port.save_answers.emplace_back(path);
  rig.ops.CaptureChannel0();

  EXPECT_EQ(rig.TakeAdcWords(), Words(1025, 0xFFFF8310U));
  EXPECT_EQ(rig.port.status_lines.back(), "ADC Write: 0xFFFF8310");
  // This capture never shows "Taking Samples".
  EXPECT_TRUE(rig.port.capture_statuses.empty());
  EXPECT_TRUE(rig.port.messages.empty());

  // Channel 0 sits at 0 V: in straight binary every reply is channel 0,
  // code 0.
  const std::vector<std::string> lines = CrLfLines(ReadBytes(path));
  ASSERT_EQ(lines.size(), 1024U);
  for (const std::string& line : lines) {
    ASSERT_EQ(line, " 0 ");
  }
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"ch0"}));
}

TEST(AdcCaptureFile, Channel0WritesWholeRepliesNotCodes) {
  // 1.25 V on channel 0: straight code 0x400. The version2 link hands over
  // the word shifted left by one, and the file shows it that way.
  for (const auto& [rules, line] :
       {std::pair{AdcWordRules::Version2, " 2048 "}, std::pair{AdcWordRules::Classic, " 1024 "}}) {
    board::sim::SimSettings settings;
    settings.inputs[0] = 1.25;
    TempFolder folder;
    AdcRig rig(rules, settings);
    rig.port.save_answers.emplace_back(folder.File("c"));
    rig.ops.CaptureChannel0();
    const std::vector<std::string> lines = CrLfLines(ReadBytes(folder.File("c")));
    ASSERT_EQ(lines.size(), 1024U);
    EXPECT_EQ(lines[0], line);
    EXPECT_EQ(lines[1023], line);
  }
}

TEST(AdcCaptureFile, Channel0KeepsTheTopBitsAndBit0OfAReply) {
  kx::testing::ScriptedLibrary library;
  library.reply = {0x35, 0xF2, 0x00};  // 0xF235: channel bits and bit 0 set
  kx::testing::FakeOperator port;
  board::CvnBoardLink link(library, ".");
  AdcOperations core(link, AdcWordRules::Version2);
  kx::testing::ShownAdc ops(core, port);
  TempFolder folder;
  port.save_answers.emplace_back(folder.File("raw.dat"));
  ops.CaptureChannel0();
  std::string expected;
  for (int k = 0; k < 1024; ++k) {
    expected += " 62005 \r\n";
  }
  EXPECT_EQ(ReadBytes(folder.File("raw.dat")), expected);

  library.reply = {0x34, 0x12, 0x00};
  port.save_answers.emplace_back(folder.File("raw.dat"));
  ops.CaptureChannel0();
  EXPECT_EQ(CrLfLines(ReadBytes(folder.File("raw.dat")))[0], " 4660 ");
}

TEST_P(AdcCaptureTest, ProgressIsReportedNowAndThenAndHiddenAtTheEnd) {
  TempFolder folder;
  AdcRig rig(GetParam());
  rig.port.save_answers.emplace_back(folder.File("a"));
  rig.ops.CaptureAllChannels();
  const auto all = rig.port.progress;
  rig.port.progress.clear();
  rig.port.save_answers.emplace_back(folder.File("b"));
  rig.ops.CaptureChannel0();
  const auto channel0 = rig.port.progress;

  for (const auto& [reports, total] : {std::pair{all, 8193}, std::pair{channel0, 1025}}) {
    ASSERT_GE(reports.size(), 3U);
    EXPECT_EQ(reports.front(), (std::pair{0, total}));
    EXPECT_EQ(reports[reports.size() - 2], (std::pair{total, total}));
    EXPECT_EQ(reports.back(), (std::pair{0, 0}));
    // Not every transfer: one report per 128 at most, counting up.
    EXPECT_LE(reports.size(), static_cast<std::size_t>(total / 128 + 3));
    for (std::size_t i = 1; i + 1 < reports.size(); ++i) {
      EXPECT_GT(reports[i].first, reports[i - 1].first);
      EXPECT_EQ(reports[i].second, total);
    }
  }
}

TEST_P(AdcCaptureTest, AnExistingFileIsReplacedWhole) {
  TempFolder folder;
  const std::string path = folder.File("old.dat");
  WriteBytes(path, std::string(200000, 'z'));
  AdcRig rig(GetParam());
  rig.port.save_answers.emplace_back(path);
  rig.ops.CaptureChannel0();
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.find('z'), std::string::npos);
  EXPECT_EQ(CrLfLines(bytes).size(), 1024U);
  rig.port.save_answers.emplace_back(path);
  rig.ops.CaptureAllChannels();
  EXPECT_EQ(CrLfLines(ReadBytes(path)).size(), 512U);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"old.dat"}));
}

// The board is not asked for a single sample when they could not be saved:
// the operator learns it at once, not after the capture's wait.
TEST_P(AdcCaptureTest, AFileThatCannotBeSavedIsReportedBeforeTheFirstTransfer) {
  struct Case {
    const char* name;
    const char* reason;
  };
  const Case cases[] = {
      {"a folder", "Is a directory"},
      {"gone/s.dat", "No such file or directory"},
      {"read-only.dat", "the file is read-only"},
  };
  for (const bool all_channels : {true, false}) {
    for (const Case& c : cases) {
      TempFolder folder;
      std::filesystem::create_directories(folder.Path() / "a folder");
      WriteBytes(folder.File("read-only.dat"), "earlier samples\r\n");
      std::filesystem::permissions(folder.File("read-only.dat"),
                                   std::filesystem::perms::owner_read);
      const std::string path = folder.File(c.name);
      AdcRig rig(GetParam());
      rig.port.save_answers.emplace_back(path);
      if (all_channels) {
        rig.ops.CaptureAllChannels();
      } else {
        rig.ops.CaptureChannel0();
      }
      EXPECT_TRUE(rig.TakeAdcWords().empty()) << c.name;
      ASSERT_EQ(rig.port.messages.size(), 1U) << c.name;
      EXPECT_EQ(rig.port.messages[0].text, "Cannot save the samples to \"" + path +
                                               "\": " + c.reason +
                                               ". Any existing file of that name is unchanged.");
      EXPECT_EQ(rig.port.messages[0].title, "Error");
      EXPECT_EQ(rig.port.messages[0].icon, board::MessageIcon::Exclamation);
      // Neither "Taking Samples" nor any progress: no capture began.
      EXPECT_TRUE(rig.port.capture_statuses.empty()) << c.name;
      EXPECT_TRUE(rig.port.progress.empty()) << c.name;
      std::filesystem::permissions(folder.File("read-only.dat"), std::filesystem::perms::owner_all);
      EXPECT_EQ(ReadBytes(folder.File("read-only.dat")), "earlier samples\r\n");
      EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"a folder", "read-only.dat"}));
    }
  }
}

TEST_P(AdcCaptureTest, ALinkIsFollowedAndATemporaryFileNeverLeftBehind) {
#ifdef _WIN32
  GTEST_SKIP() << "links need privileges on Windows";
#else
  TempFolder folder;
  std::filesystem::create_directories(folder.Path() / "real");
  const std::string target = folder.File("real/samples.dat");
  WriteBytes(target, "earlier samples\r\n");
  std::filesystem::create_symlink("real/samples.dat", folder.Path() / "latest.dat");
  AdcRig rig(GetParam());
  rig.port.save_answers.emplace_back(folder.File("latest.dat"));
  rig.ops.CaptureChannel0();
  EXPECT_TRUE(rig.port.messages.empty());
  EXPECT_TRUE(std::filesystem::is_symlink(folder.File("latest.dat")));
  EXPECT_EQ(CrLfLines(ReadBytes(target)).size(), 1024U);

  // A board lost during the capture: the file prepared for it goes again.
  rig.unplugging.answers_left = 10;
  rig.port.save_answers.emplace_back(folder.File("latest.dat"));
  rig.ops.CaptureAllChannels();
  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_EQ(CrLfLines(ReadBytes(target)).size(), 1024U);
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"latest.dat", "real"}));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path() / "real"),
                          std::filesystem::directory_iterator()),
            1);
#endif
}

TEST_P(AdcCaptureTest, AnAbsentBoardStopsTheCaptureAtTheFirstTransfer) {
  TempFolder folder;
  const std::string path = folder.File("kept.dat");
  WriteBytes(path, "earlier samples\r\n");
  AdcRig rig(GetParam(), testing::AbsentBoard());

  rig.port.save_answers.emplace_back(path);
  rig.ops.CaptureAllChannels();
  EXPECT_EQ(rig.TakeAdcWords().size(), 1U);
  ASSERT_EQ(rig.port.messages.size(), 1U);
  EXPECT_EQ(rig.port.messages[0].text,
            "The board did not answer (status -1). No samples were saved.");
  EXPECT_EQ(rig.port.messages[0].title, "Error");
  EXPECT_EQ(rig.port.messages[0].icon, board::MessageIcon::Exclamation);
  EXPECT_EQ(rig.port.capture_statuses, (std::vector<std::string>{"Taking Samples", ""}));
  EXPECT_EQ(rig.port.progress.back(), (std::pair{0, 0}));

  rig.port.save_answers.emplace_back(path);
  rig.ops.CaptureChannel0();
  EXPECT_EQ(rig.TakeAdcWords().size(), 1U);
  ASSERT_EQ(rig.port.messages.size(), 2U);
  EXPECT_EQ(rig.port.messages[1].text, rig.port.messages[0].text);
  EXPECT_EQ(rig.port.capture_statuses.size(), 2U);  // Label1 untouched by this one

  EXPECT_EQ(ReadBytes(path), "earlier samples\r\n");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"kept.dat"}));
}

TEST_P(AdcCaptureTest, ABoardLostMidwayStopsAtOnceAndWritesNothing) {
  struct Case {
    bool all_channels;
    int answered;  // transfers the board answers before it goes
  };
  const Case cases[] = {{true, 0},  {true, 1},    {true, 4000}, {true, 8192},
                        {false, 0}, {false, 500}, {false, 1024}};
  for (const Case& c : cases) {
    TempFolder folder;
    AdcRig rig(GetParam());
    rig.unplugging.answers_left = c.answered;
    rig.port.save_answers.emplace_back(folder.File("s.dat"));
    if (c.all_channels) {
      rig.ops.CaptureAllChannels();
    } else {
      rig.ops.CaptureChannel0();
    }
    EXPECT_EQ(rig.TakeAdcWords().size(), static_cast<std::size_t>(c.answered) + 1) << c.answered;
    ASSERT_EQ(rig.port.messages.size(), 1U);
    EXPECT_EQ(rig.port.messages[0].text,
              "The board did not answer (status -5). No samples were saved.");
    EXPECT_EQ(rig.port.progress.back(), (std::pair{0, 0}));
    if (c.all_channels) {
      EXPECT_EQ(rig.port.capture_statuses.back(), "");
    }
    EXPECT_TRUE(folder.Entries().empty());
  }
}

}  // namespace
}  // namespace kx::adc
