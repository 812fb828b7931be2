#include "analysis/capture_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adc/capture_metadata.h"
#include "adc/sample_file.h"
#include "analysis/capture_scale.h"
#include "support/temp_folder.h"

namespace kx::analysis {
namespace {

std::vector<adc::SampleSet> Sets() {
  std::vector<adc::SampleSet> sets(adc::AllChannelsSampleSets);
  for (int s = 0; s < adc::AllChannelsSampleSets; ++s) {
    for (int c = 0; c < adc::AdcChannels; ++c) {
      sets[static_cast<std::size_t>(s)][static_cast<std::size_t>(c)] = (s * 7 + c * 256) % 4096;
    }
  }
  return sets;
}

std::vector<std::int32_t> Replies(int shift) {
  std::vector<std::int32_t> replies;
  for (int i = 0; i < adc::Channel0Samples; ++i) {
    replies.push_back(((i * 5 + 1) % 4096) << shift);
  }
  return replies;
}

TEST(CaptureFile, ReadsWhatTheCapturesWrite) {
  const std::vector<adc::SampleSet> sets = Sets();
  const CaptureRead all = ParseCapture(adc::AllChannelsFileText(sets));
  ASSERT_TRUE(all.file) << all.error;
  EXPECT_EQ(all.file->kind, CaptureKind::AllChannels);
  ASSERT_EQ(all.file->columns.size(), 16U);
  EXPECT_EQ(all.file->Samples(), 512);
  EXPECT_EQ(all.file->columns[3][100], sets[100][3]);
  EXPECT_EQ(all.file->columns[15][511], sets[511][15]);

  const std::vector<std::int32_t> replies = Replies(1);
  const CaptureRead one = ParseCapture(adc::Channel0FileText(replies));
  ASSERT_TRUE(one.file) << one.error;
  EXPECT_EQ(one.file->kind, CaptureKind::Channel0);
  ASSERT_EQ(one.file->columns.size(), 1U);
  EXPECT_EQ(one.file->columns[0], replies);
}

TEST(CaptureFile, LineEndsWithoutCarriageReturnAreTaken) {
  std::string text = adc::AllChannelsFileText(Sets());
  std::erase(text, '\r');
  EXPECT_TRUE(ParseCapture(text).file);
}

// Where line `number` (from 1) starts.
std::size_t LineStart(const std::string& text, int number) {
  std::size_t pos = 0;
  for (int line = 1; line < number; ++line) {
    pos = text.find('\n', pos) + 1;
  }
  return pos;
}

TEST(CaptureFile, ABadFileIsNamedByItsLine) {
  const std::string all = adc::AllChannelsFileText(Sets());
  const std::string one = adc::Channel0FileText(Replies(1));
  std::string bad_code = all;
  bad_code.replace(LineStart(all, 5), 1, "x");
  std::string large_code = all;
  large_code.replace(LineStart(all, 10), 2, "5000");  // was 63
  std::string no_tab = all;
  no_tab[all.find('\t', LineStart(all, 3))] = ' ';
  std::string extra = all;
  extra.insert(LineStart(all, 4) - 2, "5\t");
  struct Case {
    const char* name;
    std::string text;
    const char* message;
  };
  const Case cases[] = {
      {"empty", "", "line 1: the file is empty"},
      {"cut inside a line", all.substr(0, LineStart(all, 301) + 20),
       "line 301: the file ends inside this line"},
      {"cut after a whole line", all.substr(0, LineStart(all, 301)),
       "line 301: the file ends after 300 lines; a whole all-channel capture holds 512"},
      {"cut before a line end", all.substr(0, all.size() - 2),
       "line 512: the file ends inside this line"},
      {"a letter", bad_code, "line 5: code 1 (ADC0) is not a decimal number"},
      {"a code too large", large_code,
       "line 10: code 1 (ADC0) is 5000, above the largest code 4095"},
      {"no tab", no_tab, "line 3: code 1 (ADC0) is not followed by a tab"},
      {"seventeen codes", extra, "line 3: more than 16 codes"},
      {"one line too many", all + all.substr(0, LineStart(all, 2)),
       "line 513: this all-channel capture goes on past its 512 lines"},
      {"channel 0 cut short", one.substr(0, one.size() / 2),
       "a whole channel-0 capture holds 1024"},
      {"channel 0 without its blanks", " 12\r\n", "line 1: expected a blank"},
      {"channel 0 reply too large", " 70000 \r\n", "line 1: the reply 70000 is larger"},
      {"JSON", "{\"format\": 1}\n", "line 1: the file holds JSON, not a capture or log file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const CaptureRead read = ParseCapture(c.text);
    EXPECT_FALSE(read.file);
    EXPECT_NE(read.error.find(c.message), std::string::npos) << read.error;
  }
}

TEST(CaptureFile, AFileThatCannotBeReadIsNamed) {
  const testing::TempFolder folder;
  const CaptureRead missing = ReadCaptureFile(folder.File("none.txt"));
  EXPECT_NE(missing.error.find("none.txt"), std::string::npos);
  const std::string path = folder.File("bad.txt");
  testing::WriteBytes(path, "1\t2\r\n");
  const CaptureRead bad = ReadCaptureFile(path);
  EXPECT_EQ(bad.error.rfind(path + ": line 1:", 0), 0U) << bad.error;
  // A metadata file given in place of its capture names the capture.
  testing::WriteBytes(path + ".json", adc::MetadataJson(adc::CaptureMetadata{}));
  EXPECT_EQ(
      ReadCaptureFile(path + ".json").error,
      path + ".json: the metadata file of the capture " + path + ", not a capture or log file");
}

TEST(CaptureFile, Channel0RepliesGiveTheirCodesUnderEitherRules) {
  struct Case {
    int shift;
    AdcWordRules rules;
  };
  for (const Case c : {Case{1, AdcWordRules::Version2}, Case{0, AdcWordRules::Classic}}) {
    const CaptureRead read = ParseCapture(adc::Channel0FileText(Replies(c.shift)));
    ASSERT_TRUE(read.file);
    EXPECT_EQ(GuessChannel0Rules(*read.file), c.rules);
    CaptureScale scale;
    scale.rules = c.rules;
    const auto channels = Samples(*read.file, scale);
    ASSERT_EQ(channels.size(), 1U);
    EXPECT_EQ(channels[0].codes[10], 51);
    // The fixed word's "0V to 2xVREFA", "Straight Binary": code 51 of a
    // 5 V span, whatever coding was chosen.
    EXPECT_NEAR(channels[0].volts[10], 51.0 / 4096.0 * 5.0, 1e-9);
  }
}

}  // namespace
}  // namespace kx::analysis
