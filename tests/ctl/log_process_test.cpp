// The built kx7312ctl logging on the simulated board in real time: signals,
// a file-size limit, and the schedule on the machine's clock.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ctl_rig.h"
#include "logger/log_format.h"
#include "support/trace_requests.h"

namespace kx::ctl {
namespace {

using testing::TempFolder;

struct ShellRun {
  int status;
  std::string out;
  std::string err;
};

// `script` run by sh in `folder`, with $KX naming the tool.
ShellRun RunShell(const std::string& script, const TempFolder& folder) {
  const std::string script_file = folder.File("run.sh");
  testing::WriteBytes(script_file, "KX='" + std::string(KX7312CTL) + "'\n" + script);
  const std::string command = "cd '" + folder.Path().string() + "' && sh run.sh >out.txt 2>err.txt";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, testing::ReadBytes(folder.File("out.txt")),
          testing::ReadBytes(folder.File("err.txt"))};
}

// Every line of a log whole: the comment line, the header row, and rows
// with a field for every column. The rows' fields.
std::vector<std::vector<std::string>> WholeRows(const std::string& text) {
  EXPECT_TRUE(text.ends_with("\n")) << "the last line is cut short";
  const std::vector<std::string> lines = testing::SplitLines(text);
  if (lines.size() < 2) {
    ADD_FAILURE() << "no header in\n" << text;
    return {};
  }
  const logger::HeaderRead header = logger::ParseHeaderLine(lines[0]);
  EXPECT_TRUE(header.layout) << header.error;
  const logger::LogLayout layout = header.layout.value_or(logger::LogLayout{});
  EXPECT_EQ(lines[1] + "\n", logger::ColumnLine(layout));
  std::vector<std::vector<std::string>> rows;
  for (std::size_t i = 2; i < lines.size(); ++i) {
    rows.push_back(kx::testing::Split(lines[i], ','));
    EXPECT_EQ(rows.back().size(), logger::ColumnNames(layout).size()) << lines[i];
    EXPECT_EQ(rows.back()[2], "ok") << lines[i];
  }
  return rows;
}

TEST(CtlLogProcess, AStopSignalEndsTheRunWithTheFileCompleteAndExitZero) {
  for (const std::string signal : {"TERM", "INT"}) {
    TempFolder folder;
    // Started in the background, stopped once a few rows are on the disk.
    const ShellRun run = RunShell(
        "\"$KX\" --simulate adc log run.csv --every 20ms --average 10 &\n"
        "pid=$!\n"
        "tries=0\n"
        "while [ \"$(cat run.csv 2>/dev/null | wc -l)\" -lt 6 ] && [ $tries -lt 1500 ]; do\n"
        "  sleep 0.02; tries=$((tries + 1))\n"
        "done\n"
        "kill -" +
            signal +
            " $pid\n"
            "wait $pid\n",
        folder);
    EXPECT_EQ(run.status, 0) << signal << ": " << run.err;
    const std::vector<std::vector<std::string>> rows =
        WholeRows(testing::ReadBytes(folder.File("run.csv")));
    EXPECT_GE(rows.size(), 4U);
    EXPECT_NE(run.out.find("Logged " + std::to_string(rows.size()) + " rows"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("; stopped by a signal"), std::string::npos) << run.out;
  }
}

TEST(CtlLogProcess, ARunKilledOutrightLeavesOnlyWholeLinesBehind) {
  TempFolder folder;
  const ShellRun run = RunShell(
      "\"$KX\" --simulate adc log run.csv --every 1ms --channels 0-15 &\n"
      "pid=$!\n"
      "tries=0\n"
      "while [ \"$(cat run.csv 2>/dev/null | wc -l)\" -lt 50 ] && [ $tries -lt 1500 ]; do\n"
      "  sleep 0.02; tries=$((tries + 1))\n"
      "done\n"
      "kill -KILL $pid\n"
      "wait $pid\n"
      "echo killed $?\n",
      folder);
  EXPECT_EQ(run.out, "killed 137\n") << run.err;
  // Each row goes to the system in one write: there is no partial line to
  // find even though nothing was closed.
  EXPECT_GE(WholeRows(testing::ReadBytes(folder.File("run.csv"))).size(), 48U);
}

TEST(CtlLogProcess, AFileThatCannotGrowEndsTheRunWithExitOneAndWholeRows) {
  TempFolder folder;
  // A file-size limit of a few kilobytes stands in for a full disk: the
  // write that crosses it fails part way through a row.
  const ShellRun run =
      RunShell("ulimit -f 8\n\"$KX\" --simulate adc log run.csv --every 1ms --for 1m\n", folder);
  EXPECT_EQ(run.status, 1) << run.err;
  const std::string text = testing::ReadBytes(folder.File("run.csv"));
  const std::vector<std::vector<std::string>> rows = WholeRows(text);
  EXPECT_GE(rows.size(), 5U);
  EXPECT_NE(run.err.find("run.csv could not be written: "), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("; the " + std::to_string(rows.size()) + " rows written before stay"),
            std::string::npos)
      << run.err;
}

TEST(CtlLogProcess, RowsFollowTheIntervalOnTheMachinesClock) {
  TempFolder folder;
  const ShellRun run = RunShell(
      "\"$KX\" --simulate adc log run.csv --every 0.1 --for 2 --channels 0-3 --average 20\n",
      folder);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::vector<std::string>> rows =
      WholeRows(testing::ReadBytes(folder.File("run.csv")));
  // Twenty rows, each read within its own tenth of a second: none skipped,
  // none early.
  ASSERT_EQ(rows.size(), 20U);
  for (std::size_t n = 0; n < rows.size(); ++n) {
    const double seconds = std::stod(rows[n][1]);
    EXPECT_GE(seconds, 0.1 * static_cast<double>(n) - 1e-9) << "row " << n;
    EXPECT_LT(seconds, 0.1 * static_cast<double>(n + 1)) << "row " << n;
  }
  EXPECT_NE(run.out.find("Logged 20 rows (0 gap rows, 0 missed) in 0:00:02"), std::string::npos)
      << run.out;
}

TEST(CtlLogProcess, TheReadmesPythonLinesReadTheLogAndSkipAPartialLastLine) {
  TempFolder folder;
  const std::string readme = testing::ReadBytes(std::string(KX_SOURCE_DIR) + "/README.md");
  const std::size_t start = readme.find("```python\nimport csv\n");
  ASSERT_NE(start, std::string::npos);
  const std::size_t code = readme.find('\n', start) + 1;
  testing::WriteBytes(folder.File("recipe.py"),
                      readme.substr(code, readme.find("```", code) - code) +
                          "print(len(rows), rows[0]['status'], rows[-1]['ch3_mean_volts'])\n");

  const ShellRun run = RunShell(
      "\"$KX\" --simulate adc log supply.csv --every 10ms --for 50ms --channels 3 --average 4\n"
      "cp supply.csv whole.csv\n"
      "printf '2026-12-08T06:00:00.0' >> supply.csv\n"
      "python3 recipe.py\n",
      folder);
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::vector<std::string>> rows =
      WholeRows(testing::ReadBytes(folder.File("whole.csv")));
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(run.out.substr(run.out.find('\n') + 1),
            std::to_string(rows.size()) + " ok " + rows.back()[8] + "\n");
}

}  // namespace
}  // namespace kx::ctl
