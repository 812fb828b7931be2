// Scripts: one command per line, comments, quotes, and every line checked
// before the call starts.
#include "ctl/script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ctl_rig.h"
#include "support/fifo_guard.h"

namespace kx::ctl {
namespace {

using Words = std::vector<std::string>;
using namespace std::string_view_literals;

struct SplitCase {
  const char* line;
  Words words;
  const char* error;
};

class ScriptLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ScriptLineTest, SplitsAtBlanksKeepsQuotedBlanksAndDropsComments) {
  const LineWords split = SplitScriptLine(GetParam().line);
  EXPECT_EQ(split.words, GetParam().words);
  EXPECT_EQ(split.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ScriptLineTest,
    ::testing::Values(
        SplitCase{"dac load 3=7FF", {"dac", "load", "3=7FF"}, ""},
        SplitCase{"  \tadc   read\r", {"adc", "read"}, ""}, SplitCase{"# a comment", {}, ""},
        SplitCase{"", {}, ""}, SplitCase{"adc read # volts next", {"adc", "read"}, ""},
        SplitCase{"adc capture C:#1.txt", {"adc", "capture", "C:#1.txt"}, ""},
        SplitCase{"adc capture \"my samples.txt\"", {"adc", "capture", "my samples.txt"}, ""},
        SplitCase{"adc capture \"\"", {"adc", "capture", ""}, ""},
        SplitCase{"adc capture \"my samples.txt", {}, "a quote is not closed"},
        SplitCase{"adc capture \"a\"b", {}, "a closing quote must end its word"},
        SplitCase{"adc capture a\"b\"", {}, "a quote must start its word"}));

Words Names(const CommandList& list) {
  Words names;
  for (const Command& command : list.commands) {
    names.push_back(command.name + "@" + SourceText(command.source));
  }
  return names;
}

TEST(ScriptTest, EveryLineIsOneCommandNamedByItsLine) {
  const CommandList list = ParseScript(
      "\xEF\xBB\xBF# staircase\r\ndac load 0=100\r\n\r\n  adc read --format dec # codes\r\n"
      "line pulse-ldac",
      "run.txt", Version2Edition);
  EXPECT_EQ(list.error, "");
  EXPECT_EQ(Names(list),
            (Words{"dac load@run.txt:2", "adc read@run.txt:4", "line pulse-ldac@run.txt:5"}));
}

TEST(ScriptTest, AMistakeAnywhereRefusesTheWholeScript) {
  std::string text;
  for (int i = 0; i < 99; ++i) {
    text += "adc read\n";
  }
  text += "adc read --format oct\n";
  const CommandList list = ParseScript(text, "long.txt", Version2Edition);
  EXPECT_EQ(list.error, R"(long.txt:100: adc read: "oct" is not a format: hex, dec or volts)");
  EXPECT_TRUE(list.commands.empty());
}

struct ScriptRefusal {
  std::string_view text;  // may hold a NUL
  const char* error;
};

class ScriptRefusalTest : public ::testing::TestWithParam<ScriptRefusal> {};

TEST_P(ScriptRefusalTest, NamesTheLine) {
  EXPECT_EQ(ParseScript(GetParam().text, "s.txt", Version2Edition).error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, ScriptRefusalTest,
    ::testing::Values(
        ScriptRefusal{
            "adc read\nadc capture \"out\0put.txt\"\n"sv,
            R"(s.txt:2: adc capture: the FILE name "out\x00put.txt" holds the control character \x00)"},
        ScriptRefusal{
            "# tabs\n\nadc capture-channel0 \"a\tb\"\n",
            R"(s.txt:3: adc capture-channel0: the FILE name "a\x09b" holds the control character \x09)"},
        ScriptRefusal{"adc read\nline pulse-ldac adc read\n",
                      R"(s.txt:2: one command per line; "adc read" starts a second)"},
        ScriptRefusal{"script other.txt\n", "s.txt:1: script: a script cannot run another script"},
        ScriptRefusal{"\n\nadc capture \"x\n", "s.txt:3: a quote is not closed"},
        ScriptRefusal{"adc read\nx x x x x x x x x x x x x x x x x x x x x x x x x x x x x x x x x "
                      "x x x x x x x x "
                      "x x x x x x x x x x x x x x x x x x x x x x x x x x x\n",
                      "s.txt:2: more than 64 words: a script line holds one command"},
        ScriptRefusal{"--json adc read\n",
                      R"(s.txt:1: unknown option "--json"; run with --help for the options)"}));

TEST(ReadCommandsTest, ExpandsScriptsInPlaceBetweenTheCommandLinesOwn) {
  testing::TempFolder folder;
  const std::string file = folder.File("a.txt");
  testing::WriteBytes(file, "line clr-low\nline clr-high\n");
  std::istringstream input("adc read\n");
  const CommandList expanded = ReadCommands(
      {"line", "pulse-ldac", "script", file, "script", "-", "dac", "write", "low", "1"},
      Version2Edition, input);
  EXPECT_EQ(expanded.error, "");
  EXPECT_EQ(Names(expanded), (Words{"line pulse-ldac@command line", "line clr-low@" + file + ":1",
                                    "line clr-high@" + file + ":2", "adc read@<stdin>:1",
                                    "dac write@command line"}));
}

// A script's commands are parsed again from the text read at the check, as
// they run: what happens on the disk after the check changes nothing.
TEST(ReadCommandsTest, ACheckedScriptRunsAsCheckedWhateverTheDiskDoesLater) {
  testing::TempFolder folder;
  std::filesystem::create_directories(folder.Path() / "out");
  const std::string file = folder.File("run.txt");
  testing::WriteBytes(file, "\xEF\xBB\xBF# capture\r\n\r\nadc capture \"" +
                                folder.File("out/s.dat") + "\"\r\n  # nothing\nline pulse-ldac");
  std::istringstream input;
  const CommandList list =
      ReadCommands({"adc", "read", "script", file, "line", "clr-low"}, Version2Edition, input);
  ASSERT_EQ(list.error, "");
  std::filesystem::remove_all(folder.Path() / "out");
  testing::WriteBytes(file, "dac write low 1\n");

  const Words expected = {"adc read@command line", "adc capture@" + file + ":3",
                          "line pulse-ldac@" + file + ":5", "line clr-low@command line"};
  EXPECT_EQ(list.commands.size(), expected.size());
  EXPECT_EQ(Names(list), expected);
  EXPECT_EQ(Names(list), expected);  // and again, the same
  std::vector<std::string> files;
  for (const Command& command : list.commands) {
    if (const auto* capture = std::get_if<AdcCapture>(&command.action)) {
      files.push_back(capture->file);
    }
  }
  EXPECT_EQ(files, Words{folder.File("out/s.dat")});
}

TEST(ReadCommandsTest, RefusesWhatItCannotRead) {
  testing::TempFolder folder;
  std::istringstream input("adc read\n");
  EXPECT_EQ(ReadCommands({"script", folder.File("none.txt")}, Version2Edition, input).error,
            "script: cannot open \"" + folder.File("none.txt") + "\": No such file or directory");
  EXPECT_EQ(
      ReadCommands({"script", folder.Path().string()}, Version2Edition, input).error,
      "script: cannot open \"" + folder.Path().string() + "\": it is a folder, not a regular file");
  EXPECT_EQ(ReadCommands({"script", "-", "script", "-"}, Version2Edition, input).error,
            "script: standard input can be read only once");
  EXPECT_EQ(ReadCommands({"script", ""}, Version2Edition, input).error,
            "script: the FILE name is empty");
}

#ifndef _WIN32

// A FIFO would hold the tool in open() until something writes to it; a
// device could feed it for ever. Standard input stays the way to pipe a
// script in.
TEST(ReadCommandsTest, RefusesFifosAndDevicesWithoutBlocking) {
  testing::TempFolder folder;
  const std::string fifo = folder.File("script.txt");
  ASSERT_TRUE(kx::testing::MakeFifo(fifo));
  struct Case {
    std::string path;
    std::string reason;
  };
  for (const Case& c : {Case{fifo, "it is a FIFO, not a regular file"},
                        Case{"/dev/zero", "it is a device, not a regular file"}}) {
    std::istringstream input("adc read\n");
    CommandList list;
    ASSERT_TRUE(kx::testing::ReturnsWithoutAWriter(fifo, [&] {
      list = ReadCommands({"line", "pulse-ldac", "script", c.path}, Version2Edition, input);
    })) << c.path;
    EXPECT_EQ(list.error, "script: cannot open \"" + c.path + "\": " + c.reason);
    EXPECT_TRUE(list.commands.empty());
  }
}

#endif

TEST(ReadCommandsTest, AnEmptyScriptHasNoCommands) {
  std::istringstream input("# nothing to do\n\n");
  const CommandList list = ReadCommands({"script", "-"}, Version2Edition, input);
  EXPECT_EQ(list.error, "");
  EXPECT_TRUE(list.commands.empty());
}

}  // namespace
}  // namespace kx::ctl
