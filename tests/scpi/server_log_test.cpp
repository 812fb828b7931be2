// The background log through the real kx7312ctl serve on the simulated
// board, on the machine's clock: rows at their due times while another
// client is served, LOG:STOP, and SIGTERM in the middle of a log.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "logger/log_format.h"
#include "server_process.h"
#include "support/temp_folder.h"
#include "support/trace_requests.h"

namespace kx::scpi {
namespace {

using kx::testing::ReadBytes;
using kx::testing::Split;
using kx::testing::SplitLines;
using kx::testing::TempFolder;
using testing::LineClient;
using testing::ServerProcess;

// LOG:STATe?'s rows, once they reach `rows` (or after 20 s).
int WaitForRows(LineClient& client, int rows) {
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int now = 0;
  while ((now = std::stoi(Split(client.Ask("LOG:STAT?"), ',').at(1))) < rows &&
         std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return now;
}

// The data rows of a log file, after checking its first line and header.
std::vector<std::vector<std::string>> DataRows(const std::string& path,
                                               const std::vector<int>& channels) {
  const std::string bytes = ReadBytes(path);
  EXPECT_TRUE(bytes.ends_with("\n")) << "a partial last line";
  const std::vector<std::string> lines = SplitLines(bytes);
  std::vector<std::vector<std::string>> rows;
  if (lines.size() < 2) {
    ADD_FAILURE() << path << ": " << bytes;
    return rows;
  }
  const logger::HeaderRead header = logger::ParseHeaderLine(lines[0]);
  EXPECT_TRUE(header.layout) << header.error;
  if (header.layout) {
    EXPECT_EQ(header.layout->channels, channels);
  }
  const std::size_t columns = Split(lines[1], ',').size();
  for (std::size_t i = 2; i < lines.size(); ++i) {
    if (!lines[i].empty()) {
      rows.push_back(Split(lines[i], ','));
      EXPECT_EQ(rows.back().size(), columns) << lines[i];
    }
  }
  return rows;
}

TEST(ScpiServerLogTest, ALogRunsBesideAnotherClientAndLogStopClosesItsFile) {
  TempFolder folder;
  // In the working folder: a plain name.
  ServerProcess server(folder.Path(), {"--simulate"});
  LineClient logging(server.Port());
  LineClient other(server.Port());
  const std::string file = folder.File("supply.csv");
  ASSERT_EQ(logging.Ask("LOG:CHAN 0,5;:LOG:STAR \"supply.csv\",0.02;:SYST:ERR?"), "0,\"No error\"");
  // The other client is served while the rows go on, and cannot start a
  // second log.
  for (int i = 0; i < 20; ++i) {
    ASSERT_EQ(Split(other.Ask("ADC:READ?"), ',').size(), 16U);
  }
  EXPECT_TRUE(other.Ask("LOG:STAR \"second.csv\",1;:SYST:ERR?").starts_with("-213,\"Init ignored"));
  ASSERT_GE(WaitForRows(logging, 10), 10) << server.Log();

  const std::vector<std::string> state = Split(logging.Ask("LOG:STOP;STAT?"), ',');
  ASSERT_EQ(state.size(), 7U);
  EXPECT_EQ(state[0], "0");
  EXPECT_EQ(state[2], "0");  // no gap
  EXPECT_EQ(state[5], "\"supply.csv\"");
  const int rows = std::stoi(state[1]);
  const int missed = std::stoi(state[3]);
  const std::vector<std::vector<std::string>> data = DataRows(file, {0, 5});
  ASSERT_EQ(std::ssize(data), rows);
  // Each row is read within its own 20 ms interval, start + n * 20 ms: the
  // interval a row falls in grows by one per row, or by more where rows
  // were missed, and the rows and the missed ones account for every
  // interval.
  long long previous = -1;
  for (const std::vector<std::string>& row : data) {
    EXPECT_EQ(row[2], "ok");
    // Whole microseconds as written, so that no rounding of a double
    // moves a row across an interval's edge.
    std::string micro = row[1];
    micro.erase(micro.find('.'), 1);
    const long long interval = std::stoll(micro) / 20000;
    EXPECT_GT(interval, previous) << row[1];
    previous = interval;
  }
  EXPECT_EQ(previous + 1, rows + missed);
  EXPECT_FALSE(std::filesystem::exists(folder.File("second.csv")));
  EXPECT_EQ(server.Stop(SIGTERM), 0);
}

TEST(ScpiServerLogTest, SigtermInTheMiddleOfALogLeavesItsFileComplete) {
  TempFolder folder;
  std::filesystem::create_directory(folder.Path() / "logs");
  ServerProcess server(folder.Path(), {"--simulate"}, {"--log-folder", folder.File("logs")});
  const std::string file = folder.File("logs/cut.csv");
  {
    LineClient client(server.Port());
    ASSERT_EQ(client.Ask("LOG:STAR \"cut.csv\",0.005;:SYST:ERR?"), "0,\"No error\"");
    ASSERT_GE(WaitForRows(client, 5), 5);
  }
  // The client that started it has gone; the log goes on until the signal.
  EXPECT_EQ(server.Stop(SIGTERM), 0);
  const std::vector<std::vector<std::string>> data =
      DataRows(file, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
  EXPECT_GE(data.size(), 5U);
  const std::string log = server.Log();
  EXPECT_NE(log.find("adc log " + file + ": ended, " + std::to_string(data.size()) + " rows"),
            std::string::npos)
      << log;
}

}  // namespace
}  // namespace kx::scpi
