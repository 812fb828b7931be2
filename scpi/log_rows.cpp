// The LOG subsystem: the background data logger and the settings the next
// LOG:STARt takes, checked by the same checks as kx7312ctl's `adc log`.
#include <fmt/format.h>

#include <array>
#include <chrono>

#include "commands/choices.h"
#include "commands/log_values.h"
#include "commands/parameters.h"
#include "scpi/rows.h"
#include "scpi/scpi_values.h"

namespace kx::scpi {

namespace {

constexpr std::array<commands::Choice, 1> kAllChoices = {{{"all", "ALL"}}};

// LOG:STARt FILE,INTERVAL[,DURATION].
Action StartRow(const Instrument&, const Unit& unit) {
  Count(unit, 2, 3);
  commands::AdcLog log;
  log.file = LogFileName(unit.parameters[0]);
  log.every =
      Take(commands::IntervalOf(TimeText(unit.parameters[1], "the interval")), "the interval");
  if (unit.parameters.size() > 2) {
    log.duration =
        Take(commands::DurationOf(TimeText(unit.parameters[2], "the duration")), "the duration");
  }
  return [log = std::move(log)](Instrument::Run& run) {
    if (const std::optional<Error> error = run.instrument.StartLog(log, run.client)) {
      run.Fail(*error);
    }
  };
}

Action StopRow(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return [](Instrument::Run& run) { run.instrument.StopLog(); };
}

Action StateQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) {
    const LogState state = run.instrument.LogStatus();
    return fmt::format("{},{},{},{},{:.3f},{},{}", state.running ? 1 : 0, state.rows, state.gaps,
                       state.missed, std::chrono::duration<double>(state.elapsed).count(),
                       Quoted(state.file), Quoted(state.failure));
  });
}

// "all", a string such as "0,3,8-11", or the channel numbers.
Action ChannelsRow(const Instrument&, const Unit& unit) {
  Count(unit, 1, adc::AdcChannels);
  std::string list;
  const Parameter& first = unit.parameters[0];
  if (unit.parameters.size() == 1 && first.kind == ParameterKind::String) {
    list = first.text;
  } else if (unit.parameters.size() == 1 && first.kind == ParameterKind::Character) {
    list = kAllChoices.at(static_cast<std::size_t>(Pick(first, kAllChoices, "the channels"))).word;
  } else {
    for (const Parameter& parameter : unit.parameters) {
      list += (list.empty() ? "" : ",") + std::to_string(Whole(parameter, "the channel"));
    }
  }
  return [channels = Take(commands::ChannelListOf(list), "the channels")](Instrument::Run& run) {
    run.instrument.Logging().channels = channels;
  };
}

Action ChannelsQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) { return JoinCodes(run.instrument.Logging().channels); });
}

Action AverageRow(const Instrument&, const Unit& unit) {
  Count(unit, 1, 1);
  const long long reads = Whole(unit.parameters[0], "the reads per row");
  const int average =
      Take(commands::AverageOf(std::to_string(reads < 0 ? 0 : reads)), "the reads per row");
  return [average](Instrument::Run& run) { run.instrument.Logging().average = average; };
}

Action AverageQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply(
      [](Instrument::Run& run) { return std::to_string(run.instrument.Logging().average); });
}

Action OverwriteRow(const Instrument&, const Unit& unit) {
  Count(unit, 1, 1);
  return [on = Boolean(unit.parameters[0])](Instrument::Run& run) {
    run.instrument.Logging().overwrite = on;
  };
}

Action OverwriteQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) {
    return std::string(run.instrument.Logging().overwrite ? "1" : "0");
  });
}

Action ReferenceRow(const Instrument& instrument, const Unit& unit) {
  Count(unit, 1, 1);
  if (!instrument.edition().HasVolts()) {
    Refuse(SettingsConflict,
           fmt::format("{} has no ADC reference", instrument.edition().program_name));
  }
  const std::string reference =
      Take(commands::FileReferenceOf(AdcReference(unit.parameters[0])), "the reference");
  return [reference](Instrument::Run& run) {
    run.instrument.Logging().reference = reference;
    run.instrument.Logging().reference_given = true;
  };
}

Action ReferenceQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) { return run.instrument.Logging().reference; });
}

}  // namespace

std::span<const Row> LogRows() {
  static const std::array rows = {
      Row{HeaderPattern("LOG:STARt"), StartRow},
      Row{HeaderPattern("LOG:STOP"), StopRow},
      Row{HeaderPattern("LOG:STATe"), nullptr, StateQuery},
      Row{HeaderPattern("LOG:CHANnels"), ChannelsRow, ChannelsQuery},
      Row{HeaderPattern("LOG:AVERage"), AverageRow, AverageQuery},
      Row{HeaderPattern("LOG:OVERwrite"), OverwriteRow, OverwriteQuery},
      Row{HeaderPattern("LOG:REFerence"), ReferenceRow, ReferenceQuery},
  };
  return rows;
}

}  // namespace kx::scpi
