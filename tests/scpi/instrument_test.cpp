// The command tree on the simulated board, in this process: what each
// command answers, what it sends, and that nothing bad reaches the board.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "instrument_rig.h"
#include "support/temp_folder.h"
#include "support/trace_requests.h"

namespace kx::scpi {
namespace {

using kx::testing::Split;
using testing::InstrumentRig;

struct Exchange {
  std::string line;
  std::string response;
};

TEST(ScpiInstrumentTest, AnswersInTurn) {
  InstrumentRig rig;
  const std::vector<Exchange> exchanges = {
      {"*IDN?", std::string("KX7312,KX7312(version2),SIM-0001,") + KX7312CTL_VERSION},
      {"*OPC?", "1"},
      {"*ESR?", "0"},
      {"*OPC", "<none>"},
      {"*ESR?", "1"},
      {"*ESR?", "0"},
      {"*STB?", "0"},
      {"SYST:ERR?", "0,\"No error\""},
      {"system:error:next?", "0,\"No error\""},
      {"SYST:VERS?", "1999.0"},
      {"*ESE 36;*ESE?", "36"},
      {"*SRE 32;*SRE?", "32"},
      {"dac:load:puls?", "1"},
      {"DAC:LOAD:PULS OFF;PULS?", "0"},
      {"DAC:LOAD:PULSE ON;:DAC:LOAD:PULS?", "1"},
      {"ADC:CONF?", "VREF2X,TRIS,TWOS"},
      {"ADC:CONFIGURE VREF,WEAK,BIN;CONF?", "VREF,WEAK,BIN"},
      {"ADC:CONF;CONF?", "VREF2X,TRIS,TWOS"},
      {"*IDN?;*OPC?", std::string("KX7312,KX7312(version2),SIM-0001,") + KX7312CTL_VERSION + ";1"},
      {"DAC:PDOW:MASK?", "#H0000,#H0000,#H0000,#H0000"},
      {"DAC:PDOWN HIGH,R1K,8,11;PDOW:MASK?", "#H0000,#H0009,#H0000,#H0000"},
      {"ADC:WRIT? #H8310", "#H1000"},  // the simulated chip's reply
  };
  for (const Exchange& exchange : exchanges) {
    EXPECT_EQ(rig.Ask(exchange.line), exchange.response) << exchange.line;
  }
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
}

TEST(ScpiInstrumentTest, ADacLoadReadsBackOnTheAdcCodeForCode) {
  InstrumentRig rig(Version2Edition, testing::LoopbackSettings());
  std::string load = "DAC:LOAD ";
  std::vector<std::string> expected;
  for (int channel = 0; channel < 16; ++channel) {
    const int code = channel == 15 ? 4095 : 100 + channel * 250;
    load += (channel == 0 ? "" : ",") + std::to_string(channel) + "," + std::to_string(code);
    expected.push_back(std::to_string(code));
  }
  ASSERT_EQ(rig.Ask(load), "<none>");
  ASSERT_EQ(rig.Ask("ADC:CONF VREF2X,TRIS,BIN"), "<none>");
  EXPECT_EQ(Split(rig.Ask("ADC:READ?"), ','), expected);
  EXPECT_EQ(Split(rig.Ask("ADC:RES?"), ','), expected);
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
  const std::vector<std::string> words = Split(rig.Ask("DAC:WORD?"), ',');
  ASSERT_EQ(words.size(), 16U);
  EXPECT_EQ(words[3], "#H00335200");
  // One channel read alone: its neighbours' results stay as they were.
  rig.Ask("DAC:LOAD 2,#H111,3,#H7FF,4,#H222");
  EXPECT_EQ(rig.Ask("ADC:READ? 3;READ? 15"), "2047;4095");
  EXPECT_EQ(Split(rig.Ask("ADC:RES?"), ',').at(2), "600");
}

// DAC:VOLTage sends DAC:LOAD's words for the nearest code, on the reference
// the group is on when it runs; beyond the range it sends nothing.
TEST(ScpiInstrumentTest, VoltsLoadTheNearestCodeAndBeyondTheRangeQueueTheRange) {
  InstrumentRig by_volts;
  InstrumentRig by_codes;
  by_volts.Ask("DAC:VOLT 3,1.25,12,0.0001");
  by_codes.Ask("DAC:LOAD 3,#H800,12,0");
  EXPECT_EQ(by_volts.RequestLines(), by_codes.RequestLines());
  EXPECT_EQ(by_volts.Ask("DAC:VOLT? 3;VOLT? 12;VOLT? 5"), "1.250000;0.000000;0.000000");
  EXPECT_EQ(by_volts.Ask("DAC:REF LOW,INT;:DAC:VOLT 3,2.4996;VOLT? 3"), "2.499390");
  EXPECT_EQ(by_volts.NextError(), "0,\"No error\"");
  // Through the server's calibration: DAC3 2 LSB and 1 % high.
  const kx::testing::TempFolder folder;
  kx::testing::WriteBytes(
      folder.File("c.json"),
      R"({"format": "kx7312-calibration", "version": 1, "board": "SIM-0001", "written": )"
      R"("2026-12-09T12:00:00Z", "program": "kx7312ctl 1.05", "adc_reference_volts": null, )"
      R"("dac_reference_volts": [null, null], "adc": [], "dac": [{"channel": 3, "offset_lsb": 2, )"
      R"("gain_percent": 1, "date": "2026-12-09T12:00:00Z", "program": "kx7312ctl 1.05", )"
      R"("method": "entered", "reference_volts": null}]})");
  by_codes.instrument.UseCalibration(
      {session::CalibrationChoice::Kind::File, folder.File("c.json")});
  EXPECT_EQ(by_codes.Ask("DAC:VOLT 3,1.25;VOLT? 3"), "1.250159");  // code 2026
  const struct {
    std::string line;
    std::string error;
  } rows[] = {
      {"DAC:VOLT 4,1,11,2.6",
       "-222,\"Data out of range; DAC11: 2.6000 V is outside 0.0000 V to 2.4994 V on DAC8-15's "
       "external 2.5 V reference\""},
      {"DAC:VOLT 3,-0.001", "-222,\"Data out of range; DAC3: -0.0010 V is outside"},
      {"DAC:VOLT 3,\"1V\"", "-104,\"Data type error; the volts must be a decimal number"},
      {"DAC:VOLT 3,1,3,2", R"(-224,"Illegal parameter value; ""3,2"": channel 3 is given twice)"},
  };
  for (const auto& row : rows) {
    const std::size_t before = by_volts.RequestLines().size();
    EXPECT_EQ(by_volts.Ask(row.line), "<none>");
    EXPECT_EQ(by_volts.NextError().substr(0, row.error.size()), row.error) << row.line;
    EXPECT_EQ(by_volts.RequestLines().size(), before) << row.line;
  }
}

TEST(ScpiInstrumentTest, ACaptureComesBackAsABlockOrAsCodes) {
  InstrumentRig rig;
  const std::string block = rig.Ask("ADC:CAPT?");
  ASSERT_EQ(block.substr(0, 1), "#");
  const auto digits = static_cast<std::size_t>(block[1] - '0');
  const std::size_t length = std::stoul(block.substr(2, digits));
  ASSERT_EQ(block.size(), 2 + digits + length);
  const std::string text = block.substr(2 + digits);
  EXPECT_EQ(Split(text, '\n').size(), 512U + 1U);
  EXPECT_TRUE(text.ends_with("\r\n"));

  EXPECT_EQ(Split(rig.Ask("ADC:CAPT:ALL? CODES"), ',').size(), 512U * 16U);
  EXPECT_EQ(Split(rig.Ask("adc:capture:channel0? codes"), ',').size(), 1024U);
  EXPECT_EQ(Split(rig.Ask("ADC:CAPT:CHAN0?"), '\n').size(), 1024U + 1U);
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
}

struct BadLine {
  std::string line;
  int code;
  std::string says{};  // part of the error's text, where the wording matters
};

TEST(ScpiInstrumentTest, ABadLineQueuesItsErrorAndSendsNothing) {
  InstrumentRig rig;
  const std::vector<BadLine> cases = {
      {"FOO", -113},
      {"*FOO?", -113},
      {"ADC:READ", -113},  // the read is a query only
      {"*IDN", -113},
      {"DAC:LOAD:INP:X 1,2", -113},
      {"ADC:READ? 16", -222},
      {"ADC:READ? 3,4", -108},
      {"*IDN? 1", -108},
      {"DAC:LOAD", -109},
      {"DAC:LOAD 3", -109},
      {"DAC:WRIT LOW", -109},
      {"DAC:LOAD 16,1", -222},             // no channel 16
      {"DAC:LOAD 3,4096", -222},           // above FFF
      {"DAC:WRIT LOW,#H100000000", -222},  // above 32 bits
      {"ADC:WRIT 65536", -222},
      {"DAC:LOAD 3,-1", -222},
      {"DAC:LOAD 3,1.5", -222},  // no whole number
      {"DAC:LOAD 3,LOW", -104},
      {"DAC:WRIT MIDDLE,1", -224},
      {"DAC:WRIT LOW,#H123456789", -222},  // nine digits
      {"DAC:PDOW LOW,R2K", -224},
      {"DAC:PDOW LOW,R1K,8", -222},  // channel 8 is not in the low group
      {"DAC:PDOW LOW,R1K,-1", -222},
      {"DAC:LOAD 1,1,1,2", -224, "channel 1 is given twice"},
      {"DAC:LDAC HIGH,3", -222},
      {"DAC:REF LOW,ABOVE", -224},
      {"DAC:CLE LOW,#H801", -222},
      {"LINE:CLR MAYBE", -224},
      {"ADC:CONF VREF,TRIS,GRAY", -224},
      {"ADC:WRIT #H10000", -222},  // five digits
      {"ADC:READ:VOLT? 1E40", -222},
      // A channel number in the place of the reference, beyond what the pin takes.
      {"ADC:READ:VOLT? 7", -222,
       "the reference 7 V is outside what the ADC takes: above 0 V, at most 5 V"},
      {"ADC:READ:VOLT? 0.004", -222, "outside"},  // 0.00 as the box holds it
      {"DAC:LOAD 3,7FF", -120, "\"\"7FF\"\" is no number (hexadecimal is written #H7FF)"},
      {"DAC:LOAD 3,FFF", -104, "the code must be a number (hexadecimal is written #HFFF)"},
      {"DAC:LOAD 3,1E-400", -222, "1E-400 is too small: it underflows to 0"},
      {"DAC:LOAD 3,1" + std::string(400, '0') + "E-10", -222, "is too large"},
      {"ADC:READ:VOLT? LOW", -104},
      {"ADC:CAPT? BOTH", -224},
      {"*ESE 256", -222},
      {"DAC:LOAD 1,#H100;FOO", -113},  // a line with a bad unit runs none
      {"DAC:LOAD 1,#H100;DAC:LOAD 99,1", -222},
      {"DAC:LOAD 1,,2", -109},
      {"DAC:LOAD 1 2", -103},
  };
  const std::size_t before = rig.RequestLines().size();
  for (const BadLine& c : cases) {
    EXPECT_EQ(rig.Ask(c.line), "<none>") << c.line;
    const std::string error = rig.NextError();
    EXPECT_TRUE(error.starts_with(std::to_string(c.code) + ",\"")) << c.line << ": " << error;
    EXPECT_NE(error.find(c.says), std::string::npos) << c.line << ": " << error;
    EXPECT_EQ(rig.NextError(), "0,\"No error\"") << c.line;
  }
  EXPECT_EQ(rig.RequestLines().size(), before);
  // The client's share of the log: twenty lines at once, then the count of
  // those held back with the next one let through.
  EXPECT_GE(rig.log.size(), 20U);
  EXPECT_LT(rig.log.size(), 23U);
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  // An undefined header is cut as a mnemonic too long is.
  std::string header;
  for (int i = 0; i < 10000; ++i) {
    header += "A:";
  }
  rig.Ask(header + "B");
  EXPECT_EQ(rig.NextError(), "-113,\"Undefined header; A:A:A:A:A:A:A:A:A:A:A:A:...\"");
  EXPECT_NE(rig.log.back().find("more of this client's lines were not logged)"), std::string::npos);
  EXPECT_LT(rig.log.back().size(), 200U);
  EXPECT_EQ(rig.Ask("DAC:WORD?").find("#H0011"), std::string::npos);
}

// The third field is the board's serial, never a field separator; "0"
// where no board reports one.
TEST(ScpiInstrumentTest, IdnNamesTheBoardsSerial) {
  struct Case {
    std::string serial;
    bool present;
    std::string field;
  };
  for (const Case& c : {Case{"BENCH 7", true, "BENCH 7"}, Case{"KX,7", true, "KX_7"},
                        Case{"SIM-0001", false, "0"}}) {
    board::sim::SimSettings settings;
    settings.serial = c.serial;
    settings.present = c.present;
    InstrumentRig rig(Version2Edition, settings);
    EXPECT_EQ(rig.Ask("*IDN?"), "KX7312,KX7312(version2)," + c.field + "," + KX7312CTL_VERSION);
  }
}

TEST(ScpiInstrumentTest, TheClassicEditionRefusesWhatItHasNoControlFor) {
  InstrumentRig rig(ClassicEdition);
  EXPECT_EQ(rig.Ask("*IDN?").substr(0, 14), "KX7312,KX7312,");
  for (const std::string line : {"ADC:READ:VOLT?", "ADC:CONF VREF,TRIS,BIN"}) {
    EXPECT_EQ(rig.Ask(line), "<none>");
    EXPECT_TRUE(rig.NextError().starts_with("-221,")) << line;
  }
  EXPECT_EQ(rig.Ask("ADC:CONF VREF,WEAK;CONF?"), "VREF,WEAK");
}

TEST(ScpiInstrumentTest, TheErrorQueueHoldsTwentyAndTheStatusShowsThem) {
  InstrumentRig rig;
  for (int i = 0; i < 25; ++i) {
    rig.Ask("NOPE" + std::to_string(i));
  }
  EXPECT_EQ(rig.Ask("SYST:ERR:COUN?"), "20");
  EXPECT_EQ(rig.Ask("*STB?"), "4");   // an error is available
  EXPECT_EQ(rig.Ask("*ESR?"), "32");  // a command error happened
  EXPECT_EQ(rig.Ask("DAC:LOAD 3,5000;*ESE 16"), "<none>");
  EXPECT_EQ(rig.Ask("*STB?"), "4");
  EXPECT_EQ(rig.Ask("*ESE 16"), "<none>");
  EXPECT_EQ(rig.Ask("DAC:LOAD 3,5000"), "<none>");
  EXPECT_EQ(rig.Ask("*STB?"), "36");  // an enabled execution error as well
  EXPECT_EQ(rig.NextError(), "-113,\"Undefined header; NOPE0\"");
  for (int i = 1; i < 19; ++i) {
    EXPECT_EQ(rig.NextError(), "-113,\"Undefined header; NOPE" + std::to_string(i) + "\"");
  }
  EXPECT_EQ(rig.NextError(), "-350,\"Queue overflow\"");
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
  rig.Ask("NOPE");
  rig.Ask("*CLS");
  EXPECT_EQ(rig.Ask("SYST:ERR:COUN?;*ESR?;*STB?"), "0;0;0");
}

TEST(ScpiInstrumentTest, AFailingBoardIsAHardwareErrorAndTheNextCommandIsServed) {
  InstrumentRig rig;
  rig.cut_off.answers_left = 0;
  EXPECT_EQ(rig.Ask("ADC:READ?"), "<none>");
  const std::string error = rig.NextError();
  EXPECT_TRUE(error.starts_with("-240,\"Hardware error; adc read: ")) << error;
  EXPECT_NE(error.find("(status -5)"), std::string::npos) << error;
  EXPECT_EQ(rig.Ask("*ESR?"), "16");
  rig.cut_off.answers_left.reset();
  EXPECT_EQ(Split(rig.Ask("ADC:READ?"), ',').size(), 16U);
}

TEST(ScpiInstrumentTest, AStoppedCaptureAnswersNothingAndLeavesTheStateReadable) {
  InstrumentRig rig(Version2Edition, testing::LoopbackSettings());
  rig.Ask("DAC:LOAD 3,#H7FF;:ADC:CONF VREF2X,TRIS,BIN;READ?");
  int asked = 0;
  // The stop is asked before each chunk of 128 transfers.
  const auto gone_at_3 = [&asked] { return ++asked >= 3; };
  EXPECT_EQ(rig.Ask("ADC:CAPT?", gone_at_3), "<none>");
  EXPECT_EQ(asked, 3);
  // 256 transfers went out, then it stopped.
  EXPECT_TRUE(
      rig.NextError().starts_with("-240,\"Hardware error; adc capture: the capture was stopped"));
  EXPECT_EQ(Split(rig.Ask("ADC:RES?"), ',').at(3), "2047");
  EXPECT_EQ(rig.Ask("ADC:CONF?"), "VREF2X,TRIS,BIN");
  EXPECT_EQ(Split(rig.Ask("ADC:CAPT:CHAN0? CODES"), ',').size(), 1024U);
}

TEST(ScpiInstrumentTest, ResetGivesThePanelsStateAfterStartUp) {
  InstrumentRig rig;
  rig.Ask("DAC:LOAD 3,#H7FF;:DAC:LOAD:PULS OFF;:ADC:CONF VREF,WEAK");
  const std::string loaded = rig.Ask("DAC:WORD?");
  EXPECT_EQ(Split(loaded, ',').at(3), "#H0037FF00");
  EXPECT_EQ(rig.Ask("*RST"), "<none>");
  // Every slot is back to its own channel's word with code 0.
  EXPECT_EQ(Split(rig.Ask("DAC:WORD?"), ',').at(3), "#H00300000");
  EXPECT_EQ(Split(rig.Ask("DAC:WORD? DAC"), ',').at(11), "#H01300000");
  EXPECT_EQ(rig.Ask("DAC:LOAD:PULS?;:ADC:CONF?"), "1;VREF2X,TRIS,TWOS");
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
}

}  // namespace
}  // namespace kx::scpi

namespace kx::scpi {
namespace {

TEST(ScpiErrorTest, TheQuotedTextStaysWithin255Characters) {
  const struct {
    std::string text;
    std::string quoted;
  } cases[] = {
      {"Undefined header; A\"B", "Undefined header; A\"\"B"},
      {std::string(300, 'x'), std::string(255, 'x')},
      // A doubled quote that would end past the limit goes whole.
      {std::string(254, 'x') + "\"y", std::string(254, 'x')},
      {std::string(253, 'x') + "\"y", std::string(253, 'x') + "\"\""},
  };
  for (const auto& one : cases) {
    EXPECT_EQ(ErrorResponse({-113, one.text}), "-113,\"" + one.quoted + "\"") << one.text;
  }
}

TEST(ScpiInstrumentTest, TheEnableMasksShowInTheStatusByte) {
  // Lines apart: a line with a bad unit runs none of its units.
  const struct {
    std::vector<std::string> lines;
    std::string status_byte;
  } cases[] = {
      {{"NOPE"}, "4"},                               // an error queued
      {{"*SRE 4", "NOPE"}, "68"},                    // ... which requests service
      {{"*ESE 32", "NOPE"}, "36"},                   // a command error, its event enabled
      {{"*ESE 32;*SRE 32", "NOPE"}, "100"},          // ... and requesting service
      {{"*ESE 16", "NOPE"}, "4"},                    // an event not enabled
      {{"*ESE 1;*SRE 32;*OPC"}, "96"},               // the operation complete
      {{"*ESE 1;*SRE 32;*OPC;*ESR?", "*CLS"}, "0"},  // read and cleared
  };
  for (const auto& one : cases) {
    InstrumentRig rig;
    for (const std::string& line : one.lines) {
      rig.Ask(line);
    }
    EXPECT_EQ(rig.Ask("*STB?"), one.status_byte) << one.lines.back();
  }
}

TEST(ScpiInstrumentTest, TriggerPulsesLdac) {
  InstrumentRig rig;
  const std::size_t before = rig.RequestLines().size();
  EXPECT_EQ(rig.Ask("*TRG"), "<none>");
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");
  EXPECT_GT(rig.RequestLines().size(), before);
}

}  // namespace
}  // namespace kx::scpi

namespace kx::scpi {
namespace {

// *SAV and *RCL: a slot recalled after a reset gives every state query its
// saved answer; a slot out of range, empty, unreadable or of what the
// edition lacks queues its error and sends nothing.
TEST(ScpiInstrumentTest, ARecalledSlotAnswersAsSavedAndABadOneQueuesItsError) {
  const kx::testing::TempFolder folder;
  kx::testing::WriteBytes(folder.File("kx7312-setup-6.json"), "not a set-up");
  InstrumentRig rig;
  ASSERT_FALSE(rig.instrument.SetSetupFolder(folder.Path()).has_value());
  const std::string state = "DAC:WORD?;:DAC:WORD? DAC;:DAC:PDOW:MASK?;:DAC:LOAD:PULS?;:ADC:CONF?";
  rig.Ask(
      "DAC:LOAD 3,#H7FF;:DAC:PDOW LOW,R1K,0,1;:DAC:LOAD:PULS OFF;:ADC:CONF VREF,WEAK,BIN;*SAV 4");
  const std::string saved = rig.Ask(state);
  rig.Ask("*RST");
  ASSERT_NE(rig.Ask(state), saved);
  rig.Ask("*RCL 4");
  EXPECT_EQ(rig.Ask(state), saved);
  EXPECT_EQ(rig.NextError(), "0,\"No error\"");

  InstrumentRig classic(ClassicEdition);
  ASSERT_FALSE(classic.instrument.SetSetupFolder(folder.Path()).has_value());
  const struct {
    InstrumentRig* rig;
    std::string line;
    std::string error;
  } rows[] = {
      {&rig, "*SAV 10", "-222,\"Data out of range; the slot must be 0 to 9"},
      {&rig, "*RCL -1", "-222,\"Data out of range; the slot must be 0 to 9"},
      {&rig, "*RCL", "-109,\"Missing parameter"},
      {&rig, "*RCL 5", "-256,\"File name not found; slot 5 holds no set-up\""},
      {&rig, "*RCL 6", "-250,\"Mass storage error; slot 6: "},
      {&classic, "*RCL 4", "-221,\"Settings conflict; slot 4: the set-up of KX7312(version2)"},
  };
  for (const auto& row : rows) {
    const std::size_t before = row.rig->RequestLines().size();
    EXPECT_EQ(row.rig->Ask(row.line), "<none>");
    EXPECT_EQ(row.rig->NextError().substr(0, row.error.size()), row.error) << row.line;
    EXPECT_EQ(row.rig->RequestLines().size(), before) << row.line;
  }
  EXPECT_EQ(folder.Entries(),
            (std::vector<std::string>{"kx7312-setup-4.json", "kx7312-setup-6.json"}));
}

}  // namespace
}  // namespace kx::scpi
