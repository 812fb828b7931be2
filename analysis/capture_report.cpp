#include "analysis/capture_report.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <system_error>
#include <utility>
#include <vector>

namespace kx::analysis {
namespace {

using Json = nlohmann::ordered_json;

// Which calibration the volts are corrected with, and on which channels.
Json CalibrationJson(const CaptureScale& scale) {
  if (!scale.calibration) {
    return nullptr;
  }
  Json channels = Json::array();
  for (std::size_t channel = 0; channel < scale.calibration->adc.size(); ++channel) {
    if (scale.calibration->adc[channel]) {
      channels.push_back(channel);
    }
  }
  return {{"path", scale.calibration->path},
          {"board", scale.calibration->board},
          {"channels", std::move(channels)}};
}

}  // namespace

std::optional<double> MeanSamplePeriod(const adc::CaptureMetadata& metadata, int samples) {
  const double spread = metadata.sets_spread_seconds;
  if (metadata.timed_sets < 2 || samples <= 0 || !std::isfinite(spread) || !(spread > 0.0)) {
    return std::nullopt;
  }
  return spread / samples;
}

std::string RangeName(bool half_span) {
  return half_span ? "0V to VREFA" : "0V to 2xVREFA";
}

std::string CodingName(bool straight_binary) {
  return straight_binary ? "Straight Binary" : "2's Compliment";
}

CaptureScale DecideScale(const CaptureFile& file, const adc::CaptureMetadata* metadata,
                         const ScaleChoice& choice) {
  CaptureScale scale;
  if (metadata != nullptr) {
    scale.rules = metadata->edition == "classic" ? AdcWordRules::Classic : AdcWordRules::Version2;
    scale.half_span = metadata->half_span;
    // The classic program has no coding list: its captures come in the
    // chip's default, straight binary, as "Read ADC" decodes them.
    scale.straight_binary = metadata->straight_binary.value_or(true);
    scale.reference = metadata->reference_volts.value_or(scale.reference);
    if (metadata->calibration && choice.half_span.value_or(scale.half_span) == scale.half_span) {
      scale.calibration = metadata->calibration;
      scale.reference = metadata->calibration->reference_volts.value_or(scale.reference);
    }
  } else if (file.kind == CaptureKind::Channel0) {
    scale.rules = GuessChannel0Rules(file);
  }
  scale.half_span = choice.half_span.value_or(scale.half_span);
  scale.straight_binary = choice.straight_binary.value_or(scale.straight_binary);
  scale.reference = choice.reference.value_or(scale.reference);
  return ScaleFor(file.kind, scale);
}

OpenResult OpenCapture(const std::string& path, const ScaleChoice& choice) {
  CaptureRead read = ReadCaptureFile(path);
  if (!read.file) {
    return OpenResult{std::nullopt, std::move(read.error)};
  }
  OpenedCapture opened;
  opened.path = path;
  opened.file = std::move(*read.file);
  const std::string metadata_path = adc::MetadataPath(path);
  std::error_code error;
  std::optional<adc::CaptureMetadata> metadata;
  if (std::filesystem::exists(metadata_path, error)) {
    adc::MetadataRead meta = adc::ReadMetadataFile(metadata_path);
    if (meta.metadata) {
      metadata = std::move(meta.metadata);
    } else {
      opened.metadata_note = std::move(meta.error);
    }
  }
  opened.from_metadata = metadata.has_value();
  if (metadata) {
    opened.sample_seconds = MeanSamplePeriod(*metadata, opened.file.Samples());
  }
  opened.chosen = choice;
  opened.scale = DecideScale(opened.file, metadata ? &*metadata : nullptr, choice);
  if (metadata && metadata->calibration && !opened.scale.calibration) {
    opened.calibration_note = fmt::format(
        "{} holds the corrections of {}, the command line chose {}", metadata->calibration->path,
        RangeName(metadata->half_span), RangeName(!metadata->half_span));
  }
  return OpenResult{std::move(opened), {}};
}

std::string ScaleSource(const OpenedCapture& capture, const std::string& metadata_name) {
  const bool channel0 = capture.file.kind == CaptureKind::Channel0;
  const std::string otherwise =
      capture.from_metadata ? metadata_name : std::string("the panel's defaults (no metadata)");
  const auto from = [&](bool chosen, bool fixed) {
    return fixed    ? std::string("the channel-0 capture's fixed word")
           : chosen ? std::string("the command line")
                    : otherwise;
  };
  std::array<std::pair<std::string, std::string>, 3> parts = {{
      {"range", from(capture.chosen.half_span.has_value(), channel0)},
      {"coding", from(capture.chosen.straight_binary.has_value(), channel0)},
      {"reference", from(capture.chosen.reference.has_value(), false)},
  }};
  if (parts[0].second == parts[1].second && parts[1].second == parts[2].second) {
    return "from " + parts[0].second;
  }
  // What the person chose first, then the parts of one source together.
  std::stable_partition(parts.begin(), parts.end(),
                        [](const auto& part) { return part.second == "the command line"; });
  std::vector<std::string> groups;
  std::vector<bool> done(std::size(parts), false);
  for (std::size_t i = 0; i < std::size(parts); ++i) {
    if (done[i]) {
      continue;
    }
    std::vector<std::string> names;
    for (std::size_t j = i; j < std::size(parts); ++j) {
      if (!done[j] && parts[j].second == parts[i].second) {
        names.push_back(parts[j].first);
        done[j] = true;
      }
    }
    const std::string joined =
        names.size() == 1
            ? names[0]
            : fmt::format("{} and {}", fmt::join(names.begin(), names.end() - 1, ", "),
                          names.back());
    groups.push_back(fmt::format("{} from {}", joined, parts[i].second));
  }
  return fmt::format("{}", fmt::join(groups, ", "));
}

CaptureAnalysis Analyse(const CaptureFile& file, const CaptureScale& scale) {
  CaptureAnalysis analysis;
  analysis.channels = Samples(file, scale);
  analysis.stats.reserve(analysis.channels.size());
  for (const ChannelSamples& channel : analysis.channels) {
    analysis.stats.push_back(Statistics(channel.values, channel.volts));
  }
  return analysis;
}

std::string CsvText(const CaptureAnalysis& analysis) {
  std::string text = "sample_set";
  for (const ChannelSamples& channel : analysis.channels) {
    text += fmt::format(",ADC{0}_code,ADC{0}_volts", channel.channel);
  }
  text += "\n";
  const std::size_t samples =
      analysis.channels.empty() ? 0 : analysis.channels.front().codes.size();
  for (std::size_t i = 0; i < samples; ++i) {
    text += fmt::format("{}", i);
    for (const ChannelSamples& channel : analysis.channels) {
      text += fmt::format(",{},{:.6f}", channel.codes[i], channel.volts[i]);
    }
    text += "\n";
  }
  return text;
}

std::string ReportText(const OpenedCapture& capture, const CaptureAnalysis& analysis, int channel,
                       const std::optional<Spectrum>& spectrum) {
  const CaptureScale& s = capture.scale;
  std::string text = fmt::format("{}: {} capture, {} samples per channel\n", capture.path,
                                 KindName(capture.file.kind), capture.file.Samples());
  text += fmt::format("Scale: {}, {}, reference {:.3f} V, {} replies ({})\n",
                      RangeName(s.half_span), CodingName(s.straight_binary), s.reference,
                      s.rules == AdcWordRules::Classic ? "classic" : "version2",
                      ScaleSource(capture, "the metadata file"));
  if (!capture.metadata_note.empty()) {
    text += fmt::format("Metadata not used: {}\n", capture.metadata_note);
  }
  if (const auto& note = s.calibration) {
    text += fmt::format("Calibration: {} (board {})\n", note->path, note->board);
  } else if (!capture.calibration_note.empty()) {
    text += fmt::format("Calibration not applied: {}\n", capture.calibration_note);
  }
  text += fmt::format("{:<8}{:>12}{:>12}{:>8}{:>8}{:>8}{:>12}\n", "Channel", "Mean code",
                      "Std dev LSB", "P-P", "Min", "Max", "Mean volts");
  for (std::size_t i = 0; i < analysis.stats.size(); ++i) {
    const ChannelStats& st = analysis.stats[i];
    text += fmt::format("{:<8}{:>12.3f}{:>12.3f}{:>8}{:>8}{:>8}{:>12.4f}\n",
                        fmt::format("ADC{}", analysis.channels[i].channel), st.mean_code,
                        st.std_dev_lsb, st.peak_to_peak, st.min_code, st.max_code, st.mean_volts);
  }
  if (!spectrum) {
    text += fmt::format("Spectrum of ADC{}: no tone above DC\n", channel);
    return text;
  }
  text += SpectrumText(*spectrum, channel, capture.sample_seconds);
  return text;
}

std::string ReportJson(const OpenedCapture& capture, const CaptureAnalysis& analysis, int channel,
                       const std::optional<Spectrum>& spectrum) {
  const CaptureScale& s = capture.scale;
  Json doc;
  doc["file"] = capture.path;
  doc["kind"] = capture.file.kind == CaptureKind::AllChannels ? "all-channels" : "channel0";
  doc["samples"] = capture.file.Samples();
  doc["edition"] = s.rules == AdcWordRules::Classic ? "classic" : "version2";
  doc["range"] = s.half_span ? "vref" : "2xvref";
  doc["coding"] = s.straight_binary ? "binary" : "twos";
  doc["reference_volts"] = s.reference;
  doc["from_metadata"] = capture.from_metadata;
  doc["calibration"] = CalibrationJson(s);
  Json rows = Json::array();
  for (std::size_t i = 0; i < analysis.stats.size(); ++i) {
    const ChannelStats& st = analysis.stats[i];
    rows.push_back({{"channel", analysis.channels[i].channel},
                    {"mean_code", st.mean_code},
                    {"std_dev_lsb", st.std_dev_lsb},
                    {"peak_to_peak", st.peak_to_peak},
                    {"min", st.min_code},
                    {"max", st.max_code},
                    {"mean_volts", st.mean_volts}});
  }
  doc["statistics"] = std::move(rows);
  doc["spectrum"] =
      spectrum ? SpectrumJson(*spectrum, channel, capture.sample_seconds) : Json(nullptr);
  return doc.dump() + "\n";
}

}  // namespace kx::analysis
