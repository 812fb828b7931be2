// The whole chain as a test bench runs it: kx7312ctl captures a simulated
// sine with noise, with its metadata, and kx7312-view's report of the file
// gives the SNR that the simulated board's settings imply.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "adc/capture_metadata.h"
#include "adc/sample_file.h"
#include "support/log_text.h"
#include "support/temp_folder.h"

namespace kx::view {
namespace {

struct ProcessRun {
  int status;
  std::string out;
  std::string err;
};

std::string Quoted(const std::string& word) {
  std::string quoted = "'";
  for (const char c : word) {
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  }
  return quoted + "'";
}

// The program run through the shell in `folder`, with no display at all.
ProcessRun RunIn(const std::filesystem::path& folder, const std::string& program,
                 const std::vector<std::string>& args) {
  const auto out = folder / ".out";
  const auto err = folder / ".err";
  std::string command = "cd " + Quoted(folder.string()) +
                        " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                        Quoted(program);
  for (const std::string& arg : args) {
    command += " " + Quoted(arg);
  }
  command += " >" + Quoted(out.string()) + " 2>" + Quoted(err.string());
  const int raw = std::system(command.c_str());
  return ProcessRun{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, kx::testing::ReadBytes(out.string()),
                    kx::testing::ReadBytes(err.string())};
}

// A sine of 2 V amplitude around 2.5 V on the 5 V span ("0V to 2xVREFA"
// on 2.5 V): 1638.4 LSB; noise of 2 LSB over the quantisation's 1/12 LSB^2.
constexpr double kAmplitudeLsb = 2.0 / 5.0 * 4096.0;
constexpr double kNoiseLsb = 2.0;
const double kExpectedSnr =
    10 * std::log10(kAmplitudeLsb * kAmplitudeLsb / 2 / (kNoiseLsb * kNoiseLsb + 1.0 / 12));

void WriteSettings(const std::string& path, int channels) {
  nlohmann::json inputs = nlohmann::json::object();
  for (int c = 0; c < channels; ++c) {
    inputs[std::to_string(c)] = {{"offset", 2.5},    {"amplitude", 2.0},   {"frequency", 0.0605},
                                 {"phase", 0.1 * c}, {"noise", kNoiseLsb}, {"seed", 11 + c}};
  }
  std::ofstream(path) << nlohmann::json{{"inputs", inputs}}.dump();
}

TEST(ViewReport, SnrOfASimulatedSineCapturedWithItsMetadata) {
  const testing::TempFolder folder;
  WriteSettings(folder.File("sine.json"), 16);
  const ProcessRun capture =
      RunIn(folder.Path(), KX7312CTL,
            {"--simulate", "--sim-settings", "sine.json", "adc", "configure", "--coding", "binary",
             "adc", "capture", "cap.txt", "--metadata"});
  ASSERT_EQ(capture.status, 0) << capture.err;
  ASSERT_TRUE(std::filesystem::exists(folder.File("cap.txt.json")));

  // One record of 512 sets estimates the SNR to about 0.5 dB (one standard
  // deviation); the sixteen channels' independent noise averages that down.
  double sum = 0.0;
  for (int channel = 0; channel < 16; ++channel) {
    const ProcessRun report =
        RunIn(folder.Path(), KX7312VIEW,
              {"--report", "cap.txt", "--json", "--channel", std::to_string(channel)});
    ASSERT_EQ(report.status, 0) << report.err;
    const auto json = nlohmann::json::parse(report.out);
    EXPECT_TRUE(json["from_metadata"].get<bool>());
    EXPECT_EQ(json["coding"], "binary");
    EXPECT_EQ(json["spectrum"]["fundamental_bin"], 31);  // 0.0605 * 512 = 30.98
    EXPECT_NEAR(json["statistics"][channel]["mean_volts"].get<double>(), 2.5, 0.01);
    sum += json["spectrum"]["snr_db"].get<double>();
  }
  EXPECT_NEAR(sum / 16, kExpectedSnr, 0.5);
}

TEST(ViewReport, Channel0CaptureOfTheSameSine) {
  const testing::TempFolder folder;
  WriteSettings(folder.File("sine.json"), 1);
  const ProcessRun capture =
      RunIn(folder.Path(), KX7312CTL,
            {"--simulate", "--sim-settings", "sine.json", "adc", "capture-channel0", "ch0.txt"});
  ASSERT_EQ(capture.status, 0) << capture.err;
  const ProcessRun report = RunIn(folder.Path(), KX7312VIEW, {"--report", "ch0.txt"});
  ASSERT_EQ(report.status, 0) << report.err;
  EXPECT_NE(report.out.find("channel-0 capture, 1024 samples"), std::string::npos) << report.out;
  EXPECT_NE(report.out.find("fundamental bin 62"), std::string::npos) << report.out;
  const std::size_t at = report.out.find("SNR ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_NEAR(std::stod(report.out.substr(at + 4)), kExpectedSnr, 0.5);
}

// A capture whose metadata names a calibration: channel 3's volts corrected
// by 10 LSB and +2 %, its codes raw; nominal without one, or on a --range
// other than the one the corrections were measured on.
TEST(ViewReport, VoltsCalibratedWhereTheMetadataNamesTheCalibration) {
  const testing::TempFolder folder;
  adc::SampleSet set;
  set.fill(2053);
  testing::WriteBytes(folder.File("cap.txt"),
                      adc::AllChannelsFileText(std::vector(adc::AllChannelsSampleSets, set)));
  adc::CaptureMetadata metadata;
  metadata.straight_binary = true;
  metadata.reference_volts = 2.5;
  adc::CalibrationNote note{"/cal/S.json", "S", {}, std::nullopt};
  note.adc[3] = board::LineCorrection{10.0, 2.0};
  const struct {
    bool noted;
    std::string range;
    std::string line;  // of the calibration; none without one
    double volts;
  } cases[] = {
      {true, "2xvref", "Calibration: /cal/S.json (board S)\n", 2043 / 1.02 * 5 / 4096},
      {false, "2xvref", "", 2053 * 5.0 / 4096},
      {true, "vref", "Calibration not applied: /cal/S.json holds the corrections of 0V to 2xVREFA",
       2053 * 2.5 / 4096},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    metadata.calibration = c.noted ? std::optional(note) : std::nullopt;
    ASSERT_FALSE(adc::WriteMetadataFile(folder.File("cap.txt"), metadata));
    const ProcessRun text =
        RunIn(folder.Path(), KX7312VIEW, {"--report", "cap.txt", "--range", c.range});
    EXPECT_EQ(text.out.find("Calibration"),
              c.line.empty() ? std::string::npos : text.out.find(c.line))
        << text.out;
    const ProcessRun json =
        RunIn(folder.Path(), KX7312VIEW, {"--report", "cap.txt", "--range", c.range, "--json"});
    const auto doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(doc["statistics"][3]["mean_code"], 2053.0);
    EXPECT_NEAR(doc["statistics"][3]["mean_volts"].get<double>(), c.volts, 1e-9);
    EXPECT_EQ(doc["calibration"].is_null(), !c.line.starts_with("Calibration:"));
  }
}

// Everything short of the window works with no display at all.
TEST(ViewReport, HelpVersionAndMistakesNeedNoDisplay) {
  const testing::TempFolder folder;
  const struct {
    std::vector<std::string> args;
    int status;
    const char* says;  // on standard output for 0, else on standard error
  } cases[] = {
      {{"--help"}, 0, "--follow"},
      {{"--version"}, 0, "kx7312-view 1.05\n"},
      {{"--report", "a.txt", "b.txt"}, 2, "not expected: b.txt"},
      {{"--window", "hamming"}, 2, "--window"},
      {{"missing.txt"}, 1, "cannot read missing.txt"},
      {{"--json", "missing.txt"}, 2, "go with --report"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.front());
    const ProcessRun run = RunIn(folder.Path(), KX7312VIEW, c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.says), std::string::npos)
        << run.out << run.err;
  }
}

TEST(ViewReport, ABadFileStopsWithItsLine) {
  const testing::TempFolder folder;
  testing::WriteBytes(folder.File("bad.txt"), "1\t2\t\r\n");
  const ProcessRun report = RunIn(folder.Path(), KX7312VIEW, {"--report", "bad.txt"});
  EXPECT_EQ(report.status, 1);
  EXPECT_EQ(report.err, "kx7312-view: bad.txt: line 1: it ends after 2 of the 16 codes\n");
  EXPECT_TRUE(report.out.empty());
}

TEST(ViewReport, ALogIsReportedWithoutADisplay) {
  const testing::TempFolder folder;
  const logger::LogLayout layout = testing::LogLayoutOf("version2", 1, {2});
  testing::WriteBytes(folder.File("run.csv"),
                      testing::LogHeadText(layout) + testing::LogRowText(layout, 0, {10}) +
                          testing::LogRowText(layout, 1, {}) +
                          testing::LogRowText(layout, 2, {30}) + "2026-12-08T06:00");
  const ProcessRun text = RunIn(folder.Path(), KX7312VIEW, {"--report", "run.csv"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_NE(text.out.find("run.csv: log of 1 channel, 3 rows (1 gap rows)"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("Last line incomplete (16 bytes), left out"), std::string::npos)
      << text.out;
  const ProcessRun json = RunIn(folder.Path(), KX7312VIEW, {"--report", "run.csv", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["statistics"][0]["channel"], 2);
  EXPECT_DOUBLE_EQ(doc["statistics"][0]["mean_code"].get<double>(), 20.0);
  const ProcessRun channel =
      RunIn(folder.Path(), KX7312VIEW, {"--report", "run.csv", "--channel", "2"});
  EXPECT_EQ(channel.status, 2);
  EXPECT_NE(channel.err.find("a log has no spectrum"), std::string::npos) << channel.err;
}

// kx7312ctl's logger on the simulated board, and the viewer's report of
// what it wrote: the volts the settings fix, on every row.
TEST(ViewReport, ALogFromTheLoggerItself) {
  const testing::TempFolder folder;
  std::ofstream(folder.File("fixed.json")) << R"({"inputs": {"1": 1.25, "4": 3.75}})";
  const ProcessRun log =
      RunIn(folder.Path(), KX7312CTL,
            {"--simulate", "--sim-settings", "fixed.json", "adc", "log", "run.csv", "--every",
             "10ms", "--for", "50ms", "--channels", "1,4", "--average", "3", "--quiet"});
  ASSERT_EQ(log.status, 0) << log.err;
  const ProcessRun report = RunIn(folder.Path(), KX7312VIEW, {"--report", "run.csv", "--json"});
  ASSERT_EQ(report.status, 0) << report.err;
  const auto doc = nlohmann::json::parse(report.out);
  EXPECT_EQ(doc["average"], 3);
  EXPECT_EQ(doc["gap_rows"], 0);
  // A loaded machine may miss a row or two; the report counts what was written.
  EXPECT_GE(doc["rows"].get<int>(), 1);
  ASSERT_EQ(doc["statistics"].size(), 2U);
  EXPECT_EQ(doc["statistics"][1]["channel"], 4);
  EXPECT_EQ(doc["statistics"][1]["count"], doc["rows"]);
  EXPECT_NEAR(doc["statistics"][0]["mean_volts"].get<double>(), 1.25, 0.002);
  EXPECT_NEAR(doc["statistics"][1]["mean_volts"].get<double>(), 3.75, 0.002);
  // Two's complement by default: 1.25 V on the 5 V span is 1024 below mid-scale.
  EXPECT_NEAR(doc["statistics"][0]["mean_code"].get<double>(), -1024.0, 1.0);
}

// The simulated board's seeded errors on ADC1 and DAC1: two missing codes
// and a step down at code 2048.
void WriteSeededErrors(const std::string& path, bool sine) {
  nlohmann::json settings = {
      {"errors",
       {{"adc", {{"1", {{"dnl", 0.2}, {"seed", 7}, {"missing_codes", {1000, 3001}}}}}},
        {"dac",
         {{"1",
           {{"dnl", 0.1}, {"seed", 3}, {"non_monotonic", {{"code", 2048}, {"step", -0.5}}}}}}}}}};
  if (sine) {
    settings["inputs"] = {
        {"1", {{"offset", 1.25}, {"amplitude", 1.27}, {"frequency", 0.3819660113}, {"seed", 1}}}};
  }
  std::ofstream(path) << settings.dump();
}

TEST(ViewReport, AnAdcHistogramResultOfTheSimulatedBoard) {
  const testing::TempFolder folder;
  WriteSeededErrors(folder.File("seeded.json"), true);
  const ProcessRun test =
      RunIn(folder.Path(), KX7312CTL,
            {"--simulate", "--sim-settings", "seeded.json", "adc", "configure", "--range", "vref",
             "adc", "histogram", "--channel", "1", "--samples", "262144", "--out", "adc1.csv"});
  ASSERT_EQ(test.status, 0) << test.err;
  const ProcessRun text = RunIn(folder.Path(), KX7312VIEW, {"--report", "adc1.csv"});
  ASSERT_EQ(text.status, 0) << text.err;
  EXPECT_EQ(text.out.rfind("adc1.csv: ADC histogram of ADC1 (0V to VREFA, 2's Compliment)\n", 0),
            0U)
      << text.out;
  EXPECT_NE(text.out.find("Missing codes: 1000, 3001\n"), std::string::npos) << text.out;
  const ProcessRun json = RunIn(folder.Path(), KX7312VIEW, {"--report", "adc1.csv.json", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["missing_codes"], nlohmann::json({1000, 3001}));
  EXPECT_EQ(doc["samples"], 262144);
  EXPECT_NEAR(doc["dnl_rms"].get<double>(), 0.2, 0.05);
}

TEST(ViewReport, ADacSweepResultOfTheSimulatedBoard) {
  const testing::TempFolder folder;
  WriteSeededErrors(folder.File("wired.json"), false);
  const ProcessRun test = RunIn(folder.Path(), KX7312CTL,
                                {"--simulate", "--sim-settings", "wired.json", "adc", "configure",
                                 "--range", "vref", "dac", "sweep", "--channel", "1", "--codes",
                                 "1984:2112:1", "--average", "16", "--out", "sweep.csv"});
  ASSERT_EQ(test.status, 0) << test.err;
  const ProcessRun json = RunIn(folder.Path(), KX7312VIEW, {"--report", "sweep.csv", "--json"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["kind"], "dac-sweep");
  EXPECT_EQ(doc["points"], 129);
  EXPECT_FALSE(doc["adc_taken_out"].get<bool>());
  EXPECT_EQ(doc["falls"], nlohmann::json({2048}));
  const ProcessRun channel =
      RunIn(folder.Path(), KX7312VIEW, {"--report", "sweep.csv", "--channel", "1"});
  EXPECT_EQ(channel.status, 2);
  EXPECT_NE(channel.err.find("a linearity result has no spectrum"), std::string::npos)
      << channel.err;
}

}  // namespace
}  // namespace kx::view
