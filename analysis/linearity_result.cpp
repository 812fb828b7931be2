#include "analysis/linearity_result.h"

#include <fmt/format.h>

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string_view>
#include <utility>

#include "analysis/capture_report.h"
#include "analysis/linearity/linearity_text.h"
#include "board/bounded_file.h"
#include "board/parsed_file.h"

namespace kx::analysis {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kHistogramKind = "adc-histogram";
constexpr std::string_view kSweepKind = "dac-sweep";
constexpr std::string_view kHistogramHeader = "code,count,dnl,inl";
constexpr std::string_view kSweepHeader = "code,output_lsb,noise_lsb,inl_endpoint,inl_fit,dnl";
constexpr std::string_view kMetadataSuffix = ".json";
// A result holds at most 4096 lines of a few numbers; far larger is no result.
constexpr std::size_t kCsvLimit = 16U << 20U;
constexpr std::size_t kMetadataLimit = 1U << 20U;
constexpr board::FileWords kCsvWords{"a linearity result", true};
constexpr board::FileWords kMetadataWords{"a linearity result", true,
                                          "the result's metadata file: "};

// The metadata's "kind" when it is a linearity result's, else empty.
std::string ResultKindOf(const std::string& metadata_path) {
  const board::BoundedFileText read = board::ReadFileAtMost(metadata_path, kMetadataLimit);
  if (read.problem != board::FileReadProblem::None) {
    return {};
  }
  const Json doc = Json::parse(read.text, nullptr, false);
  if (!doc.is_object() || !doc.contains("kind") || !doc["kind"].is_string()) {
    return {};
  }
  const std::string kind = doc["kind"].get<std::string>();
  return kind == kHistogramKind || kind == kSweepKind ? kind : std::string();
}

// The first line of a regular file, at most a little longer than a header.
std::string FirstLine(const std::string& path) {
  std::string head;
  std::string reason;
  board::ReadFileBlocks(
      path, 0, UINTMAX_MAX, kSweepHeader.size() + 2,
      [&head](std::string_view block) {
        head.assign(block);
        return false;
      },
      reason);
  head = head.substr(0, head.find('\n'));
  if (!head.empty() && head.back() == '\r') {
    head.pop_back();
  }
  return head;
}

int IntAt(const Json& doc, const char* key) {
  const auto found = doc.find(key);
  return found != doc.end() && found->is_number_integer() ? found->get<int>() : 0;
}

std::string TextAt(const Json& doc, const char* key) {
  const auto found = doc.find(key);
  return found != doc.end() && found->is_string() ? found->get<std::string>() : std::string();
}

// A count in the metadata that the CSV must agree with; none when absent.
std::optional<std::uint64_t> CountAt(const Json& doc, const char* key) {
  const auto found = doc.find(key);
  if (found == doc.end() || !found->is_number_unsigned()) {
    return std::nullopt;
  }
  return found->get<std::uint64_t>();
}

std::optional<std::string> ReadHistogram(std::string_view csv, std::string_view metadata,
                                         const Json& doc, LinearityResult& result) {
  linearity::DensityRead read = linearity::ReadDensity(csv, metadata);
  if (!read.result) {
    return std::move(read.error);
  }
  result.density = std::move(*read.result);
  result.counts = std::move(read.counts);
  result.channel = read.channel;
  // Lines lost whole in the middle would show as a wrong total.
  if (const auto samples = CountAt(doc, "samples"); samples && *samples != result.density.samples) {
    return fmt::format("the counts add up to {} samples, the metadata says {}",
                       result.density.samples, *samples);
  }
  return std::nullopt;
}

std::optional<std::string> ReadSweepResult(std::string_view csv, std::string_view metadata,
                                           const Json& doc, LinearityResult& result) {
  linearity::SweepRead read = linearity::ReadSweep(csv, metadata);
  if (!read.result) {
    return std::move(read.error);
  }
  result.sweep = std::move(*read.result);
  result.sweep_setup = read.setup;
  result.channel = read.setup.channel;
  if (const auto codes = doc.find("codes"); codes != doc.end() && codes->is_object()) {
    result.sweep_setup.start = IntAt(*codes, "start");
    result.sweep_setup.stop = IntAt(*codes, "stop");
    result.sweep_setup.step = IntAt(*codes, "step");
  }
  result.sweep_setup.adc_linearity_file = TextAt(doc, "adc_linearity");
  const std::size_t points = result.sweep.codes.size();
  if (result.sweep.problem.empty() && points < 2) {
    return fmt::format("{} codes: a sweep has at least two", points);
  }
  if (const auto said = CountAt(doc, "points"); said && *said != points) {
    return fmt::format("the file holds {} codes, the metadata says {}", points, *said);
  }
  return std::nullopt;
}

// What is wrong with a result's metadata, `doc` its JSON.
std::string ReadMetadata(std::string_view text, Json& doc) {
  doc = Json::parse(text, nullptr, false);
  if (!doc.is_object()) {
    return "the result's metadata file is not a JSON object: damaged or cut short";
  }
  const std::string kind = TextAt(doc, "kind");
  if (kind != kHistogramKind && kind != kSweepKind) {
    return fmt::format(
        "not the metadata of a linearity result (its \"kind\" is neither \"{}\" nor \"{}\")",
        kHistogramKind, kSweepKind);
  }
  return {};
}

// What is wrong with a result's CSV, the figures read into `result`.
std::string ReadCsv(std::string_view csv, std::string_view metadata, const Json& doc,
                    LinearityResult& result) {
  // Every line ends in a newline: without one the last number may be cut.
  if (!csv.empty() && csv.back() != '\n') {
    return "the last line has no line end: the file is cut short";
  }
  return (result.kind == ResultKind::AdcHistogram ? ReadHistogram(csv, metadata, doc, result)
                                                  : ReadSweepResult(csv, metadata, doc, result))
      .value_or("");
}

}  // namespace

std::optional<std::string> LinearityCsvPath(const std::string& path) {
  if (path.ends_with(kMetadataSuffix) && !ResultKindOf(path).empty()) {
    return path.substr(0, path.size() - kMetadataSuffix.size());
  }
  if (!ResultKindOf(path + std::string(kMetadataSuffix)).empty()) {
    return path;
  }
  const std::string first = FirstLine(path);
  if (first == kHistogramHeader || first == kSweepHeader) {
    return path;
  }
  return std::nullopt;
}

LinearityRead ReadLinearityResult(const std::string& csv_path) {
  const std::string metadata_path = csv_path + std::string(kMetadataSuffix);
  std::string metadata;
  Json doc;
  std::string error = board::ParseFileAtMost(metadata_path, kMetadataLimit, kMetadataWords,
                                             [&](std::string_view text) {
                                               metadata = text;
                                               return ReadMetadata(text, doc);
                                             });
  if (!error.empty()) {
    return LinearityRead{std::nullopt, std::move(error)};
  }
  LinearityResult result;
  result.path = csv_path;
  result.kind =
      TextAt(doc, "kind") == kHistogramKind ? ResultKind::AdcHistogram : ResultKind::DacSweep;
  result.range = TextAt(doc, "range");
  result.coding = TextAt(doc, "coding");
  error = board::ParseFileAtMost(csv_path, kCsvLimit, kCsvWords, [&](std::string_view csv) {
    return ReadCsv(csv, metadata, doc, result);
  });
  if (!error.empty()) {
    return LinearityRead{std::nullopt, std::move(error)};
  }
  return LinearityRead{std::move(result), {}};
}

const char* ResultKindName(ResultKind kind) {
  return kind == ResultKind::AdcHistogram ? "ADC histogram" : "DAC sweep";
}

std::string ResultSubject(const LinearityResult& result) {
  if (result.kind == ResultKind::AdcHistogram) {
    std::string scale = result.range.empty() ? std::string() : RangeName(result.range == "vref");
    if (!result.coding.empty()) {
      scale += (scale.empty() ? "" : ", ") + CodingName(result.coding == "binary");
    }
    return fmt::format("ADC histogram of ADC{}{}", result.channel,
                       scale.empty() ? std::string() : " (" + scale + ")");
  }
  const linearity::SweepSetup& setup = result.sweep_setup;
  std::string text = fmt::format(
      "DAC sweep of DAC{} read on ADC{}, codes {} to {} step {}, {} reads each", result.channel,
      setup.adc_channel, setup.start, setup.stop, setup.step, setup.average);
  if (!setup.adc_linearity_file.empty()) {
    text += fmt::format(", the ADC's errors from {}", setup.adc_linearity_file);
  }
  return text;
}

std::string LinearityFigures(const LinearityResult& result) {
  if (result.kind == ResultKind::DacSweep) {
    return linearity::SweepText(result.sweep);
  }
  std::string text = linearity::DensityText(result.density);
  if (!result.density.offset_lsb || !result.density.gain_percent) {
    text +=
        "Offset and gain error: not known without the input applied; the fitted input is the "
        "ADC's view of it\n";
  }
  return text;
}

std::string LinearityReportText(const LinearityResult& result) {
  return fmt::format("{}: {}\n", result.path, ResultSubject(result)) + LinearityFigures(result);
}

std::string LinearityReportJson(const LinearityResult& result) {
  Json doc;
  doc["file"] = result.path;
  if (result.kind == ResultKind::AdcHistogram) {
    doc["kind"] = kHistogramKind;
    doc["channel"] = result.channel;
    doc["range"] = result.range.empty() ? Json(nullptr) : Json(result.range);
    doc["coding"] = result.coding.empty() ? Json(nullptr) : Json(result.coding);
    doc.update(linearity::DensityJson(result.density));
  } else {
    const linearity::SweepSetup& setup = result.sweep_setup;
    doc["kind"] = kSweepKind;
    doc["channel"] = result.channel;
    doc["adc_channel"] = setup.adc_channel;
    doc["codes"] = {{"start", setup.start}, {"stop", setup.stop}, {"step", setup.step}};
    doc["average"] = setup.average;
    doc["adc_linearity"] =
        setup.adc_linearity_file.empty() ? Json(nullptr) : Json(setup.adc_linearity_file);
    doc.update(linearity::SweepJson(result.sweep));
  }
  return doc.dump() + "\n";
}

std::string LinearityCsv(const LinearityResult& result) {
  return result.kind == ResultKind::AdcHistogram
             ? linearity::HistogramCsv(result.counts, result.density)
             : linearity::SweepCsv(result.sweep);
}

}  // namespace kx::analysis
