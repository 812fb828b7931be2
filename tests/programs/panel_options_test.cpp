#include "panel/panel_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx::panel {
namespace {

TEST(ProgramOptions, NoOptionsBehaveAsTheOriginal) {
  const ParsedOptions parsed = ParseProgramOptions(Version2Edition, {});
  ASSERT_TRUE(parsed.options);
  EXPECT_FALSE(parsed.options->simulate);
  EXPECT_FALSE(parsed.options->trace);
  EXPECT_FALSE(parsed.options->sim_settings);
}

TEST(ProgramOptions, AcceptedForms) {
  const ParsedOptions parsed = ParseProgramOptions(
      ClassicEdition,
      {"--simulate", "--sim-settings", "a b.json", "--trace=/tmp/t.txt", "--setup", "s.json"});
  ASSERT_TRUE(parsed.options) << parsed.text;
  EXPECT_EQ(parsed.setup_file, "s.json");
  EXPECT_TRUE(parsed.options->simulate);
  EXPECT_EQ(parsed.options->sim_settings.value_or(""), "a b.json");
  EXPECT_EQ(parsed.options->trace.value_or(""), "/tmp/t.txt");

  const ParsedOptions usb = ParseProgramOptions(
      Version2Edition,
      {"--usb-id", "1234:7312", "--usb-loader-id", "1234:7310", "--usb-bus", "3:7"});
  ASSERT_TRUE(usb.options) << usb.text;
  EXPECT_EQ(usb.options->usb_id.value_or(""), "1234:7312");
  EXPECT_EQ(usb.options->usb_loader_id.value_or(""), "1234:7310");
  EXPECT_EQ(usb.options->usb_bus.value_or(""), "3:7");

  const ParsedOptions chosen = ParseProgramOptions(Version2Edition, {"--calibration=c.json"});
  EXPECT_EQ(chosen.calibration.kind, session::CalibrationChoice::Kind::File);
  EXPECT_EQ(chosen.calibration.file, "c.json");
}

TEST(ProgramOptions, HelpAndVersionStopWithStatusZero) {
  struct Case {
    const Edition* edition;
    std::string arg;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {&Version2Edition, "--version", "KX7312(version2) Version 1.05\n"},
      {&ClassicEdition, "--version", "KX7312 Version 1.02\n"},
  };
  for (const Case& c : cases) {
    const ParsedOptions parsed = ParseProgramOptions(*c.edition, {c.arg});
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exit_code, 0);
    EXPECT_FALSE(parsed.text_is_error);
    EXPECT_EQ(parsed.text, c.expected);
  }
  const ParsedOptions help = ParseProgramOptions(Version2Edition, {"--help"});
  EXPECT_EQ(help.exit_code, 0);
  for (const char* option : {"--simulate", "--sim-settings", "--trace", "--usb-id", "--version"}) {
    EXPECT_NE(help.text.find(option), std::string::npos) << option;
  }
}

TEST(ProgramOptions, BadUsageStopsWithStatusTwoAndSaysWhy) {
  struct Case {
    std::vector<std::string> args;
    std::string mentions;
  };
  const std::vector<Case> cases = {
      {{"--bogus"}, "--bogus"},
      {{"--trace"}, "--trace"},
      {{"--sim-settings", "x.json"}, "--simulate"},
      {{"--simulate", "--usb-id", "1:2"}, "--usb-id"},
      {{"stray"}, "stray"},
  };
  for (const Case& c : cases) {
    const ParsedOptions parsed = ParseProgramOptions(Version2Edition, c.args);
    EXPECT_FALSE(parsed.options) << c.mentions;
    EXPECT_EQ(parsed.exit_code, 2) << c.mentions;
    EXPECT_TRUE(parsed.text_is_error);
    EXPECT_NE(parsed.text.find(c.mentions), std::string::npos) << parsed.text;
    EXPECT_EQ(parsed.text.rfind("KX7312(version2): ", 0), 0U) << parsed.text;
  }
}

TEST(SplitCommandLine, QtsOwnOptionsGoToQt) {
  const char* argv[] = {"KX7312",   "-platform", "offscreen", "--simulate",
                        "-reverse", "--trace",   "t.txt",     "-style"};
  const SplitArguments split = SplitCommandLine(8, argv);
  EXPECT_EQ(split.qt,
            (std::vector<std::string>{"KX7312", "-platform", "offscreen", "-reverse", "-style"}));
  EXPECT_EQ(split.own, (std::vector<std::string>{"--simulate", "--trace", "t.txt"}));
}

}  // namespace
}  // namespace kx::panel
