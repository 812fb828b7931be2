// The udev rule the panel ships must match the board under both of the
// identifiers the backend looks for, and nothing else.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "board/usb/access_message.h"
#include "board/usb/usb_options.h"

namespace kx::board::usb {
namespace {

struct Term {
  std::string key;  // "SUBSYSTEM", "ATTR{idVendor}", ...
  std::string op;   // "==", "!=", "=", "+=", ":="
  std::string value;
};
using Rule = std::vector<Term>;

std::filesystem::path RulePath() {
  return std::filesystem::path(KX_SOURCE_DIR) / std::string(UdevRuleSource);
}

// Every rule of the file, one per line; comments and blank lines skipped. A
// line that is not wholly made of terms is reported as a failure.
std::vector<Rule> ReadRules(const std::filesystem::path& path) {
  static const std::regex term(
      R"re(\s*([A-Z_]+(?:\{[^}]*\})?)\s*(==|!=|\+=|:=|=)\s*"([^"]*)"\s*(,|$))re");
  std::vector<Rule> rules;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    if (line.find_first_not_of(" \t") == std::string::npos ||
        line[line.find_first_not_of(" \t")] == '#') {
      continue;
    }
    Rule rule;
    std::size_t consumed = 0;
    for (auto it = std::sregex_iterator(line.begin(), line.end(), term);
         it != std::sregex_iterator(); ++it) {
      if (static_cast<std::size_t>(it->position()) != consumed) {
        break;
      }
      rule.push_back({(*it)[1], (*it)[2], (*it)[3]});
      consumed += static_cast<std::size_t>(it->length());
    }
    EXPECT_EQ(consumed, line.size()) << "not a rule: " << line;
    rules.push_back(rule);
  }
  return rules;
}

// Whether every match term of the rule holds for a device with these keys;
// "a|b" alternatives are taken as udev takes them.
bool Matches(const Rule& rule, const std::map<std::string, std::string>& device) {
  for (const Term& t : rule) {
    if (t.op != "==" && t.op != "!=") {
      continue;
    }
    const auto found = device.find(t.key);
    bool any = false;
    std::istringstream alternatives(t.value);
    for (std::string alternative; std::getline(alternatives, alternative, '|');) {
      any = any || (found != device.end() && found->second == alternative);
    }
    if (any != (t.op == "==")) {
      return false;
    }
  }
  return true;
}

std::map<std::string, std::string> Device(UsbId id, std::string subsystem = "usb",
                                          std::string type = "usb_device") {
  return {{"SUBSYSTEM", std::move(subsystem)},
          {"ENV{DEVTYPE}", std::move(type)},
          {"ATTR{idVendor}", fmt::format("{:04x}", id.vendor)},
          {"ATTR{idProduct}", fmt::format("{:04x}", id.product)}};
}

bool Assigns(const Rule& rule, std::string_view key, std::string_view op, std::string_view value) {
  for (const Term& t : rule) {
    if (t.key == key && t.op == op && t.value == value) {
      return true;
    }
  }
  return false;
}

TEST(UdevRule, OneRuleOpensBothIdentifiersToTheUser) {
  ASSERT_TRUE(std::filesystem::is_regular_file(RulePath())) << RulePath();
  EXPECT_EQ(RulePath().filename().string(), UdevRuleFileName);
  const std::vector<Rule> rules = ReadRules(RulePath());
  ASSERT_EQ(rules.size(), 1U);
  const Rule& rule = rules[0];

  EXPECT_TRUE(Matches(rule, Device(DefaultLoaderId)));
  EXPECT_TRUE(Matches(rule, Device(DefaultRunningId)));
  EXPECT_TRUE(Assigns(rule, "TAG", "+=", "uaccess"));
  EXPECT_TRUE(Assigns(rule, "MODE", "=", "0660"));
  EXPECT_TRUE(Assigns(rule, "GROUP", "=", "plugdev"));
}

TEST(UdevRule, OtherDevicesAreLeftAlone) {
  const std::vector<Rule> rules = ReadRules(RulePath());
  ASSERT_EQ(rules.size(), 1U);
  const UsbId neighbour{DefaultRunningId.vendor,
                        static_cast<std::uint16_t>(DefaultRunningId.product + 1)};
  const UsbId other_vendor{static_cast<std::uint16_t>(DefaultRunningId.vendor + 1),
                           DefaultRunningId.product};
  EXPECT_FALSE(Matches(rules[0], Device(neighbour)));
  EXPECT_FALSE(Matches(rules[0], Device(other_vendor)));
  EXPECT_FALSE(Matches(rules[0], Device(DefaultRunningId, "tty")));
  EXPECT_FALSE(Matches(rules[0], Device(DefaultRunningId, "usb", "usb_interface")));
}

}  // namespace
}  // namespace kx::board::usb
