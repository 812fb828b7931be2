// The command table against everything that reads it: for every command and
// option of each edition, the parser takes what the table allows and
// refuses the rest, the completion offers exactly what the parser takes,
// and --help, the manual and the README list it.
#include "commands/command_table.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/linearity/linearity_file.h"
#include "ctl/command_parser.h"
#include "ctl/completion.h"
#include "ctl/ctl_options.h"
#include "session/setup_file.h"
#include "support/temp_folder.h"

namespace kx::ctl {
namespace {

using commands::ArgumentKind;

using kx::testing::TempFolder;

const std::vector<const Edition*> kEditions = {&Version2Edition, &ClassicEdition};

std::set<std::string> Offered(std::vector<std::string> words,
                              const Edition& edition = Version2Edition) {
  if (&edition == &ClassicEdition) {
    words.insert(words.begin(), "--edition=classic");
  }
  std::istringstream lines(CompletionText(words));
  std::set<std::string> offered;
  for (std::string line; std::getline(lines, line);) {
    offered.insert(line);
  }
  return offered;
}

// A value the table says the place takes.
std::string SampleValue(ArgumentKind kind, commands::Choices choices, std::string_view examples,
                        const std::string& file) {
  if (kind == ArgumentKind::File) {
    return file;
  }
  if (!choices.empty()) {
    return std::string(choices.front().word);
  }
  const std::string first(examples.substr(0, examples.find(' ')));
  return first.empty() ? "1" : first;
}

// The command with what it cannot do without: its arguments and required
// options.
std::vector<std::string> Least(const commands::CommandSpec& spec, const std::string& file,
                               const Edition& edition) {
  std::vector<std::string> words{std::string(spec.group), std::string(spec.word)};
  for (const commands::ArgumentSpec& argument : spec.arguments) {
    if (argument.kind == ArgumentKind::ChannelCodes) {
      words.emplace_back("3=7FF");
    } else if (argument.kind != ArgumentKind::GroupChannels) {
      words.push_back(SampleValue(argument.kind, argument.choices, {}, file));
    }
  }
  for (const commands::OptionSpec& option : spec.options) {
    // A capture's reference goes into its metadata.
    if (option.name == "--metadata") {
      words.emplace_back("--metadata");
    }
    // A histogram's calibration is measured against its input; a save
    // saves something.
    if ((option.name == "--input" && commands::Has(edition, option)) ||
        (spec.group == "calibration" && option.name == "--adc-reference")) {
      words.push_back(std::string(option.name));
      words.push_back(SampleValue(option.value_kind, option.choices, option.examples, file));
    }
    if (option.required) {
      words.push_back(std::string(option.name));
      words.push_back(SampleValue(option.value_kind, option.choices, option.examples, file));
    }
  }
  return words;
}

// A code-density result of channel 0, as `dac sweep --adc-linearity` reads
// it before start-up: an ideal ADC's, from even counts.
std::string AdcLinearityFile(const TempFolder& folder) {
  const std::string file = folder.File("adc.csv");
  const std::vector<std::uint64_t> counts(linearity::kCodes, 16);
  const linearity::DensityLinearity result =
      linearity::AnalyseCodeDensity(counts, linearity::DensityMethod::Ramp);
  kx::testing::WriteBytes(file, linearity::HistogramCsv(counts, result));
  kx::testing::WriteBytes(file + ".json",
                          linearity::HistogramMetadata({0, "2xvref", "binary", 0}, result).dump());
  return file;
}

std::string ParseError(std::vector<std::string> words, const Edition& edition) {
  return ParseCommands(words, {}, edition).error;
}

TEST(CommandTableTest, TheParserAndTheCompletionTakeWhatTheTableSays) {
  const TempFolder folder;
  for (const Edition* edition : kEditions) {
    const std::string program = edition->program_name;
    for (const commands::CommandSpec& spec : commands::CommandTable()) {
      if (spec.read == nullptr) {
        continue;  // script and serve stand alone
      }
      const std::string name = fmt::format("{} {}", spec.group, spec.word);
      SCOPED_TRACE(program + ": " + name);
#ifndef KX_WITH_SPECTRUM
      if (name == "adc spectrum") {
        EXPECT_EQ(ParseError(Least(spec, folder.File("out.txt"), *edition), *edition),
                  "adc spectrum: this build has no spectra (it was made without FFTW)");
        continue;
      }
#endif
      // A set-up is read as the command is: one of the edition's own.
      const std::string file = folder.File(spec.group == "setup" ? "setup.json" : "out.txt");
      session::Setup setup;
      setup.edition = edition;
      kx::testing::WriteBytes(folder.File("setup.json"), session::SetupJson(setup));
      const std::vector<std::string> least = Least(spec, file, *edition);
      EXPECT_EQ(ParseError(least, *edition), "");
      EXPECT_EQ(Offered({std::string(spec.group), ""}, *edition).count(std::string(spec.word)), 1U);
      std::set<std::string> options;
      for (const commands::OptionSpec& option : spec.options) {
        std::vector<std::string> words = least;
        if (!option.required) {
          words.push_back(std::string(option.name));
          if (option.name == "--adc-linearity") {
            words.push_back(AdcLinearityFile(folder));
          } else if (!option.value.empty()) {
            words.push_back(SampleValue(option.value_kind, option.choices, option.examples, "f"));
          }
        }
        const std::string error = ParseError(words, *edition);
        if (commands::Has(*edition, option)) {
          options.insert(std::string(option.name));
          EXPECT_EQ(error, "") << option.name;
        } else if (!option.absent.empty()) {
          EXPECT_EQ(error, fmt::format("{}: {} {}", name, program, option.absent));
        } else {
          EXPECT_EQ(error, fmt::format("{}: unknown option \"{}\"", name, option.name));
        }
        // Every value the completion offers for the option is taken.
        std::vector<std::string> at_value = least;
        at_value.push_back(std::string(option.name));
        at_value.emplace_back("");
        for (const std::string& value : commands::Has(*edition, option) && !option.value.empty()
                                            ? Offered(at_value, *edition)
                                            : std::set<std::string>{}) {
          std::vector<std::string> with = least;
          if (option.required) {
            const auto given = std::find(with.begin(), with.end(), option.name);
            with.erase(given, given + 2);
          }
          with.insert(with.end(), {std::string(option.name), value});
          if (option.value_kind == ArgumentKind::Value) {
            EXPECT_EQ(ParseError(with, *edition), "") << option.name << " " << value;
          }
        }
      }
      std::vector<std::string> at_option = least;
      at_option.emplace_back("--");
      EXPECT_EQ(Offered(at_option, *edition), options);
      at_option.back() = "--bogus";
      EXPECT_EQ(ParseError(at_option, *edition), name + ": unknown option \"--bogus\"");
    }
  }
}

TEST(CommandTableTest, ChoicesOutsideTheEditionAreRefusedAndNotOffered) {
  EXPECT_EQ(Offered({"--edition", "classic", "adc", "read", "--format", ""}),
            (std::set<std::string>{"hex", "dec"}));
  EXPECT_EQ(ParseError({"adc", "read", "--format", "volts"}, ClassicEdition),
            "adc read: KX7312 shows no ADC voltages: use --format hex or dec");
  EXPECT_EQ(Offered({"dac", "power-down", "low", ""}),
            (std::set<std::string>{"normal", "1k", "100k", "three-state"}));
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A manual line as the reader sees it: .B keeps the blanks between its
// words, .BI and .BR join theirs; quotes group, font changes vanish.
std::string ManualText(const std::string& line) {
  const bool joined = !line.starts_with(".B ");
  std::vector<std::string> words(1);
  bool quoted = false;
  for (const char c : line.substr(line.find(' ') + 1)) {
    if (c == '"') {
      quoted = !quoted;
    } else if (c == ' ' && !quoted) {
      words.emplace_back();
    } else {
      words.back() += c;
    }
  }
  std::string text;
  for (const std::string& word : words) {
    text += (text.empty() || joined ? "" : " ") + word;
  }
  text = std::regex_replace(text, std::regex(R"(\\f[BIRP])"), "");
  return std::regex_replace(text, std::regex(R"(\\-)"), "-");
}

// The usage lines of the manual's COMMANDS section.
std::set<std::string> ManualCommands() {
  const std::string page = ReadText(KX_SOURCE_DIR "/packaging/man/kx7312ctl.1");
  const std::string section = page.substr(page.find(".SH COMMANDS"));
  std::set<std::string> usages;
  std::istringstream lines(section.substr(0, section.find(".SH EXIT")));
  bool after_tag = false;
  for (std::string line; std::getline(lines, line);) {
    if (after_tag && line.starts_with(".B")) {
      usages.insert(ManualText(line));
    }
    after_tag = line == ".TP" || line == ".TQ";
  }
  return usages;
}

TEST(CommandTableTest, HelpManualAndReadmeListEveryCommand) {
  std::string help;
  ParsedCtlOptions parsed = ParseCtlOptions({"--help"});
  help = parsed.text;
  const std::string readme = ReadText(KX_SOURCE_DIR "/README.md");
  std::set<std::string> table;
  for (const commands::CommandSpec& spec : commands::CommandTable()) {
    const std::string usage = commands::UsageText(spec);
    table.insert(usage);
    EXPECT_NE(help.find(usage.substr(0, usage.find(" [--"))), std::string::npos) << usage;
    for (const commands::OptionSpec& option : spec.options) {
      EXPECT_NE(help.find(std::string(option.name)), std::string::npos) << option.name;
    }
    const std::string cell = "`" + std::regex_replace(usage, std::regex(R"(\|)"), R"(\|)") + "`";
    EXPECT_NE(readme.find(cell), std::string::npos) << cell;
  }
  EXPECT_EQ(ManualCommands(), table);
}

}  // namespace
}  // namespace kx::ctl
