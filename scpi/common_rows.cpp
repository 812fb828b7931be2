// IEEE 488.2's common commands and the SYSTem subsystem: the client's own
// error queue and status registers.
#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <string>

#include "commands/exit_status.h"
#include "scpi/rows.h"
#include "scpi/scpi_values.h"

namespace kx::scpi {

namespace {

Action IdnQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) {
    // The serial-number field: the board's USB serial where it reports one;
    // a comma in it would split the reply's fields.
    std::string serial = run.instrument.Session().Identity().serial;
    std::replace(serial.begin(), serial.end(), ',', '_');
    return fmt::format("KX7312,{},{},{}", run.instrument.edition().program_name,
                       serial.empty() ? "0" : serial, commands::CtlVersion);
  });
}

Action ResetRow(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return [](Instrument::Run& run) {
    const commands::Outcome started = run.instrument.StartUp();
    if (!started.Succeeded()) {
      run.Fail(MakeError(HardwareError, started.status ? fmt::format("start-up: {} (status {})",
                                                                     started.error, *started.status)
                                                       : "start-up: " + started.error));
    }
  };
}

Action ClearRow(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return [](Instrument::Run& run) { run.client.status.Clear(); };
}

Action OpcRow(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  // Every command is done whole before the next one is read.
  return [](Instrument::Run& run) { run.client.status.SetEvent(OperationComplete); };
}

Action OpcQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run&) { return std::string("1"); });
}

Action WaitRow(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return [](Instrument::Run&) {};
}

Action EsrQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) { return std::to_string(run.client.status.TakeEvents()); });
}

Action StbQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) { return std::to_string(run.client.status.StatusByte()); });
}

// *ESE and *SRE: one of the client's enable masks, 0 to 255.
template <std::uint8_t ClientStatus::*Mask>
Action MaskRow(const Instrument&, const Unit& unit) {
  Count(unit, 1, 1);
  const long long value = Whole(unit.parameters[0], "the mask");
  if (value < 0 || value > 255) {
    Refuse(DataOutOfRange, "the mask must be 0 to 255");
  }
  return
      [value](Instrument::Run& run) { run.client.status.*Mask = static_cast<std::uint8_t>(value); };
}

template <std::uint8_t ClientStatus::*Mask>
Action MaskQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) { return std::to_string(run.client.status.*Mask); });
}

// A trigger loads what the DAC input registers hold: the LDAC pulse.
Action TriggerRow(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Send(
      {"line pulse-ldac", commands::LineRequest{commands::Line::PulseLdac}, commands::Source{}});
}

Action TestQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run&) { return std::string("0"); });
}

Action ErrorQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) { return ErrorResponse(run.client.status.Next()); });
}

Action ErrorCountQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run& run) { return std::to_string(run.client.status.Count()); });
}

Action VersionQuery(const Instrument&, const Unit& unit) {
  Count(unit, 0, 0);
  return Reply([](Instrument::Run&) { return std::string("1999.0"); });
}

}  // namespace

std::span<const Row> CommonRows() {
  static const std::array rows = {
      Row{HeaderPattern("IDN"), nullptr, IdnQuery},
      Row{HeaderPattern("RST"), ResetRow},
      Row{HeaderPattern("CLS"), ClearRow},
      Row{HeaderPattern("OPC"), OpcRow, OpcQuery},
      Row{HeaderPattern("WAI"), WaitRow},
      Row{HeaderPattern("ESR"), nullptr, EsrQuery},
      Row{HeaderPattern("STB"), nullptr, StbQuery},
      Row{HeaderPattern("ESE"), MaskRow<&ClientStatus::event_enable>,
          MaskQuery<&ClientStatus::event_enable>},
      Row{HeaderPattern("SRE"), MaskRow<&ClientStatus::service_enable>,
          MaskQuery<&ClientStatus::service_enable>},
      Row{HeaderPattern("TST"), nullptr, TestQuery},
      Row{HeaderPattern("TRG"), TriggerRow},
  };
  return rows;
}

std::span<const Row> SystemRows() {
  static const std::array rows = {
      Row{HeaderPattern("SYSTem:ERRor[:NEXT]"), nullptr, ErrorQuery},
      Row{HeaderPattern("SYSTem:ERRor:COUNt"), nullptr, ErrorCountQuery},
      Row{HeaderPattern("SYSTem:VERSion"), nullptr, VersionQuery},
  };
  return rows;
}

Action Send(commands::Command command) {
  return [command = std::move(command)](Instrument::Run& run) { run.Board(command); };
}

Action Reply(std::string (*answer)(Instrument::Run& run)) {
  return [answer](Instrument::Run& run) { run.responses.push_back(answer(run)); };
}

std::string HexResponse(std::uint32_t word, int digits) {
  return fmt::format("#H{:0{}X}", word, digits);
}

}  // namespace kx::scpi
