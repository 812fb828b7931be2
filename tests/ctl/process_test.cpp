// The built kx7312ctl run as an engineer runs it, on the simulated board:
// exit statuses, the trace it leaves, scripts, and the README's example.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "ctl_rig.h"
#include "tool_process.h"

namespace kx::ctl {
namespace {

using testing::RunTool;
using testing::ToolRun;
using Lines = std::vector<std::string>;

std::size_t Count(const Lines& lines, const std::string& part) {
  return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const auto& line) {
    return line.find(part) != std::string::npos;
  }));
}

// The trace's request lines after the start-up's five.
Lines CommandRequests(const std::string& trace) {
  Lines requests;
  for (const std::string& line : testing::SplitLines(trace)) {
    if (line.starts_with("request ")) {
      requests.push_back(line);
    }
  }
  requests.erase(requests.begin(),
                 requests.begin() + std::min<std::ptrdiff_t>(5, std::ssize(requests)));
  return requests;
}

TEST(CtlProcessTest, TheTraceHoldsThePanelsWordsForTheSameSettings) {
  testing::TempFolder folder;
  const ToolRun run = RunTool(
      {"--simulate", "--trace", "trace.txt", "dac", "load", "3=7FF", "dac", "power-down", "high",
       "1k", "8", "11", "dac", "write", "high", "1234ABCD", "adc", "configure", "--weak"},
      folder.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const Lines requests = CommandRequests(testing::ReadBytes(folder.File("trace.txt")));
  ASSERT_EQ(requests.size(), 17U + 3U);
  EXPECT_EQ(requests[0], "request handle=1 code=0xD9 value=0x0000 index=0 dir=0 len=0 status=0");
  EXPECT_EQ(requests[3], "request handle=1 code=0xD9 value=0xFF00 index=55 dir=0 len=0 status=0");
  EXPECT_EQ(requests[16], "request handle=1 code=0xDE value=0x0000 index=0 dir=0 len=0 status=0");
  EXPECT_EQ(requests[17],
            "request handle=1 code=0xDA value=0x0109 index=1024 dir=0 len=0 status=0");
  EXPECT_EQ(requests[18],
            "request handle=1 code=0xDA value=0xABCD index=4660 dir=0 len=0 status=0");
  EXPECT_TRUE(requests[19].starts_with(
      "request handle=1 code=0xE4 value=0x83C0 index=0 dir=1 len=3 status=0 data="))
      << requests[19];
  EXPECT_EQ(testing::SplitLines(run.out).back(),
            "ADC configuration 0x83C0: 0V to 2xVREFA, Weak, 2's Compliment");
}

// A load in volts sends exactly the words of the load of its nearest codes,
// and the ADC channel wired to the DAC reads back what was asked; beyond the
// range it sends nothing.
TEST(CtlProcessTest, VoltsGoOutAsTheWordsOfTheirNearestCodes) {
  testing::TempFolder volts;
  testing::TempFolder codes;
  const ToolRun run =
      RunTool({"--simulate", "--trace", "trace.txt", "dac", "load", "3=1.25V", "12=-0.3mV", "4=7FF",
               "adc", "read", "--channel", "3", "--format", "volts"},
              volts.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(
      RunTool({"--simulate", "--trace", "trace.txt", "dac", "load", "3=0x800", "12=0", "4=7FF"},
              codes.Path())
          .status,
      0);
  Lines requests = CommandRequests(testing::ReadBytes(volts.File("trace.txt")));
  requests.resize(requests.size() - 2);  // the ADC read's two words
  EXPECT_EQ(requests, CommandRequests(testing::ReadBytes(codes.File("trace.txt"))));
  const Lines out = testing::SplitLines(run.out);
  ASSERT_GT(out.size(), 2U);
  EXPECT_EQ(Lines(out.begin(), out.begin() + 2),
            (Lines{"DAC3 1.2500 V: code 0x800 = 1.2500 V (DAC0-7's external 2.5 V reference)",
                   "DAC12 -0.0003 V: code 0x000 = 0.0000 V (DAC8-15's external 2.5 V reference)"}));
  EXPECT_EQ(out.back(), "ADC3 1.250");

  // One entry beyond its range: nothing is sent, and the message names it.
  const ToolRun beyond = RunTool(
      {"--simulate", "--trace", "beyond.txt", "dac", "load", "4=1", "11=2.6V"}, volts.Path());
  EXPECT_EQ(beyond.status, 1);
  EXPECT_EQ(beyond.out, "");
  EXPECT_EQ(beyond.err,
            "kx7312ctl: dac load: DAC11: 2.6000 V is outside 0.0000 V to 2.4994 V on DAC8-15's "
            "external 2.5 V reference\nkx7312ctl: stopped; nothing more was sent\n");
  EXPECT_TRUE(CommandRequests(testing::ReadBytes(volts.File("beyond.txt"))).empty());
}

// DAC3 entered as 2 LSB and 1 % high against a measured 2.6 V DAC0-7
// reference: the correction on either reference, the measured one only on
// the external; none with --calibration none.
TEST(CtlProcessTest, VoltsGoThroughTheBoardsCalibrationUnlessToldNone) {
  testing::TempFolder folder;
  const Lines calibrate = {"--simulate", "calibration",     "save",   "--dac",
                           "3:2:1",      "--dac-reference", "low:2.6"};
  ASSERT_EQ(RunTool(calibrate, folder.Path()).status, 0);
  const struct {
    const char* words;
    const char* line;
    bool applied;
  } rows[] = {
      {"dac load 3=1.25V",
       "DAC3 1.2500 V: code 0x79C = 1.2502 V (DAC0-7's external 2.6 V reference, calibrated)",
       true},
      {"dac load 3=1.25V --calibration none",
       "DAC3 1.2500 V: code 0x800 = 1.2500 V (DAC0-7's external 2.5 V reference)", false},
      {"dac reference low internal dac load 3=1.25V",
       "DAC3 1.2500 V: code 0x7EA = 1.2502 V (DAC0-7's internal 2.5 V reference, calibrated)",
       true},
      {"dac load 12=1.25V",
       "DAC12 1.2500 V: code 0x800 = 1.2500 V (DAC8-15's external 2.5 V reference)", true},
  };
  for (const auto& row : rows) {
    Lines words = {"--simulate"};
    std::istringstream in(row.words);
    for (std::string word; in >> word;) {
      words.push_back(word);
    }
    const ToolRun run = RunTool(words, folder.Path());
    EXPECT_NE(run.out.find(row.line), std::string::npos) << row.words << ": " << run.out;
    EXPECT_EQ(run.err.starts_with("kx7312ctl: calibration: "), row.applied) << run.err;
  }
  EXPECT_EQ(RunTool({"--simulate", "calibration", "clear"}, folder.Path()).status, 0);
}

TEST(CtlProcessTest, AHundredLineScriptRunsOnOneStartUp) {
  testing::TempFolder folder;
  std::string script = "# one hundred commands\n";
  for (int i = 0; i < 25; ++i) {
    script += "dac load " + std::to_string(i % 16) + "=" + std::to_string(100 + i) + "\n";
    script += "line pulse-ldac   # by hand as well\n";
    script += "adc read --format dec\n";
    script += "adc write 8310\n";
  }
  testing::WriteBytes(folder.File("run.txt"), script);
  const ToolRun run =
      RunTool({"--simulate", "--trace", "trace.txt", "script", "run.txt"}, folder.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  const Lines trace = testing::SplitLines(testing::ReadBytes(folder.File("trace.txt")));
  EXPECT_EQ(Count(trace, "download "), 1U);
  EXPECT_EQ(Count(trace, "code=0xE0"), 1U);
  EXPECT_EQ(Count(trace, "code=0xDE"), 50U);
  EXPECT_EQ(Count(trace, "code=0xE4"), 4U + 25U * (17U + 1U));
  EXPECT_EQ(testing::SplitLines(run.out).size(), 25U * (3U + 1U + 16U + 1U));
}

TEST(CtlProcessTest, AScriptOnStandardInputAndJsonLines) {
  testing::TempFolder folder;
  const ToolRun run = RunTool({"--json", "--simulate", "script", "-"}, folder.Path(),
                              "adc configure --coding binary\r\nadc read --reference 2.5\r\n");
  ASSERT_EQ(run.status, 0) << run.err;
  const Lines lines = testing::SplitLines(run.out);
  ASSERT_EQ(lines.size(), 2U);
  const nlohmann::json read = nlohmann::json::parse(lines[1]);
  EXPECT_EQ(read["command"], "adc read");
  EXPECT_EQ(read["source"], "<stdin>:2");
  EXPECT_EQ(read["volts"].size(), 16U);
  EXPECT_EQ(read["requests"], 17);
}

TEST(CtlProcessTest, AnAbsentBoardIsStatusOneWithAMessage) {
  testing::TempFolder folder;
  testing::WriteBytes(folder.File("absent.json"), R"({"present": false})");
  const ToolRun run = RunTool({"--simulate", "--sim-settings", "absent.json", "--trace",
                               "trace.txt", "dac", "load", "3=7FF", "adc", "read"},
                              folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("No Evaluation Board Found"), std::string::npos) << run.err;
  const Lines trace = testing::SplitLines(testing::ReadBytes(folder.File("trace.txt")));
  EXPECT_EQ(Count(trace, "request "), 0U);
}

// The commands run to their end without the trace; the call then says, once,
// that the trace is incomplete, and does not pass for a clean run.
TEST(CtlProcessTest, ATraceThatCannotBeWrittenIsStatusOneWithTheReasonAtTheEnd) {
  if (!std::filesystem::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full here";
  }
  testing::TempFolder folder;
  const ToolRun run =
      RunTool({"--simulate", "--trace", "/dev/full", "adc", "write", "8310"}, folder.Path());
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(testing::SplitLines(run.out).size(), 1U) << run.out;
  EXPECT_EQ(run.err,
            "kx7312ctl: the trace file /dev/full could not be written (No space left on device): "
            "it ends before the first call it could not record\n");
}

TEST(CtlProcessTest, BadUsageIsStatusTwoNamingTheWordAndSendsNothing) {
  testing::TempFolder folder;
  const ToolRun run = RunTool({"--simulate", "--trace", "trace.txt", "line", "pulse-ldac", "adc",
                               "read", "--format", "oct"},
                              folder.Path());
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "kx7312ctl: adc read: \"oct\" is not a format: hex, dec or volts\n");
  EXPECT_FALSE(std::filesystem::exists(folder.File("trace.txt")));

  EXPECT_EQ(RunTool({"--simulate"}, folder.Path()).status, 2);
  EXPECT_EQ(RunTool({"--edition", "v3", "adc", "read"}, folder.Path()).status, 2);
  testing::WriteBytes(folder.File("bad.txt"), "adc read\ndac load 20=1\n");
  const ToolRun script = RunTool({"--simulate", "script", "bad.txt"}, folder.Path());
  EXPECT_EQ(script.status, 2);
  EXPECT_EQ(script.err, "kx7312ctl: bad.txt:2: dac load: \"20\" is not a channel number 0-15\n");
}

// The text of the first ``` block after `marker`, and what follows the marker
// on its own line.
struct Block {
  std::string label;
  std::string text;
};

Block BlockAfter(const std::string& readme, const std::string& marker) {
  const std::size_t at = readme.find(marker);
  if (at == std::string::npos) {
    ADD_FAILURE() << "README.md has no " << marker;
    return {};
  }
  const std::size_t label_end = readme.find(" -->", at);
  const std::size_t open = readme.find("```", at);
  const std::size_t body = readme.find('\n', open) + 1;
  const std::size_t close = readme.find("\n```", body);
  return {readme.substr(at + marker.size(), label_end - at - marker.size()),
          readme.substr(body, close + 1 - body)};
}

TEST(CtlProcessTest, TheReadmesScriptingExamplePrintsWhatTheReadmeShows) {
  const std::string readme = testing::ReadBytes(std::string(KX_SOURCE_DIR) + "/README.md");
  const Block script = BlockAfter(readme, "<!-- kx7312ctl example script: ");
  const Block output = BlockAfter(readme, "<!-- kx7312ctl example output");
  ASSERT_FALSE(script.label.empty());

  // "$ kx7312ctl --simulate script staircase.txt", then what it prints.
  const std::size_t first_end = output.text.find('\n');
  const std::string command = output.text.substr(0, first_end);
  const std::string expected = output.text.substr(first_end + 1);
  ASSERT_TRUE(command.starts_with("$ kx7312ctl ")) << command;
  std::istringstream words(command.substr(12));
  const std::vector<std::string> args{std::istream_iterator<std::string>(words),
                                      std::istream_iterator<std::string>()};

  testing::TempFolder folder;
  testing::WriteBytes(folder.File(script.label), script.text);
  const ToolRun run = RunTool(args, folder.Path());
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, expected);
  EXPECT_EQ(testing::SplitLines(testing::ReadBytes(folder.File("samples.txt"))).size(), 512U);
}

}  // namespace
}  // namespace kx::ctl
