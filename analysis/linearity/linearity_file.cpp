#include "analysis/linearity/linearity_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace kx::linearity {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kHistogramKind = "adc-histogram";
constexpr std::string_view kSweepKind = "dac-sweep";

Json Worst(int code, double lsb) {
  return Json{{"code", code}, {"lsb", lsb}};
}

Json Optional(const std::optional<double>& value) {
  return value ? Json(*value) : Json(nullptr);
}

// Six decimals keep a thousandth of an LSB and the files short.
std::string Figure(double value) {
  return fmt::format("{:.6f}", value);
}

// The fields of one CSV line.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  while (true) {
    const std::size_t comma = line.find(',');
    fields.push_back(line.substr(0, comma));
    if (comma == std::string_view::npos) {
      return fields;
    }
    line.remove_prefix(comma + 1);
  }
}

// The data lines of a CSV with the given header, each split; empty with
// `error` set when the text is not such a file.
std::vector<std::vector<std::string_view>> Rows(std::string_view text, std::string_view header,
                                                std::string& error) {
  std::vector<std::vector<std::string_view>> rows;
  bool first = true;
  const std::size_t columns = Fields(header).size();
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (!line.empty() && line.back() == '\r') {
      line.remove_suffix(1);
    }
    if (first) {
      if (line != header) {
        error = fmt::format("the first line is not \"{}\"", header);
        return {};
      }
      first = false;
      continue;
    }
    std::vector<std::string_view> fields = Fields(line);
    if (fields.size() != columns) {
      error = fmt::format("line {} has {} fields, not {}", rows.size() + 2, fields.size(), columns);
      return {};
    }
    rows.push_back(std::move(fields));
  }
  if (first) {
    error = "the file is empty";
  }
  return rows;
}

template <class T>
std::optional<T> Number(std::string_view text) {
  T value{};
  if (text.empty()) {
    return T{};
  }
  const auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (problem != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  if constexpr (std::is_floating_point_v<T>) {
    if (!std::isfinite(value)) {
      return std::nullopt;
    }
  }
  return value;
}

Json ParseMetadata(std::string_view text, std::string_view kind, std::string& error) {
  Json doc = Json::parse(text.begin(), text.end(), nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) {
    error = "the metadata is not a JSON object";
    return {};
  }
  if (!doc.contains("kind") || doc["kind"] != kind) {
    error = fmt::format("the metadata's \"kind\" is not \"{}\"", kind);
    return {};
  }
  return doc;
}

double NumberAt(const Json& doc, const char* key) {
  const auto found = doc.find(key);
  return found != doc.end() && found->is_number() ? found->get<double>() : 0.0;
}

}  // namespace

Json DensityJson(const DensityLinearity& result) {
  Json json;
  json["method"] = DensityMethodName(result.method);
  json["samples"] = result.samples;
  json["problem"] = result.reason.empty() ? Json(nullptr) : Json(result.reason);
  if (!result.reason.empty()) {
    return json;
  }
  json["first_code"] = result.first_code;
  json["last_code"] = result.last_code;
  json["missing_codes"] = result.missing_codes;
  json["worst_dnl"] = Worst(result.worst_dnl_code, result.worst_dnl);
  json["worst_inl"] = Worst(result.worst_inl_code, result.worst_inl);
  json["dnl_rms"] = result.dnl_rms;
  json["fitted_centre_codes"] = result.fitted_centre_codes;
  json["fitted_amplitude_codes"] = result.fitted_amplitude_codes;
  json["offset_lsb"] = Optional(result.offset_lsb);
  json["gain_percent"] = Optional(result.gain_percent);
  return json;
}

Json SweepJson(const SweepLinearity& result) {
  Json json;
  json["adc_taken_out"] = result.adc_taken_out;
  json["problem"] = result.problem.empty() ? Json(nullptr) : Json(result.problem);
  if (!result.problem.empty()) {
    return json;
  }
  json["points"] = result.codes.size();
  json["endpoint"] = {{"offset_lsb", result.endpoint_offset_lsb},
                      {"gain_percent", result.endpoint_gain_percent}};
  json["best_fit"] = {{"offset_lsb", result.fit_offset_lsb},
                      {"gain_percent", result.fit_gain_percent}};
  json["worst_inl"] = Worst(result.worst_inl_code, result.worst_inl);
  json["worst_dnl"] = Worst(result.worst_dnl_code, result.worst_dnl);
  json["monotonic"] = result.Monotonic();
  json["falls"] = result.falls;
  double noise = 0.0;
  for (const double step : result.noise_lsb) {
    noise = std::max(noise, step);
  }
  json["largest_noise_lsb"] = noise;
  return json;
}

Json HistogramMetadata(const HistogramSetup& setup, const DensityLinearity& result) {
  Json json;
  json["kind"] = kHistogramKind;
  json["channel"] = setup.channel;
  json["range"] = setup.range;
  json["coding"] = setup.coding.empty() ? Json(nullptr) : Json(setup.coding);
  json["transfers"] = setup.transfers;
  json.update(DensityJson(result));
  return json;
}

Json SweepMetadata(const SweepSetup& setup, const SweepLinearity& result) {
  Json json;
  json["kind"] = kSweepKind;
  json["channel"] = setup.channel;
  json["adc_channel"] = setup.adc_channel;
  json["codes"] = {{"start", setup.start}, {"stop", setup.stop}, {"step", setup.step}};
  json["average"] = setup.average;
  json["settle_seconds"] = setup.settle_seconds;
  json["adc_linearity"] =
      setup.adc_linearity_file.empty() ? Json(nullptr) : Json(setup.adc_linearity_file);
  json["requests"] = setup.requests;
  json.update(SweepJson(result));
  return json;
}

std::string HistogramCsv(std::span<const std::uint64_t> counts, const DensityLinearity& result) {
  std::string text = "code,count,dnl,inl\n";
  for (std::size_t code = 0; code < counts.size(); ++code) {
    const auto at = static_cast<int>(code);
    const bool figures = !result.dnl.empty() && at >= result.first_code && at <= result.last_code;
    text += figures ? fmt::format("{},{},{},{}\n", code, counts[code], Figure(result.dnl[code]),
                                  Figure(result.inl[code]))
                    : fmt::format("{},{},,\n", code, counts[code]);
  }
  return text;
}

std::string SweepCsv(const SweepLinearity& result) {
  std::string text = "code,output_lsb,noise_lsb,inl_endpoint,inl_fit,dnl\n";
  for (std::size_t i = 0; i < result.codes.size(); ++i) {
    const bool figures = result.problem.empty();
    text +=
        fmt::format("{},{},{},{},{},{}\n", result.codes[i], Figure(result.output_lsb[i]),
                    Figure(result.noise_lsb[i]), figures ? Figure(result.inl_endpoint[i]) : "",
                    figures ? Figure(result.inl_fit[i]) : "", figures ? Figure(result.dnl[i]) : "");
  }
  return text;
}

DensityRead ReadDensity(std::string_view csv_text, std::string_view metadata_text) {
  DensityRead read;
  const Json doc = ParseMetadata(metadata_text, kHistogramKind, read.error);
  if (!read.error.empty()) {
    return read;
  }
  if (doc.contains("problem") && !doc["problem"].is_null()) {
    read.error = "the test gave no figures: " + doc["problem"].dump();
    return read;
  }
  const auto rows = Rows(csv_text, "code,count,dnl,inl", read.error);
  if (!read.error.empty()) {
    return read;
  }
  if (rows.size() != static_cast<std::size_t>(kCodes)) {
    read.error = fmt::format("{} codes, not {}", rows.size(), kCodes);
    return read;
  }
  DensityLinearity result;
  result.method = DensityMethodFromName(doc.value("method", "")).value_or(DensityMethod::Sine);
  result.first_code = static_cast<int>(NumberAt(doc, "first_code"));
  result.last_code = static_cast<int>(NumberAt(doc, "last_code"));
  if (result.first_code < 0 || result.last_code >= kCodes || result.first_code > result.last_code) {
    read.error = "the metadata's first_code and last_code are no range of codes";
    return read;
  }
  result.dnl.assign(kCodes, 0.0);
  result.inl.assign(kCodes, 0.0);
  for (std::size_t code = 0; code < rows.size(); ++code) {
    const auto& fields = rows[code];
    const std::optional<int> number = Number<int>(fields[0]);
    const std::optional<std::uint64_t> count = Number<std::uint64_t>(fields[1]);
    const std::optional<double> dnl = Number<double>(fields[2]);
    const std::optional<double> inl = Number<double>(fields[3]);
    if (!number || *number != static_cast<int>(code) || !count || !dnl || !inl) {
      read.error = fmt::format("line {} is not a code's count and figures", code + 2);
      return read;
    }
    read.counts.push_back(*count);
    result.samples += *count;
    result.dnl[code] = *dnl;
    result.inl[code] = *inl;
    if (*count == 0 && static_cast<int>(code) >= result.first_code &&
        static_cast<int>(code) <= result.last_code) {
      result.missing_codes.push_back(static_cast<int>(code));
    }
  }
  if (doc.contains("offset_lsb") && doc["offset_lsb"].is_number()) {
    result.offset_lsb = doc["offset_lsb"].get<double>();
  }
  if (doc.contains("gain_percent") && doc["gain_percent"].is_number()) {
    result.gain_percent = doc["gain_percent"].get<double>();
  }
  result.fitted_centre_codes = NumberAt(doc, "fitted_centre_codes");
  result.fitted_amplitude_codes = NumberAt(doc, "fitted_amplitude_codes");
  result.dnl_rms = NumberAt(doc, "dnl_rms");
  if (doc.contains("worst_dnl") && doc["worst_dnl"].is_object()) {
    result.worst_dnl_code = static_cast<int>(NumberAt(doc["worst_dnl"], "code"));
    result.worst_dnl = NumberAt(doc["worst_dnl"], "lsb");
  }
  if (doc.contains("worst_inl") && doc["worst_inl"].is_object()) {
    result.worst_inl_code = static_cast<int>(NumberAt(doc["worst_inl"], "code"));
    result.worst_inl = NumberAt(doc["worst_inl"], "lsb");
  }
  read.channel = static_cast<int>(NumberAt(doc, "channel"));
  read.range = doc.value("range", "");
  if (read.range != "2xvref" && read.range != "vref") {
    read.error = "the metadata's \"range\" is not \"2xvref\" or \"vref\"";
    return read;
  }
  if (doc.contains("coding") && doc["coding"].is_string()) {
    read.coding = doc["coding"].get<std::string>();
  }
  read.result = std::move(result);
  return read;
}

SweepRead ReadSweep(std::string_view csv_text, std::string_view metadata_text) {
  SweepRead read;
  const Json doc = ParseMetadata(metadata_text, kSweepKind, read.error);
  if (!read.error.empty()) {
    return read;
  }
  const auto rows =
      Rows(csv_text, "code,output_lsb,noise_lsb,inl_endpoint,inl_fit,dnl", read.error);
  if (!read.error.empty()) {
    return read;
  }
  SweepLinearity result;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& fields = rows[i];
    const std::optional<int> code = Number<int>(fields[0]);
    std::array<std::optional<double>, 5> values;
    for (std::size_t f = 0; f < values.size(); ++f) {
      values[f] = Number<double>(fields[f + 1]);
    }
    if (!code || std::any_of(values.begin(), values.end(), [](const auto& v) { return !v; })) {
      read.error = fmt::format("line {} is not a code's output and figures", i + 2);
      return read;
    }
    result.codes.push_back(*code);
    result.output_lsb.push_back(*values[0]);
    result.noise_lsb.push_back(*values[1]);
    result.inl_endpoint.push_back(*values[2]);
    result.inl_fit.push_back(*values[3]);
    result.dnl.push_back(*values[4]);
  }
  result.adc_taken_out = doc.value("adc_taken_out", false);
  if (doc.contains("problem") && doc["problem"].is_string()) {
    result.problem = doc["problem"].get<std::string>();
  }
  if (doc.contains("endpoint") && doc["endpoint"].is_object()) {
    result.endpoint_offset_lsb = NumberAt(doc["endpoint"], "offset_lsb");
    result.endpoint_gain_percent = NumberAt(doc["endpoint"], "gain_percent");
  }
  if (doc.contains("best_fit") && doc["best_fit"].is_object()) {
    result.fit_offset_lsb = NumberAt(doc["best_fit"], "offset_lsb");
    result.fit_gain_percent = NumberAt(doc["best_fit"], "gain_percent");
  }
  if (doc.contains("worst_inl") && doc["worst_inl"].is_object()) {
    result.worst_inl_code = static_cast<int>(NumberAt(doc["worst_inl"], "code"));
    result.worst_inl = NumberAt(doc["worst_inl"], "lsb");
  }
  if (doc.contains("worst_dnl") && doc["worst_dnl"].is_object()) {
    result.worst_dnl_code = static_cast<int>(NumberAt(doc["worst_dnl"], "code"));
    result.worst_dnl = NumberAt(doc["worst_dnl"], "lsb");
  }
  if (doc.contains("falls") && doc["falls"].is_array()) {
    for (const Json& fall : doc["falls"]) {
      if (fall.is_number_integer()) {
        result.falls.push_back(fall.get<int>());
      }
    }
  }
  read.setup.channel = static_cast<int>(NumberAt(doc, "channel"));
  read.setup.adc_channel = static_cast<int>(NumberAt(doc, "adc_channel"));
  read.setup.average = static_cast<int>(NumberAt(doc, "average"));
  read.result = std::move(result);
  return read;
}

}  // namespace kx::linearity
