// Commands as written, checked before anything is sent: what each one means,
// and the message that names the word a refused one got wrong.
#include "ctl/command_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "ctl_rig.h"

namespace kx::ctl {
namespace {

std::vector<std::string> Words(const std::string& text) {
  std::istringstream in(text);
  return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

ParseResult Parse(const std::string& text, const Edition& edition = Version2Edition) {
  return ParseCommands(Words(text), Source{}, edition);
}

template <class Action>
Action Only(const std::string& text, const Edition& edition = Version2Edition) {
  const ParseResult result = Parse(text, edition);
  EXPECT_EQ(result.error, "") << text;
  EXPECT_EQ(result.items.size(), 1U) << text;
  if (result.items.size() != 1 || !std::holds_alternative<Command>(result.items[0])) {
    ADD_FAILURE() << "no single command in " << text;
    return {};
  }
  const auto& command = std::get<Command>(result.items[0]);
  if (!std::holds_alternative<Action>(command.action)) {
    ADD_FAILURE() << "another action for " << text;
    return {};
  }
  return std::get<Action>(command.action);
}

TEST(CommandParserTest, DacLoadTakesChannelCodePairsAndItsOptions) {
  const auto load = Only<DacLoad>("dac load 0=1ff 15=FFF 7=000000000800 --update --no-pulse");
  EXPECT_TRUE(load.update);
  EXPECT_FALSE(load.pulse);
  ASSERT_EQ(load.codes.size(), 3U);
  EXPECT_EQ(load.codes[0].channel, 0);
  EXPECT_EQ(load.codes[0].code, 0x1FF);
  EXPECT_EQ(load.codes[1].channel, 15);
  EXPECT_EQ(load.codes[1].code, 0xFFF);
  EXPECT_EQ(load.codes[2].code, 0x800);  // leading zeros are no digits of the value

  // Volts beside codes, their codes worked out when the load runs.
  const auto volts = Only<DacLoad>("dac load 3=1.25V 4=7FF 5=1250mv 6=-.5v 7=2V");
  std::vector<std::optional<double>> asked;
  for (const ChannelCode& code : volts.codes) {
    asked.push_back(code.volts);
  }
  EXPECT_EQ(asked, (std::vector<std::optional<double>>{1.25, std::nullopt, 1.25, -0.5, 2.0}));

  const auto plain = Only<DacLoad>("dac load");
  EXPECT_FALSE(plain.update);
  EXPECT_TRUE(plain.pulse);
  EXPECT_TRUE(plain.codes.empty());  // like a click with no box ticked
}

TEST(CommandParserTest, DacRegisterCommandsTakeTheirGroupAndChannels) {
  const auto write = Only<DacWrite>("dac write high 8000ABCD");
  EXPECT_EQ(write.group, HighGroup);
  EXPECT_EQ(static_cast<std::uint32_t>(write.word), 0x8000ABCDU);
  EXPECT_EQ(write.text, "8000ABCD");

  const auto power_down = Only<DacPowerDown>("dac power-down high three-state 15 8");
  EXPECT_EQ(power_down.group, HighGroup);
  EXPECT_EQ(power_down.mode, 3);
  EXPECT_EQ(power_down.channels, (std::vector<int>{15, 8}));

  EXPECT_EQ(Only<DacLdacRegister>("dac ldac-register low 0 7").channels, (std::vector<int>{0, 7}));
  EXPECT_TRUE(Only<DacReference>("dac reference low internal").internal);
  EXPECT_FALSE(Only<DacReference>("dac reference high external").internal);
  EXPECT_EQ(Only<DacClearCode>("dac clear-code low 0x0fff").select, 2);
  // Hex with or without C's prefix, as everywhere on the command line.
  EXPECT_EQ(Only<DacClearCode>("dac clear-code high 0800").select, 1);
  EXPECT_EQ(Only<DacLoad>("dac load 3=0x7FF").codes.at(0).code, 0x7FF);
  EXPECT_EQ(Only<LineRequest>("line ldac-low").line, Line::LdacLow);
}

TEST(CommandParserTest, AdcCommandsTakeTheirOptionsInEitherForm) {
  const auto configure = Only<AdcConfigure>("adc configure --coding=binary --range vref");
  EXPECT_TRUE(configure.vref_range);
  EXPECT_FALSE(configure.weak);
  EXPECT_TRUE(configure.straight_binary);

  const auto read = Only<AdcRead>("adc read --reference +3.3 --format=volts");
  EXPECT_EQ(read.reference, "3.30");  // as the box shows it once left
  EXPECT_EQ(read.format, ReadFormat::Volts);
  EXPECT_EQ(Only<AdcRead>("adc read").reference, "2.50");  // the box's initial text
  EXPECT_EQ(Only<AdcRead>("adc read --reference -1e-3").reference, "0.00");
  EXPECT_EQ(Only<AdcRead>("adc read --reference 2.048").reference, "2.05");

  EXPECT_EQ(Only<AdcWrite>("adc write 8a").word, 0x8A);
  testing::TempFolder folder;
  const auto capture = Only<AdcCapture>("adc capture-channel0 " + folder.File("adc"));
  EXPECT_TRUE(capture.channel0);
  EXPECT_EQ(capture.file, folder.File("adc"));  // a file may be called adc
}

TEST(CommandParserTest, CaptureMetadataAndItsReference) {
  testing::TempFolder folder;
  const std::string file = folder.File("cap.txt");
  const auto plain = Only<AdcCapture>("adc capture " + file);
  EXPECT_FALSE(plain.metadata);
  const auto with = Only<AdcCapture>("adc capture " + file + " --metadata --reference 2.048");
  EXPECT_TRUE(with.metadata);
  EXPECT_EQ(with.reference, "2.05");  // as "ADC Reference" holds it
  EXPECT_EQ(Only<AdcCapture>("adc capture-channel0 " + file + " --metadata").reference, "2.50");
  EXPECT_TRUE(Only<AdcCapture>("adc capture " + file + " --metadata", ClassicEdition).metadata);

  EXPECT_EQ(Parse("adc capture " + file + " --reference 2").error,
            "adc capture: --reference of a capture goes into its metadata: add --metadata");
  EXPECT_EQ(Parse("adc capture " + file + " --metadata=yes").error.rfind("adc capture: ", 0), 0U);
  EXPECT_NE(Parse("adc capture " + file + " --metadata --reference 2", ClassicEdition).error, "");
  EXPECT_NE(Parse("adc capture " + file + " --bogus").error, "");
}

TEST(CommandParserTest, SeveralCommandsFollowOneAnotherEachFromItsGroupWord) {
  testing::TempFolder folder;
  const ParseResult result = Parse("dac load 1=1 line pulse-ldac adc capture " +
                                   folder.File("dac") + " adc read script - dac write low 0");
  ASSERT_EQ(result.error, "");
  ASSERT_EQ(result.items.size(), 6U);
  std::vector<std::string> names;
  for (const ParsedItem& item : result.items) {
    names.push_back(std::holds_alternative<Command>(item)
                        ? std::get<Command>(item).name
                        : "script " + std::get<ScriptCall>(item).path);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"dac load", "line pulse-ldac", "adc capture",
                                             "adc read", "script -", "dac write"}));
}

struct Refusal {
  const char* text;
  const char* message;
};

class CommandRefusalTest : public ::testing::TestWithParam<Refusal> {};

TEST_P(CommandRefusalTest, NamesWhatWasWrongAndKeepsNothing) {
  const ParseResult result = Parse(GetParam().text);
  EXPECT_EQ(result.error, GetParam().message);
  EXPECT_TRUE(result.items.empty());
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, CommandRefusalTest,
    ::testing::Values(
        Refusal{"dac load 3=1000", R"(dac load: "3=1000": code 1000 is above FFF)"},
        Refusal{"dac load 3=123456789", R"(dac load: "3=123456789": code 123456789 is above FFF)"},
        Refusal{"dac load 3=0x",
                R"(dac load: "3=0x": "0x" is not a hex code (0 to FFF, 0x optional))"},
        Refusal{"dac load 3=0x1000", R"(dac load: "3=0x1000": code 0x1000 is above FFF)"},
        Refusal{"dac load 3=-1",
                R"(dac load: "3=-1": "-1" is not a hex code (0 to FFF, 0x optional))"},
        Refusal{"dac load 3=", R"(dac load: "3=" has no code after "=")"},
        Refusal{"dac load 16=1", R"(dac load: "16" is not a channel number 0-15)"},
        Refusal{"dac load -1=1", R"(dac load: "-1" is not a channel number 0-15)"},
        Refusal{"dac load x=1", R"(dac load: "x" is not a channel number 0-15)"},
        Refusal{"dac load 3:7FF", R"(dac load: "3:7FF" is not CH=CODE or CH=VOLTS)"},
        Refusal{
            "dac load 3=1.25",
            R"(dac load: "3=1.25": "1.25" is not a hex code (0 to FFF, 0x optional); volts end in V: 1.25V)"},
        Refusal{"dac load 3=1e3V",
                R"(dac load: "3=1e3V": "1e3V" is not volts such as 1.25V or 1250mV)"},
        Refusal{"dac load 3=1.2.5V",
                R"(dac load: "3=1.2.5V": "1.2.5V" is not volts such as 1.25V or 1250mV)"},
        Refusal{"dac load 3=1V 3=2", R"(dac load: "3=2": channel 3 is given twice)"},
        Refusal{"dac load 3=1 03=2", R"(dac load: "03=2": channel 3 is given twice)"},
        Refusal{"dac load --pulse", R"(dac load: unknown option "--pulse")"},
        Refusal{"dac load --update=yes", "dac load: --update takes no value"},
        Refusal{"dac write", "dac write: missing the group: low or high"},
        Refusal{"dac write middle 1", R"(dac write: "middle" is not a DAC group: low or high)"},
        Refusal{"dac write low", "dac write: missing the WORD: up to 8 hex digits"},
        Refusal{"dac write low 123456789", R"(dac write: "123456789" has more than 8 hex digits)"},
        Refusal{"dac write low G00",
                R"(dac write: "G00" is not a hex word (up to 8 digits, 0x optional))"},
        Refusal{"dac power-down low",
                "dac power-down: missing the MODE: normal, 1k, 100k or three-state"},
        Refusal{
            "dac power-down low 10k",
            R"(dac power-down: "10k" is not a power-down mode: normal, 1k, 100k or three-state)"},
        Refusal{"dac power-down low 1k 8",
                "dac power-down: channel 8 is not in the low (DAC0 to DAC7) group"},
        Refusal{"dac ldac-register high 7",
                "dac ldac-register: channel 7 is not in the high (DAC8 to DAC15) group"},
        Refusal{"dac ldac-register high --all", R"(dac ldac-register: unknown option "--all")"},
        Refusal{"dac reference low on",
                R"(dac reference: "on" is not a reference: external or internal)"},
        Refusal{"dac clear-code low 0x0801",
                R"(dac clear-code: "0x0801" is not a clear code: 0x0000, 0x0800 or 0x0FFF)"},
        Refusal{"dac clear-code low 0x",
                R"(dac clear-code: "0x" is not a clear code: 0x0000, 0x0800 or 0x0FFF)"},
        Refusal{
            "dac blink",
            R"(dac: "blink" is not a dac command: load, write, power-down, ldac-register, reference, clear-code or sweep)"},
        Refusal{"line",
                "line: missing what to do: clr-high, clr-low, ldac-high, ldac-low or pulse-ldac"},
        Refusal{"line pulse-ldac twice", R"(line pulse-ldac: unexpected "twice")"},
        Refusal{"adc configure --range 3xvref",
                R"(adc configure: "3xvref" is not a range: 2xvref or vref)"},
        Refusal{"adc configure --coding",
                "adc configure: missing the value of --coding: twos or binary"},
        Refusal{"adc configure --weak=1", "adc configure: --weak takes no value"},
        Refusal{"adc read --reference 2,5", R"(adc read: "2,5" is not a number of volts)"},
        Refusal{"adc read --reference 2.5V", R"(adc read: "2.5V" is not a number of volts)"},
        Refusal{"adc read --reference nan", R"(adc read: "nan" volts is not a finite reference)"},
        Refusal{
            "adc read --reference 1e39",
            R"(adc read: "1e39" volts is too large for the "ADC Reference": it takes 0 or sizes from 1.4E-45 to 1.7E+38 V)"},
        Refusal{
            "adc read --reference -1e-300",
            R"(adc read: "-1e-300" volts is too small for the "ADC Reference": it takes 0 or sizes from 1.4E-45 to 1.7E+38 V)"},
        Refusal{"adc read --reference +-1", R"(adc read: "+-1" is not a number of volts)"},
        Refusal{"adc read --format bin", R"(adc read: "bin" is not a format: hex, dec or volts)"},
        Refusal{"adc read --json",
                R"(adc read: "--json" is an option of the tool: put it before the first command)"},
        Refusal{"adc write 12345",
                R"(adc write: "12345" is not an ADC word: 1 to 4 hex digits, 0x optional)"},
        Refusal{
            "adc blink",
            R"(adc: "blink" is not an adc command: configure, read, write, capture, capture-channel0, log, histogram or spectrum)"},

        Refusal{"adc capture", "adc capture: missing the FILE to save the samples to"},
        Refusal{"script", "script: missing the FILE, or - for standard input"},
        Refusal{
            "read adc",
            R"(unknown command "read": a command starts with dac, line, adc, setup, calibration, script, serve or list)"},
        Refusal{
            "line pulse-ldac serve",
            R"(serve: it runs alone: start it as "kx7312ctl [OPTIONS] serve ..." with no other command)"},
        Refusal{"--quiet adc read", R"(unknown option "--quiet"; run with --help for the options)"},
        // The mistake is found even after good commands: nothing of the line is kept.
        Refusal{"line pulse-ldac adc write 10000",
                R"(adc write: "10000" is not an ADC word: 1 to 4 hex digits, 0x optional)"}));

// The characterisation commands' refusals, before start-up.
INSTANTIATE_TEST_SUITE_P(
    CharacteriseInput, CommandRefusalTest,
    ::testing::Values(
        Refusal{
            "adc histogram --channel 1 --samples 100",
            R"(adc histogram: --samples: "100" is not a number of samples from 4096 to 4294967296)"},
        Refusal{"adc histogram --channel 1",
                "adc histogram: missing --samples: the number of conversions, such as 262144"},
        Refusal{"adc histogram --channel 1 --samples 4096 --method square",
                R"(adc histogram: "square" is not a method: sine or ramp)"},
        Refusal{
            "dac sweep --channel 1 --codes 9:9:1 --average 4",
            R"(dac sweep: --codes: "9:9:1": the codes must rise from START to STOP within 0 to 4095)"},
        Refusal{
            "dac sweep --channel 1 --codes 0:4095 --average 4",
            R"(dac sweep: --codes: "0:4095" is not START:STOP:STEP, such as 0:4095:1 (decimal codes))"},
        Refusal{"dac sweep --channel 1 --codes 0:4095:1",
                "dac sweep: missing --average: reads per code"},
        Refusal{
            "dac sweep --channel 1 --codes 0:10:1 --average 4 --adc-linearity /nonexistent/a.csv",
            R"(dac sweep: --adc-linearity "/nonexistent/a.csv" cannot be read: No such file or directory)"}));

TEST(CommandParserTest, ClassicHasNoCodingNoReferenceAndNoVolts) {
  EXPECT_EQ(Parse("adc configure --coding twos", ClassicEdition).error,
            "adc configure: KX7312 has no Coding list: leave out --coding");
  EXPECT_EQ(Parse("adc read --reference 2.5", ClassicEdition).error,
            "adc read: KX7312 has no ADC reference: leave out --reference");
  EXPECT_EQ(Parse("adc read --format volts", ClassicEdition).error,
            "adc read: KX7312 shows no ADC voltages: use --format hex or dec");
  EXPECT_EQ(Parse("adc configure --range vref --weak adc read --format dec", ClassicEdition).error,
            "");
}

TEST(CommandParserTest, CaptureFilesMustBeCreatableWhereTheyAreNamed) {
  testing::TempFolder folder;
  EXPECT_EQ(Parse("adc capture " + folder.File("samples.dat")).error, "");
  EXPECT_EQ(Parse("adc capture " + folder.File("none/samples.dat")).error,
            "adc capture: \"" + folder.File("none/samples.dat") + "\": the folder \"" +
                folder.File("none") + "\" does not exist");
  EXPECT_EQ(Parse("adc capture-channel0 " + folder.Path().string()).error,
            "adc capture-channel0: \"" + folder.Path().string() + "\" is a folder, not a file");
}

// A NUL would cut the name short on its way to the system; the other
// control characters are never meant in a name. Messages show them as \xNN.
TEST(CommandParserTest, FileNamesWithControlCharactersAreRefused) {
  using namespace std::string_literals;
#ifdef _WIN32
  constexpr std::size_t kLongestPath = 32767;
#else
  constexpr std::size_t kLongestPath = PATH_MAX - 1;
#endif
  struct Case {
    std::vector<std::string> words;
    std::string error;
  };
  const Case cases[] = {
      {{"adc", "capture", "out\0put.txt"s},
       R"(adc capture: the FILE name "out\x00put.txt" holds the control character \x00)"},
      {{"adc", "capture-channel0", "a\tb.dat"},
       R"(adc capture-channel0: the FILE name "a\x09b.dat" holds the control character \x09)"},
      {{"adc", "capture", "two\nlines"},
       R"(adc capture: the FILE name "two\x0Alines" holds the control character \x0A)"},
      {{"adc", "capture", "\x1B[2Jwiped"},
       R"(adc capture: the FILE name "\x1B[2Jwiped" holds the control character \x1B)"},
      {{"adc", "capture", "del\x7F"},
       R"(adc capture: the FILE name "del\x7F" holds the control character \x7F)"},
      {{"script", "run\r.txt"},
       R"(script: the FILE name "run\x0D.txt" holds the control character \x0D)"},
      // Too long for the system: refused before start-up, and not echoed whole.
      {{"adc", "capture", std::string(kLongestPath + 1, 'a')},
       "adc capture: the FILE name \"" + std::string(40, 'a') +
           "...\" is longer than the system takes (" + std::to_string(kLongestPath) + " bytes)"},
      {{"adc", "log", "d/" + std::string(300, 'b'), "--every", "1s"},
       "adc log: the FILE name \"d/" + std::string(38, 'b') +
           "...\" has a part longer than the system takes (255 bytes)"},
  };
  for (const Case& c : cases) {
    const ParseResult result = ParseCommands(c.words, Source{}, Version2Edition);
    EXPECT_EQ(result.error, c.error);
    EXPECT_TRUE(result.items.empty());
  }
  // Beyond ASCII, a name is the user's business.
  testing::TempFolder folder;
  EXPECT_EQ(Parse("adc capture " + folder.File("mesures-été.dat")).error, "");
}

TEST(CommandParserTest, ALaterParseOfACheckedLineLeavesTheFileSystemAlone) {
  testing::TempFolder folder;
  const std::vector<std::string> words = {"adc", "capture", folder.File("gone/s.dat")};
  EXPECT_NE(ParseCommands(words, Source{}, Version2Edition).error, "");
  const ParseResult later = ParseCommands(words, Source{}, Version2Edition, FileChecks::Skip);
  EXPECT_EQ(later.error, "");
  ASSERT_EQ(later.items.size(), 1U);
  // What never depends on the disk is still refused.
  EXPECT_NE(ParseCommands({"adc", "capture", std::string(1, '\0')}, Source{}, Version2Edition,
                          FileChecks::Skip)
                .error,
            "");
}

TEST(CommandParserTest, ScriptLinesAreNamedInMessages) {
  const ParseResult result =
      ParseCommands(Words("dac load 3=FFFF"), Source{"run.txt", 12}, Version2Edition);
  EXPECT_EQ(result.error, R"(run.txt:12: dac load: "3=FFFF": code FFFF is above FFF)");
  EXPECT_EQ(SourceText(Source{}), "command line");
}

}  // namespace
}  // namespace kx::ctl
