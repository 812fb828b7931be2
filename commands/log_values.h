#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::commands {

// The data logger's limits: an interval the host can keep to, a run that
// fits the clock, and averages that fit an interval.
inline constexpr std::chrono::milliseconds ShortestInterval{1};
inline constexpr std::chrono::hours LongestInterval{24};
inline constexpr std::chrono::hours LongestRun{24 * 366 * 10};
inline constexpr int LargestAverage = 100000;

// A time as the logger's options take it: a number of seconds, or a number
// with a unit: "0.1", "250ms", "30s", "15m", "10h", "2d". The error names
// what is wrong; the value is rounded to whole nanoseconds.
struct DurationValue {
  std::optional<std::chrono::nanoseconds> value;
  std::string error;
};
DurationValue ParseDuration(std::string_view text);

// "all", or channel numbers and ranges: "0,3,8-11". Each channel once.
struct ChannelListValue {
  std::vector<int> channels;
  std::string error;
};
ChannelListValue ParseChannelList(std::string_view text);

// "1:02:03" for progress reports; hours grow past 24.
std::string ElapsedText(std::chrono::nanoseconds elapsed);

}  // namespace kx::commands
