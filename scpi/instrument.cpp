#include "scpi/instrument.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <utility>
#include <vector>

#include "commands/log_values.h"
#include "scpi/header_pattern.h"
#include "scpi/parser.h"
#include "scpi/rows.h"
#include "scpi/scpi_values.h"

namespace kx::scpi {

std::optional<commands::Outcome> Instrument::Run::Board(const commands::Command& command) {
  commands::Outcome outcome = instrument.session_->Run(command, stop);
  for (const std::string& message : outcome.messages) {
    instrument.LogFor(client, message);
  }
  if (!outcome.Succeeded()) {
    Fail(MakeError(HardwareError, outcome.status
                                      ? fmt::format("{}: {} (status {})", command.name,
                                                    outcome.error, *outcome.status)
                                      : fmt::format("{}: {}", command.name, outcome.error)));
    return std::nullopt;
  }
  return outcome;
}

namespace {

std::string HeaderText(const Unit& unit) {
  std::string text = unit.common ? "*" : (unit.absolute ? ":" : "");
  for (std::size_t i = 0; i < unit.mnemonics.size(); ++i) {
    text += (i == 0 ? "" : ":") + unit.mnemonics[i];
  }
  return text + (unit.query ? "?" : "");
}

bool SameParameters(const Unit& one, const Unit& other) {
  return std::equal(one.parameters.begin(), one.parameters.end(), other.parameters.begin(),
                    other.parameters.end(), [](const Parameter& a, const Parameter& b) {
                      return a.kind == b.kind && a.text == b.text;
                    });
}

// The unit's Prepare in `rows`, or none.
Prepare Find(std::span<const Row> rows, const std::vector<std::string>& header, bool query) {
  for (const Row& row : rows) {
    const Prepare prepare = query ? row.query : row.setting;
    if (prepare != nullptr && row.header.Matches(header)) {
      return prepare;
    }
  }
  return nullptr;
}

Prepare FindSubsystem(const std::vector<std::string>& header, bool query) {
  for (const std::span<const Row> rows :
       {SystemRows(), DacRows(), AdcRows(), LogRows(), LinearityRows()}) {
    if (const Prepare prepare = Find(rows, header, query)) {
      return prepare;
    }
  }
  return nullptr;
}

// The unit's row: a common command, or a subsystem's relative to the
// compound header's `path` (the nodes above the previous unit's), which it
// moves to this unit's.
Prepare FindRow(const Unit& unit, std::vector<std::string>& path) {
  if (unit.common) {
    const Prepare prepare = Find(CommonRows(), unit.mnemonics, unit.query);
    return prepare != nullptr ? prepare : Find(SetupRows(), unit.mnemonics, unit.query);
  }
  std::vector<std::string> header = path;
  header.insert(header.end(), unit.mnemonics.begin(), unit.mnemonics.end());
  Prepare prepare = nullptr;
  // Relative to the previous unit's node first, as SCPI wants; then from the
  // root, which is what most people mean.
  if (!unit.absolute && !path.empty()) {
    prepare = FindSubsystem(header, unit.query);
  }
  if (prepare == nullptr) {
    header = unit.mnemonics;
    prepare = FindSubsystem(header, unit.query);
  }
  if (prepare != nullptr) {
    path.assign(header.begin(), header.end() - 1);
  }
  return prepare;
}

}  // namespace

Instrument::Instrument(const Edition& edition, SessionMaker make_session, LogLine log)
    : edition_(edition), make_session_(std::move(make_session)), log_(std::move(log)) {
  log_settings_.channels = commands::ParseChannelList("all").channels;
}

Instrument::~Instrument() {
  StopLog();
}

commands::Outcome Instrument::StartUp() {
  // A running log reads through the session about to go: it ends first,
  // its file complete.
  StopLog();
  // The earlier session goes first: two sessions must not share the link.
  session_.reset();
  session_ = make_session_();
  auto_pulse_ = true;
  log_settings_ = LogSettings{};
  log_settings_.channels = commands::ParseChannelList("all").channels;
  return session_->StartUp();
}

void Instrument::UseLogTimer(LogTimer& timer, logger::LogClock* clock) {
  StopLog();
  background_log_ =
      std::make_unique<BackgroundLog>(timer, clock != nullptr ? *clock : system_clock_,
                                      [this](const std::string& line) { log_(line); });
}

std::optional<Error> Instrument::StartLog(commands::AdcLog log, Client& client) {
  if (!background_log_) {
    return MakeError(SettingsConflict, "this instrument cannot log in the background");
  }
  if (background_log_->Running()) {
    return MakeError(InitIgnored, fmt::format("a log to {} is running; LOG:STOP ends it",
                                              background_log_->State().file));
  }
  if (!log_folder_) {
    if (std::optional<std::string> error = SetLogFolder({})) {
      return MakeError(FileNameError, *error);
    }
  }
  const std::string name = log.file;
  log.file = log_folder_->Shown(name);
  log.channels = log_settings_.channels;
  log.average = log_settings_.average;
  log.overwrite = log_settings_.overwrite;
  if (edition_.HasVolts()) {
    log.reference = log_settings_.reference;
    log.reference_given = log_settings_.reference_given;
  }
  log.calibration = calibration_;
  // No file where the calibration cannot be applied.
  if (std::string error = session_->CalibrationNoteFor(log.calibration, log.reference_given).error;
      !error.empty()) {
    return MakeError(FileNameError, error);
  }
  logger::LogFile::Opened opened = logger::LogFile::CreateIn(*log_folder_, name, log.overwrite);
  if (!opened.file) {
    return MakeError(FileNameError,
                     opened.exists ? opened.error + " (LOG:OVERwrite ON)" : opened.error);
  }
  const std::optional<std::string> error = background_log_->Start(
      *session_, log, std::move(opened.file), [this](const std::string& reason) {
        if (log_client_ != nullptr) {
          Refuse(*log_client_, MakeError(MassStorageError, reason));
        }
        log_client_ = nullptr;
      });
  if (error) {
    return MakeError(FileNameError, *error);
  }
  log_client_ = &client;
  return std::nullopt;
}

std::optional<std::string> Instrument::SetLogFolder(const std::filesystem::path& folder) {
  std::string error;
  std::optional<logger::LogFolder> opened =
      logger::LogFolder::Open(folder.empty() ? std::filesystem::path(".") : folder, error);
  if (!opened) {
    return error;
  }
  log_folder_ = std::move(opened);
  return std::nullopt;
}

std::optional<std::string> Instrument::SetSetupFolder(const std::filesystem::path& folder) {
  std::error_code error;
  const std::filesystem::path path = folder.empty() ? std::filesystem::path(".") : folder;
  if (!std::filesystem::is_directory(path, error)) {
    return fmt::format("the set-up folder {} is no folder", path.string());
  }
  setup_folder_ = path;
  return std::nullopt;
}

std::filesystem::path Instrument::SetupSlotFile(int slot) const {
  return setup_folder_ / fmt::format("kx7312-setup-{}.json", slot);
}

void Instrument::StopLog() {
  if (background_log_) {
    background_log_->Stop();
  }
  log_client_ = nullptr;
}

LogState Instrument::LogStatus() const {
  return background_log_ ? background_log_->State() : LogState{};
}

void Instrument::Forget(const Client& client) {
  if (log_client_ == &client) {
    log_client_ = nullptr;
  }
}

void Instrument::Refuse(Client& client, const Error& error) {
  // Whatever a detail echoes, an error stays a line: twenty of them are all
  // a client's queue may hold.
  constexpr std::size_t kLongestText = 240;
  Error kept = error;
  if (kept.text.size() > kLongestText) {
    kept.text = kept.text.substr(0, kLongestText) + "...";
  }
  client.status.Push(kept);
  LogFor(client, ErrorResponse(kept));
}

void Instrument::LogFor(Client& client, const std::string& line) {
  if (const std::optional<std::string> passed = client.log_rate.Pass(client.name + ": " + line)) {
    log_(*passed);
  }
}

std::optional<std::string> Instrument::Execute(std::string_view line, Client& client,
                                               const adc::CaptureStop& stop) {
  std::optional<CheckedLine> checked = Check(line, client);
  if (!checked) {
    return std::nullopt;
  }
  std::optional<std::string> response;
  while (!checked->Done()) {
    if (const std::optional<std::string> part = RunNext(*checked, client, stop)) {
      response = response ? *response + ";" + *part : *part;
    }
  }
  return response;
}

std::optional<CheckedLine> Instrument::Check(std::string_view line, Client& client) {
  const ParsedLine parsed = ParseLine(line);
  if (parsed.error) {
    Refuse(client, *parsed.error);
    return std::nullopt;
  }
  CheckedLine checked;
  checked.units.reserve(parsed.units.size());
  std::vector<std::string> path;  // the compound header's nodes above the last unit's
  Prepare previous_prepare = nullptr;
  const Unit* previous_unit = nullptr;
  for (const Unit& unit : parsed.units) {
    try {
      const Prepare prepare = FindRow(unit, path);
      if (prepare == nullptr) {
        ::kx::scpi::Refuse(UndefinedHeader, ShownText(HeaderText(unit)));
      }
      if (prepare == previous_prepare && SameParameters(unit, *previous_unit)) {
        checked.units.push_back(checked.units.back());
      } else {
        checked.units.push_back(std::make_shared<const Action>(prepare(*this, unit)));
      }
      previous_prepare = prepare;
      previous_unit = &unit;
    } catch (const Refusal& refusal) {
      Error error = refusal.error();
      if (error.code != UndefinedHeader.code) {
        error.text += " (" + ShownText(HeaderText(unit)) + ")";
      }
      Refuse(client, error);
      return std::nullopt;
    }
  }
  return checked;
}

std::optional<std::string> Instrument::RunNext(CheckedLine& line, Client& client,
                                               const adc::CaptureStop& stop) {
  Run run{*this, client, stop, {}};
  // Taken out, so that what the unit held goes as soon as it has run.
  const std::shared_ptr<const Action> action = std::move(line.units[line.next++]);
  (*action)(run);
  if (run.responses.empty()) {
    return std::nullopt;
  }
  std::string response;
  for (const std::string& part : run.responses) {
    response += (response.empty() ? "" : ";") + part;
  }
  return response;
}

}  // namespace kx::scpi
