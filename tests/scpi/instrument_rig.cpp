#include "instrument_rig.h"

#include <filesystem>

#include "commands/session.h"
#include "support/config_home.h"
#include "support/trace_requests.h"

namespace kx::scpi::testing {

std::string FirmwareFolder() {
  return std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();
}

board::sim::SimSettings LoopbackSettings() {
  board::sim::SimSettings settings;
  settings.external_reference = 5.0;
  return settings;
}

InstrumentRig::InstrumentRig(const Edition& edition_, board::sim::SimSettings settings)
    : edition(edition_),
      board(std::move(settings)),
      instrument(
          edition_,
          [this] {
            return std::make_unique<commands::Session>(
                edition, board::LinkLibraries{&cvn_, &io_, &board.Directory()}, port_,
                FirmwareFolder(), std::function<std::string()>{}, commands::AfterFailure::Serve);
          },
          [this](const std::string& line) { log.push_back(line); }) {
  kx::testing::PrivateConfigHome();
  instrument.StartUp();
}

std::string InstrumentRig::Ask(const std::string& line, const adc::CaptureStop& stop) {
  return instrument.Execute(line, client, stop).value_or("<none>");
}

std::string InstrumentRig::NextError() {
  return Ask("SYST:ERR?");
}

std::vector<std::string> InstrumentRig::RequestLines() const {
  std::vector<std::string> requests;
  for (const std::string& line : kx::testing::SplitLines(trace_.str())) {
    if (line.starts_with("request ")) {
      requests.push_back(line);
    }
  }
  return requests;
}

}  // namespace kx::scpi::testing
