// The DAC and LINE subsystems: loads, writes, the group settings and the
// two lines, each built as the typed command the session runs.
#include <fmt/format.h>

#include <array>
#include <cstdint>
#include <limits>

#include "commands/choices.h"
#include "commands/parameters.h"
#include "commands/volts_codes.h"
#include "scpi/rows.h"
#include "scpi/scpi_values.h"

namespace kx::scpi {

namespace {

constexpr long long kLargestCode = 0xFFF;
constexpr long long kLargestDacWord = 0xFFFFFFFF;

// The level of a line, as LINE:CLR and LINE:LDAC take it.
constexpr std::array<commands::Choice, 2> kLevelChoices = {{{"high", "HIGH"}, {"low", "LOW"}}};
// The register DAC:WORDs? shows.
constexpr std::array<commands::Choice, 2> kRegisterChoices = {{{"", "INPut"}, {"", "DAC"}}};

commands::Command Typed(const char* name, commands::Action action) {
  return {name, std::move(action), commands::Source{}};
}

int Group(const Parameter& parameter) {
  return Pick(parameter, commands::GroupChoices, "the group");
}

// The channel numbers from parameter `first` on, each of `group`.
std::vector<int> GroupChannels(const Unit& unit, std::size_t first, int group) {
  std::vector<std::string> words;
  for (std::size_t i = first; i < unit.parameters.size(); ++i) {
    words.push_back(std::to_string(ChannelNumber(unit.parameters[i])));
  }
  return Take(commands::GroupChannelsOf(words, group));
}

Action Load(const Unit& unit, bool update) {
  if (unit.parameters.empty() || unit.parameters.size() % 2 != 0) {
    Refuse(MissingParameter, "channel,code pairs wanted");
  }
  commands::DacLoad load{update, true, {}};
  for (std::size_t i = 0; i < unit.parameters.size(); i += 2) {
    const int channel = ChannelNumber(unit.parameters[i]);
    const auto code =
        static_cast<std::uint16_t>(Hex(unit.parameters[i + 1], "the code", kLargestCode));
    const std::string pair =
        fmt::format("{},{}", unit.parameters[i].text, unit.parameters[i + 1].text);
    if (const std::optional<commands::Fault> fault = commands::AddCode(load, channel, code, pair)) {
      Refuse(*fault);
    }
  }
  return [command = Typed("dac load", load)](Instrument::Run& run) {
    // The pulse setting in force when the load runs, not when it was checked.
    commands::Command pulsed = command;
    std::get<commands::DacLoad>(pulsed.action).pulse = run.instrument.AutoPulse();
    run.Board(pulsed);
  };
}

// DAC:VOLTage CH,V[,CH,V ...]: "Load Input Register" with each channel's
// nearest code to the volts given. The range depends on the reference the
// group is on when the unit runs, so it is checked then; the load sends
// nothing unless every channel is within its range.
Action VoltsRow(const Instrument& instrument, const Unit& unit) {
  if (unit.parameters.empty() || unit.parameters.size() % 2 != 0) {
    Refuse(MissingParameter, "channel,volts pairs wanted");
  }
  commands::DacLoad load{false, true, {}, instrument.CalibrationChoice()};
  for (std::size_t i = 0; i < unit.parameters.size(); i += 2) {
    const int channel = ChannelNumber(unit.parameters[i]);
    const Parameter& volts = unit.parameters[i + 1];
    if (volts.kind != ParameterKind::Decimal) {
      Refuse(DataTypeError, "the volts must be a decimal number, such as 1.25");
    }
    const std::string pair = fmt::format("{},{}", unit.parameters[i].text, volts.text);
    if (const std::optional<commands::Fault> fault =
            commands::AddVolts(load, channel, volts.value, pair)) {
      Refuse(*fault);
    }
  }
  return [load](Instrument::Run& run) {
    const commands::Checked<commands::LoadResult> codes = run.instrument.LoadCodes(load);
    if (!codes.Ok()) {
      run.Fail(MakeError(ErrorOf(codes.Failure().kind), codes.Failure().text));
      return;
    }
    // The words of DAC:LOAD with those codes.
    commands::DacLoad coded{false, run.instrument.AutoPulse(), {}};
    for (const commands::LoadedCode& code : codes.Value().loaded) {
      coded.codes.push_back({code.channel, code.code});
    }
    run.Board(Typed("dac load", coded));
  };
}

// DAC:VOLTage? CH: the output the channel's stored code stands for, from the
// words of the button that loaded last, on the scale of the group's
// reference now.
Action VoltsQuery(const Instrument&, const Unit& unit) {
  Count(unit, 1, 1);
  const int channel = ChannelNumber(unit.parameters[0]);
  return [channel](Instrument::Run& run) {
    const dac::DacOperations& dac = run.instrument.Session().Board().Dac();
    const bool input = dac.LastLoad() == dac::DacOperations::LoadButton::InputRegister;
    const bool low = channel < dac::ChannelsPerGroup;
    const auto& words = input ? (low ? dac.InputRegWordsLow() : dac.InputRegWordsHigh())
                              : (low ? dac.DacRegWordsLow() : dac.DacRegWordsHigh());
    const std::int32_t word = words[static_cast<std::size_t>(channel % dac::ChannelsPerGroup)];
    const commands::Checked<dac::DacScale> scale = run.instrument.DacScale(channel);
    if (!scale.Ok()) {
      run.Fail(MakeError(ErrorOf(scale.Failure().kind), scale.Failure().text));
      return;
    }
    run.responses.push_back(
        fmt::format("{:.6f}", scale.Value().CodeVolts(dac::CodeOfChannelWord(word))));
  };
}

Action LoadRow(const Instrument&, const Unit& unit) {
  return Load(unit, false);
}

Action UpdateRow(const Instrument&, const Unit& unit) {
  return Load(unit, true);
}

Action PulseRow(const Instrument&, const Unit& unit) {
  Count(unit, 1, 1);
  return
      [on = Boolean(unit.parameters[0])](Instrument::Run& run) { run.instrument.SetAutoPulse(on); };
}

Action PulseQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply(
      [](Instrument::Run& run) { return std::string(run.instrument.AutoPulse() ? "1" : "0"); });
}

Action WriteRow(const Instrument&, const Unit& unit) {
  Count(unit, 2, 2);
  const int group = Group(unit.parameters[0]);
  const auto word =
      static_cast<std::uint32_t>(Hex(unit.parameters[1], "the word", kLargestDacWord));
  // The raw write reads the text as the panel's Text1: hex digits, no prefix.
  return Send(Typed("dac write", commands::DacWrite{group, fmt::format("{:X}", word),
                                                    static_cast<std::int32_t>(word)}));
}

Action PowerDownRow(const Instrument&, const Unit& unit) {
  Count(unit, 2, 10);
  const int group = Group(unit.parameters[0]);
  const int mode = Pick(unit.parameters[1], commands::PowerDownChoices, "the mode");
  return Send(
      Typed("dac power-down", commands::DacPowerDown{group, mode, GroupChannels(unit, 2, group)}));
}

Action PowerDownMaskQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) {
    std::string text;
    for (const std::uint16_t mask : run.instrument.Session().Board().Dac().SavedPowerDownMask()) {
      text += (text.empty() ? "" : ",") + HexResponse(mask, 4);
    }
    return text;
  });
}

Action LdacRegisterRow(const Instrument&, const Unit& unit) {
  Count(unit, 1, 9);
  const int group = Group(unit.parameters[0]);
  return Send(
      Typed("dac ldac-register", commands::DacLdacRegister{group, GroupChannels(unit, 1, group)}));
}

Action ReferenceRow(const Instrument&, const Unit& unit) {
  Count(unit, 2, 2);
  const int group = Group(unit.parameters[0]);
  const int choice = Pick(unit.parameters[1], commands::ReferenceChoices, "the reference");
  return Send(Typed("dac reference", commands::DacReference{group, choice == 1}));
}

Action ClearCodeRow(const Instrument&, const Unit& unit) {
  Count(unit, 2, 2);
  const int group = Group(unit.parameters[0]);
  const long long code = Whole(unit.parameters[1], "the clear code");
  const bool fits = code >= 0 && code <= std::numeric_limits<std::int32_t>::max();
  const commands::Checked<int> select = commands::ClearCodeOf(
      fits ? std::optional<std::int32_t>(static_cast<std::int32_t>(code)) : std::nullopt,
      unit.parameters[1].text);
  if (!select.Ok()) {
    Refuse(DataOutOfRange,
           fmt::format("the clear code {} is none of 0, #H800, #HFFF", unit.parameters[1].text));
  }
  return Send(Typed("dac clear-code", commands::DacClearCode{group, select.Value()}));
}

Action WordsQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 1);
  const bool dac_register =
      !unit.parameters.empty() && Pick(unit.parameters[0], kRegisterChoices, "the register") == 1;
  return [dac_register](Instrument::Run& run) {
    const dac::DacOperations& dac = run.instrument.Session().Board().Dac();
    std::string text;
    for (const auto* words : {dac_register ? &dac.DacRegWordsLow() : &dac.InputRegWordsLow(),
                              dac_register ? &dac.DacRegWordsHigh() : &dac.InputRegWordsHigh()}) {
      for (const std::int32_t word : *words) {
        text += (text.empty() ? "" : ",") + HexResponse(static_cast<std::uint32_t>(word), 8);
      }
    }
    run.responses.push_back(text);
  };
}

Action LineClrRow(const Instrument&, const Unit& unit) {
  Count(unit, 1, 1);
  const bool high = Pick(unit.parameters[0], kLevelChoices, "the level") == 0;
  return Send(
      Typed(high ? "line clr-high" : "line clr-low",
            commands::LineRequest{high ? commands::Line::ClrHigh : commands::Line::ClrLow}));
}

Action LineLdacRow(const Instrument&, const Unit& unit) {
  Count(unit, 1, 1);
  const bool high = Pick(unit.parameters[0], kLevelChoices, "the level") == 0;
  return Send(
      Typed(high ? "line ldac-high" : "line ldac-low",
            commands::LineRequest{high ? commands::Line::LdacHigh : commands::Line::LdacLow}));
}

Action LinePulseRow(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Send(Typed("line pulse-ldac", commands::LineRequest{commands::Line::PulseLdac}));
}

}  // namespace

std::span<const Row> DacRows() {
  static const std::array rows = {
      Row{HeaderPattern("DAC:LOAD[:INPut]"), LoadRow},
      Row{HeaderPattern("DAC:UPDate"), UpdateRow},
      Row{HeaderPattern("DAC:VOLTage"), VoltsRow, VoltsQuery},
      Row{HeaderPattern("DAC:LOAD:PULSe"), PulseRow, PulseQuery},
      Row{HeaderPattern("DAC:WRITe"), WriteRow},
      Row{HeaderPattern("DAC:PDOWn"), PowerDownRow},
      Row{HeaderPattern("DAC:PDOWn:MASK"), nullptr, PowerDownMaskQuery},
      Row{HeaderPattern("DAC:LDAC[:REGister]"), LdacRegisterRow},
      Row{HeaderPattern("DAC:REFerence"), ReferenceRow},
      Row{HeaderPattern("DAC:CLEar[:CODE]"), ClearCodeRow},
      Row{HeaderPattern("DAC:WORDs"), nullptr, WordsQuery},
      Row{HeaderPattern("LINE:CLR"), LineClrRow},
      Row{HeaderPattern("LINE:LDAC"), LineLdacRow},
      Row{HeaderPattern("LINE:LDAC:PULSe"), LinePulseRow},
  };
  return rows;
}

}  // namespace kx::scpi
