#include "analysis/linearity_result.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/linearity_files.h"
#include "support/temp_folder.h"

namespace kx::analysis {
namespace {

TEST(LinearityResult, BothKindsAreToldApartReadAndReported) {
  const testing::TempFolder folder;
  const testing::LinearityFiles files = testing::MakeLinearityFiles();
  testing::WriteBytes(folder.File("h.csv"), files.histogram_csv);
  testing::WriteBytes(folder.File("h.csv.json"), files.histogram_metadata);
  testing::WriteBytes(folder.File("s.csv"), files.sweep_csv);
  testing::WriteBytes(folder.File("s.csv.json"), files.sweep_metadata);
  testing::WriteBytes(folder.File("capture.txt"), "1\t2\t\r\n");
  EXPECT_EQ(LinearityCsvPath(folder.File("h.csv")), folder.File("h.csv"));
  EXPECT_EQ(LinearityCsvPath(folder.File("s.csv.json")), folder.File("s.csv"));
  EXPECT_EQ(LinearityCsvPath(folder.File("capture.txt")), std::nullopt);

  const LinearityRead histogram = ReadLinearityResult(folder.File("h.csv"));
  ASSERT_TRUE(histogram.result) << histogram.error;
  EXPECT_EQ(histogram.result->kind, ResultKind::AdcHistogram);
  EXPECT_EQ(histogram.result->density.missing_codes, std::vector<int>{1000});
  const std::string text = LinearityReportText(*histogram.result);
  EXPECT_NE(text.find("ADC histogram of ADC3 (0V to VREFA, Straight Binary)"), std::string::npos)
      << text;
  EXPECT_NE(text.find("Missing codes: 1000\n"), std::string::npos) << text;
  const auto json = nlohmann::json::parse(LinearityReportJson(*histogram.result));
  EXPECT_EQ(json["kind"], "adc-histogram");
  EXPECT_EQ(json["worst_dnl"]["code"], 1000);
  EXPECT_EQ(LinearityCsv(*histogram.result), files.histogram_csv);

  const LinearityRead sweep = ReadLinearityResult(folder.File("s.csv"));
  ASSERT_TRUE(sweep.result) << sweep.error;
  EXPECT_EQ(sweep.result->sweep.falls, std::vector<int>{30});
  EXPECT_NE(LinearityReportText(*sweep.result).find("Monotonic: no, falls at code 30"),
            std::string::npos);
  const auto sweep_json = nlohmann::json::parse(LinearityReportJson(*sweep.result));
  EXPECT_EQ(sweep_json["adc_channel"], 6);
  EXPECT_EQ(sweep_json["codes"]["stop"], 63);
}

// A damaged result is refused whole, naming the file and what is wrong.
TEST(LinearityResult, DamagedFilesAreRefusedWithTheirReason) {
  const testing::LinearityFiles files = testing::MakeLinearityFiles();
  const std::string& h = files.histogram_csv;
  const std::string& s = files.sweep_csv;
  std::string lost_count = h;
  lost_count.replace(lost_count.find("\n5,100,"), 7, "\n5,0,");
  const struct {
    std::string csv;
    std::string metadata;  // empty: none beside the CSV
    const char* says;
  } cases[] = {
      {h.substr(0, h.size() - 3), files.histogram_metadata, "the file is cut short"},
      {h.substr(0, h.find("\n2000,") + 1), files.histogram_metadata, "2000 codes, not 4096"},
      {lost_count, files.histogram_metadata, "add up to 410200 samples, the metadata says 410300"},
      {h, "", "r.csv.json: the result's metadata file: cannot read it"},
      {h, files.histogram_metadata.substr(0, 40), "r.csv.json: the result's metadata file is not"},
      {h, R"({"kind": "capture"})", "its \"kind\" is neither"},
      {s.substr(0, s.find("\n40,") + 1), files.sweep_metadata, "holds 40 codes, the metadata"},
      {s.substr(0, s.find('\n') + 1), files.sweep_metadata, "0 codes: a sweep has at least two"},
      {s, files.histogram_metadata, "the first line is not \"code,count,dnl,inl\""},
  };
  for (const auto& c : cases) {
    const testing::TempFolder folder;
    testing::WriteBytes(folder.File("r.csv"), c.csv);
    if (!c.metadata.empty()) {
      testing::WriteBytes(folder.File("r.csv.json"), c.metadata);
    }
    ASSERT_TRUE(LinearityCsvPath(folder.File("r.csv"))) << c.says;
    const LinearityRead read = ReadLinearityResult(folder.File("r.csv"));
    EXPECT_FALSE(read.result) << c.says;
    EXPECT_NE(read.error.find(c.says), std::string::npos) << read.error;
  }
}

}  // namespace
}  // namespace kx::analysis
