// The tool stops at the first request the board fails: nothing more reaches
// the board, the message names the command, and the exit status is 1.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "analysis/linearity/linearity_file.h"
#include "board/link_requests.h"
#include "commands/exit_status.h"
#include "ctl_rig.h"

namespace kx::ctl {
namespace {

using testing::CtlRig;
using Words = std::vector<std::string>;

constexpr int kStartUpRequests = 5;

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(CtlFailureTest, AnAbsentBoardStopsTheCallAtItsStartUp) {
  CtlRig rig(Version2Edition, testing::AbsentBoard());
  EXPECT_EQ(rig.Run("dac load 3=7FF adc read"), ExitFailure);
  EXPECT_EQ(rig.out, "");
  EXPECT_TRUE(Contains(rig.err, "start-up: No Evaluation Board Found")) << rig.err;
  EXPECT_TRUE(Contains(rig.err, "status 1")) << rig.err;
  // The failed download is the last call that reached the library.
  const Words lines = rig.TraceLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(lines.back().starts_with("download ")) << lines.back();
}

TEST(CtlFailureTest, TheClassicLibrarysNegativeLoadStatusIsAFailureToo) {
  CtlRig rig(ClassicEdition, testing::AbsentBoard());
  EXPECT_EQ(rig.Run("line pulse-ldac"), ExitFailure);
  EXPECT_TRUE(Contains(rig.err, "status -1")) << rig.err;
  EXPECT_TRUE(rig.TraceLines().back().starts_with("loadfirmware ")) << rig.TraceLines().back();
}

TEST(CtlFailureTest, AFailedRequestInTheMiddleOfAReadEndsTheCallThere) {
  CtlRig rig;
  rig.cut_off.answers_left = kStartUpRequests + 3;  // the pulse and two ADC words
  EXPECT_EQ(rig.Run("line pulse-ldac adc read line clr-low"), ExitFailure);
  EXPECT_EQ(rig.Requests(),
            (Words{"0xDE 0x00000000", "0xE4 0xFFFF8300", "0xE4 0x00008700", "0xE4 0x00008B00"}));
  EXPECT_EQ(rig.cut_off.requests_failed, 1);
  EXPECT_EQ(rig.out, "Pulse LDAC\n");  // no codes of a read that did not finish
  EXPECT_TRUE(Contains(rig.err,
                       "adc read: the board did not answer AdcTransferRequest with "
                       "0x00008B00: status -5"))
      << rig.err;
}

TEST(CtlFailureTest, AFailedDacWordStopsTheLoadBeforeItsPulse) {
  CtlRig rig;
  rig.cut_off.answers_left = kStartUpRequests + 9;
  EXPECT_EQ(rig.Run("dac load 0=1 dac write low 1"), ExitFailure);
  const Words requests = rig.Requests();
  ASSERT_EQ(requests.size(), 10U);
  EXPECT_EQ(requests.back(), "0xDA 0x00100000");  // DAC9, never loaded
  EXPECT_TRUE(Contains(rig.err, "dac load: the board did not answer DacHighRequest")) << rig.err;
}

TEST(CtlFailureTest, AScriptFailureNamesTheScriptLine) {
  CtlRig rig;
  rig.cut_off.answers_left = kStartUpRequests + 1;
  EXPECT_EQ(rig.Run("script -", false, "# two lines\nline pulse-ldac\n\nline clr-high\n"),
            ExitFailure);
  EXPECT_TRUE(Contains(rig.err,
                       "<stdin>:4: line clr-high: the board did not answer "
                       "ClrHighRequest"))
      << rig.err;
}

TEST(CtlFailureTest, JsonReportsTheFailedCommandWithWhatItSent) {
  CtlRig rig;
  rig.cut_off.answers_left = kStartUpRequests;
  EXPECT_EQ(rig.Run("adc write 1234", true), ExitFailure);
  const nlohmann::json object = nlohmann::json::parse(rig.out);
  EXPECT_EQ(object["command"], "adc write");
  EXPECT_EQ(object["ok"], false);
  EXPECT_EQ(object["status"], -5);
  EXPECT_EQ(object["requests"], 1);
  EXPECT_EQ(object["sent"][0]["status"], -5);
  EXPECT_EQ(object["sent"][0]["reply"], "0x0101");  // the preset bytes, never a sample
  EXPECT_TRUE(Contains(object["error"].get<std::string>(), "status -5"));
}

TEST(CtlFailureTest, JsonReportsAFailedStartUp) {
  CtlRig rig(Version2Edition, testing::AbsentBoard());
  EXPECT_EQ(rig.Run("adc read", true), ExitFailure);
  const nlohmann::json object = nlohmann::json::parse(rig.out);
  EXPECT_EQ(object["command"], "start-up");
  EXPECT_EQ(object["ok"], false);
  EXPECT_EQ(object["status"], 1);
  EXPECT_EQ(object["requests"], 0);
}

TEST(CtlFailureTest, ACaptureCutShortSavesNothing) {
  testing::TempFolder folder;
  CtlRig rig;
  rig.cut_off.answers_left = kStartUpRequests + 100;
  EXPECT_EQ(rig.Run("adc capture " + folder.File("samples.txt")), ExitFailure);
  EXPECT_FALSE(std::filesystem::exists(folder.File("samples.txt")));
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
  EXPECT_EQ(rig.Requests().size(), 101U);
  EXPECT_TRUE(Contains(rig.err, "adc capture: the board did not answer")) << rig.err;
}

// A board lost in the middle of a long test: the call stops there, says how
// far it came, and writes neither file.
TEST(CtlFailureTest, ACharacterisationCutShortSaysHowFarItCameAndSavesNothing) {
  struct Case {
    std::string command;
    int answers;
    const char* said;
  };
  const Case cases[] = {
      {"adc histogram --channel 3 --samples 4096 --out ", 1001,
       "the test stopped after 1000 of 4096 samples; nothing was written"},
      {"dac sweep --channel 3 --codes 0:99:1 --average 4 --out ", 7 * 10 + 3,
       "the sweep stopped after 10 of 100 codes; nothing was written"},
  };
  for (const Case& c : cases) {
    testing::TempFolder folder;
    CtlRig rig;
    rig.cut_off.answers_left = kStartUpRequests + c.answers;
    EXPECT_EQ(rig.Run(c.command + folder.File("result.csv")), ExitFailure);
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
    EXPECT_TRUE(Contains(rig.err, "the board did not answer")) << rig.err;
    EXPECT_TRUE(Contains(rig.err, c.said)) << rig.err;
  }
}

// An input the test cannot judge fails the call, with the reason and no file.
TEST(CtlFailureTest, AHistogramOfAFixedInputIsAFailureThatSaysWhy) {
  testing::TempFolder folder;
  CtlRig rig;
  EXPECT_EQ(rig.Run("adc histogram --channel 4 --samples 4096 --out " + folder.File("h.csv")),
            ExitFailure);
  EXPECT_TRUE(Contains(rig.err, "adc histogram: the input covers codes 0 to 0 only")) << rig.err;
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

// An --adc-linearity file that does not fit the sweep is refused before
// start-up, or, measured on another ADC range or coding than the one in
// force, before the sweep sends anything; the message names the file.
TEST(CtlFailureTest, AnAdcLinearityFileThatDoesNotFitIsRefusedBeforeTheSweep) {
  using Json = nlohmann::ordered_json;
  struct Case {
    const char* what;
    std::function<void(const std::string& file, Json& metadata)> spoil;
    const char* said;
    bool started;
  };
  const auto set = [](const char* key, Json value) {
    return [=](const std::string&, Json& metadata) { metadata[key] = value; };
  };
  const Case cases[] = {
      {"no metadata", [](const std::string&, Json& metadata) { metadata = nullptr; },
       ".json\" cannot be read", false},
      {"a sweep's", set("kind", "dac-sweep"), R"(the metadata's "kind" is not "adc-histogram")",
       false},
      {"another channel", set("channel", 2), "is of ADC channel 2, the sweep reads channel 1",
       false},
      {"a code short",
       [](const std::string& file, Json&) {
         std::string table = testing::ReadBytes(file);
         table.resize(table.rfind('\n', table.size() - 2) + 1);
         testing::WriteBytes(file, table);
       },
       "4095 codes, not 4096", false},
      {"no range", set("range", "half"), R"(the metadata's "range" is not "2xvref" or "vref")",
       false},
      {"another range", set("range", "vref"),
       "was measured with the ADC on vref twos, it is on 2xvref twos", true},
      {"another coding", set("coding", "binary"),
       "was measured with the ADC on 2xvref binary, it is on 2xvref twos", true},
  };
  for (const Case& c : cases) {
    testing::TempFolder folder;
    const std::string file = folder.File("adc.csv");
    const std::vector<std::uint64_t> counts(linearity::kCodes, 16);
    const linearity::DensityLinearity ideal =
        linearity::AnalyseCodeDensity(counts, linearity::DensityMethod::Ramp);
    Json metadata = linearity::HistogramMetadata({1, "2xvref", "twos", 0}, ideal);
    testing::WriteBytes(file, linearity::HistogramCsv(counts, ideal));
    c.spoil(file, metadata);
    if (!metadata.is_null()) {
      testing::WriteBytes(file + ".json", metadata.dump());
    }
    CtlRig rig;
    EXPECT_EQ(rig.Run("dac sweep --channel 1 --codes 0:10:1 --average 4 --adc-linearity " + file),
              c.started ? ExitFailure : ExitUsage)
        << c.what;
    EXPECT_TRUE(Contains(rig.err, "--adc-linearity " + (c.started ? "" : std::string("\"")) + file))
        << c.what << ": " << rig.err;
    EXPECT_TRUE(Contains(rig.err, c.said)) << c.what << ": " << rig.err;
    EXPECT_TRUE(rig.Requests().empty()) << c.what;
    EXPECT_EQ(rig.TraceLines().empty(), !c.started) << c.what;
  }
}

TEST(CtlFailureTest, ACaptureFileThatCannotBeWrittenIsAFailure) {
  testing::TempFolder folder;
  // Made by hand: the parser would refuse the missing folder before any
  // sample is taken.
  const std::string file = folder.File("gone/samples.txt");
  CtlRig rig;
  EXPECT_EQ(rig.Run({Command{"adc capture-channel0", AdcCapture{file, true}, Source{}}}),
            ExitFailure);
  // Found before the first sample is asked for.
  EXPECT_TRUE(rig.Requests().empty());
  EXPECT_TRUE(Contains(rig.err, "adc capture-channel0: Cannot save the samples")) << rig.err;
}

TEST(CtlFailureTest, AReadOnlyCaptureFileIsLeftAsItWasAndFailsTheCall) {
  for (const char* capture : {"adc capture ", "adc capture-channel0 "}) {
    testing::TempFolder folder;
    const std::string file = folder.File("r.txt");
    testing::WriteBytes(file, "earlier samples\r\n");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::group_read |
                                           std::filesystem::perms::others_read);
    CtlRig rig;
    EXPECT_EQ(rig.Run("line pulse-ldac " + std::string(capture) + file + " line clr-low"),
              ExitFailure);
    EXPECT_EQ(rig.Requests(), Words{testing::RequestText(board::PulseLdacRequest, 0)}) << capture;
    EXPECT_TRUE(
        Contains(rig.err, "Cannot save the samples to \"" + file + "\": the file is read-only."))
        << rig.err;
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    EXPECT_EQ(testing::ReadBytes(file), "earlier samples\r\n");
    EXPECT_EQ(folder.Entries(), Words{"r.txt"});
  }
}

}  // namespace
}  // namespace kx::ctl
