#include "logger/log_format.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <utility>

#include "adc/adc_control_word.h"
#include "adc/adc_display.h"

namespace kx::logger {
namespace {

using Json = nlohmann::ordered_json;

constexpr double CodeSteps = 4096.0;

struct Scale {
  float span;
  bool straight_binary;
};

Scale ScaleOf(const LogLayout& layout) {
  const auto range_bit = static_cast<std::int16_t>(layout.half_span ? adc::RangeField : 0);
  return {adc::FullScaleSpan(static_cast<float>(layout.reference_volts.value_or(0.0)), range_bit),
          layout.straight_binary.value_or(true)};
}

// The channel's ADC correction where the layout names a calibration.
const board::LineCorrection* CorrectionOf(const LogLayout& layout, int channel) {
  if (!layout.calibration || channel < 0 ||
      channel >= static_cast<int>(layout.calibration->adc.size())) {
    return nullptr;
  }
  const auto& correction = layout.calibration->adc[static_cast<std::size_t>(channel)];
  return correction ? &*correction : nullptr;
}

void AppendFigures(std::string& line, const LogLayout& layout, int channel,
                   const ChannelFigures* figures) {
  const auto field = [&line, figures](auto&& format) {
    line += ',';
    if (figures != nullptr) {
      line += format(*figures);
    }
  };
  if (!layout.Averaged()) {
    field([](const ChannelFigures& f) { return fmt::format("{}", f.minimum); });
  } else {
    field([](const ChannelFigures& f) { return fmt::format("{:.3f}", f.mean); });
    field([](const ChannelFigures& f) { return fmt::format("{}", f.minimum); });
    field([](const ChannelFigures& f) { return fmt::format("{}", f.maximum); });
    field([](const ChannelFigures& f) { return fmt::format("{:.3f}", f.deviation); });
  }
  if (!layout.reference_volts) {
    return;
  }
  const Scale scale = ScaleOf(layout);
  // The codes stay raw; the volts are the calibrated input's.
  const board::LineCorrection* correction = CorrectionOf(layout, channel);
  const double slope = correction != nullptr ? 1.0 + correction->gain_percent / 100.0 : 1.0;
  const auto volts = [&scale, correction](double value) {
    return fmt::format(
        "{:.6f}", adc::CalibratedLineVolts(value, scale.span, scale.straight_binary, correction));
  };
  if (!layout.Averaged()) {
    field([&](const ChannelFigures& f) { return volts(f.minimum); });
  } else {
    field([&](const ChannelFigures& f) { return volts(f.mean); });
    field([&](const ChannelFigures& f) { return volts(f.minimum); });
    field([&](const ChannelFigures& f) { return volts(f.maximum); });
    field([&](const ChannelFigures& f) {
      return fmt::format("{:.6f}", f.deviation / slope / CodeSteps * scale.span);
    });
  }
}

HeaderRead Fail(std::string error) {
  return {std::nullopt, std::move(error)};
}

// The header holds an object with one array in it; anything nested far
// deeper is not a log's, and is refused before it is built.
constexpr int kDeepestNesting = 4;
// Text from the file quoted in a message is cut to this.
constexpr std::size_t kLongestQuote = 24;

// "2026-12-08T06:00:01.250000Z", as IsoMicroseconds writes it: a real date
// and time of day.
bool IsIsoMicroseconds(std::string_view text) {
  constexpr std::string_view kPattern = "dddd-dd-ddTdd:dd:dd.ddddddZ";
  if (text.size() != kPattern.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i]) {
      return false;
    }
  }
  const auto number = [text](std::size_t at, std::size_t digits) {
    int value = 0;
    for (std::size_t i = at; i < at + digits; ++i) {
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  const std::chrono::year_month_day date{std::chrono::year{number(0, 4)},
                                         std::chrono::month{static_cast<unsigned>(number(5, 2))},
                                         std::chrono::day{static_cast<unsigned>(number(8, 2))}};
  return date.ok() && number(11, 2) < 24 && number(14, 2) < 60 && number(17, 2) < 60;
}

// A finite number (not a boolean, which nlohmann keeps apart) in [low, high].
std::optional<double> NumberIn(const Json& value, double low, double high) {
  if (!value.is_number()) {
    return std::nullopt;
  }
  const double number = value.get<double>();
  if (!std::isfinite(number) || number < low || number > high) {
    return std::nullopt;
  }
  return number;
}

// Each key is looked at for its type before it is read, so that a wrong
// value is refused with its key named rather than taken as it comes.
std::string ReadLayout(const Json& doc, LogLayout& layout) {
  if (!doc.is_object()) {
    return "the comment line holds no JSON object";
  }
  for (const char* key :
       {"edition", "configuration_word", "half_span", "weak", "straight_binary", "reference_volts",
        "channels", "average", "interval_seconds", "started"}) {
    if (!doc.contains(key)) {
      return fmt::format("the comment line has no \"{}\"", key);
    }
  }
  if (!doc.contains("format") || doc["format"] != LogFormatVersion) {
    return fmt::format("\"format\" must be {}", LogFormatVersion);
  }
  const Json& edition = doc["edition"];
  if (edition != "version2" && edition != "classic") {
    return "\"edition\" must be \"version2\" or \"classic\"";
  }
  layout.edition = edition.get<std::string>();
  if (doc.contains("program")) {
    if (!doc["program"].is_string()) {
      return "\"program\" must be a text";
    }
    layout.program = doc["program"].get<std::string>();
  }
  const Json& word_value = doc["configuration_word"];
  const std::string word = word_value.is_string() ? word_value.get<std::string>() : std::string{};
  std::size_t used = 0;
  unsigned long parsed_word = 0;
  try {
    parsed_word = word.starts_with('-') ? 0 : std::stoul(word, &used, 16);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != word.size() || parsed_word > 0xFFFF) {
    return "\"configuration_word\" must be a hex number of 16 bits";
  }
  layout.configuration_word = static_cast<std::int32_t>(parsed_word);
  for (const auto& [key, flag] :
       {std::pair{"half_span", &layout.half_span}, std::pair{"weak", &layout.weak}}) {
    if (!doc[key].is_boolean()) {
      return fmt::format("\"{}\" must be true or false", key);
    }
    *flag = doc[key].get<bool>();
  }
  if (const Json& coding = doc["straight_binary"]; !coding.is_null()) {
    if (!coding.is_boolean()) {
      return "\"straight_binary\" must be true, false or null";
    }
    layout.straight_binary = coding.get<bool>();
  }
  if (const Json& reference = doc["reference_volts"]; !reference.is_null()) {
    // Zero would divide every conversion by nothing, hence the open bound.
    const std::optional<double> volts = NumberIn(reference, 0.0, LargestReferenceVolts);
    if (!volts || *volts == 0.0) {
      return fmt::format(
          "\"reference_volts\" must be a number of volts above 0 and at most {:g}, or null",
          LargestReferenceVolts);
    }
    layout.reference_volts = volts;
  }
  const Json& channels = doc["channels"];
  if (!channels.is_array() || channels.empty()) {
    return "\"channels\" must name the channels logged, such as [0, 3]";
  }
  for (const Json& channel : channels) {
    const std::optional<double> number = NumberIn(channel, 0, adc::AdcChannels - 1);
    const int value = number ? static_cast<int>(*number) : -1;
    if (!number || value != *number) {
      std::string shown = channel.dump();
      if (shown.size() > kLongestQuote) {
        shown = shown.substr(0, kLongestQuote) + "...";
      }
      return fmt::format("{} in \"channels\" is not a channel 0 to {}", shown,
                         adc::AdcChannels - 1);
    }
    if (std::find(layout.channels.begin(), layout.channels.end(), value) != layout.channels.end()) {
      return fmt::format("channel {} comes twice in \"channels\"", value);
    }
    layout.channels.push_back(value);
  }
  const std::optional<double> average = NumberIn(doc["average"], 1, LargestAverage);
  if (!average || *average != std::floor(*average)) {
    return fmt::format("\"average\" must be a whole number of reads from 1 to {}", LargestAverage);
  }
  layout.average = static_cast<int>(*average);
  const std::optional<double> interval =
      NumberIn(doc["interval_seconds"], ShortestIntervalSeconds, LongestIntervalSeconds);
  if (!interval) {
    return fmt::format("\"interval_seconds\" must be from {:g} to {:g} seconds",
                       ShortestIntervalSeconds, LongestIntervalSeconds);
  }
  layout.interval_seconds = *interval;
  const Json& started = doc["started"];
  if (!started.is_string() || !IsIsoMicroseconds(started.get<std::string>())) {
    return "\"started\" must be a UTC time such as \"2026-12-08T06:00:01.250000Z\"";
  }
  layout.started = started.get<std::string>();
  return {};
}

}  // namespace

std::string IsoMicroseconds(std::chrono::system_clock::time_point time) {
  const auto seconds = std::chrono::floor<std::chrono::seconds>(time);
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(time - seconds).count();
  return fmt::format("{:%Y-%m-%dT%H:%M:%S}.{:06}Z",
                     fmt::gmtime(std::chrono::system_clock::to_time_t(seconds)), micros);
}

std::string HeaderLine(const LogLayout& layout) {
  Json doc;
  doc["format"] = LogFormatVersion;
  doc["edition"] = layout.edition;
  doc["program"] = layout.program;
  doc["configuration_word"] = fmt::format("0x{:04X}", layout.configuration_word & 0xFFFF);
  doc["half_span"] = layout.half_span;
  doc["weak"] = layout.weak;
  doc["straight_binary"] = layout.straight_binary ? Json(*layout.straight_binary) : Json(nullptr);
  doc["reference_volts"] = layout.reference_volts ? Json(*layout.reference_volts) : Json(nullptr);
  doc["channels"] = layout.channels;
  doc["average"] = layout.average;
  doc["interval_seconds"] = layout.interval_seconds;
  doc["started"] = layout.started;
  return fmt::format("{}{}\n", HeaderPrefix, doc.dump());
}

std::vector<std::string> ColumnNames(const LogLayout& layout) {
  std::vector<std::string> names = {"time_utc", "seconds", "status", "link_status"};
  const std::vector<std::string> figures =
      layout.Averaged() ? std::vector<std::string>{"mean", "min", "max", "std"}
                        : std::vector<std::string>{"code"};
  for (const int channel : layout.channels) {
    for (const std::string& figure : figures) {
      names.push_back(fmt::format("ch{}_{}", channel, figure));
    }
    if (layout.reference_volts) {
      for (const std::string& figure : figures) {
        names.push_back(layout.Averaged() ? fmt::format("ch{}_{}_volts", channel, figure)
                                          : fmt::format("ch{}_volts", channel));
      }
    }
  }
  return names;
}

std::string ColumnLine(const LogLayout& layout) {
  return fmt::format("{}\n", fmt::join(ColumnNames(layout), ","));
}

std::string RowLine(const LogLayout& layout, const LogRow& row) {
  std::string line = IsoMicroseconds(row.utc);
  line += fmt::format(",{:.6f}", std::chrono::duration<double>(row.since_start).count());
  line += row.gap_status ? fmt::format(",gap,{}", *row.gap_status) : std::string(",ok,");
  for (std::size_t i = 0; i < layout.channels.size(); ++i) {
    AppendFigures(line, layout, layout.channels[i],
                  row.gap_status || i >= row.figures.size() ? nullptr : &row.figures[i]);
  }
  line += '\n';
  return line;
}

HeaderRead ParseHeaderLine(std::string_view line) {
  if (!line.starts_with(HeaderPrefix)) {
    return Fail(fmt::format("the first line does not start with \"{}\": not a KX7312 log",
                            HeaderPrefix.substr(0, HeaderPrefix.size() - 1)));
  }
  if (line.size() > LargestHeaderLine) {
    return Fail(fmt::format("the comment line is longer than {} KiB: not a KX7312 log",
                            LargestHeaderLine >> 10));
  }
  line.remove_prefix(HeaderPrefix.size());
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  LogLayout layout;
  bool too_deep = false;
  // Values below the limit are dropped as they come, so that deep nesting
  // costs no memory before it is refused.
  const Json::parser_callback_t depth_limit = [&too_deep](int depth, Json::parse_event_t, Json&) {
    too_deep = too_deep || depth > kDeepestNesting;
    return !too_deep;
  };
  try {
    const Json doc = Json::parse(line.begin(), line.end(), depth_limit);
    if (too_deep) {
      return Fail(fmt::format("the comment line's JSON nests deeper than {} levels: not a log's",
                              kDeepestNesting));
    }
    if (std::string error = ReadLayout(doc, layout); !error.empty()) {
      return Fail(std::move(error));
    }
  } catch (const Json::exception& e) {
    return Fail(fmt::format("the comment line is not the log's JSON: {}", e.what()));
  }
  return {std::move(layout), {}};
}

}  // namespace kx::logger
