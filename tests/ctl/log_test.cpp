// `adc log` in this process on the simulated board, on a clock that moves
// only when the logger waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "board/link_status.h"
#include "commands/exit_status.h"
#include "commands/log_source.h"
#include "commands/log_values.h"
#include "commands/session.h"
#include "ctl_rig.h"
#include "logger/log_format.h"
#include "support/fake_log_clock.h"
#include "support/trace_requests.h"

namespace kx::ctl {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using testing::CtlRig;
using testing::TempFolder;

struct LogFile {
  logger::LogLayout layout;
  std::vector<std::vector<std::string>> rows;  // fields of each row
};

LogFile ReadLog(const std::string& path) {
  const std::vector<std::string> lines = testing::SplitLines(testing::ReadBytes(path));
  LogFile log;
  if (lines.size() < 2) {
    ADD_FAILURE() << path << " has no header";
    return log;
  }
  const logger::HeaderRead header = logger::ParseHeaderLine(lines[0]);
  EXPECT_TRUE(header.layout) << header.error;
  log.layout = header.layout.value_or(logger::LogLayout{});
  EXPECT_EQ(lines[1] + "\n", logger::ColumnLine(log.layout));
  for (std::size_t i = 2; i < lines.size(); ++i) {
    log.rows.push_back(kx::testing::Split(lines[i], ','));
    EXPECT_EQ(log.rows.back().size(), logger::ColumnNames(log.layout).size()) << lines[i];
  }
  return log;
}

struct LogRig : CtlRig {
  explicit LogRig(const Edition& of = Version2Edition, board::sim::SimSettings settings = {})
      : CtlRig(of, std::move(settings)) {
    log_clock = &clock;
  }
  kx::testing::FakeLogClock clock;
  TempFolder folder;
};

TEST(CtlLog, EachRowSendsTheWordsOfReadAdc) {
  for (const Edition* edition : {&Version2Edition, &ClassicEdition}) {
    CtlRig reader(*edition);
    ASSERT_EQ(reader.Run("adc read"), ExitSuccess) << reader.err;
    const std::vector<std::string> read = reader.Requests();
    ASSERT_EQ(read.size(), 17U);

    LogRig rig(*edition);
    ASSERT_EQ(rig.Run("adc log " + rig.folder.File("run.csv") + " --every 1s --for 3s"),
              ExitSuccess)
        << rig.err;
    std::vector<std::string> expected;
    for (int row = 0; row < 3; ++row) {
      expected.insert(expected.end(), read.begin(), read.end());
    }
    EXPECT_EQ(rig.Requests(), expected) << edition->program_name;
  }
}

TEST(CtlLog, TenHoursAtOneSecondOnTheSimulatedBoard) {
  board::sim::SimSettings settings;
  settings.signal_inputs[7] = {1.0, 0.5, 0.001, 0.0, 1.5, 11};
  // The session as kx7312ctl runs it, without the rig's trace: 612,000
  // traced calls would cost more than the logging itself.
  board::sim::SimBoard board(settings);
  ConsolePort port;
  Session session(Version2Edition, {&board.Cvn(), &board.Io()}, port, testing::FirmwareFolder());
  ASSERT_TRUE(session.StartUp().Succeeded());
  kx::testing::FakeLogClock clock;
  TempFolder folder;
  const std::string file = folder.File("run.csv");
  AdcLog request;
  request.file = file;
  request.duration = std::chrono::hours(10);
  request.channels = {0, 7};
  const LogRun run = RunLog(session, request, {}, {&clock, {}});
  ASSERT_FALSE(run.failure) << *run.failure;
  EXPECT_EQ(run.summary.progress.rows, 36000);
  const LogFile log = ReadLog(file);
  ASSERT_EQ(log.rows.size(), 36000U);
  for (std::size_t n = 0; n < log.rows.size(); ++n) {
    ASSERT_EQ(log.rows[n][0], logger::IsoMicroseconds(kx::testing::FakeLogClock::WallOrigin +
                                                      seconds(static_cast<int>(n))))
        << n;
    ASSERT_EQ(log.rows[n][1], std::to_string(n) + ".000000") << n;
    ASSERT_EQ(log.rows[n][2], "ok") << n;
  }
  // The sine on channel 7 (1 V peak to peak of a 5 V span, about 819 codes)
  // went through 36 cycles: its codes moved.
  const auto [lowest, highest] = std::minmax_element(
      log.rows.begin(), log.rows.end(),
      [](const auto& a, const auto& b) { return std::stoi(a[6]) < std::stoi(b[6]); });
  EXPECT_GT(std::stoi((*highest)[6]) - std::stoi((*lowest)[6]), 700);
  EXPECT_EQ(clock.SinceOrigin(), std::chrono::hours(10));
}

TEST(CtlLog, TheRowsHoldWhatReadAdcShows) {
  board::sim::SimSettings settings;
  settings.inputs = {{3, 1.0}, {12, 0.3}};
  LogRig rig(Version2Edition, settings);
  ASSERT_EQ(rig.Run("adc configure --coding binary adc read --format dec adc read --format volts"),
            ExitSuccess);
  const std::vector<std::string> shown = testing::SplitLines(rig.out);
  ASSERT_EQ(shown.size(), 33U);
  const std::string code3 = shown[1 + 3].substr(5);
  const std::string code12 = shown[1 + 12].substr(6);
  const double volts3 = std::stod(shown[17 + 3].substr(5));

  const std::string file = rig.folder.File("run.csv");
  ASSERT_EQ(rig.Run("adc configure --coding binary adc log " + file +
                    " --every 500ms --for 2s --channels 12,3 --reference 2.5"),
            ExitSuccess)
      << rig.err;
  const LogFile log = ReadLog(file);
  EXPECT_EQ(log.layout.channels, (std::vector<int>{12, 3}));
  EXPECT_EQ(log.layout.straight_binary, std::optional<bool>(true));
  EXPECT_EQ(log.layout.configuration_word, 0x8390);
  ASSERT_EQ(log.rows.size(), 4U);
  for (const std::vector<std::string>& row : log.rows) {
    EXPECT_EQ(row[2], "ok");
    EXPECT_EQ(row[4], code12);
    EXPECT_EQ(row[6], code3);
    EXPECT_NEAR(std::stod(row[7]), volts3, 0.0005);
  }
  EXPECT_EQ(log.rows[3][1], "1.500000");
  EXPECT_EQ(rig.out.substr(rig.out.find("Logged")),
            "Logged 4 rows (0 gap rows, 0 missed) in 0:00:02 to " + file + "\n");
}

TEST(CtlLog, AnUnpluggedBoardGivesGapRowsAndTheRunCarriesOnWhenItIsBack) {
  for (const Edition* edition : {&Version2Edition, &ClassicEdition}) {
    board::sim::SimSettings settings;
    settings.inputs = {{5, 1.0}};
    LogRig rig(*edition, settings);
    rig.clock.on_move = [&rig](std::chrono::nanoseconds since_start) {
      if (since_start == seconds(3)) {
        rig.board.Unplug();
      } else if (since_start == seconds(6)) {
        rig.board.PlugIn();
      }
    };
    const std::string file = rig.folder.File("run.csv");
    ASSERT_EQ(rig.Run("adc configure --range vref adc log " + file +
                      " --every 1s --for 10s --channels 5"),
              ExitSuccess)
        << rig.err;
    const LogFile log = ReadLog(file);
    ASSERT_EQ(log.rows.size(), 10U);
    const std::string good_code = log.rows[0][4];
    for (std::size_t row = 0; row < 10; ++row) {
      const bool gap = row >= 3 && row < 6;
      EXPECT_EQ(log.rows[row][2], gap ? "gap" : "ok") << row;
      EXPECT_EQ(log.rows[row][3], gap ? std::to_string(board::RequestNoBoard) : "") << row;
      // After the board came back its configuration was sent again: the
      // same input reads as the same code in the half span.
      EXPECT_EQ(log.rows[row][4], gap ? "" : good_code) << row;
    }
    EXPECT_TRUE(rig.board.FirmwareRunning());
    EXPECT_TRUE(rig.board.Converter().HalfSpan());
    EXPECT_NE(rig.out.find("Logged 10 rows (3 gap rows, 0 missed)"), std::string::npos) << rig.out;
    EXPECT_NE(rig.err.find("adc log: gap rows from 3.000 s on: "), std::string::npos) << rig.err;
    EXPECT_NE(rig.err.find("adc log: the board answers again at 6.000 s, after 3 gap rows"),
              std::string::npos)
        << rig.err;
  }
}

TEST(CtlLog, QuietKeepsProgressOffStandardErrorAndJsonSummarisesTheRun) {
  LogRig rig;
  const std::string file = rig.folder.File("run.csv");
  ASSERT_EQ(rig.Run("adc log " + file + " --every 1s --for 1m --quiet", true), ExitSuccess);
  EXPECT_EQ(rig.err, "");
  nlohmann::json expected = nlohmann::json::parse(R"({"command":"adc log",
      "source":"command line","ok":true,"rows":60,"gap_rows":0,"missed":0,"seconds":60.0,
      "stopped":false,"calibration":null,"requests":0})");
  expected["file"] = file;
  EXPECT_EQ(nlohmann::json::parse(rig.out), expected) << rig.out;
  EXPECT_EQ(std::count(rig.out.begin(), rig.out.end(), '\n'), 1);

  LogRig loud;
  ASSERT_EQ(loud.Run("adc log " + loud.folder.File("run.csv") + " --every 1s --for 1m"),
            ExitSuccess);
  EXPECT_NE(loud.err.find("kx7312ctl: adc log: 51 rows, 0 gap rows, 0 missed, 0:00:50\n"),
            std::string::npos)
      << loud.err;
}

TEST(CtlLog, AnExistingFileIsRefusedBeforeTheBoardHearsAWord) {
  LogRig rig;
  const std::string file = rig.folder.File("run.csv");
  testing::WriteBytes(file, "yesterday's run\n");
  EXPECT_EQ(rig.Run("adc log " + file + " --every 1s --for 3s"), ExitUsage);
  EXPECT_NE(rig.err.find("exists already: choose another file or add --overwrite"),
            std::string::npos)
      << rig.err;
  EXPECT_EQ(testing::ReadBytes(file), "yesterday's run\n");
  EXPECT_TRUE(rig.TraceLines().empty());

  EXPECT_EQ(rig.Run("adc log " + file + " --every 1s --for 3s --overwrite"), ExitSuccess);
  EXPECT_EQ(ReadLog(file).rows.size(), 3U);
}

TEST(CtlLog, OptionsAreCheckedBeforeAnythingIsSent) {
  const struct {
    std::string words;
    std::string message;  // empty: accepted
  } cases[] = {
      {"--every 1s", ""},
      {"--every=250ms --for 10h --channels 0,3,8-11 --average 100 --reference 2.048 --quiet", ""},
      {"--every 0.001 --for 2d --channels all", ""},
      {"", "missing --every"},
      {"--for 10s", "missing --every"},
      {"--every 0", "not a time after 0"},
      {"--every 0.5ms", "the interval must be 1 ms to 24 h"},
      {"--every 25h", "the interval must be 1 ms to 24 h"},
      {"--every 1s --for -1", "not a time after 0"},
      {"--every 1s --for soon", "\"soon\" is not a time"},
      {"--every 1s --for 11000d", "longer than ten years"},
      {"--every 1s --channels 16", "\"16\" in \"16\" is not a channel 0-15"},
      {"--every 1s --channels 3-1", "\"3-1\" in \"3-1\" is not a channel"},
      {"--every 1s --channels 1,2,1", "channel 1 is named twice"},
      {"--every 1s --channels 1,,2", "\"\" in \"1,,2\" is not a channel"},
      {"--every 1s --average 0", "--average: \"0\" is not a number of reads from 1 to 100000"},
      {"--every 1s --average 100001", "is not a number of reads"},
      {"--every 1s --average x", "is not a number of reads"},
      {"--every 1s --reference 9e99", "is too large for the \"ADC Reference\""},
      {"--every 1s --reference 7", "7.00 V is outside what the ADC takes for a file"},
      {"--every 1s --reference -1", "-1.00 V is outside what the ADC takes for a file"},
      {"--every 1s --quiet=yes", "--quiet takes no value"},
      {"--every 1s --metadata", "unknown option \"--metadata\""},
  };
  for (const auto& c : cases) {
    LogRig rig;
    const std::string file = rig.folder.File("run.csv");
    const int status = rig.Run("adc log " + file + " " + c.words + " --for 1s");
    if (c.message.empty()) {
      EXPECT_EQ(status, ExitSuccess) << c.words << ": " << rig.err;
      continue;
    }
    EXPECT_EQ(status, ExitUsage) << c.words;
    EXPECT_NE(rig.err.find(c.message), std::string::npos) << c.words << ": " << rig.err;
    EXPECT_TRUE(rig.TraceLines().empty()) << c.words;
  }

  LogRig classic(ClassicEdition);
  EXPECT_EQ(classic.Run("adc log " + classic.folder.File("run.csv") + " --every 1s --reference 2"),
            ExitUsage);
  EXPECT_NE(classic.err.find("KX7312 has no ADC reference"), std::string::npos) << classic.err;
  LogRig no_folder;
  EXPECT_EQ(no_folder.Run("adc log " + no_folder.folder.File("gone/run.csv") + " --every 1s"),
            ExitUsage);
  EXPECT_NE(no_folder.err.find("does not exist"), std::string::npos) << no_folder.err;
}

TEST(CtlLogValues, DurationsTakeSecondsOrAUnit) {
  const struct {
    std::string text;
    std::chrono::nanoseconds value;
  } cases[] = {
      {"0.1", milliseconds(100)},
      {"1", seconds(1)},
      {"250ms", milliseconds(250)},
      {"30s", seconds(30)},
      {"1.5m", seconds(90)},
      {"10h", std::chrono::hours(10)},
      {"2d", std::chrono::hours(48)},
      {"1e-3", milliseconds(1)},
      {"0.000000001", std::chrono::nanoseconds(1)},
  };
  for (const auto& c : cases) {
    const DurationValue value = ParseDuration(c.text);
    ASSERT_TRUE(value.value) << c.text << ": " << value.error;
    EXPECT_EQ(*value.value, c.value) << c.text;
  }
  for (const std::string bad : {"", "s", "1 s", "1x", "nan", "inf", "-5s", "0ms", "1ss", "ms1"}) {
    EXPECT_FALSE(ParseDuration(bad).value) << bad;
  }
  EXPECT_EQ(ElapsedText(seconds(0)), "0:00:00");
  EXPECT_EQ(ElapsedText(std::chrono::hours(27) + seconds(61)), "27:01:01");
}

}  // namespace
}  // namespace kx::ctl
