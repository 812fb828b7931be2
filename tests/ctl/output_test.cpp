// The documented output: the keys of every command's JSON object, in order,
// and the plain lines for people.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "commands/exit_status.h"
#include "ctl_rig.h"

namespace kx::ctl {
namespace {

using testing::CtlRig;
using Keys = std::vector<std::string>;
using Json = nlohmann::ordered_json;

Keys KeysOf(const Json& object) {
  Keys keys;
  for (const auto& item : object.items()) {
    keys.push_back(item.key());
  }
  return keys;
}

struct KeyCase {
  const char* command;
  Keys keys;
};

class CtlJsonKeysTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(CtlJsonKeysTest, OneObjectPerCommandWithTheDocumentedKeys) {
  testing::TempFolder folder;
  std::string command = GetParam().command;
  if (const std::size_t at = command.find("FILE"); at != std::string::npos) {
    command.replace(at, 4, folder.File("samples.dat"));
  }
  CtlRig rig;
  ASSERT_EQ(rig.Run(command, true), ExitSuccess) << rig.err;
  const std::vector<std::string> lines = testing::SplitLines(rig.out);
  ASSERT_EQ(lines.size(), 1U) << rig.out;
  const Json object = Json::parse(lines[0]);
  EXPECT_EQ(KeysOf(object), GetParam().keys);
  EXPECT_EQ(object["ok"], true);
  EXPECT_EQ(object["source"], "command line");
  if (object.contains("sent")) {
    EXPECT_EQ(object["sent"].size(), object["requests"]);
  }
}

const Keys kEnd = {"requests", "sent"};

Keys With(Keys middle, const Keys& end = kEnd) {
  Keys keys = {"command", "source", "ok"};
  keys.insert(keys.end(), middle.begin(), middle.end());
  keys.insert(keys.end(), end.begin(), end.end());
  return keys;
}

INSTANTIATE_TEST_SUITE_P(
    EveryCommand, CtlJsonKeysTest,
    ::testing::Values(
        KeyCase{"dac load 1=1", With({"register", "loaded", "pulse"})},
        KeyCase{"dac write low 1", With({"group", "word"})},
        KeyCase{"dac power-down low 1k 1", With({"group", "mode", "channels", "saved_masks"})},
        KeyCase{"dac ldac-register low 1", With({"group", "channels"})},
        KeyCase{"dac reference low internal", With({"group", "reference"})},
        KeyCase{"dac clear-code low 0x0800", With({"group", "clear_code"})},
        KeyCase{"line pulse-ldac", With({})},
        KeyCase{"adc configure --weak", With({"word", "range", "weak", "coding"})},
        KeyCase{"adc read", With({"reference_volts", "calibration", "codes", "volts"})},
        KeyCase{"adc write 8310", With({"word", "reply"})},
        KeyCase{"adc capture FILE", With({"file", "transfers", "calibration"}, {"requests"})},
        KeyCase{"adc capture-channel0 FILE",
                With({"file", "transfers", "calibration"}, {"requests"})}));

TEST(CtlJsonTest, ValuesCarryTheWordsRepliesCodesAndVolts) {
  board::sim::SimSettings settings;
  settings.inputs = {{0, 1.25}, {15, 4.0}};
  settings.adc_reference = 5.0;  // the converter's, to agree with --reference 5
  CtlRig rig(Version2Edition, settings);
  ASSERT_EQ(rig.Run("dac load 3=7FF 12=FFF --no-pulse adc configure --range vref --coding binary "
                    "adc read --reference 5 dac power-down high 100k 9",
                    true),
            ExitSuccess)
      << rig.err;
  const std::vector<std::string> lines = testing::SplitLines(rig.out);
  ASSERT_EQ(lines.size(), 4U);

  const Json load = Json::parse(lines[0]);
  EXPECT_EQ(load["command"], "dac load");
  EXPECT_EQ(load["register"], "input");
  EXPECT_EQ(load["loaded"],
            Json::parse(R"([{"channel":3,"code":2047},{"channel":12,"code":4095}])"));
  EXPECT_EQ(load["pulse"], false);
  EXPECT_EQ(load["requests"], 16);
  EXPECT_EQ(
      load["sent"][3],
      Json::parse(R"({"request":"0xD9","name":"DacLowRequest","word":"0x0037FF00","status":0})"));
  EXPECT_EQ(load["sent"][12]["word"], "0x004FFF00");

  const Json configure = Json::parse(lines[1]);
  EXPECT_EQ(configure["word"], "0x000083B0");
  EXPECT_EQ(configure["range"], "vref");
  EXPECT_EQ(configure["weak"], false);
  EXPECT_EQ(configure["coding"], "binary");

  const Json read = Json::parse(lines[2]);
  EXPECT_EQ(read["reference_volts"], 5.0);
  ASSERT_EQ(read["codes"].size(), 16U);
  ASSERT_EQ(read["volts"].size(), 16U);
  EXPECT_EQ(read["codes"][0], 1024);  // 1.25 V of a 5 V span
  EXPECT_EQ(read["volts"][0], 1.25);
  EXPECT_EQ(read["codes"][15], 3277);
  EXPECT_EQ(read["volts"][15], 4.0);
  EXPECT_EQ(read["sent"][0]["word"], "0xFFFF8330");
  EXPECT_EQ(read["sent"][0]["reply"].get<std::string>().size(), 6U);

  const Json power_down = Json::parse(lines[3]);
  EXPECT_EQ(power_down["group"], "high");
  EXPECT_EQ(power_down["mode"], "100k");
  EXPECT_EQ(power_down["channels"], Json::parse("[9]"));
  EXPECT_EQ(power_down["saved_masks"], Json::parse("[0,0,2,0]"));
}

TEST(CtlJsonTest, ClassicHasNoCodingNoReferenceAndNoVolts) {
  CtlRig rig(ClassicEdition);
  ASSERT_EQ(rig.Run("adc configure --weak adc read", true), ExitSuccess) << rig.err;
  const std::vector<std::string> lines = testing::SplitLines(rig.out);
  ASSERT_EQ(lines.size(), 2U);
  EXPECT_EQ(Json::parse(lines[0])["word"], "0xFFFF83D0");
  EXPECT_TRUE(Json::parse(lines[0])["coding"].is_null());
  EXPECT_TRUE(Json::parse(lines[1])["reference_volts"].is_null());
  EXPECT_TRUE(Json::parse(lines[1])["volts"].is_null());
  EXPECT_EQ(Json::parse(lines[1])["codes"].size(), 16U);
}

TEST(CtlJsonTest, TheReferenceCountsWithTheTwoDecimalsThePanelsBoxKeeps) {
  board::sim::SimSettings settings;
  settings.inputs = {{0, 1.25}};
  CtlRig rig(Version2Edition, settings);
  ASSERT_EQ(rig.Run("adc configure --coding binary adc read --reference 2.048", true), ExitSuccess);
  const Json read = Json::parse(testing::SplitLines(rig.out).at(1));
  EXPECT_EQ(read["reference_volts"], 2.05);
  EXPECT_EQ(read["codes"][0], 1024);   // 1.25 V of the converter's 5 V span
  EXPECT_EQ(read["volts"][0], 1.025);  // shown on 2 x 2.05 V, not 2 x 2.048 V
}

TEST(CtlJsonTest, ANameThatIsNoUtf8IsShownNotFatal) {
  CtlRig rig;
  const Command pulse{"line pulse-ldac", LineRequest{Line::PulseLdac}, Source{"run-\xFF.txt", 3}};
  ASSERT_EQ(rig.Run({pulse}, true), ExitSuccess) << rig.err;
  EXPECT_EQ(Json::parse(rig.out)["source"], "run-\xEF\xBF\xBD.txt:3");  // U+FFFD
}

TEST(CtlPlainTest, WordsByGroupControlLinesByCaption) {
  CtlRig rig;
  ASSERT_EQ(rig.Run("dac load 0=1 dac write high 1234ABCD line clr-low line ldac-high "
                    "dac clear-code low 0x0FFF adc configure --weak"),
            ExitSuccess);
  EXPECT_EQ(rig.out,
            "DAC0-7: 0x00000100 0x00100000 0x00200000 0x00300000 0x00400000 0x00500000 0x00600000 "
            "0x00700000\n"
            "DAC8-15: 0x00000000 0x00100000 0x00200000 0x00300000 0x00400000 0x00500000 "
            "0x00600000 0x00700000\n"
            "Pulse LDAC\n"
            "DAC8-15: 0x1234ABCD\n"
            "CLR Low\n"
            "LDAC High\n"
            "DAC0-7: 0x05000002\n"
            "ADC configuration 0x83C0: 0V to 2xVREFA, Weak, 2's Compliment\n");

  CtlRig classic(ClassicEdition);
  ASSERT_EQ(classic.Run("adc configure --range vref"), ExitSuccess);
  EXPECT_EQ(classic.out, "ADC configuration 0xFFFF83B0: 0V to VREFA, Three-State\n");
}

}  // namespace
}  // namespace kx::ctl
