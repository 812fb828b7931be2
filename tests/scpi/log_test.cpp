// The background log of the instrument, in this process on the simulated
// board, with a timer and a clock the test moves: rows at their due times,
// the file a reader takes, the errors each client is told, and a board that
// goes away and comes back during a log.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "instrument_rig.h"
#include "logger/log_format.h"
#include "scpi/background_log.h"
#include "support/bad_log_files.h"
#include "support/temp_folder.h"
#include "support/trace_requests.h"

namespace kx::scpi {
namespace {

using kx::testing::ReadBytes;
using kx::testing::Split;
using kx::testing::SplitLines;
using kx::testing::TempFolder;
using testing::InstrumentRig;
using namespace std::chrono_literals;

class StepClock final : public logger::LogClock {
 public:
  std::chrono::steady_clock::time_point now{std::chrono::hours(1000)};
  std::chrono::steady_clock::time_point Now() override { return now; }
  std::chrono::system_clock::time_point WallNow() override {
    return std::chrono::system_clock::time_point(std::chrono::hours(500000));
  }
  void SleepUntil(std::chrono::steady_clock::time_point due, const logger::LogStop&) override {
    now = std::max(now, due);
  }
};

// Holds the one pending wake; Fire moves the clock to it and runs it, as the
// server's io_context would between two client lines.
class StepTimer final : public LogTimer {
 public:
  explicit StepTimer(StepClock& clock) : clock_(clock) {}
  void At(std::chrono::steady_clock::time_point due, std::function<void()> task) override {
    due_ = due;
    task_ = std::move(task);
  }
  void Cancel() override { task_ = nullptr; }
  bool Pending() const { return task_ != nullptr; }
  std::chrono::steady_clock::time_point Due() const { return due_; }
  bool Fire() {
    if (!task_) {
      return false;
    }
    clock_.now = std::max(clock_.now, due_);
    std::function<void()> task = std::exchange(task_, nullptr);
    task();
    return true;
  }

 private:
  StepClock& clock_;
  std::chrono::steady_clock::time_point due_{};
  std::function<void()> task_;
};

struct LogRig {
  explicit LogRig(const Edition& edition = Version2Edition)
      : rig(edition, testing::LoopbackSettings()) {
    rig.instrument.UseLogTimer(timer, &clock);
    rig.instrument.SetLogFolder(folder.Path());
  }
  // As LOG:STATe? shows the file: its path in the log folder.
  std::string Shown(const std::string& name) const { return "\"" + folder.File(name) + "\""; }

  TempFolder folder;
  StepClock clock;
  StepTimer timer{clock};
  InstrumentRig rig;
};

struct LogFileRead {
  logger::LogLayout layout;
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;
};

LogFileRead ReadLog(const std::string& path) {
  const std::vector<std::string> lines = SplitLines(ReadBytes(path));
  LogFileRead read;
  if (lines.size() < 2) {
    ADD_FAILURE() << path << " has " << lines.size() << " lines";
    return read;
  }
  const logger::HeaderRead header = logger::ParseHeaderLine(lines[0]);
  EXPECT_TRUE(header.layout) << header.error;
  read.layout = header.layout.value_or(logger::LogLayout{});
  read.columns = Split(lines[1], ',');
  for (std::size_t i = 2; i < lines.size(); ++i) {
    if (!lines[i].empty()) {
      read.rows.push_back(Split(lines[i], ','));
    }
  }
  return read;
}

// Fires the timer once with the disk full for `path`: the file may not grow
// past its size now.
bool FireOnAFullDisk(StepTimer& timer, const std::string& path) {
  rlimit old{};
  if (getrlimit(RLIMIT_FSIZE, &old) != 0) {
    return false;
  }
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit = old;
  limit.rlim_cur = static_cast<rlim_t>(std::filesystem::file_size(path)) + 10;
  const bool limited = setrlimit(RLIMIT_FSIZE, &limit) == 0;
  const bool fired = limited && timer.Fire();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, old_handler);
  return fired;
}

TEST(ScpiLogTest, RowsComeAtTheirTimesWithTheSettingsAndTheFileIsComplete) {
  LogRig log;
  InstrumentRig& rig = log.rig;
  ASSERT_EQ(rig.Ask("DAC:LOAD 1,100,3,2047,9,4000;:ADC:CONF VREF2X,TRIS,BIN"), "<none>");
  ASSERT_EQ(rig.Ask("LOG:CHAN 9,1,3;AVER 3;REF 5;CHAN?;AVER?;REF?"), "9,1,3;3;5.00");
  const auto start = log.clock.now;
  ASSERT_EQ(rig.Ask("LOG:STAR \"a.csv\",0.5,5"), "<none>");
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
  int rows = 0;
  while (log.timer.Pending()) {
    // Each row is due at start + n * interval, whatever the rows cost.
    ASSERT_EQ(log.timer.Due() - start, rows * 500ms) << rows;
    log.clock.now = log.timer.Due() + 20ms;  // late by less than an interval: read, not missed
    ASSERT_TRUE(log.timer.Fire());
    ++rows;
    ASSERT_LE(rows, 10);
  }
  EXPECT_EQ(rows, 10);
  EXPECT_EQ(rig.Ask("LOG:STAT?"), "0,10,0,0,4.520," + log.Shown("a.csv") + ",\"\"");

  const LogFileRead file = ReadLog(log.folder.File("a.csv"));
  EXPECT_EQ(file.layout.channels, (std::vector<int>{9, 1, 3}));
  EXPECT_EQ(file.layout.average, 3);
  EXPECT_EQ(file.layout.reference_volts, 5.0);
  EXPECT_EQ(file.layout.interval_seconds, 0.5);
  ASSERT_EQ(file.rows.size(), 10U);
  ASSERT_EQ(file.columns.at(4), "ch9_mean");
  ASSERT_EQ(file.columns.at(12), "ch1_mean");
  ASSERT_EQ(file.columns.at(20), "ch3_mean");
  for (std::size_t i = 0; i < file.rows.size(); ++i) {
    const std::vector<std::string>& row = file.rows[i];
    ASSERT_EQ(row.size(), file.columns.size()) << i;
    EXPECT_EQ(row[2], "ok") << i;
    EXPECT_NEAR(std::stod(row[1]), 0.5 * static_cast<double>(i) + 0.02, 1e-9) << i;
    // Channel 9, 1 and 3 in the order asked, each mean, min, max, std and
    // their volts: the loaded codes.
    EXPECT_EQ(std::stod(row[4]), 4000) << i;
    EXPECT_EQ(std::stod(row[12]), 100) << i;
    EXPECT_EQ(std::stod(row[20]), 2047) << i;
  }
}

TEST(ScpiLogTest, LogStopEndsItAndARowWhoseIntervalPassedIsMissed) {
  LogRig log;
  InstrumentRig& rig = log.rig;
  ASSERT_EQ(rig.Ask("LOG:CHAN \"0-1\";:LOG:STAR \"b.csv\",\"100ms\""), "<none>");
  ASSERT_TRUE(log.timer.Fire());
  ASSERT_TRUE(log.timer.Fire());
  // A capture held the thread for 350 ms: rows 2 and 3 passed unread.
  log.clock.now += 350ms;
  ASSERT_TRUE(log.timer.Fire());
  EXPECT_EQ(rig.Ask("LOG:STAT?"), "1,3,0,2,0.450," + log.Shown("b.csv") + ",\"\"");
  ASSERT_EQ(rig.Ask("LOG:STOP"), "<none>");
  EXPECT_FALSE(log.timer.Pending());
  EXPECT_EQ(rig.Ask("LOG:STAT?"), "0,3,0,2,0.450," + log.Shown("b.csv") + ",\"\"");
  const LogFileRead file = ReadLog(log.folder.File("b.csv"));
  EXPECT_EQ(file.layout.channels, (std::vector<int>{0, 1}));
  ASSERT_EQ(file.rows.size(), 3U);
  EXPECT_EQ(file.rows[2][1], "0.450000");
  // A stopped log may be followed by another.
  ASSERT_EQ(rig.Ask("LOG:STAR \"c.csv\",1"), "<none>");
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
  EXPECT_TRUE(log.timer.Pending());
}

struct RefusedLog {
  std::string lines;  // run one after another; the last one's error counts
  std::string error;  // the start of SYSTem:ERRor?'s reply
};

TEST(ScpiLogTest, MistakesAreQueuedAndStartNothing) {
  const std::vector<RefusedLog> cases = {
      {"LOG:STAR \"r.csv\",1\nLOG:STAR \"s.csv\",1", "-213,\"Init ignored; a log to "},
      {"LOG:STAR \"no such folder/r.csv\",1", "-257,\"File name error; "},
      {"LOG:STAR \"exists.csv\",1", "-257,\"File name error; "},
      {"LOG:STAR \"r.csv\",0", "-222,\"Data out of range; the interval 0"},
      {"LOG:STAR \"r.csv\",\"fast\"", "-224,\"Illegal parameter value; the interval: "},
      {"LOG:STAR \"r.csv\",1,\"2 weeks\"", "-224,\"Illegal parameter value; the duration: "},
      {"LOG:STAR \"../r.csv\",1", "-257,\"File name error; \"\"../r.csv\"\" is not a file"},
      {"LOG:STAR \"/tmp/r.csv\",1", "-257,\"File name error; \"\"/tmp/r.csv\"\" is not a file"},
      {"LOG:STAR \"\",1", "-257,\"File name error"},
      {"LOG:STAR R,1", "-104,\"Data type error; the file must be a string"},
      {"LOG:STAR \"r.csv\"", "-109,\"Missing parameter"},
      {"LOG:CHAN 16", "-222,\"Data out of range; the channels: "},
      {"LOG:CHAN \"3,3\"", "-224,\"Illegal parameter value; the channels: "},
      {"LOG:CHAN NONE", "-224,\"Illegal parameter value"},
      {"LOG:AVER 0", "-222,\"Data out of range; the reads per row: "},
      {"LOG:AVER 2.5", "-222,\"Data out of range; the reads per row 2.5 is not a whole"},
      {"LOG:REF \"x\"", "-104,\"Data type error"},
      {"LOG:REF 5.01", "-222,\"Data out of range; the reference 5.01 V is outside"},
  };
  for (const RefusedLog& refused : cases) {
    LogRig log;
    kx::testing::WriteBytes(log.folder.File("exists.csv"), "a long run's rows\n");
    for (const std::string& line : Split(refused.lines, '\n')) {
      log.rig.Ask(line);
    }
    const std::string error = log.rig.NextError();
    EXPECT_TRUE(error.starts_with(refused.error)) << refused.lines << "\n" << error;
    EXPECT_EQ(log.rig.NextError(), "0,\"No error\"") << refused.lines;
    // Nothing changed: the settings are the defaults, the file that was
    // there is intact and at most the first log of the line runs.
    EXPECT_EQ(log.rig.Ask("LOG:AVER?;CHAN?"), "1;0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15");
    EXPECT_EQ(ReadBytes(log.folder.File("exists.csv")), "a long run's rows\n");
    EXPECT_FALSE(std::filesystem::exists(log.folder.File("s.csv"))) << refused.lines;
  }

  LogRig classic(ClassicEdition);
  classic.rig.Ask("LOG:REF 2.5");
  EXPECT_TRUE(classic.rig.NextError().starts_with("-221,\"Settings conflict")) << "classic";
}

// A client on the network writes only inside the log folder, whatever it
// holds: each bad file is refused with -257 and nothing changes on the disk.
TEST(ScpiLogTest, BadFilesAreRefusedAndNothingOutsideTheFolderChanges) {
  for (const kx::testing::BadLogFile& bad : kx::testing::BadLogFiles()) {
    SCOPED_TRACE(bad.what);
    LogRig log;
    const std::filesystem::path logs = log.folder.Path() / "logs";
    const std::filesystem::path outside = log.folder.Path() / "outside";
    std::filesystem::create_directories(logs);
    std::filesystem::create_directories(outside);
    bad.make(logs, outside);
    ASSERT_FALSE(log.rig.instrument.SetLogFolder(logs));
    const auto before = kx::testing::FolderContents(log.folder.Path());

    log.rig.Ask(std::string("LOG:OVER ") + (bad.overwrite ? "ON" : "OFF") + ";:LOG:STAR \"" +
                bad.name + "\",1");
    const std::string error = log.rig.NextError();
    EXPECT_TRUE(error.starts_with("-257,\"File name error; ")) << error;
    EXPECT_FALSE(log.timer.Pending());
    EXPECT_EQ(kx::testing::FolderContents(log.folder.Path()), before);
  }
}

TEST(ScpiLogTest, OverwriteReplacesAnExistingFileOnlyWhenAsked) {
  LogRig log;
  kx::testing::WriteBytes(log.folder.File("old.csv"), "old\n");
  ASSERT_EQ(log.rig.Ask("LOG:OVER?"), "0");
  ASSERT_EQ(log.rig.Ask("LOG:OVER ON;OVER?;:LOG:STAR \"old.csv\",1,2"), "1");
  EXPECT_EQ(log.rig.NextError(), "0,\"No error\"");
  while (log.timer.Fire()) {
  }
  EXPECT_EQ(ReadLog(log.folder.File("old.csv")).rows.size(), 2U);
  // *RST puts the settings back.
  EXPECT_EQ(log.rig.Ask("*RST;:LOG:OVER?"), "0");
}

TEST(ScpiLogTest, AFileThatFailsEndsTheLogAndTellsTheClientThatStartedIt) {
  LogRig log;
  InstrumentRig& rig = log.rig;
  ASSERT_EQ(rig.Ask("LOG:STAR \"full.csv\",1"), "<none>");
  ASSERT_TRUE(log.timer.Fire());
  const std::string before = ReadBytes(log.folder.File("full.csv"));
  ASSERT_TRUE(FireOnAFullDisk(log.timer, log.folder.File("full.csv")));

  EXPECT_FALSE(log.timer.Pending());
  const std::string state = rig.Ask("LOG:STAT?");
  EXPECT_TRUE(state.starts_with("0,1,0,0,1.000," + log.Shown("full.csv") + ",\"")) << state;
  EXPECT_NE(state.find("the 1 rows written before stay"), std::string::npos) << state;
  EXPECT_TRUE(rig.NextError().starts_with("-250,\"Mass storage error; ")) << state;
  EXPECT_EQ(ReadBytes(log.folder.File("full.csv")), before);
  EXPECT_EQ(ReadLog(log.folder.File("full.csv")).rows.size(), 1U);
}

TEST(ScpiLogTest, AnAbsentBoardWritesGapRowsAndTheLogGoesOnWhenItIsBack) {
  LogRig log;
  InstrumentRig& rig = log.rig;
  ASSERT_EQ(rig.Ask("LOG:CHAN 0;:LOG:STAR \"gap.csv\",1"), "<none>");
  ASSERT_TRUE(log.timer.Fire());
  rig.cut_off.answers_left = 0;
  ASSERT_TRUE(log.timer.Fire());
  ASSERT_TRUE(log.timer.Fire());
  rig.cut_off.answers_left.reset();
  ASSERT_TRUE(log.timer.Fire());
  ASSERT_TRUE(log.timer.Fire());
  ASSERT_EQ(rig.Ask("LOG:STOP;STAT?"), "0,5,2,0,4.000," + log.Shown("gap.csv") + ",\"\"");
  const LogFileRead file = ReadLog(log.folder.File("gap.csv"));
  ASSERT_EQ(file.rows.size(), 5U);
  const std::vector<std::string> status = {"ok", "gap", "gap", "ok", "ok"};
  for (std::size_t i = 0; i < status.size(); ++i) {
    EXPECT_EQ(file.rows[i][2], status[i]) << i;
  }
  EXPECT_EQ(file.rows[1][3], std::to_string(kx::testing::CutOffStatus));
  // The board's failures are the log's business: the clients' queues stay
  // empty, and commands go on being served.
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
  EXPECT_EQ(rig.Ask("*OPC?"), "1");
}

TEST(ScpiLogTest, ResetAndAGoneClientEndTheLogOrItsMessagesCleanly) {
  LogRig log;
  InstrumentRig& rig = log.rig;
  ASSERT_EQ(rig.Ask("LOG:STAR \"r.csv\",1"), "<none>");
  ASSERT_TRUE(log.timer.Fire());
  ASSERT_EQ(rig.Ask("*RST"), "<none>");
  EXPECT_FALSE(log.timer.Pending());
  EXPECT_EQ(rig.Ask("LOG:STAT?"), "0,1,0,0,0.000," + log.Shown("r.csv") + ",\"\"");
  EXPECT_EQ(ReadLog(log.folder.File("r.csv")).rows.size(), 1U);

  // A client that started a log and left: the log goes on, and its file's
  // failure is for the server's log alone.
  auto other = std::make_unique<Client>(Client{"other", {}});
  ASSERT_FALSE(rig.instrument.Execute("LOG:STAR \"g.csv\",1", *other));
  rig.instrument.Forget(*other);
  other.reset();
  ASSERT_TRUE(log.timer.Fire());
  ASSERT_TRUE(FireOnAFullDisk(log.timer, log.folder.File("g.csv")));
  EXPECT_FALSE(log.timer.Pending());
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
  EXPECT_NE(rig.log.back().find("adc log " + log.folder.File("g.csv") + ": ended, 1 rows"),
            std::string::npos)
      << rig.log.back();
}

}  // namespace
}  // namespace kx::scpi
