#include "analysis/log_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "adc/adc_display.h"
#include "analysis/log_report.h"
#include "support/log_text.h"
#include "support/temp_folder.h"

namespace kx::analysis {
namespace {

using testing::LogHeadText;
using testing::LogLayoutOf;
using testing::LogRowText;

struct GoodCase {
  const char* name;
  const char* edition;
  int average;
  std::vector<int> channels;
};

// Four rows of the channels, the third a gap: codes 10 c + n in row n,
// negative ones too in the two's-complement edition.
std::string FourRows(const logger::LogLayout& layout) {
  std::string text = LogHeadText(layout);
  for (int n = 0; n < 4; ++n) {
    std::vector<int> codes;
    for (const int channel : layout.channels) {
      codes.push_back(layout.SignedCodes() ? -10 * channel + n : 10 * channel + n);
    }
    text += LogRowText(layout, n, n == 2 ? std::vector<int>{} : codes);
  }
  return text;
}

TEST(LogFile, ReadsWhatTheLoggerWrites) {
  const std::vector<GoodCase> cases = {
      {"version2 single reads", "version2", 1, {0, 3, 15}},
      {"version2 averaged", "version2", 10, {2, 7}},
      {"classic single reads", "classic", 1, {5}},
      {"classic averaged", "classic", 4, {1, 2, 3}},
  };
  for (const GoodCase& c : cases) {
    SCOPED_TRACE(c.name);
    const logger::LogLayout layout = LogLayoutOf(c.edition, c.average, c.channels);
    const LogRead read = ParseLog(FourRows(layout));
    ASSERT_TRUE(read.log) << read.error;
    const LogData& log = *read.log;
    EXPECT_EQ(log.layout, layout);
    EXPECT_EQ(log.HasVolts(), std::string(c.edition) == "version2");
    ASSERT_EQ(log.Rows(), 4U);
    EXPECT_EQ(log.GapRows(), 1);
    EXPECT_EQ(log.partial_bytes, 0U);
    EXPECT_EQ(log.lines, 6);
    EXPECT_EQ(log.ColumnOf(c.channels.back()), static_cast<int>(c.channels.size()) - 1);
    EXPECT_EQ(log.ColumnOf(14), -1);
    EXPECT_TRUE(log.Gap(2));
    EXPECT_EQ(log.GapStatus(2), -9);
    EXPECT_EQ(log.GapStatus(3), std::nullopt);
    EXPECT_DOUBLE_EQ(log.seconds[2], 2.0);
    EXPECT_FALSE(log.Gap(3));
    EXPECT_EQ(log.TimeUtc(3), "2026-12-08T06:00:03.000000Z");
    EXPECT_EQ(log.TimeUtc(1), "2026-12-08T06:00:01.000000Z");
    EXPECT_DOUBLE_EQ(log.seconds[3], 3.0);
    ASSERT_EQ(log.columns.size(), c.channels.size());
    for (std::size_t i = 0; i < c.channels.size(); ++i) {
      const int code = layout.SignedCodes() ? -10 * c.channels[i] + 3 : 10 * c.channels[i] + 3;
      const LogFigures f = log.Codes(3, i);
      EXPECT_DOUBLE_EQ(f.minimum, code);
      EXPECT_DOUBLE_EQ(f.maximum, layout.Averaged() ? code + 3 : code);
      EXPECT_DOUBLE_EQ(f.mean, layout.Averaged() ? code + 0.25 : code);
      EXPECT_DOUBLE_EQ(f.deviation, layout.Averaged() ? 1.5 : 0.0);
      if (log.HasVolts()) {
        // Two's complement on the 5 V span: mid-scale is 2.5 V.
        EXPECT_NEAR(log.Volts(3, i).minimum, adc::LineVolts(code, 5.0F, false), 1e-6);
        EXPECT_NEAR(log.Volts(3, i).mean,
                    2.5 + (code + (layout.Averaged() ? 0.25 : 0)) / 4096.0 * 5, 1e-5);
      }
    }
  }
}

// A calibrated log's volts, read back as the logger wrote them: channel 9
// corrected, (2048 + 5 - 10) / 1.02 on the 4 V span of the measured 2.0 V,
// its deviation by the gain only; channel 2 nominal.
TEST(LogFile, ACalibratedLogReadsBackTheVoltsItWasWrittenWith) {
  logger::LogLayout layout = LogLayoutOf("version2", 4, {2, 9});
  layout.calibration = adc::CalibrationNote{"/cal/B.json", "B", {}, 2.0};
  layout.calibration->adc[9] = board::LineCorrection{10.0, 2.0};
  const LogRead read = ParseLog(LogHeadText(layout) + LogRowText(layout, 0, {5, 5}));
  ASSERT_TRUE(read.log) << read.error;
  EXPECT_NEAR(read.log->Volts(0, 0).minimum, 2.0 + 5 / 4096.0 * 4, 1e-9);
  EXPECT_NEAR(read.log->Volts(0, 1).minimum, 2043 / 1.02 / 4096 * 4, 1e-9);
  EXPECT_NEAR(read.log->Volts(0, 1).deviation, 1.5 / 1.02 / 4096 * 4, 1e-9);
  const std::string report = LogReportText("run.csv", *read.log, LogStatistics(*read.log));
  EXPECT_NE(report.find("reference 2.000 V"), std::string::npos) << report;
  EXPECT_NE(report.find("Calibration: /cal/B.json (board B)\n"), std::string::npos) << report;
}

TEST(LogFile, ALastLineWithoutItsEndIsLeftForLater) {
  const logger::LogLayout layout = LogLayoutOf("version2", 1, {0, 1});
  const std::string whole = FourRows(layout);
  const std::string next = LogRowText(layout, 4, {44, 45});
  for (const std::size_t cut : {std::size_t{1}, next.size() / 2, next.size() - 1}) {
    SCOPED_TRACE(cut);
    const LogRead read = ParseLog(whole + next.substr(0, cut));
    ASSERT_TRUE(read.log) << read.error;
    EXPECT_EQ(read.log->Rows(), 4U);
    EXPECT_EQ(read.log->partial_bytes, cut);
    EXPECT_EQ(read.log->complete_bytes, whole.size());
  }
  // A file cut inside its first two lines is not yet a log.
  EXPECT_EQ(ParseLog(LogHeadText(layout).substr(0, 30)).error,
            "line 1: the file ends inside the comment line");
  EXPECT_EQ(ParseLog(logger::HeaderLine(layout) + "time_utc,sec").error,
            "line 2: the file ends inside the header row");
}

struct BadCase {
  const char* name;
  std::string text;
  std::string error;  // the message starts so
};

TEST(LogFile, ABadLineIsNamed) {
  const logger::LogLayout layout = LogLayoutOf("version2", 1, {0, 3});
  const logger::LogLayout averaged = LogLayoutOf("version2", 8, {0});
  const std::string head = LogHeadText(layout);
  const std::string row = LogRowText(layout, 0, {1, 2});
  const std::string json = logger::HeaderLine(layout);
  const std::vector<BadCase> cases = {
      {"empty", "", "line 1: the file is empty"},
      {"a capture", "1\t2\t3\n", "line 1: the first line does not start with"},
      {"a header row of another layout",
       json + logger::ColumnLine(LogLayoutOf("version2", 1, {0, 4})) + row,
       "line 2: the header row does not name the columns"},
      {"the classic header row on a version2 comment line",
       json + logger::ColumnLine(LogLayoutOf("classic", 1, {0, 3})),
       "line 2: the header row does not name the columns"},
      {"a code that is no number", head + row + "2026-12-08T06:00:01.000000Z,1.0,ok,,1,2.5,x,3.0\n",
       "line 4: ch3_code is \"x\", not a whole code"},
      {"a code out of range", head + row + "2026-12-08T06:00:01.000000Z,1.0,ok,,1,2.5,5000,3.0\n",
       "line 4: ch3_code is 5000, outside the codes"},
      {"volts that are no number", head + "2026-12-08T06:00:01.000000Z,1.0,ok,,1,2.5v,2,3.0\n",
       "line 3: ch0_volts is \"2.5v\", not a number"},
      {"a field short", head + row + row + "2026-12-08T06:00:01.000000Z,1.0,ok,,1,2.5,2\n",
       "line 5: 7 fields where the header row names 8"},
      {"an unknown status", head + "2026-12-08T06:00:01.000000Z,1.0,fine,,1,2.5,2,3.0\n",
       "line 3: status is \"fine\""},
      {"a gap row with figures", head + "2026-12-08T06:00:01.000000Z,1.0,gap,-9,1,,,\n",
       "line 3: a gap row has \"1\" in ch0_code"},
      {"a gap row without a status", head + "2026-12-08T06:00:01.000000Z,1.0,gap,,,,,\n",
       "line 3: a gap row's link_status is \"\""},
      {"a time that is not one", head + "yesterday,1.0,ok,,1,2.5,2,3.0\n",
       "line 3: time_utc is \"yesterday\""},
      {"negative seconds", head + "2026-12-08T06:00:01.000000Z,-1,ok,,1,2.5,2,3.0\n",
       "line 3: seconds is \"-1\""},
      {"an empty line", head + row + "\n" + row, "line 4: 1 fields where the header row names 8"},
      {"an averaged maximum with decimals",
       LogHeadText(averaged) + "2026-12-08T06:00:01.000000Z,1.0,ok,,1.5,1,2.5,0.5,0,0,0,0\n",
       "line 3: ch0_max is \"2.5\", not a whole code"},
      {"an averaged mean outside the codes",
       LogHeadText(averaged) + "2026-12-08T06:00:01.000000Z,1.0,ok,,5000.5,1,2,0.5,0,0,0,0\n",
       "line 3: ch0_mean is 5000.5, outside -2048 to 4095"},
      {"a negative deviation",
       LogHeadText(averaged) + "2026-12-08T06:00:01.000000Z,1.0,ok,,1.5,1,2,-0.5,0,0,0,0\n",
       "line 3: ch0_std is -0.5, outside 0 to 6143"},
      {"a row far longer than any", head + std::string(70000, '1'),
       "line 3: longer than 64 KiB without a line end"},
      {"rows ending in CR alone",
       head + row.substr(0, row.size() - 1) + "\r" + row.substr(0, row.size() - 1) + "\r",
       "line 3: the lines end in CR alone"},
      {"a comment line of no end", "# kx7312-log " + std::string(logger::LargestHeaderLine, ' '),
       "line 1: the comment line is longer than 64 KiB"},
  };
  for (const BadCase& c : cases) {
    SCOPED_TRACE(c.name);
    const LogRead read = ParseLog(c.text);
    EXPECT_FALSE(read.log);
    EXPECT_EQ(read.error.rfind(c.error, 0), 0U) << read.error;
  }
}

TEST(LogFile, RecognisedByItsFirstLineNotItsName) {
  const testing::TempFolder folder;
  const logger::LogLayout layout = LogLayoutOf("classic", 1, {0});
  testing::WriteBytes(folder.File("samples.txt"), FourRows(layout));
  testing::WriteBytes(folder.File("log.csv"), "1\t2\n");
  EXPECT_TRUE(FileStartsAsLog(folder.File("samples.txt")));
  EXPECT_FALSE(FileStartsAsLog(folder.File("log.csv")));
  EXPECT_FALSE(FileStartsAsLog(folder.File("none.csv")));
  EXPECT_FALSE(FileStartsAsLog(folder.Path().string()));
  const LogRead read = ReadLogFile(folder.File("samples.txt"));
  ASSERT_TRUE(read.log) << read.error;
  EXPECT_EQ(read.log->Rows(), 4U);
  EXPECT_EQ(ReadLogFile(folder.File("none.csv")).error.rfind("cannot read ", 0), 0U);
  // Refused from its first 64 KiB, whatever follows.
  testing::WriteBytes(folder.File("long.csv"),
                      "# kx7312-log " + std::string(logger::LargestHeaderLine, '[') + "\n");
  EXPECT_NE(ReadLogFile(folder.File("long.csv")).error.find("line 1: the comment line is longer"),
            std::string::npos);
}

// A file of many blocks, its lines cut at every block's end, reads as its
// text does; the same rows ending in CR alone are refused at the first.
TEST(LogFile, AFileOfManyBlocksReadsAsItsText) {
  const testing::TempFolder folder;
  const logger::LogLayout layout = LogLayoutOf("version2", 4, {1, 2});
  std::string text = LogHeadText(layout);
  for (int n = 0; n < 12000; ++n) {
    text += LogRowText(layout, n,
                       n % 1000 == 7 ? std::vector<int>{} : std::vector<int>{n % 900, -n % 700});
  }
  std::string crlf;
  for (const char c : text) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  }
  ASSERT_GT(crlf.size(), std::size_t{1} << 20);  // more than one block
  testing::WriteBytes(folder.File("big.csv"), crlf + "2026-12-08T07");
  const LogRead file = ReadLogFile(folder.File("big.csv"));
  const LogRead parsed = ParseLog(text);
  ASSERT_TRUE(file.log) << file.error;
  ASSERT_TRUE(parsed.log) << parsed.error;
  ASSERT_EQ(file.log->Rows(), 12000U);
  EXPECT_EQ(file.log->GapRows(), 12);
  EXPECT_EQ(file.log->seconds, parsed.log->seconds);
  for (std::size_t c = 0; c < 2; ++c) {
    EXPECT_EQ(file.log->columns[c].codes, parsed.log->columns[c].codes);
    EXPECT_EQ(file.log->columns[c].maxima, parsed.log->columns[c].maxima);
  }
  EXPECT_EQ(file.log->complete_bytes, crlf.size());
  EXPECT_EQ(file.log->partial_bytes, 13U);
  EXPECT_EQ(file.log->last_time, "2026-12-08T09:19:59.000000Z");

  std::string cr_only = LogHeadText(layout);
  for (const char c : text.substr(cr_only.size())) {
    cr_only += c == '\n' ? '\r' : c;
  }
  testing::WriteBytes(folder.File("cr.csv"), cr_only);
  EXPECT_EQ(ReadLogFile(folder.File("cr.csv")).error,
            folder.File("cr.csv") +
                ": line 3: the lines end in CR alone; a log's lines end in LF or CR LF");
}

TEST(LogFile, FollowingReadsOnlyWhatWasAppended) {
  const testing::TempFolder folder;
  const std::string path = folder.File("run.csv");
  const logger::LogLayout layout = LogLayoutOf("version2", 1, {2});
  const std::string next = LogRowText(layout, 4, {7});
  testing::WriteBytes(path, FourRows(layout) + next.substr(0, 10));
  LogRead read = ReadLogFile(path);
  ASSERT_TRUE(read.log) << read.error;
  LogData log = std::move(*read.log);
  ASSERT_EQ(log.Rows(), 4U);

  // The cut row completed and one more: both come in.
  testing::WriteBytes(path, FourRows(layout) + next + LogRowText(layout, 5, {8}));
  EXPECT_EQ(FollowLogFile(path, log), "");
  ASSERT_EQ(log.Rows(), 6U);
  EXPECT_DOUBLE_EQ(log.Value(4, 0), 7);
  EXPECT_DOUBLE_EQ(log.seconds[5], 5.0);
  EXPECT_EQ(log.partial_bytes, 0U);

  // Nothing new: nothing changes.
  EXPECT_EQ(FollowLogFile(path, log), "");
  EXPECT_EQ(log.Rows(), 6U);

  // A bad row keeps what came before it and is named.
  testing::WriteBytes(path, FourRows(layout) + next + LogRowText(layout, 5, {8}) + "junk\n");
  EXPECT_EQ(FollowLogFile(path, log), path + ": line 9: 1 fields where the header row names 6");
  EXPECT_EQ(log.Rows(), 6U);

  // A new run in its place, shorter: read from the start.
  const logger::LogLayout other = LogLayoutOf("classic", 1, {4, 5});
  testing::WriteBytes(path, LogHeadText(other) + LogRowText(other, 0, {1, 2}));
  EXPECT_EQ(FollowLogFile(path, log), "");
  EXPECT_EQ(log.layout, other);
  ASSERT_EQ(log.Rows(), 1U);
  EXPECT_DOUBLE_EQ(log.Value(0, 1), 2);
}

TEST(LogReport, StatisticsOverTheGoodRows) {
  const logger::LogLayout layout = LogLayoutOf("version2", 1, {1, 6});
  std::string text = LogHeadText(layout);
  text += LogRowText(layout, 0, {10, -5});
  text += LogRowText(layout, 1, {});
  text += LogRowText(layout, 2, {20, -5});
  text += LogRowText(layout, 3, {30, -5});
  const LogRead read = ParseLog(text);
  ASSERT_TRUE(read.log) << read.error;
  const LogStats stats = LogStatistics(*read.log);
  EXPECT_EQ(stats.rows, 4);
  EXPECT_EQ(stats.gap_rows, 1);
  EXPECT_EQ(stats.first_time, "2026-12-08T06:00:00.000000Z");
  EXPECT_EQ(stats.last_time, "2026-12-08T06:00:03.000000Z");
  EXPECT_DOUBLE_EQ(stats.last_seconds, 3.0);
  ASSERT_EQ(stats.channels.size(), 2U);
  const LogChannelStats& ramp = stats.channels[0];
  EXPECT_EQ(ramp.channel, 1);
  EXPECT_EQ(ramp.count, 3);
  EXPECT_DOUBLE_EQ(ramp.mean, 20.0);
  EXPECT_DOUBLE_EQ(ramp.minimum, 10.0);
  EXPECT_DOUBLE_EQ(ramp.maximum, 30.0);
  EXPECT_NEAR(ramp.std_dev, std::sqrt(200.0 / 3.0), 1e-12);
  EXPECT_NEAR(*ramp.mean_volts, 2.5 + 20 / 4096.0 * 5, 1e-6);
  EXPECT_DOUBLE_EQ(stats.channels[1].std_dev, 0.0);
  EXPECT_DOUBLE_EQ(stats.channels[1].mean, -5.0);

  const std::string report = LogReportText("run.csv", *read.log, stats);
  EXPECT_NE(report.find("run.csv: log of 2 channels, 4 rows (1 gap rows), every 1 s"),
            std::string::npos)
      << report;
  EXPECT_NE(report.find("ADC1           3        20.000       8.165        10        30"),
            std::string::npos)
      << report;
  const auto json = nlohmann::json::parse(LogReportJson("run.csv", *read.log, stats));
  EXPECT_EQ(json["kind"], "log");
  EXPECT_EQ(json["gap_rows"], 1);
  EXPECT_EQ(json["coding"], "twos");
  EXPECT_EQ(json["statistics"][0]["count"], 3);
  EXPECT_DOUBLE_EQ(json["statistics"][0]["max"].get<double>(), 30.0);

  const std::string csv = LogCsvText(*read.log);
  EXPECT_EQ(csv.substr(0, csv.find('\n')),
            "seconds,status,ADC1_code,ADC1_volts,ADC6_code,ADC6_volts");
  EXPECT_NE(csv.find("\n1.000000,gap,,,,\n2.000000,ok,20,2.524414,-5,2.493896\n"),
            std::string::npos)
      << csv;
}

TEST(LogReport, AClassicLogHasNoVolts) {
  const logger::LogLayout layout = LogLayoutOf("classic", 4, {0});
  const LogRead read =
      ParseLog(LogHeadText(layout) + LogRowText(layout, 0, {100}) + LogRowText(layout, 1, {200}));
  ASSERT_TRUE(read.log) << read.error;
  const LogStats stats = LogStatistics(*read.log);
  // Of the mean column: 100.25 and 200.25.
  EXPECT_DOUBLE_EQ(stats.channels[0].mean, 150.25);
  EXPECT_DOUBLE_EQ(stats.channels[0].minimum, 100.25);
  EXPECT_FALSE(stats.channels[0].mean_volts);
  const auto json = nlohmann::json::parse(LogReportJson("c.csv", *read.log, stats));
  EXPECT_TRUE(json["reference_volts"].is_null());
  EXPECT_TRUE(json["statistics"][0]["mean_volts"].is_null());
  EXPECT_EQ(json["coding"], "binary");
  EXPECT_NE(LogReportText("c.csv", *read.log, stats).find("no volts"), std::string::npos);
  EXPECT_EQ(LogCsvText(*read.log),
            "seconds,status,ADC0_code\n0.000000,ok,100.25\n1.000000,ok,200.25\n");
}

}  // namespace
}  // namespace kx::analysis
