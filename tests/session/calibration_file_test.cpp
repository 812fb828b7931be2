// Calibration files: every kind of bad field named, a round trip, and how a
// command's choice finds (or refuses) a board's file.
#include "session/calibration_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/config_home.h"
#include "support/temp_folder.h"

namespace kx::session {
namespace {

using Json = nlohmann::ordered_json;

Calibration Sample(const std::string& board) {
  Calibration calibration;
  calibration.board = board;
  calibration.written = "2026-12-09T12:00:00Z";
  calibration.program = "kx7312ctl 1.05";
  calibration.adc_reference_volts = 2.497;
  calibration.dac_reference_volts[1] = 2.5;
  calibration.adc[0][3] = ChannelCalibration{
      {3.25, -0.5}, "2026-12-09T11:00:00.125Z", "kx7312ctl 1.05", "adc histogram", 2.497};
  calibration.adc[1][3] =
      ChannelCalibration{{1.5, 0.25}, "2026-12-09T11:00:00Z", "x", "entered", {}};
  calibration.dac[15] = ChannelCalibration{{-2, 1}, "2026-12-09T11:00:00Z", "x", "dac sweep", {}};
  return calibration;
}

TEST(CalibrationFileTest, ARoundTripKeepsEveryField) {
  const Calibration written = Sample("SIM-0001");
  const CalibrationRead read = ParseCalibration(CalibrationJson(written));
  ASSERT_TRUE(read.calibration.has_value()) << read.error;
  EXPECT_EQ(CalibrationJson(*read.calibration), CalibrationJson(written));
  EXPECT_EQ(read.calibration->Adc(1, 3)->offset_lsb, 1.5);
  EXPECT_EQ(read.calibration->Dac(15)->gain_percent, 1);

  // One the reader would refuse (an entry without its date) is not written
  // over the good file.
  kx::testing::TempFolder folder;
  const std::string path = folder.File("SIM-0001.json");
  ASSERT_FALSE(WriteCalibrationFile(path, written));
  Calibration undated = written;
  undated.dac[15]->date.clear();
  const std::optional<std::string> refused = WriteCalibrationFile(path, undated);
  ASSERT_TRUE(refused.has_value());
  EXPECT_NE(refused->find("dac[0].date"), std::string::npos) << *refused;
  EXPECT_EQ(CalibrationJson(*ReadCalibrationFile(path).calibration), CalibrationJson(written));
}

struct BadField {
  const char* pointer;  // the field removed where `value` is a discarded value
  Json value;
  const char* message;
};

TEST(CalibrationFileTest, EachKindOfBadFieldIsNamed) {
  const Json good = Json::parse(CalibrationJson(Sample("SIM-0001")));
  const BadField rows[] = {
      {"/format", "kx7312-setup", "format: \"kx7312-setup\" is not \"kx7312-calibration\""},
      {"/version", 2, "version: 2 is newer than this program reads (1)"},
      {"/board", "../x",
       "board: \"../x\" is not a board's word (letters, digits, '-', '_' or '.')"},
      {"/written", "yesterday",
       "written: \"yesterday\" is not a UTC time such as \"2026-12-09T12:00:00Z\""},
      {"/adc_reference_volts", 0,
       "adc_reference_volts: 0 is not null or a reference above 0 V and "
       "at most 5 V"},
      {"/dac_reference_volts", Json::array({nullptr}),
       "dac_reference_volts: not a list of 2 (DAC0-7, DAC8-15)"},
      {"/dac_reference_volts/0", 5.5,
       "dac_reference_volts[0]: 5.5 is not null or a reference above 0 V and at most 5 V"},
      {"/adc/0/channel", 16, "adc[0].channel: 16 is not a channel from 0 to 15"},
      {"/adc/1/range", "0V to 2xVREFA",
       "adc[1].channel: channel 3 on \"0V to 2xVREFA\" a second time"},
      {"/adc/1/range", "vref",
       "adc[1].range: \"vref\" is not \"0V to 2xVREFA\" or \"0V to VREFA\""},
      {"/adc/0/offset_lsb", 2048.5, "adc[0].offset_lsb: 2048.5 is not a number from -2048 to 2048"},
      {"/adc/1/gain_percent", "1", "adc[1].gain_percent: \"1\" is not a number from -50 to 50"},
      {"/adc/0/method", "guessed",
       "adc[0].method: \"guessed\" is not \"adc histogram\", \"dac sweep\" or \"entered\""},
      {"/dac/0/program", "",
       "dac[0].program: \"\" is not a program's name of 1 to 100 printable "
       "characters"},
      {"/dac/0/range", "0V to VREFA", "dac[0].range: not a field of a calibration"},
      {"/dac/0/date", Json::value_t::discarded, "dac[0].date: missing"},
      {"/dac", Json::object(), "dac: not a list"},
  };
  for (const BadField& row : rows) {
    Json bad = good;
    const Json::json_pointer at(row.pointer);
    row.value.is_discarded() ? bad[at.parent_pointer()].erase(at.back()) : (bad[at] = row.value, 0);
    const CalibrationRead read = ParseCalibration(bad.dump());
    EXPECT_FALSE(read.calibration.has_value()) << row.pointer;
    EXPECT_EQ(read.error, row.message);
  }
  EXPECT_EQ(ParseCalibration("[").error.rfind("not valid JSON: ", 0), 0U);
}

struct Resolution {
  CalibrationChoice::Kind kind;
  const char* file;         // written under this name first, "" for none
  const char* file_board;   // the board the written file names
  const char* choice_file;  // --calibration FILE, relative to the folder
  bool applied;
  const char* error_part;  // "" for none
};

TEST(CalibrationFileTest, AChoiceFindsTheBoardsFileOrSaysWhyNot) {
  using Kind = CalibrationChoice::Kind;
  const Resolution rows[] = {
      {Kind::Auto, "", "", "", false, ""},
      {Kind::Auto, "kx7312/calibration/SIM-0001.json", "SIM-0001", "", true, ""},
      {Kind::Auto, "kx7312/calibration/SIM-0001.json", "OTHER", "", false,
       "is the calibration of board OTHER, not of this board SIM-0001"},
      {Kind::None, "kx7312/calibration/SIM-0001.json", "SIM-0001", "", false, ""},
      {Kind::File, "mine.json", "SIM-0001", "mine.json", true, ""},
      {Kind::File, "mine.json", "SIM-0002", "mine.json", false,
       "mine.json is the calibration of board SIM-0002, not of this board SIM-0001"},
      {Kind::File, "", "", "missing.json", false, "cannot read"},
  };
  for (const Resolution& row : rows) {
    const testing::TempFolder folder;
    testing::UseConfigFolder(folder.Path());
    if (*row.file != '\0') {
      ASSERT_FALSE(WriteCalibrationFile(folder.File(row.file), Sample(row.file_board)));
    }
    CalibrationChoice choice{row.kind,
                             *row.choice_file != '\0' ? folder.File(row.choice_file) : ""};
    const CalibrationResolved resolved = ResolveCalibration(choice, {"SIM-0001", ""});
    EXPECT_EQ(resolved.applied.has_value(), row.applied) << row.file << " " << resolved.error;
    EXPECT_NE(resolved.error.find(row.error_part), std::string::npos) << resolved.error;
    EXPECT_EQ(resolved.error.empty(), *row.error_part == '\0') << resolved.error;
  }
  const testing::TempFolder folder;
  testing::UseConfigFolder(folder.Path());
  EXPECT_EQ(std::filesystem::path(DefaultCalibrationFolder().path).lexically_normal(),
            (folder.Path() / "kx7312" / "calibration").lexically_normal());
  std::filesystem::create_directories(folder.Path() / "kx7312" / "calibration");
  testing::WriteBytes(folder.File("kx7312/calibration/SIM-0001.json"), "{");
  EXPECT_NE(ResolveCalibration({}, {"SIM-0001", ""}).error.find("not valid JSON"),
            std::string::npos);
}

}  // namespace
}  // namespace kx::session
