#include "session/setup_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <span>
#include <stdexcept>
#include <utility>

#include "adc/adc_lists.h"
#include "adc/sample_file.h"
#include "board/parsed_file.h"
#include "dac/dac_lists.h"
#include "session/json_fields.h"

namespace kx::session {

namespace {

using json_fields::Fault;
using json_fields::Item;
using json_fields::Member;

using Json = nlohmann::ordered_json;
using LoadButton = dac::DacOperations::LoadButton;

constexpr std::size_t kMaxFileBytes = std::size_t{64} * 1024;
constexpr std::array<const char*, 2> kLoadButtons = {"input_register", "dac_register"};
constexpr std::array<const char*, 2> kLevels = {"high", "low"};
constexpr std::array<const Edition*, 2> kEditions = {&Version2Edition, &ClassicEdition};

std::string Element(const std::string& path, std::size_t index) {
  return fmt::format("{}[{}]", path, index);
}

const Json& Object(const Json& value, const std::string& path,
                   std::initializer_list<std::string_view> keys) {
  return json_fields::Object(value, path, keys, "the set-up", "a set-up");
}

const Json& Array(const Json& value, const std::string& path, std::size_t size) {
  if (!value.is_array() || value.size() != size) {
    Fault(path, fmt::format("not a list of {}", size));
  }
  return value;
}

int Whole(const Json& value, const std::string& path, int largest) {
  if (!value.is_number_integer() || value.get<long long>() < 0 ||
      value.get<long long>() > largest) {
    Fault(path, fmt::format("{} is not a whole number from 0 to {}", value.dump(), largest));
  }
  return value.get<int>();
}

bool Boolean(const Json& value, const std::string& path) {
  if (!value.is_boolean()) {
    Fault(path, fmt::format("{} is neither true nor false", value.dump()));
  }
  return value.get<bool>();
}

std::string WordText(std::int32_t word) {
  return fmt::format("0x{:08X}", static_cast<std::uint32_t>(word));
}

Json RegisterJson(std::uint8_t command, std::span<const std::uint16_t> codes) {
  Json words = Json::array();
  for (std::size_t channel = 0; channel < codes.size(); ++channel) {
    words.push_back(WordText(dac::ChannelWord(
        command, static_cast<int>(channel % dac::ChannelsPerGroup), codes[channel])));
  }
  return {{"codes", codes}, {"words", std::move(words)}};
}

// The codes, each checked against the word beside it.
std::array<std::uint16_t, dac::ChannelCount> ReadRegister(const Json& value,
                                                          const std::string& path,
                                                          std::uint8_t command) {
  Object(value, path, {"codes", "words"});
  const Json& codes = Array(value["codes"], Member(path, "codes"), dac::ChannelCount);
  const Json& words = Array(value["words"], Member(path, "words"), dac::ChannelCount);
  std::array<std::uint16_t, dac::ChannelCount> read{};
  for (std::size_t channel = 0; channel < read.size(); ++channel) {
    read[channel] = static_cast<std::uint16_t>(
        Whole(codes[channel], Element(Member(path, "codes"), channel), dac::LargestChannelCode));
    const std::string word = WordText(dac::ChannelWord(
        command, static_cast<int>(channel % dac::ChannelsPerGroup), read[channel]));
    if (words[channel] != word) {
      Fault(Element(Member(path, "words"), channel),
            fmt::format("{} is not DAC{}'s word for code {} ({})", words[channel].dump(), channel,
                        read[channel], word));
    }
  }
  return read;
}

template <class T, class Write>
Json OrNull(const std::optional<T>& value, Write write) {
  return value ? Json(write(*value)) : Json(nullptr);
}

Json GroupJson(const dac::DacOperations::GroupSettings& group) {
  Json power_down = nullptr;
  if (group.power_down_channels) {
    Json channels = Json::array();
    for (const int mode : *group.power_down_channels) {
      channels.push_back(dac::PowerDownItems[static_cast<std::size_t>(mode)]);
    }
    power_down = {
        {"channels", std::move(channels)},
        {"last_mode", dac::PowerDownItems[static_cast<std::size_t>(group.power_down_mode)]},
        {"last_mask", group.power_down_mask}};
  }
  return {
      {"power_down", std::move(power_down)},
      {"ldac_register", OrNull(group.ldac_mask, [](std::uint8_t mask) { return mask; })},
      {"reference", OrNull(group.reference,
                           [](int i) { return dac::ReferenceItems[static_cast<std::size_t>(i)]; })},
      {"clear_code",
       OrNull(group.clear_code,
              [](int i) { return dac::ClearCodeItems[static_cast<std::size_t>(i)]; })},
  };
}

void ReadPowerDown(const Json& value, const std::string& path,
                   dac::DacOperations::GroupSettings& group) {
  Object(value, path, {"channels", "last_mode", "last_mask"});
  const std::string at = Member(path, "channels");
  const Json& channels = Array(value["channels"], at, dac::ChannelsPerGroup);
  std::array<int, dac::ChannelsPerGroup> modes{};
  for (std::size_t channel = 0; channel < modes.size(); ++channel) {
    modes[channel] = Item(channels[channel], Element(at, channel), dac::PowerDownItems);
  }
  group.power_down_channels = modes;
  group.power_down_mode = Item(value["last_mode"], Member(path, "last_mode"), dac::PowerDownItems);
  group.power_down_mask =
      static_cast<std::uint8_t>(Whole(value["last_mask"], Member(path, "last_mask"), 0xFF));
  // The last program left the channels of its mask in its mode.
  for (std::size_t channel = 0; channel < modes.size(); ++channel) {
    if (((group.power_down_mask >> channel) & 1U) != 0 && modes[channel] != group.power_down_mode) {
      Fault(Element(at, channel),
            fmt::format("\"{}\", but last_mask 0x{:02X} put this channel in \"{}\"",
                        dac::PowerDownItems[static_cast<std::size_t>(modes[channel])],
                        group.power_down_mask,
                        dac::PowerDownItems[static_cast<std::size_t>(group.power_down_mode)]));
    }
  }
}

dac::DacOperations::GroupSettings ReadGroup(const Json& value, const std::string& path) {
  Object(value, path, {"power_down", "ldac_register", "reference", "clear_code"});
  dac::DacOperations::GroupSettings group;
  if (const Json& power_down = value["power_down"]; !power_down.is_null()) {
    ReadPowerDown(power_down, Member(path, "power_down"), group);
  }
  if (const Json& ldac = value["ldac_register"]; !ldac.is_null()) {
    group.ldac_mask = static_cast<std::uint8_t>(Whole(ldac, Member(path, "ldac_register"), 0xFF));
  }
  if (const Json& reference = value["reference"]; !reference.is_null()) {
    group.reference = Item(reference, Member(path, "reference"), dac::ReferenceItems);
  }
  if (const Json& clear = value["clear_code"]; !clear.is_null()) {
    group.clear_code = Item(clear, Member(path, "clear_code"), dac::ClearCodeItems);
  }
  return group;
}

Json LevelJson(const std::optional<bool>& low) {
  return OrNull(low, [](bool is_low) { return kLevels[is_low ? 1 : 0]; });
}

std::optional<bool> ReadLevel(const Json& value, const std::string& path) {
  if (value.is_null()) {
    return std::nullopt;
  }
  return Item(value, path, kLevels) == 1;
}

const Edition& ReadEdition(const Json& value) {
  for (const Edition* edition : kEditions) {
    if (value.is_string() && value.get<std::string>() == edition->program_name) {
      return *edition;
    }
  }
  Fault("edition", fmt::format("{} is neither \"{}\" nor \"{}\"", value.dump(),
                               Version2Edition.program_name, ClassicEdition.program_name));
}

Setup ReadDocument(const Json& doc) {
  json_fields::CheckFormat(doc, SetupFormat, SetupVersion);
  Object(doc, "", {"format", "version", "edition", "dac", "adc", "lines"});
  Setup setup;
  setup.edition = &ReadEdition(doc["edition"]);

  const Json& dac = Object(doc["dac"], "dac",
                           {"input_register", "dac_register", "last_loaded", "auto_ldac_pulse",
                            "saved_power_down_masks", "groups"});
  setup.input_codes =
      ReadRegister(dac["input_register"], "dac.input_register", dac::LoadInputRegister);
  setup.dac_codes = ReadRegister(dac["dac_register"], "dac.dac_register", dac::UpdateDacRegister);
  setup.last_load = Item(dac["last_loaded"], "dac.last_loaded", kLoadButtons) == 1
                        ? LoadButton::DacRegister
                        : LoadButton::InputRegister;
  setup.auto_pulse = Boolean(dac["auto_ldac_pulse"], "dac.auto_ldac_pulse");
  const Json& masks = Array(dac["saved_power_down_masks"], "dac.saved_power_down_masks",
                            setup.saved_power_down_masks.size());
  for (std::size_t mode = 0; mode < masks.size(); ++mode) {
    setup.saved_power_down_masks[mode] = static_cast<std::uint16_t>(
        Whole(masks[mode], Element("dac.saved_power_down_masks", mode), 0xFF));
  }
  const Json& groups = Array(dac["groups"], "dac.groups", setup.groups.size());
  for (std::size_t group = 0; group < groups.size(); ++group) {
    setup.groups[group] = ReadGroup(groups[group], Element("dac.groups", group));
  }

  // The classic program has no Coding list, and so no coding to keep.
  const bool coding = setup.edition->HasVolts();
  const Json& adc = coding ? Object(doc["adc"], "adc", {"range", "weak_tri", "coding"})
                           : Object(doc["adc"], "adc", {"range", "weak_tri"});
  setup.adc.AdcRangeBit =
      Item(adc["range"], "adc.range", adc::RangeItems) == 1 ? adc::RangeField : std::int16_t{0};
  setup.adc.AdcWeakTriBit = Item(adc["weak_tri"], "adc.weak_tri", adc::WeakTriItems) == 1
                                ? adc::WeakTriField
                                : std::int16_t{0};
  if (coding) {
    setup.adc.AdcCodingBit = Item(adc["coding"], "adc.coding", adc::CodingItems) == 1
                                 ? adc::CodingField
                                 : std::int16_t{0};
  }

  const Json& lines = Object(doc["lines"], "lines", {"clr", "ldac"});
  setup.clr_low = ReadLevel(lines["clr"], "lines.clr");
  setup.ldac_low = ReadLevel(lines["ldac"], "lines.ldac");
  return setup;
}

}  // namespace

std::string SetupJson(const Setup& setup) {
  const Edition& edition = setup.edition != nullptr ? *setup.edition : Version2Edition;
  Json groups = Json::array();
  for (const dac::DacOperations::GroupSettings& group : setup.groups) {
    groups.push_back(GroupJson(group));
  }
  Json adc = {
      {"range", adc::RangeItems[setup.adc.AdcRangeBit != 0 ? 1 : 0]},
      {"weak_tri", adc::WeakTriItems[setup.adc.AdcWeakTriBit != 0 ? 1 : 0]},
  };
  if (edition.HasVolts()) {
    adc["coding"] = adc::CodingItems[setup.adc.AdcCodingBit != 0 ? 1 : 0];
  }
  const Json doc = {
      {"format", SetupFormat},
      {"version", SetupVersion},
      {"edition", edition.program_name},
      {"dac",
       {
           {"input_register", RegisterJson(dac::LoadInputRegister, setup.input_codes)},
           {"dac_register", RegisterJson(dac::UpdateDacRegister, setup.dac_codes)},
           {"last_loaded", kLoadButtons[setup.last_load == LoadButton::DacRegister ? 1 : 0]},
           {"auto_ldac_pulse", setup.auto_pulse},
           {"saved_power_down_masks", setup.saved_power_down_masks},
           {"groups", std::move(groups)},
       }},
      {"adc", std::move(adc)},
      {"lines", {{"clr", LevelJson(setup.clr_low)}, {"ldac", LevelJson(setup.ldac_low)}}},
  };
  return doc.dump(2) + "\n";
}

std::optional<std::string> WriteSetupFile(const std::string& path, const Setup& setup) {
  return adc::WriteFileReplacing(path, SetupJson(setup));
}

SetupRead ParseSetup(std::string_view json_text) {
  return json_fields::ParseDocument<SetupRead>(json_text, ReadDocument);
}

SetupRead ReadSetupFile(const std::string& path) {
  return board::ReadParsedFile(path, kMaxFileBytes, "a set-up", ParseSetup);
}

}  // namespace kx::session
