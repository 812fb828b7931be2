// The calibration a capture's metadata and a log's comment line record:
// written, read back the same, and refused field by field when wrong.
#include <gtest/gtest.h>

#include <string>

#include "adc/capture_metadata.h"
#include "logger/log_format.h"

namespace kx::logger {
namespace {

adc::CalibrationNote Note() {
  adc::CalibrationNote note{
      "/home/u/.config/kx7312/calibration/SIM-0001.json", "SIM-0001", {}, 2.497};
  note.adc[0] = board::LineCorrection{-4.5, 1.25};
  note.adc[15] = board::LineCorrection{0.5, -0.75};
  return note;
}

LogLayout Layout() {
  LogLayout layout;
  layout.straight_binary = false;
  layout.reference_volts = 2.5;
  layout.channels = {0, 15};
  layout.started = "2026-12-08T06:00:01.250000Z";
  return layout;
}

constexpr const char* kMetadata =
    R"({"edition": "version2", "range": "vref", "coding": "twos", "reference_volts": 2.5)";

TEST(CalibrationNote, RoundTripsInMetadataAndLogHeaderAndIsAbsentWithoutOne) {
  for (const bool with_note : {true, false}) {
    SCOPED_TRACE(with_note);
    adc::CaptureMetadata metadata;
    LogLayout layout = Layout();
    if (with_note) {
      metadata.calibration = Note();
      layout.calibration = Note();
    }
    const std::string json = adc::MetadataJson(metadata);
    const std::string header = HeaderLine(layout);
    EXPECT_EQ(json.find("calibration") != std::string::npos, with_note) << json;
    EXPECT_EQ(header.find("calibration") != std::string::npos, with_note) << header;
    const adc::MetadataRead read = adc::ParseMetadata(json);
    ASSERT_TRUE(read.metadata) << read.error;
    EXPECT_EQ(read.metadata->calibration, metadata.calibration);
    const HeaderRead parsed = ParseHeaderLine(header);
    ASSERT_TRUE(parsed.layout) << parsed.error;
    EXPECT_EQ(*parsed.layout, layout);
  }
  // A null note is no calibration, as an absent one.
  const adc::MetadataRead null_note =
      adc::ParseMetadata(std::string(kMetadata) + R"(, "calibration": null})");
  ASSERT_TRUE(null_note.metadata) << null_note.error;
  EXPECT_FALSE(null_note.metadata->calibration);
}

TEST(CalibrationNote, EachBadFieldIsRefusedByBothReadersNamingIt) {
  const std::string entry = R"("adc": [{"channel": 3, "offset_lsb": 1, "gain_percent": 0.5}])";
  const std::string names = R"("path": "/c.json", "board": "SIM-0001", )";
  const struct {
    std::string note;
    const char* message;
  } cases[] = {
      {R"("SIM-0001")", R"("calibration" must be an object or null)"},
      {R"({"board": "B", "adc": [], "reference_volts": null})", R"("calibration.path")"},
      {R"({"path": "/c.json", "board": 7, "adc": [], "reference_volts": null})",
       R"("calibration.board")"},
      {"{" + names + R"("adc": {}, "reference_volts": null})", R"("calibration.adc")"},
      {"{" + names + R"("adc": [3], "reference_volts": null})", R"("calibration.adc[0]")"},
      {"{" + names +
           R"("adc": [{"channel": 16, "offset_lsb": 0, "gain_percent": 0}],)"
           R"( "reference_volts": null})",
       R"("calibration.adc[0].channel" must be a channel 0 to 15)"},
      {"{" + names +
           R"("adc": [{"channel": 1.5, "offset_lsb": 0, "gain_percent": 0}],)"
           R"( "reference_volts": null})",
       R"("calibration.adc[0].channel")"},
      {"{" + names +
           R"("adc": [{"channel": 3, "offset_lsb": 0, "gain_percent": 0},)"
           R"( {"channel": 3, "offset_lsb": 0, "gain_percent": 0}],)"
           R"( "reference_volts": null})",
       R"("calibration.adc[1].channel": channel 3 comes twice)"},
      {"{" + names +
           R"("adc": [{"channel": 3, "offset_lsb": 2049, "gain_percent": 0}],)"
           R"( "reference_volts": null})",
       R"("calibration.adc[0].offset_lsb")"},
      {"{" + names +
           R"("adc": [{"channel": 3, "offset_lsb": 0, "gain_percent": -100}],)"
           R"( "reference_volts": null})",
       R"("calibration.adc[0].gain_percent")"},
      {"{" + names + R"("adc": [{"channel": 3, "offset_lsb": 0}], "reference_volts": null})",
       R"("calibration.adc[0].gain_percent")"},
      {"{" + names + entry + "}", R"("calibration.reference_volts")"},
      {"{" + names + entry + R"(, "reference_volts": 0})", R"("calibration.reference_volts")"},
      {"{" + names + entry + R"(, "reference_volts": "2.5"})", R"("calibration.reference_volts")"},
  };
  const std::string good_header = HeaderLine(Layout());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.note);
    const adc::MetadataRead metadata =
        adc::ParseMetadata(std::string(kMetadata) + R"(, "calibration": )" + c.note + "}");
    EXPECT_FALSE(metadata.metadata);
    EXPECT_NE(metadata.error.find(c.message), std::string::npos) << metadata.error;
    // The same note at the end of a good comment line.
    const std::string header =
        good_header.substr(0, good_header.rfind('}')) + R"(,"calibration":)" + c.note + "}";
    const HeaderRead layout = ParseHeaderLine(header);
    EXPECT_FALSE(layout.layout);
    EXPECT_NE(layout.error.find(c.message), std::string::npos) << layout.error;
  }
}

}  // namespace
}  // namespace kx::logger
