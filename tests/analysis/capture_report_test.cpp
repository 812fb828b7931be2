#include "analysis/capture_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "adc/capture_metadata.h"
#include "adc/sample_file.h"
#include "support/temp_folder.h"

namespace kx::analysis {
namespace {

// Channel 2 a two's-complement sine around mid-scale; every other channel a
// constant code.
std::string TwosComplementSineFile() {
  std::vector<adc::SampleSet> sets(adc::AllChannelsSampleSets);
  for (int s = 0; s < adc::AllChannelsSampleSets; ++s) {
    auto& set = sets[static_cast<std::size_t>(s)];
    set.fill(0x100);
    const auto straight = static_cast<std::int32_t>(
        std::lround(2048 + 1500 * std::sin(2 * std::numbers::pi * 23 * s / 512.0)));
    set[2] = straight ^ 0x800;
  }
  return adc::AllChannelsFileText(sets);
}

TEST(CaptureReport, ScaleComesFromTheChoiceThenTheMetadataThenTheDefaults) {
  CaptureFile file;
  file.kind = CaptureKind::AllChannels;
  adc::CaptureMetadata metadata;
  metadata.half_span = true;
  metadata.straight_binary = true;
  metadata.reference_volts = 2.048;

  const CaptureScale defaults = DecideScale(file, nullptr, {});
  EXPECT_FALSE(defaults.half_span);
  EXPECT_FALSE(defaults.straight_binary);
  EXPECT_DOUBLE_EQ(defaults.reference, 2.5);

  const CaptureScale from_metadata = DecideScale(file, &metadata, {});
  EXPECT_TRUE(from_metadata.half_span);
  EXPECT_TRUE(from_metadata.straight_binary);
  EXPECT_DOUBLE_EQ(from_metadata.reference, 2.048);

  const CaptureScale chosen = DecideScale(file, &metadata, ScaleChoice{false, std::nullopt, 1.5});
  EXPECT_FALSE(chosen.half_span);
  EXPECT_TRUE(chosen.straight_binary);
  EXPECT_DOUBLE_EQ(chosen.reference, 1.5);

  metadata.edition = "classic";
  metadata.straight_binary.reset();
  EXPECT_EQ(DecideScale(file, &metadata, {}).rules, AdcWordRules::Classic);
  EXPECT_TRUE(DecideScale(file, &metadata, {}).straight_binary);
}

TEST(CaptureReport, OpensWithTheMetadataBesideTheFile) {
  const testing::TempFolder folder;
  const std::string path = folder.File("sine.txt");
  testing::WriteBytes(path, TwosComplementSineFile());

  const OpenResult plain = OpenCapture(path, {});
  ASSERT_TRUE(plain.capture) << plain.error;
  EXPECT_FALSE(plain.capture->from_metadata);

  adc::CaptureMetadata metadata;
  metadata.straight_binary = false;
  metadata.reference_volts = 2.0;
  ASSERT_FALSE(adc::WriteMetadataFile(path, metadata));
  const OpenResult with = OpenCapture(path, {});
  ASSERT_TRUE(with.capture);
  EXPECT_TRUE(with.capture->from_metadata);
  EXPECT_DOUBLE_EQ(with.capture->scale.reference, 2.0);
  // Each part of the scale says where it came from.
  const struct {
    ScaleChoice choice;
    const char* source;
  } sources[] = {
      {{}, "from M"},
      {{std::nullopt, true, std::nullopt},
       "coding from the command line, range and reference from M"},
      {{false, std::nullopt, 1.0}, "range and reference from the command line, coding from M"},
  };
  for (const auto& c : sources) {
    const OpenResult chosen = OpenCapture(path, c.choice);
    ASSERT_TRUE(chosen.capture);
    EXPECT_EQ(ScaleSource(*chosen.capture, "M"), c.source);
  }
  EXPECT_EQ(ScaleSource(*plain.capture, "M"), "from the panel's defaults (no metadata)");

  testing::WriteBytes(adc::MetadataPath(path), "{\"edition\": 3}");
  const OpenResult broken = OpenCapture(path, {});
  ASSERT_TRUE(broken.capture);
  EXPECT_FALSE(broken.capture->from_metadata);
  EXPECT_NE(broken.capture->metadata_note.find("\"edition\""), std::string::npos);
}

TEST(CaptureReport, TwosComplementSineStaysWholeAndReportsItsFigures) {
  const CaptureRead read = ParseCapture(TwosComplementSineFile());
  ASSERT_TRUE(read.file);
  OpenedCapture capture{"sine.txt", *read.file, {}, false, {}, {}, {}, {}};
  const CaptureAnalysis analysis = Analyse(capture.file, capture.scale);
  // On a line the sine is centred on 0 and spans 3000 codes, not wrapped.
  EXPECT_NEAR(analysis.stats[2].mean_code, 0.0, 1.0);
  EXPECT_NEAR(analysis.stats[2].peak_to_peak, 3000, 2);
  EXPECT_NEAR(analysis.stats[2].mean_volts, 2.5, 0.01);
  EXPECT_DOUBLE_EQ(analysis.stats[0].std_dev_lsb, 0.0);

  const auto spectrum = AnalyseSpectrum(analysis.channels[2].values, WindowKind::BlackmanHarris);
  ASSERT_TRUE(spectrum);
  const auto json = nlohmann::json::parse(ReportJson(capture, analysis, 2, spectrum));
  EXPECT_EQ(json["kind"], "all-channels");
  EXPECT_EQ(json["statistics"].size(), 16U);
  EXPECT_EQ(json["spectrum"]["fundamental_bin"], 23);
  EXPECT_DOUBLE_EQ(json["spectrum"]["snr_db"].get<double>(), spectrum->snr_db);
  EXPECT_DOUBLE_EQ(json["spectrum"]["enob_bits"].get<double>(), spectrum->enob_bits);
  EXPECT_TRUE(json["spectrum"]["fundamental_hz"].is_null());
  // Quantisation of a 1500 LSB sine alone: 71 dB, give or take its spurs.
  EXPECT_NEAR(spectrum->snr_db, 10 * std::log10(1500.0 * 1500.0 / 2 * 12), 1.5);

  const std::string text = ReportText(capture, analysis, 2, spectrum);
  EXPECT_NE(text.find("fundamental bin 23"), std::string::npos) << text;
  EXPECT_NE(text.find("ADC15"), std::string::npos);
  EXPECT_NE(ReportText(capture, analysis, 0, std::nullopt).find("no tone"), std::string::npos);
}

// Hertz only from host times that span something; the report's figures then
// come in both units.
TEST(CaptureReport, FrequenciesInHertzWhenTheHostTimesGiveThePeriod) {
  const struct {
    int timed_sets;
    double spread_seconds;
    std::optional<double> period;
  } cases[] = {
      {67, 0.0512, 0.0001},    {2, 0.0512, 0.0001},      {1, 0.0512, std::nullopt},
      {67, 0.0, std::nullopt}, {67, -1.0, std::nullopt}, {67, std::nan(""), std::nullopt},
  };
  for (const auto& c : cases) {
    adc::CaptureMetadata metadata;
    metadata.timed_sets = c.timed_sets;
    metadata.sets_spread_seconds = c.spread_seconds;
    const std::optional<double> period = MeanSamplePeriod(metadata, 512);
    ASSERT_EQ(period.has_value(), c.period.has_value()) << c.timed_sets << " " << c.spread_seconds;
    if (period) {
      EXPECT_DOUBLE_EQ(*period, *c.period);
    }
  }
  const CaptureRead read = ParseCapture(TwosComplementSineFile());
  ASSERT_TRUE(read.file);
  OpenedCapture capture{"sine.txt", *read.file, {}, true, {}, {}, 0.0001, {}};
  const CaptureAnalysis analysis = Analyse(capture.file, capture.scale);
  const auto spectrum = AnalyseSpectrum(analysis.channels[2].values, WindowKind::BlackmanHarris);
  ASSERT_TRUE(spectrum);
  const auto json = nlohmann::json::parse(ReportJson(capture, analysis, 2, spectrum));
  EXPECT_DOUBLE_EQ(json["spectrum"]["sample_rate_hz"].get<double>(), 10000.0);
  EXPECT_DOUBLE_EQ(json["spectrum"]["fundamental_hz"].get<double>(), 23 / 512.0 * 10000.0);
  EXPECT_DOUBLE_EQ(json["spectrum"]["harmonics"][0]["hz"].get<double>(), 46 / 512.0 * 10000.0);
  const std::string text = ReportText(capture, analysis, 2, spectrum);
  EXPECT_NE(text.find("(0.044922 cycles per sample, 449.2 Hz, "), std::string::npos) << text;
  EXPECT_NE(text.find("Harmonic 3 at bin 69 (0.134766 cycles per sample, 1347.7 Hz)"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace kx::analysis
