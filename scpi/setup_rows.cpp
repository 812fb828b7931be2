// *SAV and *RCL: set-ups kept in numbered slots, files of the server's own
// naming in its set-up folder, so that no client chooses a path.
#include <fmt/format.h>

#include <array>
#include <filesystem>

#include "scpi/rows.h"
#include "scpi/scpi_values.h"
#include "session/setup_file.h"

namespace kx::scpi {

namespace {

// As bench instruments number theirs.
constexpr int kLastSlot = 9;

int Slot(const Unit& unit) {
  Count(unit, 1, 1);
  const long long slot = Whole(unit.parameters[0], "the slot");
  if (slot < 0 || slot > kLastSlot) {
    Refuse(DataOutOfRange, fmt::format("the slot must be 0 to {}", kLastSlot));
  }
  return static_cast<int>(slot);
}

Action SaveRow(const Instrument&, const Unit& unit) {
  return [slot = Slot(unit)](Instrument::Run& run) {
    const Instrument& instrument = run.instrument;
    const session::Setup setup =
        session::CurrentSetup(instrument.Session().Board(), instrument.AutoPulse());
    if (const std::optional<std::string> failure =
            session::WriteSetupFile(instrument.SetupSlotFile(slot).string(), setup)) {
      run.Fail(MakeError(MassStorageError, fmt::format("slot {}: {}", slot, *failure)));
    }
  };
}

Action RecallRow(const Instrument&, const Unit& unit) {
  return [slot = Slot(unit)](Instrument::Run& run) {
    const std::string file = run.instrument.SetupSlotFile(slot).string();
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
      run.Fail(MakeError(FileNameNotFound, fmt::format("slot {} holds no set-up", slot)));
      return;
    }
    const session::SetupRead read = session::ReadSetupFile(file);
    if (!read.setup) {
      run.Fail(MakeError(MassStorageError, fmt::format("slot {}: {}", slot, read.error)));
      return;
    }
    if (const std::optional<std::string> refusal =
            session::SetupRefusal(*read.setup, run.instrument.edition())) {
      run.Fail(MakeError(SettingsConflict, fmt::format("slot {}: {}", slot, *refusal)));
      return;
    }
    if (run.Board({"setup load", commands::SetupLoad{file, *read.setup}, commands::Source{}})) {
      run.instrument.SetAutoPulse(read.setup->auto_pulse);
    }
  };
}

}  // namespace

std::span<const Row> SetupRows() {
  static const std::array rows = {
      Row{HeaderPattern("SAV"), SaveRow},
      Row{HeaderPattern("RCL"), RecallRow},
  };
  return rows;
}

}  // namespace kx::scpi
