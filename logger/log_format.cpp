#include "logger/log_format.h"

#include <fmt/chrono.h>
#include <fmt/format.h>

#include <nlohmann/json.hpp>

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

void AppendFigures(std::string& line, const LogLayout& layout, const ChannelFigures* figures) {
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
  const auto volts = [&scale](double value) {
    return fmt::format("{:.6f}", adc::LineVolts(value, scale.span, scale.straight_binary));
  };
  if (!layout.Averaged()) {
    field([&](const ChannelFigures& f) { return volts(f.minimum); });
  } else {
    field([&](const ChannelFigures& f) { return volts(f.mean); });
    field([&](const ChannelFigures& f) { return volts(f.minimum); });
    field([&](const ChannelFigures& f) { return volts(f.maximum); });
    field([&](const ChannelFigures& f) {
      return fmt::format("{:.6f}", f.deviation / CodeSteps * scale.span);
    });
  }
}

HeaderRead Fail(std::string error) {
  return {std::nullopt, std::move(error)};
}

std::string ReadLayout(const Json& doc, LogLayout& layout) {
  if (!doc.is_object()) {
    return "the comment line holds no JSON object";
  }
  if (doc.value("format", 0) != LogFormatVersion) {
    return fmt::format("\"format\" must be {}", LogFormatVersion);
  }
  layout.edition = doc.at("edition").get<std::string>();
  if (layout.edition != "version2" && layout.edition != "classic") {
    return "\"edition\" must be \"version2\" or \"classic\"";
  }
  layout.program = doc.value("program", std::string{});
  const std::string word = doc.at("configuration_word").get<std::string>();
  std::size_t used = 0;
  try {
    layout.configuration_word = static_cast<std::int32_t>(std::stoul(word, &used, 16));
  } catch (const std::exception&) {
    used = 0;
  }
  if (used == 0 || used != word.size()) {
    return "\"configuration_word\" must be a hex number";
  }
  layout.half_span = doc.at("half_span").get<bool>();
  layout.weak = doc.at("weak").get<bool>();
  if (const Json& coding = doc.at("straight_binary"); !coding.is_null()) {
    layout.straight_binary = coding.get<bool>();
  }
  if (const Json& reference = doc.at("reference_volts"); !reference.is_null()) {
    layout.reference_volts = reference.get<double>();
  }
  layout.channels = doc.at("channels").get<std::vector<int>>();
  if (layout.channels.empty()) {
    return "\"channels\" names no channel";
  }
  for (const int channel : layout.channels) {
    if (channel < 0 || channel >= adc::AdcChannels) {
      return fmt::format("channel {} in \"channels\" is not 0 to {}", channel,
                         adc::AdcChannels - 1);
    }
  }
  layout.average = doc.at("average").get<int>();
  if (layout.average < 1) {
    return "\"average\" must be 1 or more";
  }
  layout.interval_seconds = doc.at("interval_seconds").get<double>();
  if (!(layout.interval_seconds > 0.0)) {
    return "\"interval_seconds\" must be more than 0";
  }
  layout.started = doc.at("started").get<std::string>();
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
    AppendFigures(line, layout,
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
  line.remove_prefix(HeaderPrefix.size());
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  LogLayout layout;
  try {
    const Json doc = Json::parse(line.begin(), line.end());
    if (std::string error = ReadLayout(doc, layout); !error.empty()) {
      return Fail(std::move(error));
    }
  } catch (const Json::exception& e) {
    return Fail(fmt::format("the comment line is not the log's JSON: {}", e.what()));
  }
  return {std::move(layout), {}};
}

}  // namespace kx::logger
