#include "view/view_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kx::view {
namespace {

TEST(ViewOptions, ReportWithEveryOption) {
  const ParsedViewOptions parsed =
      ParseViewOptions({"--report", "cap.txt", "--json", "--channel", "7", "--range", "vref",
                        "--coding", "binary", "--reference", "2.048", "--window", "hann"});
  ASSERT_TRUE(parsed.options) << parsed.text;
  const ViewOptions& o = *parsed.options;
  EXPECT_TRUE(o.report);
  EXPECT_TRUE(o.json);
  EXPECT_EQ(o.file, "cap.txt");
  EXPECT_EQ(o.channel, 7);
  EXPECT_EQ(o.scale.half_span, true);
  EXPECT_EQ(o.scale.straight_binary, true);
  EXPECT_EQ(o.scale.reference, 2.048);
  EXPECT_EQ(o.window, analysis::WindowKind::Hann);
}

TEST(ViewOptions, LeftOutScaleStaysOpenForTheMetadata) {
  const ParsedViewOptions parsed = ParseViewOptions({"--follow", "cap.txt"});
  ASSERT_TRUE(parsed.options);
  EXPECT_TRUE(parsed.options->follow);
  EXPECT_TRUE(parsed.options->numpy.empty());
  EXPECT_EQ(ParseViewOptions({"--export", "run.npz", "run.csv"}).options->numpy, "run.npz");
  EXPECT_FALSE(parsed.options->scale.half_span);
  EXPECT_FALSE(parsed.options->scale.straight_binary);
  EXPECT_FALSE(parsed.options->scale.reference);
  EXPECT_EQ(parsed.options->window, analysis::WindowKind::BlackmanHarris);
}

TEST(ViewOptions, MistakesStopWithStatusTwo) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"--report"}, "--report needs a FILE"},
      {{"--report", "f", "--channel", "16"}, "--channel"},
      {{"--report", "f", "--range", "3xvref"}, "--range"},
      {{"--report", "f", "--coding", "gray"}, "--coding"},
      {{"--report", "f", "--reference", "0"}, "--reference"},
      {{"--report", "f", "--reference", "abc"}, "--reference"},
      {{"--report", "f", "--window", "hamming"}, "--window"},
      {{"f", "--json"}, "go with --report"},
      {{"--screenshots", "shots"}, "--screenshots needs a FILE"},
      {{"--bogus"}, "--bogus is not an option"},
      {{"--report", "f", "--reference", "nan"}, "nan is not a number of volts from 0.001 to 5"},
      {{"a", "b", "c"}, "not expected: b c"},
      {{"--export", "x.npz"}, "--export needs a FILE"},
      {{"f", "--export", "x.csv"}, "must end in .npy or .npz"},
      {{"f", "--export", "x.npy", "--follow"}, "not with --report, --follow or --screenshots"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.args.back());
    const ParsedViewOptions parsed = ParseViewOptions(c.args);
    EXPECT_FALSE(parsed.options);
    EXPECT_EQ(parsed.exit_code, 2);
    EXPECT_TRUE(parsed.text_is_error);
    EXPECT_NE(parsed.text.find(c.message), std::string::npos) << parsed.text;
  }
  // Qt's own options are left to Qt, whatever their spelling.
  EXPECT_EQ(WithoutQtOptions(
                {"-platform", "offscreen", "--style=Fusion", "-reverse", "cap.txt", "--follow"}),
            (std::vector<std::string>{"cap.txt", "--follow"}));
  const ParsedViewOptions help = ParseViewOptions({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.text.find("--follow"), std::string::npos);
}

}  // namespace
}  // namespace kx::view
