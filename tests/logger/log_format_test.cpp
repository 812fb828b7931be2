#include "logger/log_format.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "adc/capture_metadata.h"

namespace kx::logger {
namespace {

LogLayout Version2Single() {
  LogLayout layout;
  layout.program = "KX7312(version2)";
  layout.configuration_word = 0x8380;
  layout.straight_binary = false;
  layout.reference_volts = 2.5;
  layout.channels = {0, 15};
  layout.interval_seconds = 0.25;
  layout.started = "2026-12-08T00:00:00.000000Z";
  return layout;
}

LogLayout Classic() {
  LogLayout layout;
  layout.edition = "classic";
  layout.program = "KX7312";
  layout.configuration_word = 0x83F0;
  layout.half_span = true;
  layout.weak = true;
  layout.channels = {4};
  layout.average = 3;
  layout.started = "2026-12-08T00:00:00.000000Z";
  return layout;
}

std::size_t Fields(const std::string& line) {
  return static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) + 1;
}

TEST(LogFormat, TheCommentLineReadsBackAsTheLayoutItWasWrittenFrom) {
  LogLayout averaged = Version2Single();
  averaged.average = 100;
  averaged.half_span = true;
  averaged.straight_binary = true;
  averaged.reference_volts = 1.25;
  for (const LogLayout& layout : {Version2Single(), averaged, Classic()}) {
    const std::string line = HeaderLine(layout);
    ASSERT_TRUE(line.starts_with("# kx7312-log {")) << line;
    ASSERT_TRUE(line.ends_with("}\n")) << line;
    const HeaderRead read = ParseHeaderLine(line);
    ASSERT_TRUE(read.layout) << read.error;
    EXPECT_EQ(*read.layout, layout) << line;
  }
}

TEST(LogFormat, AFaultyCommentLineIsRefusedNamingWhatIsWrong) {
  const std::string good = HeaderLine(Version2Single());
  const auto with = [&good](const std::string& from, const std::string& to) {
    std::string line = good;
    line.replace(line.find(from), from.size(), to);
    return line;
  };
  const struct {
    std::string line;
    std::string names;
  } cases[] = {
      {"time_utc,seconds\n", "not a KX7312 log"},
      {"# kx7312-log {\"format\":1,", "not the log's JSON"},
      {with("\"format\":1", "\"format\":2"), "\"format\""},
      {with("\"version2\"", "\"version3\""), "\"edition\""},
      {with("[0,15]", "[0,16]"), "16 in \"channels\""},
      {with("[0,15]", "[]"), "\"channels\""},
      {with("[0,15]", "[3,3]"), "channel 3 comes twice"},
      {with("[0,15]", "[1.5]"), "1.5 in \"channels\""},
      {with("\"average\":1", "\"average\":0"), "\"average\""},
      {with("\"average\":1", "\"average\":1e30"), "from 1 to 100000"},
      {with("\"interval_seconds\":0.25", "\"interval_seconds\":0"), "\"interval_seconds\""},
      {with("\"interval_seconds\":0.25", "\"interval_seconds\":1e308"), "0.001 to 86400"},
      {with("\"reference_volts\":2.5", "\"reference_volts\":-1"), "\"reference_volts\""},
      {with("\"reference_volts\":2.5", "\"reference_volts\":1e308"), "at most 5"},
      {with("\"2026-12-08T00:00:00.000000Z\"", "\"garbage\""), "\"started\""},
      {with("\"2026-12-08T00:00:00.000000Z\"", "\"2026-02-30T00:00:00.000000Z\""), "\"started\""},
      {with("\"0x8380\"", "\"0xZZ\""), "\"configuration_word\""},
      {with("\"weak\":false", "\"weak\":\"no\""), "\"weak\" must be true or false"},
      {with(",\"average\":1", ""), "no \"average\""},
      {with("[0,15]", std::string(1000, '[') + std::string(1000, ']')), "nests deeper than 4"},
      {"# kx7312-log " + std::string(LargestHeaderLine, ' '), "longer than 64 KiB"},
  };
  for (const auto& c : cases) {
    const HeaderRead read = ParseHeaderLine(c.line);
    EXPECT_FALSE(read.layout) << c.line;
    EXPECT_NE(read.error.find(c.names), std::string::npos) << c.line << " -> " << read.error;
  }
}

TEST(LogFormat, ColumnsFollowTheChannelsTheStatisticsAndTheVolts) {
  EXPECT_EQ(ColumnNames(Version2Single()),
            (std::vector<std::string>{"time_utc", "seconds", "status", "link_status", "ch0_code",
                                      "ch0_volts", "ch15_code", "ch15_volts"}));
  EXPECT_EQ(ColumnNames(Classic()),
            (std::vector<std::string>{"time_utc", "seconds", "status", "link_status", "ch4_mean",
                                      "ch4_min", "ch4_max", "ch4_std"}));
  LogLayout averaged = Version2Single();
  averaged.average = 2;
  const std::vector<std::string> names = ColumnNames(averaged);
  ASSERT_EQ(names.size(), 4U + 2U * 8U);
  EXPECT_EQ(names[4], "ch0_mean");
  EXPECT_EQ(names[8], "ch0_mean_volts");
  EXPECT_EQ(names[11], "ch0_std_volts");
  EXPECT_EQ(ColumnLine(averaged).back(), '\n');
}

TEST(LogFormat, ARowHasOneFieldPerColumnAndAGapRowHasNoFigures) {
  const LogLayout layout = Version2Single();
  LogRow row;
  row.utc = std::chrono::sys_days{std::chrono::year{2026} / 12 / 8} + std::chrono::hours(6) +
            std::chrono::microseconds(250);
  row.since_start = std::chrono::milliseconds(1500);
  row.figures = {{-1, -1, -1, 0.0}, {2047, 2047, 2047, 0.0}};
  const std::string line = RowLine(layout, row);
  EXPECT_EQ(line, "2026-12-08T06:00:00.000250Z,1.500000,ok,,-1,2.498779,2047,4.998779\n");
  EXPECT_EQ(Fields(line), ColumnNames(layout).size());

  row.gap_status = -9;
  const std::string gap = RowLine(layout, row);
  EXPECT_EQ(gap, "2026-12-08T06:00:00.000250Z,1.500000,gap,-9,,,,\n");
  EXPECT_EQ(Fields(gap), ColumnNames(layout).size());
}

TEST(LogFormat, VoltsFollowTheRangeAndCodingOfTheLayout) {
  LogLayout layout = Version2Single();
  layout.channels = {0};
  layout.half_span = true;
  layout.straight_binary = true;
  LogRow row;
  row.figures = {{4095, 4095, 4095, 0.0}};
  EXPECT_TRUE(RowLine(layout, row).ends_with(",4095,2.499390\n")) << RowLine(layout, row);
  layout.average = 2;
  row.figures = {{2048.5, 2048, 2049, 0.707}};
  // Mean, extremes and deviation in volts of a 2.5 V span.
  EXPECT_TRUE(RowLine(layout, row)
                  .ends_with(",2048.500,2048,2049,0.707,1.250305,1.250000,1.250610,0.000432\n"))
      << RowLine(layout, row);
}

// The calibration a log records, and a capture's metadata alike.
TEST(CalibrationNote, RoundTripsInMetadataAndLogHeaderAndIsAbsentWithoutOne) {
  adc::CalibrationNote note{"/cal/SIM-0001.json", "SIM-0001", {}, 2.497};
  note.adc[0] = board::LineCorrection{-4.5, 1.25};
  note.adc[15] = board::LineCorrection{0.5, -0.75};
  for (const std::optional<adc::CalibrationNote>& noted : {std::optional(note), {}}) {
    adc::CaptureMetadata metadata;
    metadata.calibration = noted;
    LogLayout layout = Version2Single();
    layout.calibration = noted;
    const std::string json = adc::MetadataJson(metadata);
    EXPECT_EQ(json.find("calibration") != std::string::npos, noted.has_value()) << json;
    EXPECT_EQ(adc::ParseMetadata(json).metadata.value().calibration, noted);
    EXPECT_EQ(ParseHeaderLine(HeaderLine(layout)).layout, layout);
  }
}

TEST(CalibrationNote, EachBadFieldIsRefusedByBothReadersNamingIt) {
  const nlohmann::json good = nlohmann::json::parse(
      R"({"path": "/c.json", "board": "B", "reference_volts": null,
          "adc": [{"channel": 3, "offset_lsb": 1, "gain_percent": 0.5}]})");
  const struct {
    const char* pointer;
    const char* value;  // none: the key removed
    const char* message;
  } cases[] = {
      {"", R"("B")", R"("calibration" must be an object or null)"},
      {"/path", nullptr, R"("calibration.path")"},
      {"/adc", "{}", R"("calibration.adc")"},
      {"/adc/0", "3", R"("calibration.adc[0]")"},
      {"/adc/0/channel", "16", R"("calibration.adc[0].channel" must be a channel 0 to 15)"},
      {"/adc/1", R"({"channel": 3, "offset_lsb": 0, "gain_percent": 0})",
       R"("calibration.adc[1].channel": channel 3 comes twice)"},
      {"/adc/0/offset_lsb", "2049", R"("calibration.adc[0].offset_lsb")"},
      {"/adc/0/gain_percent", "-100", R"("calibration.adc[0].gain_percent")"},
      {"/reference_volts", "0", R"("calibration.reference_volts")"},
  };
  const std::string header =
      HeaderLine(Version2Single()).substr(0, HeaderLine(Version2Single()).rfind('}'));
  const std::string metadata =
      R"({"edition": "version2", "range": "vref", "coding": null, "reference_volts": null)";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    nlohmann::json note = good;
    const nlohmann::json::json_pointer at(c.pointer);
    if (c.value == nullptr) {
      note[at.parent_pointer()].erase(at.back());
    } else {
      note[at] = nlohmann::json::parse(c.value);
    }
    for (const std::string& front : {metadata, header}) {
      const std::string text = front + R"(, "calibration": )" + note.dump() + "}";
      EXPECT_NE((front == header ? ParseHeaderLine(text).error : adc::ParseMetadata(text).error)
                    .find(c.message),
                std::string::npos);
    }
  }
}

}  // namespace
}  // namespace kx::logger
