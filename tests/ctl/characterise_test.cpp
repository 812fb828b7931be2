// The code-density test and the DAC sweep on a simulated board with known,
// seeded errors: what they find is what the board was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "analysis/linearity/linearity_file.h"
#include "board/sim/sim_converter_errors.h"
#include "commands/console_port.h"
#include "commands/session.h"
#include "ctl_rig.h"

namespace kx::ctl {
namespace {

using board::sim::ConverterErrors;
using commands::Command;

constexpr int kChannel = 2;

// With `line`, an offset and a gain error too, for the test given the input.
ConverterErrors AdcErrors(bool line = false) {
  ConverterErrors errors;
  errors.offset_lsb = line ? -1.5 : 0.0;
  errors.gain_percent = line ? 0.1 : 0.0;
  errors.bow_lsb = 1.5;
  errors.s_lsb = -0.5;
  errors.dnl_spread_lsb = 0.2;
  errors.seed = 7;
  errors.missing_codes = {1000, 3001};
  errors.noise_lsb = 0.4;
  return errors;
}

ConverterErrors DacErrors() {
  ConverterErrors errors;
  errors.offset_lsb = 2.0;
  errors.gain_percent = -0.05;
  errors.bow_lsb = 1.0;
  errors.dnl_spread_lsb = 0.1;
  errors.seed = 3;
  errors.step = board::sim::DacStep{2048, -0.5};
  errors.noise_lsb = 0.2;
  return errors;
}

// The board as the ADC test has it: a sine a little beyond both ends of the
// 0 to VREF range on the channel; or wired to its DAC for the sweep.
board::sim::SimSettings Board(bool sine, bool line = false) {
  board::sim::SimSettings settings;
  settings.adc_errors[kChannel] = AdcErrors(line);
  settings.dac_errors[kChannel] = DacErrors();
  if (sine) {
    // The golden ratio's fraction: phases spread evenly over the cycle.
    settings.signal_inputs[kChannel] = {1.25, 1.27, 0.3819660113, 0.0, 0.0, 1};
  }
  return settings;
}

// A call of the tool on a board: the ADC on its 0 to VREF range, then the
// command; the trace is left out, as millions of transfers would crowd it.
void RunOnBoard(const board::sim::SimSettings& settings, commands::Action action) {
  board::sim::SimBoard board(settings);
  commands::ConsolePort port;
  commands::Session session(Version2Edition, {&board.Cvn(), &board.Io()}, port,
                            testing::FirmwareFolder());
  ASSERT_TRUE(session.StartUp().Succeeded());
  ASSERT_TRUE(session.Run(Command{"adc configure", commands::AdcConfigure{true, false, false}, {}})
                  .Succeeded());
  const commands::Outcome outcome = session.Run(Command{"", std::move(action), {}});
  ASSERT_TRUE(outcome.Succeeded()) << outcome.error;
}

// `applied`: the sine as applied given in volts, for the offset and gain.
linearity::DensityLinearity Histogram(const std::string& file, bool applied = false) {
  commands::AdcHistogram histogram{kChannel, std::uint64_t{1} << 22, linearity::DensityMethod::Sine,
                                   file};
  if (applied) {
    histogram.input = commands::AppliedVolts{1.25, 1.27};
  }
  RunOnBoard(Board(true, applied), histogram);
  const linearity::DensityRead read =
      linearity::ReadDensity(kx::testing::ReadBytes(file), kx::testing::ReadBytes(file + ".json"));
  EXPECT_TRUE(read.result) << read.error;
  return read.result.value_or(linearity::DensityLinearity{});
}

TEST(Characterise, TheHistogramFindsTheAdcsCodeWidthsAndEveryMissingCode) {
  const testing::TempFolder folder;
  const linearity::DensityLinearity found = Histogram(folder.File("adc.csv"), true);
  ASSERT_EQ(found.inl.size(), 4096U);
  const std::vector<double> widths = board::sim::AdcTransfer(AdcErrors(true)).CodeWidths();
  const double mean = std::accumulate(widths.begin() + 1, widths.end() - 1, 0.0) / 4094;
  double squares = 0.0;
  for (int code = 1; code <= 4094; ++code) {
    const double difference = found.dnl[code] - (widths[code] / mean - 1.0);
    squares += difference * difference;
  }
  EXPECT_LT(std::sqrt(squares / 4094), 0.1);
  EXPECT_EQ(found.missing_codes, AdcErrors().missing_codes);
  // The offset is the fitted line's, which the bow, weighted by the sine's
  // density, moves by a third of an LSB.
  EXPECT_NEAR(found.offset_lsb.value_or(99), AdcErrors(true).offset_lsb, 0.4);
  EXPECT_NEAR(found.gain_percent.value_or(99), AdcErrors(true).gain_percent, 0.05);
}

TEST(Characterise, TheSweepFindsTheDacOnceTheAdcIsTakenOut) {
  const testing::TempFolder folder;
  commands::DacSweep sweep;
  sweep.channel = sweep.adc_channel = kChannel;
  sweep.codes = {16, 4080, 1};
  sweep.average = 256;
  sweep.adc_linearity = Histogram(folder.File("adc.csv"));
  sweep.adc_linearity_range = "vref";  // where RunOnBoard puts the ADC
  sweep.adc_linearity_coding = "twos";
  const std::string file = folder.File("dac.csv");
  sweep.file = file;
  RunOnBoard(Board(false), sweep);
  const linearity::SweepRead read =
      linearity::ReadSweep(kx::testing::ReadBytes(file), kx::testing::ReadBytes(file + ".json"));
  ASSERT_TRUE(read.result) << read.error;
  const linearity::SweepLinearity& found = *read.result;
  EXPECT_TRUE(found.adc_taken_out);

  // The model's own levels through the same analysis are the truth.
  const board::sim::DacTransfer dac(DacErrors());
  std::vector<linearity::SweepPoint> levels;
  for (const int code : found.codes) {
    levels.push_back({code, dac.OutputLsb(code), 0.0, 1});
  }
  const linearity::SweepLinearity truth = linearity::AnalyseSweep(levels, {1.0, 1.0}, nullptr);
  double worst = 0.0;
  std::size_t worst_at = 0;
  for (std::size_t i = 0; i < found.codes.size(); ++i) {
    const double off = std::abs(found.inl_endpoint[i] - truth.inl_endpoint[i]);
    if (off > worst) {
      worst = off;
      worst_at = i;
    }
  }
  EXPECT_LT(worst, 0.2) << "at code " << found.codes[worst_at];
  EXPECT_EQ(found.falls, std::vector<int>{2048});
  EXPECT_NEAR(found.endpoint_offset_lsb, DacErrors().offset_lsb, 0.2);
  EXPECT_NEAR(found.endpoint_gain_percent, DacErrors().gain_percent, 0.05);
  EXPECT_NEAR(found.fit_offset_lsb, truth.fit_offset_lsb, 0.2);
  EXPECT_NEAR(found.fit_gain_percent, truth.fit_gain_percent, 0.05);
}

// The spectrum of a sine with known noise on either coding: SNR and the
// fundamental's level as the closed forms give them, ENOB from SINAD; a
// constant input has no tone and says so.
TEST(Characterise, TheSpectrumGivesTheSinesLevelAndTheNoiseItWasGiven) {
#ifndef KX_WITH_SPECTRUM
  GTEST_SKIP() << "this build has no spectra (no FFTW)";
#endif
  struct Case {
    bool straight_binary;
    double noise_lsb;
  };
  for (const Case c : {Case{false, 0.3}, Case{true, 0.3}, Case{false, 2.0}}) {
    SCOPED_TRACE(::testing::Message()
                 << "straight " << c.straight_binary << ", noise " << c.noise_lsb);
    board::sim::SimSettings settings;
    settings.adc_errors[kChannel].noise_lsb = c.noise_lsb;
    // 1.5 V of the 5 V span about mid-scale, so two's complement crosses 0.
    settings.signal_inputs[kChannel] = {2.5, 1.5, 0.0123, 0.0, 0.0, 1};
    board::sim::SimBoard board(settings);
    commands::ConsolePort port;
    commands::Session session(Version2Edition, {&board.Cvn(), &board.Io()}, port,
                              testing::FirmwareFolder());
    ASSERT_TRUE(session.StartUp().Succeeded());
    ASSERT_TRUE(
        session
            .Run(Command{
                "adc configure", commands::AdcConfigure{false, false, c.straight_binary}, {}})
            .Succeeded());
    const commands::Outcome outcome =
        session.Run(Command{"adc spectrum", commands::AdcSpectrum{kChannel}, {}});
    const auto* result = outcome.As<commands::SpectrumResult>();
    ASSERT_NE(result, nullptr) << outcome.error;
    const double amplitude_codes = 1.5 / 5.0 * 4096;
    const double noise = std::sqrt(c.noise_lsb * c.noise_lsb + 1.0 / 12);
    EXPECT_NEAR(result->spectrum.snr_db, 20 * std::log10(amplitude_codes / std::sqrt(2) / noise),
                1.0);
    EXPECT_NEAR(result->spectrum.fundamental_dbfs, 20 * std::log10(amplitude_codes / 2048), 0.5);
    EXPECT_NEAR(result->spectrum.enob_bits, (result->spectrum.sinad_db - 1.76) / 6.02, 0.01);
  }
  board::sim::SimBoard board(board::sim::SimSettings{});
  commands::ConsolePort port;
  commands::Session session(Version2Edition, {&board.Cvn(), &board.Io()}, port,
                            testing::FirmwareFolder());
  ASSERT_TRUE(session.StartUp().Succeeded());
  const commands::Outcome flat =
      session.Run(Command{"adc spectrum", commands::AdcSpectrum{kChannel}, {}});
  EXPECT_NE(flat.error.find("no tone above DC in ADC2's 512 samples"), std::string::npos)
      << flat.error;
}

}  // namespace
}  // namespace kx::ctl
