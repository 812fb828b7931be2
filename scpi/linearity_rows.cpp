// The converters' linearity tests: ADC:HISTogram? and DAC:SWEep? give the
// figures, their :DATA? forms the per-code CSV as a definite-length block.
#include <fmt/format.h>

#include <array>
#include <string>

#include "analysis/linearity/linearity_file.h"
#include "commands/choices.h"
#include "commands/parameters.h"
#include "scpi/rows.h"
#include "scpi/scpi_values.h"

namespace kx::scpi {

namespace {

std::string Block(const std::string& bytes) {
  const std::string length = std::to_string(bytes.size());
  return fmt::format("#{}{}{}", length.size(), length, bytes);
}

// CH,COUNT[,SINE|RAMP]
commands::Command Histogram(const Unit& unit) {
  Count(unit, 2, 3);
  commands::AdcHistogram histogram;
  histogram.channel = ChannelNumber(unit.parameters[0]);
  histogram.samples = Take(
      commands::SampleCountOf(std::to_string(Whole(unit.parameters[1], "the count"))), "count: ");
  if (unit.parameters.size() > 2) {
    histogram.method = static_cast<linearity::DensityMethod>(
        Pick(unit.parameters[2], commands::MethodChoices, "the method"));
  }
  return {"adc histogram", histogram, commands::Source{}};
}

// CH,ADCCH,START,STOP,STEP,K
commands::Command Sweep(const Unit& unit) {
  Count(unit, 6, 6);
  commands::DacSweep sweep;
  sweep.channel = ChannelNumber(unit.parameters[0]);
  sweep.adc_channel = ChannelNumber(unit.parameters[1]);
  const std::string codes =
      fmt::format("{}:{}:{}", Whole(unit.parameters[2], "the start"),
                  Whole(unit.parameters[3], "the stop"), Whole(unit.parameters[4], "the step"));
  sweep.codes = Take(commands::CodeStepsOf(codes), "codes: ");
  sweep.average = Take(
      commands::AverageOf(std::to_string(Whole(unit.parameters[5], "the average"))), "average: ");
  return {"dac sweep", sweep, commands::Source{}};
}

// The figures: worst DNL and its code, worst INL and its code, the DNL's
// rms, the number of missing codes, the fitted centre and amplitude.
std::string HistogramFigures(const commands::HistogramResult& result) {
  const linearity::DensityLinearity& l = result.linearity;
  return fmt::format("{:.4f},{},{:.4f},{},{:.4f},{},{:.3f},{:.3f}", l.worst_dnl, l.worst_dnl_code,
                     l.worst_inl, l.worst_inl_code, l.dnl_rms, l.missing_codes.size(),
                     l.fitted_centre_codes, l.fitted_amplitude_codes);
}

// The figures: endpoint offset and gain error, best-fit offset and gain
// error, worst INL and its code, worst DNL and its code, 1 if monotonic.
std::string SweepFigures(const commands::SweepResult& result) {
  const linearity::SweepLinearity& l = result.linearity;
  return fmt::format("{:.4f},{:.5f},{:.4f},{:.5f},{:.4f},{},{:.4f},{},{}", l.endpoint_offset_lsb,
                     l.endpoint_gain_percent, l.fit_offset_lsb, l.fit_gain_percent, l.worst_inl,
                     l.worst_inl_code, l.worst_dnl, l.worst_dnl_code, l.Monotonic() ? 1 : 0);
}

template <class Result>
Action Answer(commands::Command command, std::string (*answer)(const Result&)) {
  return [command = std::move(command), answer](Instrument::Run& run) {
    if (const auto outcome = run.Board(command)) {
      if (const auto* result = outcome->As<Result>()) {
        run.responses.push_back(answer(*result));
      }
    }
  };
}

Action HistogramQuery(const Instrument&, const Unit& unit) {
  return Answer<commands::HistogramResult>(Histogram(unit), HistogramFigures);
}

Action HistogramDataQuery(const Instrument&, const Unit& unit) {
  return Answer<commands::HistogramResult>(
      Histogram(unit), [](const commands::HistogramResult& result) {
        return Block(linearity::HistogramCsv(result.counts, result.linearity));
      });
}

Action SweepQuery(const Instrument&, const Unit& unit) {
  return Answer<commands::SweepResult>(Sweep(unit), SweepFigures);
}

Action SweepDataQuery(const Instrument&, const Unit& unit) {
  return Answer<commands::SweepResult>(Sweep(unit), [](const commands::SweepResult& result) {
    return Block(linearity::SweepCsv(result.linearity));
  });
}

}  // namespace

std::span<const Row> LinearityRows() {
  static const std::array rows = {
      Row{HeaderPattern("ADC:HISTogram"), nullptr, HistogramQuery},
      Row{HeaderPattern("ADC:HISTogram:DATA"), nullptr, HistogramDataQuery},
      Row{HeaderPattern("DAC:SWEep"), nullptr, SweepQuery},
      Row{HeaderPattern("DAC:SWEep:DATA"), nullptr, SweepDataQuery},
  };
  return rows;
}

}  // namespace kx::scpi
