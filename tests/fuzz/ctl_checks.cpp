#include "ctl_checks.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>
#include <variant>

#include "adc/reference_entry.h"
#include "commands/log_values.h"
#include "commands/overloaded.h"
#include "commands/parameters.h"
#include "dac/hex_entry.h"
#include "fuzz_check.h"

namespace kx::fuzz {

namespace {

using namespace kx::commands;

bool IsGroup(int group) {
  return group == LowGroup || group == HighGroup;
}

bool InGroup(int channel, int group) {
  return channel >= 0 && channel < 16 && channel / 8 == group;
}

std::string_view ExpectedName(const Action& action) {
  return std::visit(
      Overloaded{
          [](const DacLoad&) -> std::string_view { return "dac load"; },
          [](const DacWrite&) -> std::string_view { return "dac write"; },
          [](const DacPowerDown&) -> std::string_view { return "dac power-down"; },
          [](const DacLdacRegister&) -> std::string_view { return "dac ldac-register"; },
          [](const DacReference&) -> std::string_view { return "dac reference"; },
          [](const DacClearCode&) -> std::string_view { return "dac clear-code"; },
          [](const LineRequest& line) -> std::string_view {
            constexpr std::array<std::string_view, 5> kNames = {"line clr-high", "line clr-low",
                                                                "line ldac-high", "line ldac-low",
                                                                "line pulse-ldac"};
            const auto index = static_cast<std::size_t>(line.line);
            return index < kNames.size() ? kNames[index] : "";
          },
          [](const AdcConfigure&) -> std::string_view { return "adc configure"; },
          [](const AdcRead&) -> std::string_view { return "adc read"; },
          [](const AdcWrite&) -> std::string_view { return "adc write"; },
          [](const AdcCapture& capture) -> std::string_view {
            return capture.channel0 ? "adc capture-channel0" : "adc capture";
          },
          [](const AdcLog&) -> std::string_view { return "adc log"; },
          [](const AdcHistogram&) -> std::string_view { return "adc histogram"; },
          [](const DacSweep&) -> std::string_view { return "dac sweep"; },
          [](const AdcSpectrum&) -> std::string_view { return "adc spectrum"; },
          [](const SetupSave&) -> std::string_view { return "setup save"; },
          [](const SetupLoad&) -> std::string_view { return "setup load"; },
          [](const CalibrationShow&) -> std::string_view { return "calibration show"; },
          [](const CalibrationSave&) -> std::string_view { return "calibration save"; },
          [](const CalibrationClear&) -> std::string_view { return "calibration clear"; },
          [](const ListBoards&) -> std::string_view { return "list"; },
      },
      action);
}

void CheckAction(const DacLoad& load, const Edition&) {
  std::array<bool, 16> seen{};
  for (const ChannelCode& code : load.codes) {
    Require(code.channel >= 0 && code.channel < 16, "dac load: a channel is 0 to 15");
    Require(code.code <= 0xFFF, "dac load: a code is 0 to FFF");
    Require(!code.volts || (std::isfinite(*code.volts) && code.code == 0),
            "dac load: volts are a finite number, their code worked out when the load runs");
    Require(!seen[static_cast<std::size_t>(code.channel)], "dac load: a channel comes once");
    seen[static_cast<std::size_t>(code.channel)] = true;
  }
}

void CheckAction(const DacWrite& write, const Edition&) {
  Require(IsGroup(write.group), "dac write: the group is low or high");
  const dac::HexValue value = dac::ParseHexValue(write.text);
  Require(value.value == write.word, "dac write: the word is the value of its text");
}

void CheckAction(const DacPowerDown& power_down, const Edition&) {
  Require(IsGroup(power_down.group), "dac power-down: the group is low or high");
  Require(power_down.mode >= 0 && power_down.mode <= 3, "dac power-down: the mode is 0 to 3");
  for (const int channel : power_down.channels) {
    Require(InGroup(channel, power_down.group), "dac power-down: a channel is in the group");
  }
}

void CheckAction(const DacLdacRegister& ldac, const Edition&) {
  Require(IsGroup(ldac.group), "dac ldac-register: the group is low or high");
  for (const int channel : ldac.channels) {
    Require(InGroup(channel, ldac.group), "dac ldac-register: a channel is in the group");
  }
}

void CheckAction(const DacReference& reference, const Edition&) {
  Require(IsGroup(reference.group), "dac reference: the group is low or high");
}

void CheckAction(const DacClearCode& clear, const Edition&) {
  Require(IsGroup(clear.group), "dac clear-code: the group is low or high");
  Require(clear.select >= 0 && clear.select <= 2, "dac clear-code: the list index is 0 to 2");
}

void CheckAction(const LineRequest&, const Edition&) {}

void CheckAction(const AdcConfigure& configure, const Edition& edition) {
  Require(edition.HasVolts() || !configure.straight_binary,
          "adc configure: no Coding where the edition has no Coding list");
}

void CheckAction(const AdcRead& read, const Edition& edition) {
  Require(read.format == ReadFormat::Hex || read.format == ReadFormat::Dec ||
              read.format == ReadFormat::Volts,
          "adc read: a known format");
  Require(edition.HasVolts() || read.format != ReadFormat::Volts,
          "adc read: no volts where the edition shows none");
  Require(edition.HasVolts() || read.reference == "2.50",
          "adc read: no reference where the edition has none");
  Require(IsTwoDecimalText(read.reference), "adc read: the reference has two decimals");
  const float volts = adc::ReadReferenceNumber(read.reference);
  Require(std::isfinite(volts) && std::fabs(volts) <= adc::LargestReference,
          "adc read: the reference is finite and within what the box holds");
}

void CheckAction(const AdcWrite& write, const Edition&) {
  Require(write.word >= 0 && write.word <= 0xFFFF, "adc write: the word is 0000 to FFFF");
  Require(!write.text.empty() && std::all_of(write.text.begin(), write.text.end(), IsHexDigit),
          "adc write: the text is hex digits");
  const std::size_t first = std::min(write.text.find_first_not_of('0'), write.text.size());
  const std::string significant = dac::UpperCaseText(write.text.substr(first));
  Require(fmt::format("{:X}", write.word) == (significant.empty() ? "0" : significant),
          "adc write: the word is the value of its text");
}

void CheckAction(const AdcCapture& capture, const Edition&) {
  Require(!capture.file.empty(), "adc capture: the file name is not empty");
  Require(std::none_of(capture.file.begin(), capture.file.end(), IsControl),
          "adc capture: the file name holds no control characters");
}

void CheckAction(const AdcHistogram& histogram, const Edition&) {
  Require(histogram.channel >= 0 && histogram.channel < 16, "adc histogram: a channel is 0 to 15");
  Require(histogram.samples >= SmallestHistogram && histogram.samples <= LargestHistogram,
          "adc histogram: 4096 to 2^32 samples");
}

void CheckAction(const AdcSpectrum& spectrum, const Edition&) {
  Require(spectrum.channel >= 0 && spectrum.channel < 16, "a spectrum's channel is 0 to 15");
}

void CheckAction(const SetupSave& save, const Edition&) {
  Require(!save.file.empty(), "a set-up is saved to a named file");
}

void CheckAction(const SetupLoad& load, const Edition&) {
  Require(!load.file.empty() && load.setup.edition != nullptr,
          "a set-up loaded was read from a named file written by an edition");
}

void CheckAction(const ListBoards&, const Edition&) {}

void CheckAction(const CalibrationShow&, const Edition&) {}

void CheckAction(const CalibrationSave& save, const Edition&) {
  Require(!save.adc.empty() || !save.dac.empty() || save.adc_reference || save.dac_reference[0] ||
              save.dac_reference[1],
          "calibration save: something to save");
  for (const auto* entries : {&save.adc, &save.dac}) {
    for (const ChannelCorrection& entry : *entries) {
      Require(entry.channel >= 0 && entry.channel < 16 &&
                  std::fabs(entry.correction.offset_lsb) <= board::LargestOffsetLsb &&
                  std::fabs(entry.correction.gain_percent) <= board::LargestGainPercent,
              "calibration save: a channel 0 to 15 with figures a file may hold");
    }
  }
}

void CheckAction(const CalibrationClear& clear, const Edition&) {
  for (const auto* channels : {&clear.adc, &clear.dac}) {
    Require(std::all_of(channels->begin(), channels->end(), [](int c) { return c >= 0 && c < 16; }),
            "calibration clear: channels 0 to 15");
  }
}

void CheckAction(const DacSweep& sweep, const Edition&) {
  Require(
      sweep.channel >= 0 && sweep.channel < 16 && sweep.adc_channel >= 0 && sweep.adc_channel < 16,
      "dac sweep: the channels are 0 to 15");
  Require(sweep.codes.start >= 0 && sweep.codes.start < sweep.codes.stop &&
              sweep.codes.stop <= 0xFFF && sweep.codes.step >= 1,
          "dac sweep: the codes rise within 0 to 4095");
  Require(sweep.average >= 1 && sweep.average <= LargestAverage, "dac sweep: 1 to 100000 reads");
}

void CheckAction(const AdcLog& log, const Edition& edition) {
  Require(!log.file.empty(), "adc log: the file name is not empty");
  Require(std::none_of(log.file.begin(), log.file.end(), IsControl),
          "adc log: the file name holds no control characters");
  Require(log.every >= ShortestInterval && log.every <= LongestInterval,
          "adc log: the interval is 1 ms to 24 h");
  Require(!log.duration ||
              (*log.duration > std::chrono::nanoseconds::zero() && *log.duration <= LongestRun),
          "adc log: a duration is above 0 and at most ten years");
  Require(log.average >= 1 && log.average <= LargestAverage, "adc log: 1 to 100000 reads a row");
  std::array<bool, 16> seen{};
  Require(!log.channels.empty(), "adc log: at least one channel");
  for (const int channel : log.channels) {
    Require(channel >= 0 && channel < 16, "adc log: a channel is 0 to 15");
    Require(!seen[static_cast<std::size_t>(channel)], "adc log: each channel once");
    seen[static_cast<std::size_t>(channel)] = true;
  }
  Require(edition.HasVolts() || log.reference == "2.50",
          "adc log: no reference where the edition has none");
  Require(IsTwoDecimalText(log.reference), "adc log: the reference has two decimals");
}

}  // namespace

bool IsTwoDecimalText(const std::string& text) {
  std::string_view rest = text;
  if (rest.starts_with('-')) {
    rest.remove_prefix(1);
  }
  const std::size_t point = rest.find('.');
  if (point == std::string_view::npos || point == 0 || rest.size() - point != 3) {
    return false;
  }
  return std::all_of(rest.begin(), rest.end(),
                     [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
         rest.find('.', point + 1) == std::string_view::npos;
}

void CheckCommand(const Command& command, const Edition& edition) {
  Require(command.name == ExpectedName(command.action), "the command's name fits its action");
  std::visit([&edition](const auto& action) { CheckAction(action, edition); }, command.action);
}

std::string Describe(const Command& command) {
  std::string text =
      fmt::format("{} @{}:{} ", command.name, command.source.name, command.source.line);
  std::visit(
      Overloaded{
          [&text](const DacLoad& load) {
            text += fmt::format("update={} pulse={}", load.update, load.pulse);
            for (const ChannelCode& code : load.codes) {
              text += code.volts ? fmt::format(" {}={}V", code.channel, *code.volts)
                                 : fmt::format(" {}={}", code.channel, code.code);
            }
          },
          [&text](const DacWrite& write) {
            text +=
                fmt::format("{} {} {} {}", write.group, write.word, write.text.size(), write.text);
          },
          [&text](const DacPowerDown& power_down) {
            text += fmt::format("{} {} {}", power_down.group, power_down.mode,
                                fmt::join(power_down.channels, ","));
          },
          [&text](const DacLdacRegister& ldac) {
            text += fmt::format("{} {}", ldac.group, fmt::join(ldac.channels, ","));
          },
          [&text](const DacReference& reference) {
            text += fmt::format("{} {}", reference.group, reference.internal);
          },
          [&text](const DacClearCode& clear) {
            text += fmt::format("{} {}", clear.group, clear.select);
          },
          [&text](const LineRequest& line) {
            text += fmt::format("{}", static_cast<int>(line.line));
          },
          [&text](const AdcConfigure& configure) {
            text += fmt::format("{} {} {}", configure.vref_range, configure.weak,
                                configure.straight_binary);
          },
          [&text](const AdcRead& read) {
            text += fmt::format("{} {}", read.reference, static_cast<int>(read.format));
          },
          [&text](const AdcWrite& write) { text += fmt::format("{} {}", write.text, write.word); },
          [&text](const AdcCapture& capture) {
            text += fmt::format("{} {}", capture.file.size(), capture.channel0);
            text += capture.file;
          },
          [&text](const AdcLog& log) {
            text +=
                fmt::format("{} {} {} {} {} {} {} {} {}", log.file.size(), log.every.count(),
                            log.duration ? log.duration->count() : -1, fmt::join(log.channels, ","),
                            log.average, log.reference, log.overwrite, log.quiet, log.file);
          },
          [&text](const AdcHistogram& histogram) {
            text += fmt::format("{} {} {} {}", histogram.channel, histogram.samples,
                                static_cast<int>(histogram.method), histogram.file);
          },
          [&text](const DacSweep& sweep) {
            text +=
                fmt::format("{} {} {}:{}:{} {} {} {} {}", sweep.channel, sweep.adc_channel,
                            sweep.codes.start, sweep.codes.stop, sweep.codes.step, sweep.average,
                            sweep.settle.count(), sweep.adc_linearity_file, sweep.file);
          },
          [&text](const AdcSpectrum& spectrum) {
            text += fmt::format("{} {}", spectrum.channel, static_cast<int>(spectrum.window));
          },
          [&text](const SetupSave& save) { text += save.file; },
          [&text](const SetupLoad& load) { text += load.file; },
          [&text](const CalibrationSave& save) {
            for (const ChannelCorrection& entry : save.adc) {
              text += fmt::format("adc {}:{}:{} ", entry.channel, entry.correction.offset_lsb,
                                  entry.correction.gain_percent);
            }
            for (const ChannelCorrection& entry : save.dac) {
              text += fmt::format("dac {}:{}:{} ", entry.channel, entry.correction.offset_lsb,
                                  entry.correction.gain_percent);
            }
            text += fmt::format("{}", save.range.value_or(-1));
          },
          [&text](const CalibrationClear& clear) {
            text += fmt::format("{} {}", fmt::join(clear.adc, ","), fmt::join(clear.dac, ","));
          },
          [](const CalibrationShow&) {},
          [](const ListBoards&) {},
      },
      command.action);
  return text;
}

}  // namespace kx::fuzz
