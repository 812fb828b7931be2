// The tool's capture files are the panel's: the same operation, on a board in
// the same state, writes the same bytes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "adc/adc_operations.h"
#include "board/board_link_factory.h"
#include "board/sim/sim_board.h"
#include "commands/exit_status.h"
#include "ctl_rig.h"
#include "dac/dac_operations.h"
#include "support/fake_operator.h"
#include "support/shown_operations.h"

namespace kx::ctl {
namespace {

using testing::CtlRig;

constexpr const char* kCodes =
    "0=100 1=200 2=300 3=400 4=500 5=600 6=700 7=800 8=900 9=A00 10=B00 11=C00 12=D00 13=E00 "
    "14=F00 15=FFF";

// The panel's road to the same file: window load, "Load Input Register" with
// those codes, the "Coding" list, then the capture button.
std::string PanelCapture(const Edition& edition, bool channel0, const std::string& path) {
  board::sim::SimBoard board;
  kx::testing::FakeOperator port;
  port.save_answers.emplace_back(path);
  const std::unique_ptr<board::BoardLink> link =
      board::MakeBoardLink(edition.link, {&board.Cvn(), &board.Io()}, testing::FirmwareFolder());
  dac::DacOperations dac_core(*link);
  adc::AdcOperations adc_core(*link, edition.adc_rules);
  kx::testing::ShownDac dac(dac_core, port);
  kx::testing::ShownAdc adc(adc_core, port);
  port.ShowLoad(link->LoadUSB());
  adc.ResetResults();
  adc.SendStartupWords();

  dac::DacOperations::ChannelTicks ticks{};
  dac::DacOperations::ChannelTexts texts;
  const std::array<const char*, 16> codes = {"100", "200", "300", "400", "500", "600",
                                             "700", "800", "900", "A00", "B00", "C00",
                                             "D00", "E00", "F00", "FFF"};
  for (std::size_t channel = 0; channel < ticks.size(); ++channel) {
    ticks[channel] = true;
    texts[channel] = codes[channel];
  }
  dac.LoadInputRegisters(ticks, texts, true);
  adc.ChooseListEntry({1, 0, 1});
  if (channel0) {
    adc.CaptureChannel0();
  } else {
    adc.CaptureAllChannels();
  }
  EXPECT_TRUE(port.messages.empty());
  return testing::ReadBytes(path);
}

struct CaptureCase {
  const Edition* edition;
  bool channel0;
};

class CtlCaptureTest : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CtlCaptureTest, WritesTheSameFileAsThePanel) {
  const CaptureCase c = GetParam();
  testing::TempFolder folder;
  const std::string tool_file = folder.File("tool.dat");
  CtlRig rig(*c.edition);
  const std::string configure = c.edition->HasVolts() ? "adc configure --range vref --coding binary"
                                                      : "adc configure --range vref";
  ASSERT_EQ(rig.Run(std::string("dac load ") + kCodes + " " + configure + " adc " +
                    (c.channel0 ? "capture-channel0 " : "capture ") + tool_file),
            ExitSuccess)
      << rig.err;

  const std::string tool = testing::ReadBytes(tool_file);
  const std::string panel = PanelCapture(*c.edition, c.channel0, folder.File("panel.dat"));
  ASSERT_FALSE(tool.empty());
  EXPECT_EQ(tool, panel);
  EXPECT_EQ(testing::SplitLines(tool).size(), c.channel0 ? 1024U : 512U);
  EXPECT_EQ(testing::SplitLines(rig.out).back() + "\n",
            std::string(c.channel0 ? "Saved 1024 replies of ADC channel 0 to "
                                   : "Saved 512 sample sets of ADC0 to ADC15 to ") +
                tool_file + "\n");
}

INSTANTIATE_TEST_SUITE_P(BothCapturesBothEditions, CtlCaptureTest,
                         ::testing::Values(CaptureCase{&Version2Edition, false},
                                           CaptureCase{&Version2Edition, true},
                                           CaptureCase{&ClassicEdition, false},
                                           CaptureCase{&ClassicEdition, true}));

}  // namespace
}  // namespace kx::ctl
