#include "commands/log_values.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "adc/adc_control_word.h"
#include "board/number_text.h"

namespace kx::commands {
namespace {

struct Unit {
  std::string_view suffix;
  double seconds;
};

// Longest suffixes first, so that "ms" is not read as "s".
constexpr std::array<Unit, 5> Units = {
    {{"ms", 1e-3}, {"s", 1.0}, {"m", 60.0}, {"h", 3600.0}, {"d", 86400.0}}};

}  // namespace

DurationValue ParseDuration(std::string_view text) {
  std::string_view number = text;
  double scale = 1.0;
  for (const Unit& unit : Units) {
    if (number.ends_with(unit.suffix)) {
      number.remove_suffix(unit.suffix.size());
      scale = unit.seconds;
      break;
    }
  }
  const std::optional<double> value = board::FiniteNumberText(number);
  if (!value) {
    return {std::nullopt, fmt::format("\"{}\" is not a time: seconds, or a number with ms, s, m, "
                                      "h or d",
                                      text)};
  }
  const double seconds = *value * scale;
  if (!(seconds > 0.0)) {
    return {std::nullopt, fmt::format("\"{}\" is not a time after 0", text)};
  }
  if (seconds > std::chrono::duration<double>(LongestRun).count()) {
    return {std::nullopt, fmt::format("\"{}\" is longer than ten years", text)};
  }
  return {std::chrono::nanoseconds(std::llround(seconds * 1e9)), {}};
}

ChannelListValue ParseChannelList(std::string_view text) {
  ChannelListValue list;
  if (text == "all") {
    for (int channel = 0; channel < adc::AdcChannels; ++channel) {
      list.channels.push_back(channel);
    }
    return list;
  }
  std::array<bool, adc::AdcChannels> seen{};
  const auto fail = [&list](std::string error) {
    list.channels.clear();
    list.error = std::move(error);
    return list;
  };
  std::string_view rest = text;
  while (true) {
    const std::size_t comma = rest.find(',');
    const std::string_view item = rest.substr(0, comma);
    const std::size_t dash = item.find('-');
    const std::optional<int> first = board::WholeNumberText(item.substr(0, dash));
    const std::optional<int> last =
        dash == std::string_view::npos ? first : board::WholeNumberText(item.substr(dash + 1));
    if (!first || !last || *first < 0 || *last >= adc::AdcChannels || *first > *last) {
      return fail(fmt::format("\"{}\" in \"{}\" is not a channel 0-15 or a range such as 8-11",
                              item, text));
    }
    for (int channel = *first; channel <= *last; ++channel) {
      if (seen[static_cast<std::size_t>(channel)]) {
        return fail(fmt::format("channel {} is named twice in \"{}\"", channel, text));
      }
      seen[static_cast<std::size_t>(channel)] = true;
      list.channels.push_back(channel);
    }
    if (comma == std::string_view::npos) {
      return list;
    }
    rest.remove_prefix(comma + 1);
  }
}

std::string ElapsedText(std::chrono::nanoseconds elapsed) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  return fmt::format("{}:{:02}:{:02}", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

}  // namespace kx::commands
