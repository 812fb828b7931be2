#include "ctl/completion.h"

#include <algorithm>
#include <span>
#include <sstream>
#include <string_view>

#include "adc/adc_control_word.h"
#include "commands/command_table.h"
#include "ctl/ctl_options.h"
#include "dac/dac_command_word.h"

namespace kx::ctl {

namespace {

using commands::ArgumentKind;
using commands::ArgumentSpec;
using commands::CommandSpec;
using commands::OptionSpec;

constexpr std::string_view kGroupWords = "dac line adc setup calibration script";
constexpr std::string_view kFiles = "@files\n";
constexpr std::string_view kFolders = "@folders\n";

// The candidates as lines.
std::string Lines(std::string_view words) {
  std::istringstream in{std::string(words)};
  std::string text;
  for (std::string word; in >> word;) {
    text += word + "\n";
  }
  return text;
}

std::string ChoiceLines(commands::Choices choices, const Edition& edition) {
  std::string text;
  for (const commands::Choice& choice : choices) {
    if (!choice.word.empty() && (!choice.volts_only || edition.HasVolts())) {
      text += std::string(choice.word) + "\n";
    }
  }
  return text;
}

const OptionSpec* OptionOf(const CommandSpec& spec, std::string_view word, const Edition& edition) {
  for (const OptionSpec& option : spec.options) {
    if (option.name == word && commands::Has(edition, option)) {
      return &option;
    }
  }
  return nullptr;
}

std::string OptionLines(const CommandSpec& spec, const Edition& edition) {
  std::string text;
  for (const OptionSpec& option : spec.options) {
    if (commands::Has(edition, option)) {
      text += std::string(option.name) + "\n";
    }
  }
  return text;
}

std::string ValueLines(ArgumentKind kind, commands::Choices choices, std::string_view examples,
                       const Edition& edition) {
  if (kind == ArgumentKind::File) {
    return std::string(kFiles);
  }
  if (kind == ArgumentKind::Folder) {
    return std::string(kFolders);
  }
  return choices.empty() ? Lines(examples) : ChoiceLines(choices, edition);
}

// A positional argument: `given` are the command's arguments before it.
std::string ArgumentLines(const CommandSpec& spec, const std::vector<std::string>& given,
                          const Edition& edition) {
  const std::span<const ArgumentSpec> arguments = spec.arguments;
  const bool rest = !arguments.empty() && (arguments.back().kind == ArgumentKind::GroupChannels ||
                                           arguments.back().kind == ArgumentKind::ChannelCodes);
  if (given.size() >= arguments.size() && !rest) {
    return OptionLines(spec, edition) + Lines(kGroupWords);
  }
  const ArgumentSpec& argument = arguments[std::min(given.size(), arguments.size() - 1)];
  if (argument.kind == ArgumentKind::ChannelCodes) {
    std::string text = "@nospace\n";
    for (int channel = 0; channel < adc::AdcChannels; ++channel) {
      text += std::to_string(channel) + "=\n";
    }
    return text;
  }
  if (argument.kind == ArgumentKind::GroupChannels) {
    const int first = !given.empty() && given.front() == "high" ? dac::ChannelsPerGroup : 0;
    std::string text;
    for (int channel = first; channel < first + dac::ChannelsPerGroup; ++channel) {
      text += std::to_string(channel) + "\n";
    }
    return text + Lines(kGroupWords);
  }
  return ValueLines(argument.kind, argument.choices, {}, edition);
}

// Within one command: `words` from its group word on, the last being typed.
std::string CommandLines(const std::vector<std::string>& words, const Edition& edition) {
  const std::string& group = words.front();
  const bool stands_alone = commands::FindCommand(group, "") != nullptr;
  if (words.size() == 2 && !stands_alone) {
    std::string text;
    for (const CommandSpec& spec : commands::CommandTable()) {
      if (spec.group == group && commands::Has(edition, spec)) {
        text += std::string(spec.word) + "\n";
      }
    }
    return text;
  }
  const CommandSpec* spec = commands::FindCommand(group, stands_alone ? "" : words[1]);
  if (spec == nullptr) {
    return {};
  }
  const std::string& typed = words.back();
  std::vector<std::string> given;
  for (std::size_t i = stands_alone ? 1 : 2; i + 1 < words.size(); ++i) {
    if (const OptionSpec* option = OptionOf(*spec, words[i], edition)) {
      i += option->value.empty() ? 0 : 1;
    } else if (!words[i].starts_with("--")) {
      given.push_back(words[i]);
    }
  }
  if (const OptionSpec* option = OptionOf(*spec, words[words.size() - 2], edition);
      option != nullptr && !option->value.empty()) {
    return ValueLines(option->value_kind, option->choices, option->examples, edition);
  }
  if (group == "list") {
    return {};  // it takes nothing, and nothing may follow it
  }
  if (typed.starts_with("-") || group == "serve") {
    return OptionLines(*spec, edition);
  }
  return ArgumentLines(*spec, given, edition);
}

}  // namespace

std::string CompletionText(const std::vector<std::string>& words) {
  const Edition* edition = &Version2Edition;
  const std::vector<std::string>& valued = GlobalOptionsWithValues();
  std::size_t first = 0;
  // The tool's own options, up to the first command.
  while (first + 1 < words.size() && words[first].starts_with("-")) {
    const std::string& word = words[first];
    const bool takes_value = std::find(valued.begin(), valued.end(), word) != valued.end();
    if (takes_value && word == "--edition" && first + 2 < words.size()) {
      edition = words[first + 1] == "classic" ? &ClassicEdition : &Version2Edition;
    } else if (word == "--edition=classic") {
      edition = &ClassicEdition;
    }
    first += takes_value ? 2 : 1;
  }
  if (first > 0 && first == words.size()) {
    // The value of the last option is being typed.
    const std::string& option = words[first - 2];
    if (option == "--edition") {
      return Lines("version2 classic");
    }
    return option == "--sim-settings" || option == "--trace" ? std::string(kFiles) : std::string();
  }
  std::size_t start = words.size();
  for (std::size_t i = first; i + 1 < words.size(); ++i) {
    if (commands::IsGroupWord(words[i])) {
      start = i;
    }
  }
  if (start == words.size()) {
    std::string text;
    for (const std::string& name : GlobalOptionNames()) {
      text += name + "\n";
    }
    return text + Lines(kGroupWords) + "serve\nlist\n";
  }
  return CommandLines(
      std::vector<std::string>(words.begin() + static_cast<long>(start), words.end()), *edition);
}

}  // namespace kx::ctl
