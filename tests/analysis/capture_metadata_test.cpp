#include "adc/capture_metadata.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace kx::adc {
namespace {

using std::chrono::milliseconds;

CaptureMetadata Example() {
  CaptureMetadata m;
  m.edition = "version2";
  m.configuration_word = 0x83B0;
  m.half_span = true;
  m.weak = false;
  m.straight_binary = true;
  m.reference_volts = 2.048;
  m.start_time = "2026-01-02T03:04:05.006Z";
  m.duration_seconds = 1.25;
  m.transfers = 8193;
  return m;
}

TEST(CaptureMetadata, WrittenAndReadBackTheSame) {
  const testing::TempFolder folder;
  const std::string capture = folder.File("samples.txt");
  CaptureMetadata m = Example();
  const auto start = std::chrono::steady_clock::time_point{};
  const std::vector<std::chrono::steady_clock::time_point> times = {
      start, start + milliseconds(10), start + milliseconds(13), start + milliseconds(30)};
  SetTimestampSpread(m, times);
  EXPECT_DOUBLE_EQ(m.sets_spread_seconds, 0.030);
  EXPECT_DOUBLE_EQ(m.shortest_gap_seconds, 0.003);
  EXPECT_DOUBLE_EQ(m.longest_gap_seconds, 0.017);

  ASSERT_FALSE(WriteMetadataFile(capture, m));
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"samples.txt.json"});
  const MetadataRead read = ReadMetadataFile(MetadataPath(capture));
  ASSERT_TRUE(read.metadata) << read.error;
  EXPECT_EQ(read.metadata->edition, "version2");
  EXPECT_EQ(read.metadata->configuration_word, 0x83B0);
  EXPECT_TRUE(read.metadata->half_span);
  EXPECT_EQ(read.metadata->straight_binary, true);
  EXPECT_EQ(read.metadata->reference_volts, 2.048);
  EXPECT_EQ(read.metadata->start_time, m.start_time);
  EXPECT_EQ(read.metadata->transfers, 8193);
  EXPECT_EQ(read.metadata->timed_sets, 4);
  EXPECT_DOUBLE_EQ(read.metadata->longest_gap_seconds, 0.017);
}

TEST(CaptureMetadata, ClassicHasNoCodingNorReference) {
  CaptureMetadata m = Example();
  m.edition = "classic";
  m.straight_binary.reset();
  m.reference_volts.reset();
  const std::string json = MetadataJson(m);
  EXPECT_NE(json.find(R"("coding": null)"), std::string::npos) << json;
  const MetadataRead read = ParseMetadata(json);
  ASSERT_TRUE(read.metadata) << read.error;
  EXPECT_FALSE(read.metadata->straight_binary);
  EXPECT_FALSE(read.metadata->reference_volts);
}

TEST(CaptureMetadata, StartTimeInIso8601) {
  const auto time = std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} +
                    std::chrono::hours(2) + std::chrono::minutes(44) + milliseconds(16'250);
  EXPECT_EQ(Iso8601(time), "2026-12-08T02:44:16.250Z");
}

TEST(CaptureMetadata, BadDocumentsNameTheKey) {
  struct Case {
    const char* json;
    const char* message;
  };
  const Case cases[] = {
      {"[]", "expected a JSON object"},
      {"{", "not valid JSON"},
      {R"({"range": "vref"})", R"("edition")"},
      {R"({"edition": "version2", "range": "5v", "coding": "twos", "reference_volts": 2.5})",
       R"("range")"},
      {R"({"edition": "version2", "range": "vref", "coding": "gray", "reference_volts": 2.5})",
       R"("coding")"},
      {R"({"edition": "version2", "range": "vref", "coding": "twos", "reference_volts": 0})",
       R"("reference_volts")"},
      {R"({"edition": "version2", "range": "vref", "coding": "twos", "reference_volts": 2.5,
           "configuration_word": 33712})",
       R"("configuration_word")"},
      {R"({"edition": "version2", "range": "vref", "coding": "twos", "reference_volts": 2.5,
           "weak": 1})",
       R"("weak")"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    const MetadataRead read = ParseMetadata(c.json);
    EXPECT_FALSE(read.metadata);
    EXPECT_NE(read.error.find(c.message), std::string::npos) << read.error;
  }
}

}  // namespace
}  // namespace kx::adc
