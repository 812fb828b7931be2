// Every command's words on the simulated board's trace: the same words the
// panel sends for the same settings, through the same operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adc/adc_control_word.h"
#include "commands/exit_status.h"
#include "ctl_rig.h"

namespace kx::ctl {
namespace {

using testing::CtlRig;
using Words = std::vector<std::string>;

// The start-up codes of the panel's window, every box ticked.
constexpr const char* kStartCodes =
    "0=1FF 1=2FF 2=3FF 3=4FF 4=5FF 5=6FF 6=7FF 7=FFF "
    "8=0FF 9=1FF 10=2FF 11=3FF 12=4FF 13=5FF 14=6FF 15=7FF";

Words StartCodeWords(std::uint32_t command_bits) {
  const std::vector<std::uint32_t> low = {0x0001FF00, 0x0012FF00, 0x0023FF00, 0x0034FF00,
                                          0x0045FF00, 0x0056FF00, 0x0067FF00, 0x007FFF00};
  const std::vector<std::uint32_t> high = {0x0000FF00, 0x0011FF00, 0x0022FF00, 0x0033FF00,
                                           0x0044FF00, 0x0055FF00, 0x0066FF00, 0x0077FF00};
  Words words;
  for (const std::uint32_t word : low) {
    words.push_back(testing::RequestText(0xD9, word | command_bits));
  }
  for (const std::uint32_t word : high) {
    words.push_back(testing::RequestText(0xDA, word | command_bits));
  }
  return words;
}

Words Plus(Words words, const std::string& last) {
  words.push_back(last);
  return words;
}

TEST(CtlStartUpTest, OneDownloadThePostBootRequestAndTheFourAdcWordsBeforeTheCommands) {
  CtlRig rig;
  ASSERT_EQ(rig.Run("line pulse-ldac"), ExitSuccess) << rig.err;
  const Words lines = rig.TraceLines();
  ASSERT_GE(lines.size(), 9U);
  EXPECT_TRUE(lines[0].starts_with("search "));
  EXPECT_TRUE(lines[1].starts_with("connect "));
  EXPECT_TRUE(lines[2].starts_with("download ")) << lines[2];
  EXPECT_NE(lines[3].find("code=0xE0"), std::string::npos);
  const Words adc = {"value=0xFFFF index=0 ", "value=0xFFFF index=0 ", "value=0x8390 index=-1 ",
                     "value=0xFFFF index=0 "};
  for (std::size_t i = 0; i < adc.size(); ++i) {
    EXPECT_NE(lines[4 + i].find("code=0xE4 " + adc[i]), std::string::npos) << lines[4 + i];
  }
  EXPECT_EQ(rig.Requests(), Words{"0xDE 0x00000000"});
}

TEST(CtlDacTest, LoadWithTheWindowsStartCodesSendsTheSixteenWordsThenOnePulse) {
  CtlRig rig;
  ASSERT_EQ(rig.Run(std::string("dac load ") + kStartCodes), ExitSuccess) << rig.err;
  EXPECT_EQ(rig.Requests(), Plus(StartCodeWords(0), "0xDE 0x00000000"));
}

TEST(CtlDacTest, UpdateAddsCommandOneAndNoPulseLeavesThePulseOut) {
  CtlRig rig;
  ASSERT_EQ(rig.Run(std::string("dac load --update --no-pulse ") + kStartCodes), ExitSuccess);
  EXPECT_EQ(rig.Requests(), StartCodeWords(0x01000000));
}

TEST(CtlDacTest, StoredWordsLiveForTheWholeCallAsThePanelsDo) {
  CtlRig rig;
  // Only DAC3, then only DAC5: DAC3's word goes out again with the second.
  ASSERT_EQ(rig.Run("dac load 3=7FF dac load 5=1FF"), ExitSuccess) << rig.err;
  // A slot never loaded holds its own channel's word with code 0.
  Words expected = {"0xD9 0x00000000", "0xD9 0x00100000", "0xD9 0x00200000", "0xD9 0x0037FF00",
                    "0xD9 0x00400000", "0xD9 0x00500000", "0xD9 0x00600000", "0xD9 0x00700000"};
  for (std::uint32_t address = 0; address < 8; ++address) {
    expected.push_back(testing::RequestText(0xDA, address << 20));
  }
  expected.push_back("0xDE 0x00000000");
  Words second = expected;
  second[5] = "0xD9 0x0051FF00";
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(rig.Requests(), expected);

  // The input-register and DAC-register words are kept apart.
  ASSERT_EQ(rig.Run("dac load 3=7FF dac load --update --no-pulse 11=FFF"), ExitSuccess);
  const Words requests = rig.Requests();
  ASSERT_EQ(requests.size(), 17U + 16U);
  EXPECT_EQ(requests[17 + 3], "0xD9 0x01300000");
  EXPECT_EQ(requests[17 + 8 + 3], "0xDA 0x013FFF00");
}

TEST(CtlDacTest, AStoredWordDoesNotOutliveTheCall) {
  CtlRig rig;
  ASSERT_EQ(rig.Run("dac load 3=7FF"), ExitSuccess);
  ASSERT_EQ(rig.Run("dac load 5=1FF"), ExitSuccess);
  EXPECT_EQ(rig.Requests()[3], "0xD9 0x00300000");
  EXPECT_EQ(rig.Requests()[5], "0xD9 0x0051FF00");
}

struct WordCase {
  const char* command;
  Words requests;
};

class CtlOneRequestTest : public ::testing::TestWithParam<WordCase> {};

TEST_P(CtlOneRequestTest, SendsThePanelsWord) {
  CtlRig rig;
  ASSERT_EQ(rig.Run(GetParam().command), ExitSuccess) << rig.err;
  EXPECT_EQ(rig.Requests(), GetParam().requests);
}

INSTANTIATE_TEST_SUITE_P(
    DacAndLines, CtlOneRequestTest,
    ::testing::Values(
        WordCase{"dac write high 1234ABCD", {"0xDA 0x1234ABCD"}},
        WordCase{"dac write low 000000", {"0xD9 0x00000000"}},
        WordCase{"dac write low FFFFFFFF", {"0xD9 0xFFFFFFFF"}},
        WordCase{"dac write low 0x1234ABCD", {"0xD9 0x1234ABCD"}},
        WordCase{"dac power-down low 1k 0 3", {"0xD9 0x04000109"}},
        WordCase{"dac power-down high 1k 8 11", {"0xDA 0x04000109"}},
        WordCase{"dac power-down low three-state 0 1 2 3 4 5 6 7", {"0xD9 0x040003FF"}},
        WordCase{"dac power-down high normal", {"0xDA 0x04000000"}},
        WordCase{"dac power-down low 100k 2 5", {"0xD9 0x04000224"}},
        WordCase{"dac ldac-register high 8 9 10 11 12 13 14 15", {"0xDA 0x060000FF"}},
        WordCase{"dac ldac-register high", {"0xDA 0x06000000"}},
        WordCase{"dac reference low internal", {"0xD9 0x08000001"}},
        WordCase{"dac reference high external", {"0xDA 0x08000000"}},
        WordCase{"dac clear-code high 0x0FFF", {"0xDA 0x05000002"}},
        WordCase{"dac clear-code low 0x0800", {"0xD9 0x05000001"}},
        WordCase{"dac clear-code low 0x0000", {"0xD9 0x05000000"}},
        WordCase{"line clr-high", {"0xDC 0x00000000"}},
        WordCase{"line clr-low", {"0xDF 0x00000000"}},
        WordCase{"line ldac-high", {"0xE2 0x00000000"}},
        WordCase{"line ldac-low line pulse-ldac", {"0xE3 0x00000000", "0xDE 0x00000000"}},
        WordCase{"line pulse-ldac line pulse-ldac", {"0xDE 0x00000000", "0xDE 0x00000000"}},
        WordCase{"adc configure --weak", {"0xE4 0x000083C0"}},
        WordCase{"adc configure", {"0xE4 0x00008380"}},
        WordCase{"adc configure --range vref --weak --coding binary", {"0xE4 0x000083F0"}},
        WordCase{"adc configure --range=vref --coding=binary", {"0xE4 0x000083B0"}},
        WordCase{"adc write 8310", {"0xE4 0x00008310"}},
        WordCase{"adc write ffff", {"0xE4 0x0000FFFF"}},
        WordCase{"adc write 0x8310", {"0xE4 0x00008310"}}));

TEST(CtlDacTest, PowerDownKeepsOneSavedMaskPerModeForBothGroups) {
  CtlRig rig;
  ASSERT_EQ(rig.Run("dac power-down low 100k 2 5 dac power-down high 1k 8 dac power-down high "
                    "100k 15",
                    true),
            ExitSuccess);
  const Words lines = testing::SplitLines(rig.out);
  ASSERT_EQ(lines.size(), 3U);
  EXPECT_NE(lines[0].find(R"("saved_masks":[0,0,36,0])"), std::string::npos) << lines[0];
  EXPECT_NE(lines[1].find(R"("saved_masks":[0,1,36,0])"), std::string::npos) << lines[1];
  EXPECT_NE(lines[2].find(R"("saved_masks":[0,1,128,0])"), std::string::npos) << lines[2];
}

TEST(CtlAdcTest, ReadSendsSeventeenChannelWordsWithTheConfiguredBits) {
  CtlRig rig;
  ASSERT_EQ(rig.Run("adc configure --range vref --coding binary adc read"), ExitSuccess);
  Words expected = {"0xE4 0x000083B0", "0xE4 0xFFFF8330"};
  for (int channel = 1; channel < 16; ++channel) {
    expected.push_back(testing::RequestText(0xE4, 0x8330U + 0x400U * channel));
  }
  expected.push_back("0xE4 0x0000BF30");
  EXPECT_EQ(rig.Requests(), expected);
}

TEST(CtlAdcTest, ClassicEditionSendsItsOwnWordsThroughItsOwnLibrary) {
  CtlRig rig(ClassicEdition);
  ASSERT_EQ(rig.Run("adc configure --range vref --weak adc read"), ExitSuccess) << rig.err;
  Words expected = {"0xE4 0xFFFF83F0", "0xE4 0xFFFF8310"};
  for (int channel = 1; channel < 16; ++channel) {
    expected.push_back(testing::RequestText(0xE4, 0x8360U + 0x400U * channel));
  }
  expected.push_back("0xE4 0x0000BF60");
  EXPECT_EQ(rig.Requests(), expected);
  for (const std::string& line : rig.TraceLines()) {
    EXPECT_EQ(line.find("handle="), std::string::npos) << line;
  }
}

TEST(CtlAdcTest, ReadsBackWhatTheDacsPutOutAsCodesAndVolts) {
  CtlRig rig;
  // Every channel loaded, so no never-loaded slot sends a zero word to
  // address 0 after DAC0's and DAC8's codes.
  ASSERT_EQ(rig.Run("dac load 0=100 1=200 2=300 3=400 4=500 5=600 6=700 7=800 8=900 9=A00 "
                    "10=B00 11=C00 12=D00 13=E00 14=F00 15=FFF "
                    "adc configure --coding binary adc read --format volts"),
            ExitSuccess)
      << rig.err;
  const Words lines = testing::SplitLines(rig.out);
  ASSERT_EQ(lines.size(), 3U + 1U + 16U);
  EXPECT_EQ(lines[3], "ADC configuration 0x8390: 0V to 2xVREFA, Three-State, Straight Binary");
  // DAC code c of 4096 on 2.5 V, read on a 5 V span: half the code.
  EXPECT_EQ(lines[4], "ADC0 0.156");
  EXPECT_EQ(lines[4 + 7], "ADC7 1.250");
  EXPECT_EQ(lines[4 + 15], "ADC15 2.500");

  ASSERT_EQ(rig.Run("adc configure --coding binary adc read --format dec"), ExitSuccess);
  EXPECT_EQ(testing::SplitLines(rig.out)[1 + 7], "ADC7 1024");
  ASSERT_EQ(rig.Run("adc configure --coding binary adc read --format hex"), ExitSuccess);
  EXPECT_EQ(testing::SplitLines(rig.out)[1 + 8], "ADC8 0x480");
}

TEST(CtlAdcTest, WritePrintsTheReplyAsTheReturnedValueShowsIt) {
  CtlRig rig;
  ASSERT_EQ(rig.Run("adc write 8310", true), ExitSuccess);
  const std::string json = rig.out;
  ASSERT_EQ(rig.Run("adc write 8310"), ExitSuccess);
  ASSERT_EQ(rig.out.size(), 7U) << rig.out;  // "0x" and four digits
  EXPECT_TRUE(rig.out.starts_with("0x"));
  EXPECT_NE(json.find(R"("reply":")" + rig.out.substr(0, 6) + R"(")"), std::string::npos) << json;
}

}  // namespace
}  // namespace kx::ctl

namespace kx::ctl {
namespace {

// A set-up saved by one call and loaded by the next gives the same set-up
// back; a file that cannot be loaded stops the call before its start-up.
TEST(CtlSetupTest, ALoadedSetupSavesAsItWasAndABadOneSendsNothing) {
  testing::TempFolder folder;
  const std::string saved = folder.File("saved.json");
  CtlRig rig;
  ASSERT_EQ(rig.Run("dac load 3=7FF 12=ABC --no-pulse dac power-down high 1k 9 line ldac-low "
                    "adc configure --coding binary setup save " +
                    saved),
            ExitSuccess)
      << rig.err;
  EXPECT_EQ(testing::SplitLines(rig.out).back(), "Saved the set-up to " + saved);
  ASSERT_EQ(rig.Run("dac load 3=111 setup load " + saved + " setup save " + saved + ".again"),
            ExitSuccess)
      << rig.err;
  EXPECT_EQ(testing::ReadBytes(saved + ".again"), testing::ReadBytes(saved));
  // The last stored word, with no pulse after it.
  EXPECT_EQ(rig.Requests().back(), testing::RequestText(0xDA, 0x00700000));

  testing::WriteBytes(folder.File("bad.json"), "{\"format\": 1}");
  struct Refused {
    const Edition* edition;
    std::string file;
    std::string message;
  };
  const Refused rows[] = {
      {&Version2Edition, folder.File("bad.json"), "bad.json: format: 1 is not \"kx7312-setup\""},
      {&ClassicEdition, saved, "saved.json: the set-up of KX7312(version2) chooses"},
      {&Version2Edition, folder.File("none.json"), "none.json: No such file"},
  };
  for (const Refused& row : rows) {
    CtlRig refusing(*row.edition);
    EXPECT_EQ(refusing.Run("line pulse-ldac setup load " + row.file), ExitUsage);
    EXPECT_NE(refusing.err.find(row.message), std::string::npos) << refusing.err;
    EXPECT_TRUE(refusing.TraceLines().empty());
  }
}

}  // namespace
}  // namespace kx::ctl
