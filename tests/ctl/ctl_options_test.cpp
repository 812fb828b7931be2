// The tool's own options, and whole calls through RunCtl in this process.
#include "ctl/ctl_options.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "commands/exit_status.h"
#include "ctl/run_ctl.h"
#include "ctl_rig.h"

namespace kx::ctl {
namespace {

using Args = std::vector<std::string>;

TEST(CtlOptionsTest, DefaultsToVersion2WithPlainOutputOnTheHardwareBackend) {
  const ParsedCtlOptions parsed = ParseCtlOptions({"adc", "read"});
  ASSERT_TRUE(parsed.options);
  EXPECT_EQ(parsed.options->edition, &Version2Edition);
  EXPECT_FALSE(parsed.options->json);
  EXPECT_FALSE(parsed.options->link.simulate);
  EXPECT_FALSE(parsed.options->link.trace);
  EXPECT_EQ(parsed.options->words, (Args{"adc", "read"}));
}

TEST(CtlOptionsTest, TakesEveryOptionBeforeTheFirstCommand) {
  const ParsedCtlOptions parsed =
      ParseCtlOptions({"--edition", "classic", "--json", "--simulate", "--sim-settings", "s.json",
                       "--trace=t.txt", "--", "adc", "read", "--format", "dec"});
  ASSERT_TRUE(parsed.options) << parsed.text;
  EXPECT_EQ(parsed.options->edition, &ClassicEdition);
  EXPECT_TRUE(parsed.options->json);
  EXPECT_TRUE(parsed.options->link.simulate);
  EXPECT_EQ(parsed.options->link.sim_settings, "s.json");
  EXPECT_EQ(parsed.options->link.trace, "t.txt");
  EXPECT_EQ(parsed.options->words, (Args{"adc", "read", "--format", "dec"}));

  const ParsedCtlOptions usb =
      ParseCtlOptions({"--usb-id", "1234:7312", "--usb-bus", "1:5", "line", "clr-low"});
  ASSERT_TRUE(usb.options);
  EXPECT_EQ(usb.options->link.usb_id, "1234:7312");
  EXPECT_EQ(usb.options->link.usb_bus, "1:5");
  EXPECT_FALSE(usb.options->link.usb_loader_id);
}

struct OptionRefusal {
  Args args;
  const char* part;
};

class CtlOptionRefusalTest : public ::testing::TestWithParam<OptionRefusal> {};

TEST_P(CtlOptionRefusalTest, StopsWithStatusTwoNamingTheOption) {
  const ParsedCtlOptions parsed = ParseCtlOptions(GetParam().args);
  EXPECT_FALSE(parsed.options);
  EXPECT_EQ(parsed.exit_code, ExitUsage);
  EXPECT_TRUE(parsed.text_is_error);
  EXPECT_NE(parsed.text.find(GetParam().part), std::string::npos) << parsed.text;
}

INSTANTIATE_TEST_SUITE_P(
    Bad, CtlOptionRefusalTest,
    ::testing::Values(OptionRefusal{{"--edition", "version3", "adc", "read"}, "version3"},
                      OptionRefusal{{"--sim-settings", "s.json", "adc", "read"}, "--simulate"},
                      OptionRefusal{{"--simulate", "--usb-id", "1:2", "adc", "read"}, "--usb-id"},
                      OptionRefusal{{"--trace"}, "--trace"},
                      OptionRefusal{{"--json"}, "no command given"},
                      OptionRefusal{{}, "no command given"}));

TEST(CtlOptionsTest, HelpListsEveryCommandAndVersionNamesTheTool) {
  const ParsedCtlOptions help = ParseCtlOptions({"--help"});
  EXPECT_EQ(help.exit_code, ExitSuccess);
  EXPECT_FALSE(help.text_is_error);
  for (const char* command :
       {"dac load CH=CODE", "dac write low|high WORD", "dac power-down", "dac ldac-register",
        "dac reference", "dac clear-code", "line clr-high", "adc configure", "adc read",
        "adc write WORD", "adc capture FILE", "adc capture-channel0 FILE", "script FILE|-",
        "--json", "--edition", "--simulate", "--trace"}) {
    EXPECT_NE(help.text.find(command), std::string::npos) << command;
  }
  const ParsedCtlOptions version = ParseCtlOptions({"--version"});
  EXPECT_EQ(version.exit_code, ExitSuccess);
  EXPECT_EQ(version.text, std::string("kx7312ctl ") + CtlVersion + "\n");
}

// A whole call in this process, on the simulated board next to the tests.
struct Call {
  int status;
  std::string out;
  std::string err;
};

Call RunCall(const Args& args, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  std::ostringstream err;
  const int status = RunCtl(args, in, out, err);
  return {status, out.str(), err.str()};
}

TEST(RunCtlTest, RunsTheCommandsOnTheSimulatedBoard) {
  const Call call = RunCall({"--simulate", "adc", "write", "8310"});
  EXPECT_EQ(call.status, ExitSuccess) << call.err;
  EXPECT_EQ(call.out.size(), 7U) << call.out;
  EXPECT_EQ(call.err, "");
}

TEST(RunCtlTest, AnAbsentBoardFromTheSettingsFileIsStatusOne) {
  testing::TempFolder folder;
  testing::WriteBytes(folder.File("absent.json"), R"({"present": false})");
  const Call call =
      RunCall({"--simulate", "--sim-settings", folder.File("absent.json"), "dac", "load", "3=7FF"});
  EXPECT_EQ(call.status, ExitFailure);
  EXPECT_EQ(call.out, "");
  EXPECT_NE(call.err.find("No Evaluation Board Found"), std::string::npos) << call.err;
}

TEST(RunCtlTest, BadUsageSendsNothingNotEvenTheStartUp) {
  testing::TempFolder folder;
  const std::string trace = folder.File("trace.txt");
  const Call call =
      RunCall({"--simulate", "--trace", trace, "line", "pulse-ldac", "dac", "load", "3=FFFF"});
  EXPECT_EQ(call.status, ExitUsage);
  EXPECT_EQ(call.out, "");
  EXPECT_EQ(call.err, "kx7312ctl: dac load: \"3=FFFF\": code FFFF is above FFF\n");
  EXPECT_FALSE(std::filesystem::exists(trace));
}

TEST(RunCtlTest, ABackendThatCannotStartIsBadUsage) {
  testing::TempFolder folder;
  const Call unreadable =
      RunCall({"--simulate", "--sim-settings", folder.File("none.json"), "adc", "read"});
  EXPECT_EQ(unreadable.status, ExitUsage);
  EXPECT_NE(unreadable.err.find("none.json"), std::string::npos) << unreadable.err;

  const Call trace =
      RunCall({"--simulate", "--trace", folder.File("none/trace.txt"), "adc", "read"});
  EXPECT_EQ(trace.status, ExitUsage);
  EXPECT_NE(trace.err.find("cannot open trace file"), std::string::npos) << trace.err;
}

}  // namespace
}  // namespace kx::ctl
