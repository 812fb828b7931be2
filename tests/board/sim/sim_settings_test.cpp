#include "board/sim/sim_settings.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kx::board::sim {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kNotJson = "settings: not valid JSON: ";

// Every refusal must leave no half-filled settings behind.
void ExpectRefused(const SimSettingsResult& result) {
  EXPECT_FALSE(result.settings.has_value());
  EXPECT_FALSE(result.error.empty());
}

TEST(SimSettingsParse, EmptyObjectGivesDefaults) {
  const SimSettingsResult result = ParseSimSettings("{}");
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  EXPECT_TRUE(result.error.empty());
  const SimSettings defaults;
  EXPECT_EQ(result.settings->present, defaults.present);
  EXPECT_TRUE(result.settings->present);
  EXPECT_DOUBLE_EQ(result.settings->external_reference, 2.5);
  EXPECT_DOUBLE_EQ(result.settings->adc_reference, 2.5);
  EXPECT_TRUE(result.settings->inputs.empty());
}

TEST(SimSettingsParse, FullDocumentIsReadBack) {
  const SimSettingsResult result = ParseSimSettings(R"({
    "present": false,
    "external_reference": 4.096,
    "adc_reference": 1.25,
    "inputs": {"0": 0.5, "3": 1.25, "15": 3.3}
  })");
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  EXPECT_TRUE(result.error.empty());
  EXPECT_FALSE(result.settings->present);
  EXPECT_EQ(result.settings->external_reference, 4.096);
  EXPECT_EQ(result.settings->adc_reference, 1.25);
  const std::map<int, double> expected{{0, 0.5}, {3, 1.25}, {15, 3.3}};
  EXPECT_EQ(result.settings->inputs, expected);
}

TEST(SimSettingsParse, SignalsBesideFixedInputs) {
  const SimSettingsResult result = ParseSimSettings(
      R"({"inputs": {"0": {"offset": 2.5, "amplitude": 2, "frequency": 0.0625, "phase": 1.5,
                          "noise": 0.75, "seed": 42},
                    "1": {}, "3": 1.25, "5": 1, "5": {"amplitude": 1}}})");
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  const std::map<int, double> fixed = {{3, 1.25}};
  EXPECT_EQ(result.settings->inputs, fixed);
  const std::map<int, SimSignal> signal_inputs = {
      {0, SimSignal{2.5, 2.0, 0.0625, 1.5, 0.75, 42}}, {1, SimSignal{}}, {5, SimSignal{0, 1.0}}};
  EXPECT_EQ(result.settings->signal_inputs, signal_inputs);
}

TEST(SimSettingsParse, ConverterErrorsPerChannel) {
  const SimSettingsResult result = ParseSimSettings(R"({"errors": {
    "adc": {"1": {"offset": 1.5, "gain": 0.1, "bow": 2, "s": -0.5, "dnl": 0.2, "seed": 7,
                  "missing_codes": [3001, 1000], "noise": 0.3}},
    "dac": {"1": {"offset": -2, "non_monotonic": {"code": 2048, "step": -0.5}}}}})");
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  const ConverterErrors adc{1.5, 0.1, 2.0, -0.5, 0.2, 7, {1000, 3001}, std::nullopt, 0.3};
  EXPECT_EQ(result.settings->adc_errors, (std::map<int, ConverterErrors>{{1, adc}}));
  const ConverterErrors dac{-2.0, 0.0, 0.0, 0.0, 0.0, 0, {}, DacStep{2048, -0.5}, 0.0};
  EXPECT_EQ(result.settings->dac_errors, (std::map<int, ConverterErrors>{{1, dac}}));
}

TEST(SimSettingsParse, IntegerNumbersAreVolts) {
  const SimSettingsResult result = ParseSimSettings(
      R"({"external_reference": 3, "adc_reference": 1, "inputs": {"7": 2, "8": 0}})");
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  EXPECT_EQ(result.settings->external_reference, 3.0);
  EXPECT_EQ(result.settings->adc_reference, 1.0);
  const std::map<int, double> expected{{7, 2.0}, {8, 0.0}};
  EXPECT_EQ(result.settings->inputs, expected);
}

TEST(SimSettingsParse, BoundaryValuesAreAccepted) {
  const SimSettingsResult result = ParseSimSettings(
      R"({"external_reference": 5, "adc_reference": 5.0, "inputs": {"0": 0, "15": 5}})");
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  EXPECT_EQ(result.settings->external_reference, 5.0);
  EXPECT_EQ(result.settings->adc_reference, 5.0);
  const std::map<int, double> expected{{0, 0.0}, {15, 5.0}};
  EXPECT_EQ(result.settings->inputs, expected);
}

TEST(SimSettingsParse, SmallPositiveReferenceIsAccepted) {
  const SimSettingsResult result = ParseSimSettings(R"({"adc_reference": 0.001})");
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  EXPECT_EQ(result.settings->adc_reference, 0.001);
  EXPECT_EQ(result.settings->external_reference, 2.5);
}

TEST(SimSettingsParse, RepeatedChannelKeepsLastValue) {
  // nlohmann keeps the last of duplicate keys; make sure we do not keep both.
  const SimSettingsResult result = ParseSimSettings(R"({"inputs": {"4": 1.0, "4": 2.0}})");
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  const std::map<int, double> expected{{4, 2.0}};
  EXPECT_EQ(result.settings->inputs, expected);
}

// Named cases read better in the test log than /0, /1, ...
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& case_info) {
  return case_info.param.name;
}

struct RefusedCase {
  const char* name;
  const char* json;
  const char* error;
};

const char kExtRef[] =
    R"(settings: "external_reference" must be a number of volts above 0 and at most 5)";
const char kAdcRef[] =
    R"(settings: "adc_reference" must be a number of volts above 0 and at most 5)";
const char kPresent[] = R"(settings: "present" must be true or false)";
const char kSerial[] =
    R"(settings: "serial" must be a text of 1 to 126 printable ASCII characters)";
const char kInputsObject[] =
    R"(settings: "inputs" must be an object mapping ADC channels to volts)";

const RefusedCase kRefusedCases[] = {
    {"UnknownKey", R"({"foo": 1})", R"(settings: unknown key "foo")"},
    {"UnknownKeyAfterGoodOnes", R"({"present": true, "Present": true})",
     R"(settings: unknown key "Present")"},
    {"UnknownKeyIsEscaped", R"({"a\"b\nc": 1})", R"(settings: unknown key "a\"b\nc")"},
    {"FirstErrorInDocumentOrder", R"({"zzz": 1, "present": 0})", R"(settings: unknown key "zzz")"},

    {"PresentNumber", R"({"present": 1})", kPresent},
    {"PresentString", R"({"present": "true"})", kPresent},
    {"PresentNull", R"({"present": null})", kPresent},
    {"SerialNumber", R"({"serial": 7})", kSerial},
    {"SerialEmpty", R"({"serial": ""})", kSerial},
    {"SerialControl", R"({"serial": "KX\u0007"})", kSerial},

    {"ExtRefString", R"({"external_reference": "2.5"})", kExtRef},
    {"ExtRefBool", R"({"external_reference": true})", kExtRef},
    {"ExtRefNull", R"({"external_reference": null})", kExtRef},
    {"ExtRefArray", R"({"external_reference": [2.5]})", kExtRef},
    {"ExtRefZero", R"({"external_reference": 0})", kExtRef},
    {"ExtRefNegativeZero", R"({"external_reference": -0.0})", kExtRef},
    {"ExtRefNegative", R"({"external_reference": -1.5})", kExtRef},
    {"ExtRefAboveFive", R"({"external_reference": 5.0001})", kExtRef},
    {"ExtRefHugeInteger", R"({"external_reference": 18446744073709551615})", kExtRef},

    {"AdcRefString", R"({"adc_reference": "1"})", kAdcRef},
    {"AdcRefBool", R"({"adc_reference": false})", kAdcRef},
    {"AdcRefObject", R"({"adc_reference": {}})", kAdcRef},
    {"AdcRefZero", R"({"adc_reference": 0.0})", kAdcRef},
    {"AdcRefNegative", R"({"adc_reference": -2})", kAdcRef},
    {"AdcRefAboveFive", R"({"adc_reference": 5.0001})", kAdcRef},
    {"AdcRefSix", R"({"adc_reference": 6})", kAdcRef},

    {"InputsArray", R"({"inputs": [1.25]})", kInputsObject},
    {"InputsNumber", R"({"inputs": 3})", kInputsObject},
    {"InputsString", R"({"inputs": "3"})", kInputsObject},
    {"InputsNull", R"({"inputs": null})", kInputsObject},

    {"ChannelSixteen", R"({"inputs": {"16": 1}})",
     R"(settings: "inputs.16" is not an ADC channel (0 to 15))"},
    {"ChannelNegative", R"({"inputs": {"-1": 1}})",
     R"(settings: "inputs.-1" is not an ADC channel (0 to 15))"},
    {"ChannelLeadingZero", R"({"inputs": {"03": 1}})",
     R"(settings: "inputs.03" is not an ADC channel (0 to 15))"},
    {"ChannelDoubleZero", R"({"inputs": {"00": 1}})",
     R"(settings: "inputs.00" is not an ADC channel (0 to 15))"},
    {"ChannelLeadingSpace", R"({"inputs": {" 3": 1}})",
     R"(settings: "inputs. 3" is not an ADC channel (0 to 15))"},
    {"ChannelTrailingSpace", R"({"inputs": {"3 ": 1}})",
     R"(settings: "inputs.3 " is not an ADC channel (0 to 15))"},
    {"ChannelPlusSign", R"({"inputs": {"+3": 1}})",
     R"(settings: "inputs.+3" is not an ADC channel (0 to 15))"},
    {"ChannelLetter", R"({"inputs": {"x": 1}})",
     R"(settings: "inputs.x" is not an ADC channel (0 to 15))"},
    {"ChannelEmpty", R"({"inputs": {"": 1}})",
     R"(settings: "inputs." is not an ADC channel (0 to 15))"},
    {"ChannelDecimal", R"({"inputs": {"3.0": 1}})",
     R"(settings: "inputs.3.0" is not an ADC channel (0 to 15))"},
    {"ChannelHundred", R"({"inputs": {"100": 1}})",
     R"(settings: "inputs.100" is not an ADC channel (0 to 15))"},

    {"InputVoltsNegative", R"({"inputs": {"3": -0.1}})",
     R"(settings: "inputs.3" must be a number of volts from 0 to 5)"},
    {"InputVoltsAboveFive", R"({"inputs": {"15": 5.0001}})",
     R"(settings: "inputs.15" must be a number of volts from 0 to 5)"},
    {"InputVoltsString", R"({"inputs": {"0": "1.25"}})",
     R"(settings: "inputs.0" must be a number of volts from 0 to 5)"},
    {"InputVoltsBool", R"({"inputs": {"2": true}})",
     R"(settings: "inputs.2" must be a number of volts from 0 to 5)"},
    {"InputVoltsNull", R"({"inputs": {"2": null}})",
     R"(settings: "inputs.2" must be a number of volts from 0 to 5)"},
    {"InputVoltsAfterGoodChannel", R"({"inputs": {"1": 1, "9": 9}})",
     R"(settings: "inputs.9" must be a number of volts from 0 to 5)"},

    {"SignalUnknownKey", R"({"inputs": {"4": {"offset": 1, "amplitud": 1}}})",
     R"(settings: unknown key "inputs.4.amplitud" (a signal takes offset, amplitude, frequency, phase, noise, seed))"},
    {"SignalOffsetAboveFive", R"({"inputs": {"4": {"offset": 5.5}}})",
     R"(settings: "inputs.4.offset" must be a number of volts from 0 to 5)"},
    {"SignalAmplitudeString", R"({"inputs": {"4": {"amplitude": "1"}}})",
     R"(settings: "inputs.4.amplitude" must be a number of volts from 0 to 5)"},
    {"SignalFrequencyAboveNyquist", R"({"inputs": {"0": {"frequency": 0.51}}})",
     R"(settings: "inputs.0.frequency" must be from 0 to 0.5 cycles per sample set)"},
    {"SignalPhaseNull", R"({"inputs": {"0": {"phase": null}}})",
     R"(settings: "inputs.0.phase" must be a number of radians)"},
    {"SignalNoiseNegative", R"({"inputs": {"0": {"noise": -1}}})",
     R"(settings: "inputs.0.noise" must be a number of LSB from 0 to 1000)"},
    {"SignalSeedFraction", R"({"inputs": {"0": {"seed": 1.5}}})",
     R"(settings: "inputs.0.seed" must be a whole number from 0 up)"},
    {"SignalSeedNegative", R"({"inputs": {"0": {"seed": -1}}})",
     R"(settings: "inputs.0.seed" must be a whole number from 0 up)"},
    {"ErrorsConverter", R"({"errors": {"ref": {}}})",
     R"(settings: unknown key "errors.ref" (errors take adc and dac))"},
    {"ErrorsChannel", R"({"errors": {"dac": {"16": {}}}})",
     R"(settings: "errors.dac.16" is not a DAC channel (0 to 15))"},
    {"AdcCannotStepBack", R"({"errors": {"adc": {"0": {"non_monotonic": {}}}}})",
     R"(settings: unknown key "errors.adc.0.non_monotonic" (errors take offset, gain, bow, s, dnl, seed, noise and missing_codes))"},
    {"MissingEndCode", R"({"errors": {"adc": {"0": {"missing_codes": [5, 4095]}}}})",
     R"(settings: "errors.adc.0.missing_codes" must be a list of codes from 1 to 4094)"},
    {"StepWithoutSize", R"({"errors": {"dac": {"2": {"non_monotonic": {"code": 9}}}}})",
     R"(settings: "errors.dac.2.non_monotonic" must be {"code": 1 to 4095, "step": LSB from -1000 to 1000})"},
    {"GainTooLarge", R"({"errors": {"dac": {"2": {"gain": 60}}}})",
     R"(settings: "errors.dac.2.gain" must be a percentage from -50 to 50)"},
    {"NegativeSpread", R"({"errors": {"adc": {"2": {"dnl": -0.1}}}})",
     R"(settings: "errors.adc.2.dnl" must be a number of LSB from 0 to 1000)"},

    {"TopLevelArray", R"([{"present": true}])", "settings: expected a JSON object"},
    {"TopLevelNumber", "42", "settings: expected a JSON object"},
    {"TopLevelString", R"("{}")", "settings: expected a JSON object"},
    {"TopLevelNull", "null", "settings: expected a JSON object"},
};

class SimSettingsRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(SimSettingsRefused, ReportsTheOffendingKey) {
  const RefusedCase& c = GetParam();
  const SimSettingsResult result = ParseSimSettings(c.json);
  ExpectRefused(result);
  EXPECT_EQ(result.error, c.error) << "document: " << c.json;
}

INSTANTIATE_TEST_SUITE_P(Documents, SimSettingsRefused, ::testing::ValuesIn(kRefusedCases),
                         CaseName<RefusedCase>);

struct MalformedCase {
  const char* name;
  const char* json;
};

const MalformedCase kMalformedCases[] = {
    {"Empty", ""},
    {"Whitespace", "  \n "},
    {"Unclosed", R"({"present": true)"},
    {"TrailingComma", R"({"present": true,})"},
    {"SingleQuotes", "{'present': true}"},
    {"Comment", "{} // nothing"},
    {"TrailingGarbage", "{} x"},
    {"BareWord", "present"},
    {"Nan", R"({"adc_reference": NaN})"},
    {"NumberOverflow", R"({"adc_reference": 1e999})"},
};

class SimSettingsMalformed : public ::testing::TestWithParam<MalformedCase> {};

TEST_P(SimSettingsMalformed, SaysNotValidJsonWithAReason) {
  const MalformedCase& c = GetParam();
  const SimSettingsResult result = ParseSimSettings(c.json);
  ExpectRefused(result);
  ASSERT_EQ(result.error.rfind(kNotJson, 0), 0U) << result.error;
  const std::string reason = result.error.substr(kNotJson.size());
  EXPECT_FALSE(reason.empty());
  // The library's internal exception tag is noise for whoever edits the file.
  EXPECT_EQ(reason.find("[json.exception"), std::string::npos) << result.error;
  EXPECT_EQ(result.error.find('\n'), std::string::npos) << result.error;
}

INSTANTIATE_TEST_SUITE_P(Documents, SimSettingsMalformed, ::testing::ValuesIn(kMalformedCases),
                         CaseName<MalformedCase>);

TEST(SimSettingsParse, MalformedReasonNamesThePosition) {
  const SimSettingsResult result = ParseSimSettings("{\n  \"present\": true,\n  \"inputs\" {}\n}");
  ExpectRefused(result);
  EXPECT_NE(result.error.find("line 3"), std::string::npos) << result.error;
}

// Each test gets its own folder so runs in parallel cannot trip over each other.
class SimSettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    dir_ = fs::temp_directory_path() /
           ("kx_sim_settings_test_" + std::to_string(stamp) + "_" + std::to_string(++counter));
    ASSERT_TRUE(fs::create_directories(dir_));
  }

  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string Write(const std::string& name, const std::string& contents) {
    const fs::path file = dir_ / name;
    std::ofstream out(file, std::ios::binary);
    out << contents;
    out.close();
    EXPECT_TRUE(out.good()) << file;
    return file.string();
  }

  fs::path dir_;
};

TEST_F(SimSettingsFile, MissingFileCannotBeRead) {
  const std::string path = (dir_ / "nope.json").string();
  const SimSettingsResult result = LoadSimSettingsFile(path);
  ExpectRefused(result);
  EXPECT_EQ(result.error, "cannot read settings file " + path + ": No such file or directory");
}

TEST_F(SimSettingsFile, DirectoryCannotBeRead) {
  const fs::path sub = dir_ / "settings.json";
  ASSERT_TRUE(fs::create_directory(sub));
  const SimSettingsResult result = LoadSimSettingsFile(sub.string());
  ExpectRefused(result);
  EXPECT_EQ(result.error,
            "cannot read settings file " + sub.string() + ": it is a folder, not a regular file");
}

TEST_F(SimSettingsFile, GoodFileIsRead) {
  const std::string path =
      Write("good.json", R"({"present": false, "adc_reference": 4, "inputs": {"12": 0.75}})");
  const SimSettingsResult result = LoadSimSettingsFile(path);
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  EXPECT_TRUE(result.error.empty());
  EXPECT_FALSE(result.settings->present);
  EXPECT_EQ(result.settings->adc_reference, 4.0);
  EXPECT_EQ(result.settings->external_reference, 2.5);
  const std::map<int, double> expected{{12, 0.75}};
  EXPECT_EQ(result.settings->inputs, expected);
}

TEST_F(SimSettingsFile, ParseErrorsArePrefixedWithThePath) {
  struct Case {
    const char* name;
    const char* contents;
    std::string tail;
  };
  const std::vector<Case> cases = {
      {"unknown.json", R"({"foo": true})", R"(: settings: unknown key "foo")"},
      {"array.json", "[]", ": settings: expected a JSON object"},
      {"empty.json", "", ": settings: not valid JSON: "},
      {"broken.json", "{\"inputs\": {", ": settings: not valid JSON: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = Write(c.name, c.contents);
    const SimSettingsResult result = LoadSimSettingsFile(path);
    ExpectRefused(result);
    EXPECT_EQ(result.error.rfind(path + c.tail, 0), 0U) << result.error;
  }
}

TEST_F(SimSettingsFile, ExactlyOneMebibyteIsAllowed) {
  constexpr std::size_t kLimit = std::size_t{1} << 20;
  std::string contents = R"({"adc_reference": 3})";
  contents.resize(kLimit, ' ');
  const std::string path = Write("limit.json", contents);
  ASSERT_EQ(fs::file_size(path), kLimit);
  const SimSettingsResult result = LoadSimSettingsFile(path);
  ASSERT_TRUE(result.settings.has_value()) << result.error;
  EXPECT_EQ(result.settings->adc_reference, 3.0);
}

TEST_F(SimSettingsFile, LargerThanOneMebibyteIsRefused) {
  constexpr std::size_t kLimit = std::size_t{1} << 20;
  std::string contents = "{}";
  contents.resize(kLimit + 1, ' ');
  const std::string path = Write("big.json", contents);
  const SimSettingsResult result = LoadSimSettingsFile(path);
  ExpectRefused(result);
  EXPECT_EQ(result.error, path + ": settings file is larger than 1 MiB");
}

}  // namespace
}  // namespace kx::board::sim
