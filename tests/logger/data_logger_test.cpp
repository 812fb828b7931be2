#include "logger/data_logger.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/fake_log_clock.h"
#include "support/trace_requests.h"

namespace kx::logger {
namespace {

using kx::testing::FakeLogClock;
using std::chrono::milliseconds;
using std::chrono::seconds;

// Codes made up per read; some reads fail, some take time.
class ScriptedSource final : public AdcSource {
 public:
  std::function<std::int32_t(int read, int channel)> code = [](int, int channel) {
    return channel;
  };
  std::function<bool(int read)> fails = [](int) { return false; };
  std::function<void(int read)> during_read;

  SourceRead Read() override {
    const int read = reads++;
    if (during_read) {
      during_read(read);
    }
    SourceRead got;
    if (fails(read)) {
      got.failed_status = -5;
      got.reason = "the board did not answer";
      return got;
    }
    for (int channel = 0; channel < adc::AdcChannels; ++channel) {
      got.codes[static_cast<std::size_t>(channel)] = code(read, channel);
    }
    return got;
  }
  void Recover() override { recoveries.push_back(reads); }

  int reads = 0;
  std::vector<int> recoveries;  // reads made before each recovery
};

class MemorySink final : public LogSink {
 public:
  std::optional<std::string> Append(std::string_view lines) override {
    if (fail_at && appends == *fail_at) {
      return std::string("no space left");
    }
    ++appends;
    text += lines;
    return std::nullopt;
  }
  std::vector<std::string> Lines() const { return kx::testing::SplitLines(text); }

  std::string text;
  int appends = 0;
  std::optional<int> fail_at;  // the append that fails; the header is append 0
};

LogLayout Layout(std::vector<int> channels, int average = 1) {
  LogLayout layout;
  layout.program = "KX7312(version2)";
  layout.configuration_word = 0x8380;
  layout.straight_binary = false;
  layout.reference_volts = 2.5;
  layout.channels = std::move(channels);
  layout.average = average;
  return layout;
}

struct Rig {
  ScriptedSource source;
  MemorySink sink;
  FakeLogClock clock;
  std::vector<LogProgress> reports;

  LogSummary Run(const LogLayout& layout, LogPlan plan, const LogStop& stop = {}) {
    DataLogger logger(layout, plan, source, sink, clock);
    return logger.Run(stop, [this](const LogProgress& p) { reports.push_back(p); });
  }
  // The rows' "seconds" fields.
  std::vector<std::string> Seconds() const {
    std::vector<std::string> times;
    const std::vector<std::string> lines = sink.Lines();
    for (std::size_t i = 2; i < lines.size(); ++i) {
      times.push_back(kx::testing::Split(lines[i], ',').at(1));
    }
    return times;
  }
};

TEST(DataLogger, TenHoursAtOneSecondAreRowsAtExactlyStartPlusNSeconds) {
  Rig rig;
  const LogSummary summary = rig.Run(Layout({0, 5}), {seconds(1), std::chrono::hours(10)});
  EXPECT_FALSE(summary.stopped);
  EXPECT_FALSE(summary.file_error);
  EXPECT_EQ(summary.progress.rows, 36000);
  EXPECT_EQ(summary.progress.gaps, 0);
  EXPECT_EQ(summary.progress.missed, 0);

  const std::vector<std::string> lines = rig.sink.Lines();
  ASSERT_EQ(lines.size(), 2U + 36000U);
  EXPECT_EQ(lines[0] + "\n", HeaderLine([] {
              LogLayout layout = Layout({0, 5});
              layout.started = "2026-12-08T00:00:00.000000Z";
              return layout;
            }()));
  EXPECT_EQ(lines[1], "time_utc,seconds,status,link_status,ch0_code,ch0_volts,ch5_code,ch5_volts");
  for (int n = 0; n < 36000; ++n) {
    const std::string expected =
        fmt::format("{},{}.000000,ok,,0,2.500000,5,2.506104",
                    IsoMicroseconds(FakeLogClock::WallOrigin + seconds(n)), n);
    ASSERT_EQ(lines[static_cast<std::size_t>(n) + 2], expected) << "row " << n;
  }
  EXPECT_EQ(IsoMicroseconds(FakeLogClock::WallOrigin + seconds(35999)),
            "2026-12-08T09:59:59.000000Z");
}

TEST(DataLogger, SlowReadsDoNotDelayTheRowsAfterThem) {
  // Each read takes 300 ms of a 1 s interval: a logger that slept an
  // interval after each row would drift by 0.3 s a row.
  Rig rig;
  rig.source.during_read = [&rig](int) { rig.clock.Move(milliseconds(300)); };
  rig.Run(Layout({1}), {seconds(1), seconds(5)});
  EXPECT_EQ(rig.Seconds(),
            (std::vector<std::string>{"0.000000", "1.000000", "2.000000", "3.000000", "4.000000"}));
}

TEST(DataLogger, ARowWhoseWholeIntervalPassedIsMissedNotReadLate) {
  Rig rig;
  rig.source.during_read = [&rig](int read) {
    if (read == 3) {
      rig.clock.Move(milliseconds(2500));
    }
  };
  const LogSummary summary = rig.Run(Layout({1}), {seconds(1), seconds(8)});
  // Row 4's interval (4 s to 5 s) passed during row 3's read; row 5 is read
  // at once, half way into its interval.
  EXPECT_EQ(rig.Seconds(), (std::vector<std::string>{"0.000000", "1.000000", "2.000000", "3.000000",
                                                     "5.500000", "6.000000", "7.000000"}));
  EXPECT_EQ(summary.progress.missed, 1);
  EXPECT_EQ(summary.progress.rows, 7);
}

TEST(DataLogger, NoRowIsReadAfterTheEndOfTheRun) {
  // Row 3's read of a 5 s run takes 2.5 s, past row 4's interval and into
  // the end: row 4 counts as missed, and nothing is read after the end.
  Rig rig;
  rig.source.during_read = [&rig](int read) {
    if (read == 3) {
      rig.clock.Move(milliseconds(2500));
    }
  };
  const LogSummary summary = rig.Run(Layout({1}), {seconds(1), seconds(5)});
  EXPECT_EQ(summary.progress.rows, 4);
  EXPECT_EQ(summary.progress.missed, 1);
  EXPECT_EQ(rig.source.reads, 4);
  EXPECT_FALSE(summary.stopped);
}

TEST(DataLogger, AveragedRowsHoldTheStatisticsWorkedOutByHand) {
  Rig rig;
  // Channel 2 reads 10, 12, 11, 15; channel 7 reads two's-complement codes
  // 0xFFF, 0x001, 0x000, 0xFFE, which are -1, 1, 0 and -2 around mid-scale.
  const std::vector<std::int32_t> channel2 = {10, 12, 11, 15};
  const std::vector<std::int32_t> channel7 = {0xFFF, 0x001, 0x000, 0xFFE};
  rig.source.code = [&](int read, int channel) {
    const auto i = static_cast<std::size_t>(read % 4);
    return channel == 2 ? channel2[i] : channel == 7 ? channel7[i] : 0;
  };
  rig.Run(Layout({2, 7}, 4), {seconds(1), seconds(2)});
  const std::vector<std::string> lines = rig.sink.Lines();
  ASSERT_EQ(lines.size(), 4U);
  // Mean 12, deviations -2 0 -1 3: sample deviation sqrt(14 / 3). Volts of
  // a 5 V span around mid-scale.
  const std::string channel2_figures = "12.000,10,15,2.160,2.514648,2.512207,2.518311,0.002637";
  // Mean -0.5, deviations -0.5 1.5 0.5 -1.5: sqrt(5 / 3).
  const std::string channel7_figures = "-0.500,-2,1,1.291,2.499390,2.497559,2.501221,0.001576";
  EXPECT_EQ(lines[2], "2026-12-08T00:00:00.000000Z,0.000000,ok," + std::string(",") +
                          channel2_figures + "," + channel7_figures);
  EXPECT_TRUE(lines[3].ends_with(channel2_figures + "," + channel7_figures));
  EXPECT_EQ(rig.source.reads, 8);
}

// Channel 5 reads 5, 6, 5, 6 (2053, 2054 from the bottom of the line),
// corrected by 10 LSB and +2 %: (2053 - 10) / 1.02; channel 0 has no
// correction, channel 3 one but is not logged.
TEST(DataLogger, ACalibrationCorrectsTheVoltsColumnsOnlyAndTheHeaderRecordsIt) {
  adc::CalibrationNote note{"/cal/SIM-0001.json", "SIM-0001", {}, std::nullopt};
  note.adc[5] = board::LineCorrection{10.0, 2.0};
  note.adc[3] = board::LineCorrection{-3.0, 1.0};
  adc::CalibrationNote measured = note;
  measured.reference_volts = 2.0;  // stands in for the one given
  const struct {
    adc::CalibrationNote note;
    int average;
    std::string figures;  // channel 0's, then channel 5's
  } cases[] = {
      {note, 1, "0,2.500000,5,2.444997"},
      {note, 4,
       "0.000,0,0,0.000,2.500000,2.500000,2.500000,0.000000,"
       "5.500,5,6,0.577,2.445595,2.444997,2.446193,0.000691"},
      {measured, 1, "0,2.000000,5,1.955997"},
  };
  for (const auto& c : cases) {
    Rig rig;
    rig.source.code = [](int read, int channel) { return channel == 5 ? 5 + read % 2 : 0; };
    LogLayout layout = Layout({0, 5}, c.average);
    layout.calibration = c.note;
    layout.started = "2026-12-08T00:00:00.000000Z";
    rig.Run(layout, {seconds(1), seconds(1)});
    EXPECT_EQ(rig.sink.Lines(),
              (std::vector<std::string>{HeaderLine(layout).substr(0, HeaderLine(layout).size() - 1),
                                        ColumnLine(layout).substr(0, ColumnLine(layout).size() - 1),
                                        "2026-12-08T00:00:00.000000Z,0.000000,ok,," + c.figures}));
  }
}

TEST(DataLogger, AFailedReadWritesAGapRowAndTheBoardIsRecoveredBeforeTheNext) {
  Rig rig;
  rig.source.fails = [](int read) { return read >= 3 && read < 6; };
  const LogSummary summary = rig.Run(Layout({0, 1}), {seconds(1), seconds(10)});
  EXPECT_EQ(summary.progress.rows, 10);
  EXPECT_EQ(summary.progress.gaps, 3);
  const std::vector<std::string> lines = rig.sink.Lines();
  ASSERT_EQ(lines.size(), 12U);
  EXPECT_EQ(lines[4], "2026-12-08T00:00:02.000000Z,2.000000,ok,,0,2.500000,1,2.501221");
  for (std::size_t row = 3; row < 6; ++row) {
    EXPECT_EQ(lines[row + 2],
              fmt::format("2026-12-08T00:00:0{}.000000Z,{}.000000,gap,-5,,,,", row, row));
  }
  EXPECT_TRUE(lines[8].starts_with("2026-12-08T00:00:06.000000Z,6.000000,ok,,0,")) << lines[8];
  // One recovery before each read that follows a failed one.
  EXPECT_EQ(rig.source.recoveries, (std::vector<int>{4, 5, 6}));

  std::vector<std::string> news;
  for (const LogProgress& report : rig.reports) {
    if (!report.news.empty()) {
      news.push_back(report.news);
    }
  }
  EXPECT_EQ(news,
            (std::vector<std::string>{"gap rows from 3.000 s on: the board did not answer",
                                      "the board answers again at 6.000 s, after 3 gap rows"}));
}

TEST(DataLogger, AFailureAmongTheReadsOfAnAveragedRowMakesItAGap) {
  Rig rig;
  rig.source.fails = [](int read) { return read == 5; };
  const LogSummary summary = rig.Run(Layout({0}, 4), {seconds(1), seconds(3)});
  const std::vector<std::string> lines = rig.sink.Lines();
  ASSERT_EQ(lines.size(), 5U);
  EXPECT_TRUE(lines[3].ends_with(",gap,-5,,,,,,,,")) << lines[3];
  // The row's remaining reads are not made; the next row reads all four.
  EXPECT_EQ(rig.source.reads, 4 + 2 + 4);
  EXPECT_EQ(summary.progress.gaps, 1);
}

TEST(DataLogger, AFileThatCannotBeWrittenEndsTheRunWithTheRowsBeforeIt) {
  Rig rig;
  rig.sink.fail_at = 5;  // the header, then four rows
  const LogSummary summary = rig.Run(Layout({0}), {seconds(1), seconds(100)});
  ASSERT_TRUE(summary.file_error);
  EXPECT_EQ(*summary.file_error, "no space left");
  EXPECT_EQ(summary.progress.rows, 4);
  EXPECT_EQ(rig.sink.Lines().size(), 6U);
  EXPECT_EQ(rig.source.reads, 5);  // nothing is read after the failure

  Rig header_fails;
  header_fails.sink.fail_at = 0;
  const LogSummary none = header_fails.Run(Layout({0}), {seconds(1), seconds(100)});
  EXPECT_TRUE(none.file_error);
  EXPECT_EQ(header_fails.source.reads, 0);
}

TEST(DataLogger, AStopEndsTheRunBetweenRowsAndDropsAHalfAveragedRow) {
  Rig rig;
  // Asked before the wait, after it and between the reads of a row.
  const LogSummary summary = rig.Run(Layout({0}, 4), {seconds(1), std::nullopt},
                                     [&rig] { return rig.source.reads >= 22; });
  EXPECT_TRUE(summary.stopped);
  EXPECT_EQ(summary.progress.rows, 5);
  EXPECT_EQ(rig.sink.Lines().size(), 7U);
  EXPECT_EQ(rig.sink.text.back(), '\n');
}

TEST(DataLogger, ProgressIsReportedEveryTenSecondsOfLogging) {
  Rig rig;
  rig.Run(Layout({0}), {seconds(1), seconds(60)});
  std::vector<std::int64_t> rows;
  for (const LogProgress& report : rig.reports) {
    rows.push_back(report.rows);
  }
  EXPECT_EQ(rows, (std::vector<std::int64_t>{11, 21, 31, 41, 51}));
  EXPECT_EQ(rig.reports.back().elapsed, seconds(50));
}

}  // namespace
}  // namespace kx::logger
