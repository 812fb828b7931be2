// Calibration kept per board, through the built kx7312ctl on the simulated
// board "SIM-0001": the commands that keep it, the histogram that measures
// it, and the volts it corrects, in a home folder of the test's own.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "ctl_rig.h"
#include "support/config_home.h"
#include "tool_process.h"

namespace kx::ctl {
namespace {

using testing::RunTool;
using testing::ToolRun;
using Json = nlohmann::json;

std::filesystem::path BoardFile() {
  return kx::testing::PrivateConfigHome() / "kx7312" / "calibration" / "SIM-0001.json";
}

// A calibration folder as empty as the test's home.
void ForgetCalibration() {
  std::filesystem::remove_all(BoardFile().parent_path());
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words = {"--simulate"};
  std::istringstream in(line);
  for (std::string word; in >> word;) {
    words.push_back(word);
  }
  return words;
}

struct Step {
  const char* command;
  int status;
  const char* shown;   // in standard output, or standard error on a failure
  const char* absent;  // "" for none
};

TEST(CalibrationProcessTest, TheCommandsKeepTheBoardsFile) {
  const testing::TempFolder folder;
  ForgetCalibration();
  const Step steps[] = {
      {"calibration show", 0, "no calibration for board SIM-0001 (", ""},
      {"calibration clear", 0, "nothing to clear: no calibration for board SIM-0001", ""},
      {"calibration save --adc 3:1.5:-0.2 --range vref", 0, "saved adc 3 on 0V to VREFA for board",
       ""},
      {"calibration save --dac 12:-2:0.3 --dac-reference high:2.49", 0,
       "saved dac 12, the DAC8-15 reference", ""},
      {"calibration save --adc 3:4000:0", 2, "the offset must be from -2048 to 2048 LSB", ""},
      {"calibration show", 0, "adc 3 on 0V to VREFA: offset 1.500 LSB, gain -0.200 % (entered, ",
       "no calibration"},
      {"calibration clear --adc 3", 0, "removed adc 3 on 0V to VREFA", ""},
      {"calibration show", 0, "dac 12: offset -2.000 LSB, gain 0.300 % (entered, ", "adc 3"},
      {"calibration clear", 0, "removed the whole file", ""},
      {"calibration show", 0, "no calibration for board SIM-0001", ""},
  };
  for (const Step& step : steps) {
    const ToolRun run = RunTool(Words(step.command), folder.Path());
    EXPECT_EQ(run.status, step.status) << step.command << ": " << run.err;
    const std::string& shown = step.status == 0 ? run.out : run.err;
    EXPECT_NE(shown.find(step.shown), std::string::npos) << step.command << ": " << shown;
    if (*step.absent != '\0') {
      EXPECT_EQ(shown.find(step.absent), std::string::npos) << step.command << ": " << shown;
    }
  }
  // A damaged file is told and left as it is, never replaced.
  std::filesystem::create_directories(BoardFile().parent_path());
  kx::testing::WriteBytes(BoardFile().string(), "{");
  const ToolRun damaged = RunTool(Words("calibration save --adc 1:0:0"), folder.Path());
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("not valid JSON"), std::string::npos) << damaged.err;
  EXPECT_EQ(kx::testing::ReadBytes(BoardFile().string()), "{");
  // So is a board that could not be told apart from the others.
  testing::CtlRig unnamed;
  EXPECT_EQ(unnamed.Run("calibration show"), 1);
  EXPECT_NE(unnamed.err.find("give --board-name NAME"), std::string::npos) << unnamed.err;
  ForgetCalibration();
}

// ADC channel 2 off by 8 LSB and 1 % on the 0 to VREF range: fed with a sine
// for the histogram, then with a fixed 2.0 V for the reads.
std::string SeededBoard(const std::string& input) {
  return R"({"inputs": {"2": )" + input +
         R"(}, "errors": {"adc": {"2": {"offset": 8, "gain": 1, "seed": 3, "noise": 0.3}}}})";
}

double ReadVolts(const testing::TempFolder& folder, const std::string& calibration) {
  const ToolRun run = RunTool(Words("--json --sim-settings fixed.json adc configure --range vref "
                                    "adc read --format volts --channel 2 --calibration " +
                                    calibration),
                              folder.Path());
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = testing::SplitLines(run.out);
  return lines.empty() ? 0.0 : Json::parse(lines.back())["volts"][0].get<double>();
}

TEST(CalibrationProcessTest, AHistogramsCalibrationBringsTheReadsToTheInput) {
  const testing::TempFolder folder;
  ForgetCalibration();
  kx::testing::WriteBytes(folder.File("sine.json"),
                          SeededBoard(R"({"offset": 1.25, "amplitude": 1.27, )"
                                      R"("frequency": 0.3819660113, "seed": 1})"));
  kx::testing::WriteBytes(folder.File("fixed.json"), SeededBoard("2.0"));
  const ToolRun measured =
      RunTool(Words("--sim-settings sine.json adc configure --range vref adc histogram --channel 2 "
                    "--samples 1048576 --input 1.25:1.27 --save-calibration"),
              folder.Path());
  ASSERT_EQ(measured.status, 0) << measured.err;
  const Json saved = Json::parse(kx::testing::ReadBytes(BoardFile().string()));
  ASSERT_EQ(saved["adc"].size(), 1U);
  const Json& entry = saved["adc"][0];
  EXPECT_EQ(entry["range"], "0V to VREFA");
  EXPECT_EQ(entry["method"], "adc histogram");
  EXPECT_EQ(entry["reference_volts"], 2.5);
  EXPECT_NEAR(entry["offset_lsb"].get<double>(), 8.0, 0.5);
  EXPECT_NEAR(entry["gain_percent"].get<double>(), 1.0, 0.05);
  // 2.0 V reads 8 LSB and 1 % high without it, within noise with it.
  EXPECT_NEAR(ReadVolts(folder, "none"), 2.0 * 1.01 + 8 * 2.5 / 4096, 0.002);
  EXPECT_NEAR(ReadVolts(folder, "auto"), 2.0, 0.002);
  const ToolRun refused =
      RunTool(Words("adc histogram --channel 2 --samples 4096 --save-calibration"), folder.Path());
  EXPECT_EQ(refused.status, 2);
  EXPECT_NE(refused.err.find("--save-calibration needs --input"), std::string::npos);
  ForgetCalibration();
}

// An entered calibration of ADC channel 2 (40 LSB, 2 %, the reference
// measured at 2.4 V) against 1.0 V on it: applied by default, left out with
// --calibration none. A capture's metadata records the reference used.
struct FrontEnd {
  const char* command;  // after the board's options
  const char* file;     // where the volts are, "" for standard output
  const char* calibrated;
  const char* nominal;
};

TEST(CalibrationProcessTest, ReadsLogsAndCapturesApplyTheCalibrationUnlessToldNone) {
  const testing::TempFolder folder;
  ForgetCalibration();
  kx::testing::WriteBytes(folder.File("one.json"), R"({"inputs": {"2": 1.0}})");
  ASSERT_EQ(
      RunTool(Words("calibration save --adc 2:40:2 --adc-reference 2.4"), folder.Path()).status, 0);
  const FrontEnd rows[] = {
      {"adc read --format volts --channel 2", "", "ADC2 0.895\n", "ADC2 1.000\n"},
      // An interval longer than the run: its one row comes however slowly
      // the program starts (the sanitizers' build), where a 1 ms interval
      // already past would be skipped.
      {"adc log log.csv --every 1h --for 1ms --channels 2 --quiet --overwrite", "log.csv",
       ",-1229,0.894991\n", ",-1229,0.999756\n"},
      {"adc capture samples.txt --metadata", "samples.txt.json", "\"reference_volts\": 2.4,",
       "\"reference_volts\": 2.5,"},
  };
  for (const FrontEnd& row : rows) {
    for (const bool applied : {true, false}) {
      const ToolRun run = RunTool(Words(std::string("--sim-settings one.json ") + row.command +
                                        (applied ? "" : " --calibration none")),
                                  folder.Path());
      ASSERT_EQ(run.status, 0) << row.command << ": " << run.err;
      const std::string shown =
          *row.file == '\0' ? run.out : kx::testing::ReadBytes(folder.File(row.file));
      EXPECT_NE(shown.find(applied ? row.calibrated : row.nominal), std::string::npos)
          << row.command << " applied=" << applied << ": " << shown;
      EXPECT_EQ(run.err.find("kx7312ctl: calibration: ") != std::string::npos, applied) << run.err;
    }
  }
  ForgetCalibration();
}

}  // namespace
}  // namespace kx::ctl
