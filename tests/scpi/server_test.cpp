// The real kx7312ctl serving SCPI on the simulated board: several clients
// at once, a client gone in the middle of a capture, SIGTERM with clients
// connected, bad usage, overlong lines, and the same board words as a
// kx7312ctl script.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "server_process.h"
#include "support/config_home.h"
#include "support/temp_folder.h"
#include "support/trace_requests.h"
#include "tool_process.h"

namespace kx::scpi {
namespace {

using kx::testing::Split;
using kx::testing::TempFolder;
using testing::LineClient;
using testing::ServerProcess;

std::vector<std::string> SimArgs() {
  return {"--simulate"};
}

TEST(ScpiServerTest, EightClientsEachGetTheirOwnRepliesInOrder) {
  TempFolder folder;
  ServerProcess server(folder.Path(), SimArgs());
  constexpr int kClients = 8;
  constexpr int kPairs = 250;  // 500 commands per client
  std::vector<std::vector<std::string>> replies(kClients);
  std::vector<std::thread> threads;
  threads.reserve(kClients);
  for (int id = 0; id < kClients; ++id) {
    threads.emplace_back([&, id] {
      LineClient client(server.Port());
      // An undefined header names itself in the client's own error queue;
      // the query after it must return exactly that header.
      std::string batch;
      for (int i = 0; i < kPairs; ++i) {
        batch += "C" + std::to_string(id) + "N" + std::to_string(i) + "\nSYST:ERR?\n";
        if (i % 25 == 24) {
          client.Send(batch);
          batch.clear();
          for (int k = 0; k < 25; ++k) {
            replies[id].push_back(client.ReadLine());
          }
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  for (int id = 0; id < kClients; ++id) {
    ASSERT_EQ(replies[id].size(), static_cast<std::size_t>(kPairs)) << id;
    for (int i = 0; i < kPairs; ++i) {
      ASSERT_EQ(replies[id][i],
                "-113,\"Undefined header; C" + std::to_string(id) + "N" + std::to_string(i) + "\"")
          << "client " << id << " reply " << i;
    }
  }
  EXPECT_EQ(server.Stop(SIGTERM), 0);
}

TEST(ScpiServerTest, AClientGoneInTheMiddleOfACaptureLeavesTheStateToTheNext) {
  TempFolder folder;
  ServerProcess server(folder.Path(), SimArgs());
  {
    LineClient first(server.Port());
    ASSERT_EQ(first.Ask("DAC:LOAD 3,#H7FF;:ADC:CONF VREF,WEAK,BIN;*OPC?"), "1");
    first.Send("ADC:CAPT?\nADC:CAPT:CHAN0?\n");
    first.Close();
  }
  LineClient next(server.Port());
  EXPECT_EQ(next.Ask("ADC:CONF?"), "VREF,WEAK,BIN");
  EXPECT_EQ(Split(next.Ask("DAC:WORD?"), ',').at(3), "#H0037FF00");
  EXPECT_EQ(Split(next.Ask("ADC:CAPT:CHAN0? CODES"), ',').size(), 1024U);
  EXPECT_EQ(next.Ask("SYST:ERR?"), "0,\"No error\"");
  EXPECT_EQ(server.Stop(SIGTERM), 0);
  const std::string log = server.Log();
  EXPECT_NE(log.find(": disconnected"), std::string::npos) << log;
}

TEST(ScpiServerTest, SigtermWithClientsConnectedEndsCleanly) {
  TempFolder folder;
  ServerProcess server(folder.Path(), SimArgs());
  LineClient idle(server.Port());
  LineClient busy(server.Port());
  LineClient half(server.Port());
  ASSERT_EQ(busy.Ask("*OPC?"), "1");
  half.Send("*IDN");  // half a line
  ASSERT_EQ(busy.Ask("*OPC?"), "1");
  EXPECT_EQ(server.Stop(SIGTERM), 0);
  EXPECT_EQ(idle.ReadLine(), "<closed>");
  EXPECT_EQ(busy.ReadLine(), "<closed>");
  EXPECT_EQ(half.ReadLine(), "<closed>");
  const std::string log = server.Log();
  EXPECT_NE(log.find("SIGTERM: stopping"), std::string::npos) << log;
  EXPECT_NE(log.find("kx7312ctl serve: stopped"), std::string::npos) << log;
}

TEST(ScpiServerTest, SigintEndsItToo) {
  TempFolder folder;
  ServerProcess server(folder.Path(), SimArgs());
  LineClient client(server.Port());
  ASSERT_EQ(client.Ask("*OPC?"), "1");
  EXPECT_EQ(server.Stop(SIGINT), 0);
}

TEST(ScpiServerTest, AnOverlongLineIsRefusedAndTheConnectionGoesOn) {
  TempFolder folder;
  ServerProcess server(folder.Path(), SimArgs());
  LineClient client(server.Port());
  // Over 64 KiB in pieces, then the rest of the line, then real commands on
  // the same connection.
  const std::string piece(40000, 'A');
  client.Send("DAC:LOAD " + piece);
  client.Send(piece);
  client.Send(piece + ";*IDN?\r\n*OPC?\r\n");
  EXPECT_EQ(client.ReadLine(), "1");
  EXPECT_TRUE(client.Ask("SYST:ERR?").starts_with("-223,\"Too much data")) << server.Log();
  EXPECT_EQ(client.Ask("SYST:ERR?"), "0,\"No error\"");
  // The longest line taken still is.
  EXPECT_EQ(client.Ask("*OPC?" + std::string(65536 - 5, ' ')), "1");
  EXPECT_EQ(server.Stop(SIGTERM), 0);
}

TEST(ScpiServerTest, ACaptureBlockArrivesWhole) {
  TempFolder folder;
  ServerProcess server(folder.Path(), SimArgs());
  LineClient client(server.Port());
  client.Send("ADC:CAPT?\n");
  ASSERT_EQ(client.ReadBytes(1), "#");
  const auto digits = static_cast<std::size_t>(std::stoi(client.ReadBytes(1)));
  const std::size_t length = std::stoul(client.ReadBytes(digits));
  const std::string text = client.ReadBytes(length);
  ASSERT_EQ(text.size(), length);
  EXPECT_EQ(Split(text, '\n').size(), 513U);
  EXPECT_EQ(client.ReadLine(), "");  // the response's own line end
  EXPECT_EQ(client.Ask("*OPC?"), "1");
}

// Requests of a trace after the start-up's first five.
std::vector<std::string> CommandRequests(const std::string& trace) {
  std::vector<std::string> requests;
  for (const std::string& line : kx::testing::SplitLines(trace)) {
    if (line.starts_with("request ")) {
      requests.push_back(line);
    }
  }
  requests.erase(requests.begin(),
                 requests.begin() + std::min<std::ptrdiff_t>(5, std::ssize(requests)));
  return requests;
}

TEST(ScpiServerTest, EveryOperationSendsTheSameWordsAsAKx7312ctlScript) {
  TempFolder folder;
  const std::string script =
      "dac load 0=100 3=7FF 15=FFF\n"
      "dac load 1=200 --update --no-pulse\n"
      "dac load 2=300 --update\n"
      "dac load 4=ABC --no-pulse\n"
      "dac write high 1234ABCD\n"
      "dac power-down low 100k 1 2\n"
      "dac power-down high three-state\n"
      "dac ldac-register high 8 9\n"
      "dac reference low internal\n"
      "dac reference high external\n"
      "dac clear-code low 0x0800\n"
      "dac clear-code high 0x0FFF\n"
      "line clr-low\nline clr-high\nline ldac-low\nline ldac-high\nline pulse-ldac\n"
      "adc configure --range vref --weak --coding binary\n"
      "adc read --format volts --reference 2.048\n"
      "adc read\n"
      "adc write 8310\n"
      "adc capture all.txt\n"
      "adc capture-channel0 zero.txt\n";
  kx::testing::WriteBytes(folder.File("ops.txt"), script);
  const auto tool = ctl::testing::RunTool(
      {"--simulate", "--trace", "tool-trace.txt", "script", "ops.txt"}, folder.Path());
  ASSERT_EQ(tool.status, 0) << tool.err;

  {
    ServerProcess server(folder.Path(), {"--simulate", "--trace", "server-trace.txt"});
    LineClient client(server.Port());
    const std::vector<std::string> lines = {
        "DAC:LOAD 0,#H100,3,#H7FF,15,#HFFF",
        "DAC:LOAD:PULS OFF;:DAC:UPD 1,#H200;:DAC:LOAD:PULS ON",
        "dac:update 2,768",
        "DAC:LOAD:PULSE 0;:DAC:LOAD:INP 4,#HABC;:DAC:LOAD:PULS 1",
        "DAC:WRIT HIGH,#H1234ABCD",
        "DAC:PDOW LOW,R100K,1,2",
        "DAC:PDOW HIGH,TST",
        "DAC:LDAC:REG HIGH,8,9",
        "DAC:REF LOW,INT",
        "DAC:REF HIGH,EXTERNAL",
        "DAC:CLE LOW,#H800",
        "DAC:CLEAR:CODE HIGH,4095",
        "LINE:CLR LOW;CLR HIGH;LDAC LOW;LDAC HIGH;LDAC:PULS",
        "ADC:CONF VREF,WEAK,BIN",
    };
    for (const std::string& line : lines) {
      client.Send(line + "\n");
    }
    EXPECT_EQ(Split(client.Ask("ADC:READ:VOLT? 2.048"), ',').size(), 16U);
    EXPECT_EQ(Split(client.Ask("ADC:READ?"), ',').size(), 16U);
    EXPECT_TRUE(client.Ask("ADC:WRIT? #H8310").starts_with("#H"));
    const std::string all = client.Ask("ADC:CAPT? CODES");
    EXPECT_EQ(Split(client.Ask("ADC:CAPT:CHAN0? CODES"), ',').size(), 1024U);
    EXPECT_EQ(client.Ask("SYST:ERR?"), "0,\"No error\"");
    EXPECT_EQ(server.Stop(SIGTERM), 0);
    // The capture's numbers are those of the tool's file.
    std::string file_numbers;
    for (const std::string& line :
         kx::testing::SplitLines(kx::testing::ReadBytes(folder.File("all.txt")))) {
      for (const std::string& cell : Split(line, '\t')) {
        if (!cell.empty() && cell != "\r") {
          file_numbers += (file_numbers.empty() ? "" : ",") + cell;
        }
      }
    }
    EXPECT_EQ(all, file_numbers);
  }
  const std::vector<std::string> tool_requests =
      CommandRequests(kx::testing::ReadBytes(folder.File("tool-trace.txt")));
  const std::vector<std::string> server_requests =
      CommandRequests(kx::testing::ReadBytes(folder.File("server-trace.txt")));
  ASSERT_GT(tool_requests.size(), 9000U);
  ASSERT_EQ(server_requests.size(), tool_requests.size());
  for (std::size_t i = 0; i < tool_requests.size(); ++i) {
    ASSERT_EQ(server_requests[i], tool_requests[i]) << "request " << i;
  }
}

struct Usage {
  std::vector<std::string> args;
  std::string message;
};

// The board's calibration (ADC channel 2: 40 LSB, 2 %) in the volt queries
// with serve's default, and left out with --calibration none.
TEST(ScpiServerTest, TheVoltQueriesAreCalibratedUnlessToldNone) {
  TempFolder folder;
  kx::testing::WriteBytes(folder.File("one.json"), R"({"inputs": {"2": 1.0}})");
  ASSERT_EQ(
      ctl::testing::RunTool({"--simulate", "calibration", "save", "--adc", "2:40:2"}, folder.Path())
          .status,
      0);
  for (const bool applied : {true, false}) {
    ServerProcess server(
        folder.Path(), {"--simulate", "--sim-settings", "one.json"},
        applied ? std::vector<std::string>{} : std::vector<std::string>{"--calibration", "none"});
    LineClient client(server.Port());
    EXPECT_EQ(Split(client.Ask("ADC:READ:VOLT?"), ',').at(2), applied ? "0.932" : "1.000");
    EXPECT_EQ(client.Ask("ADC:CAL?") != "\"\"", applied);
    EXPECT_EQ(server.Stop(SIGTERM), 0);
    EXPECT_EQ(server.Log().find("calibration: ") != std::string::npos, applied) << server.Log();
  }
  std::filesystem::remove_all(kx::testing::PrivateConfigHome() / "kx7312");
}

TEST(ScpiServerTest, BadServeUsageStopsBeforeTheBoardWithStatus2) {
  TempFolder folder;
  const std::vector<Usage> cases = {
      {{"serve", "--listen", "127.0.0.1"}, "expected ADDR:PORT"},
      {{"serve", "--listen", "127.0.0.1:65536"}, "the port must be a number from 0 to 65535"},
      {{"serve", "--listen", "127.0.0.1:-1"}, "the port must be"},
      {{"serve", "--listen=local_host:5025"}, "\"local_host\" is no IP address or host name"},
      {{"serve", "--listen", "300.1.1.1:5025"}, "is no IP address"},
      {{"serve", "--listen", "a..b:5025"}, "is no IP address"},
      {{"serve", "--max-clients", "0"}, "--max-clients \"0\": a whole number from 1 to 10000"},
      {{"serve", "--max-clients=many"}, "--max-clients \"many\""},
      {{"serve", "--port", "5025"}, "unexpected \"--port\""},
      {{"serve", "--listen"}, "unexpected \"--listen\""},
      {{"serve", "--log-folder", "no such folder"}, "--log-folder \"no such folder\" is no folder"},
      {{"serve", "--log-folder"}, "unexpected \"--log-folder\""},
      {{"--json", "serve"}, "--json has no meaning"},
      {{"serve", "--vxi11", "--no-vxi11"}, "--no-vxi11 contradicts --vxi11"},
      {{"serve", "--no-vxi11", "--portmapper", "127.0.0.1:0"}, "contradicts --portmapper"},
  };
  for (const Usage& usage : cases) {
    std::vector<std::string> args = {"--simulate", "--trace", "t.txt"};
    args.insert(args.end(), usage.args.begin(), usage.args.end());
    const auto run = ctl::testing::RunTool(args, folder.Path());
    EXPECT_EQ(run.status, 2) << usage.message;
    EXPECT_NE(run.err.find(usage.message), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder.File("t.txt"))) << usage.message;
  }
}

TEST(ScpiServerTest, AHostNameIsListenedOnAtItsIpv4Address) {
  TempFolder folder;
  ServerProcess server(folder.Path(), SimArgs(), {"--listen", "localhost:0"});
  LineClient client(server.Port());
  EXPECT_EQ(client.Ask("*OPC?"), "1");
}

TEST(ScpiServerTest, AnAbsentBoardStopsTheServerAtItsStartUp) {
  TempFolder folder;
  kx::testing::WriteBytes(folder.File("absent.json"), "{\"present\": false}");
  const auto run = ctl::testing::RunTool(
      {"--simulate", "--sim-settings", "absent.json", "serve", "--listen", "127.0.0.1:0"},
      folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("kx7312ctl: start-up: "), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
}

}  // namespace
}  // namespace kx::scpi
