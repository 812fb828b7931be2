// The calibration commands on the session, and how the commands that show
// volts apply the board's calibration.
#include <fmt/format.h>

#include <utility>

#include "board/board_references.h"
#include "commands/calibration_store.h"
#include "commands/session.h"
#include "session/calibration_file.h"

namespace kx::commands {

namespace {

CalibrationResult ResultOf(const BoardCalibration& loaded) {
  return {loaded.board, loaded.path, loaded.calibration, {}};
}

}  // namespace

Session::CalibrationForVolts Session::CalibrationNoteFor(const session::CalibrationChoice& choice,
                                                         bool reference_given,
                                                         std::optional<int> range_index) {
  if (!board_.edition().HasVolts()) {
    return {};
  }
  const session::CalibrationResolved& resolved = Calibration(choice);
  if (!resolved.error.empty()) {
    return {std::nullopt, resolved.error};
  }
  if (!resolved.applied) {
    return {};
  }
  const session::Calibration& calibration = resolved.applied->calibration;
  const int range = range_index.value_or(adc_.Configuration().AdcRangeBit != 0 ? 1 : 0);
  adc::CalibrationNote note;
  note.path = resolved.applied->path;
  note.board = calibration.board;
  for (int channel = 0; channel < session::CalibrationChannels; ++channel) {
    if (const board::LineCorrection* correction = calibration.Adc(range, channel)) {
      note.adc[static_cast<std::size_t>(channel)] = *correction;
    }
  }
  // A reference the command named is the one the user means.
  if (!reference_given) {
    note.reference_volts = calibration.adc_reference_volts;
  }
  return {std::move(note), {}};
}

std::optional<std::string> Session::CalibrationUnwritable() const {
  return LoadBoardCalibration(Identity()).failure;
}

std::optional<std::string> Session::SaveMeasured(bool adc, int channel,
                                                 const board::LineCorrection& correction,
                                                 const char* method, double reference_volts) {
  BoardCalibration loaded = LoadBoardCalibration(Identity());
  if (loaded.failure) {
    return loaded.failure;
  }
  session::Calibration calibration = loaded.calibration.value_or(session::Calibration{});
  calibration.board = loaded.board;
  session::ChannelCalibration entry{correction, CalibrationTimeNow(), CalibrationProgram(), method,
                                    reference_volts};
  const auto index = static_cast<std::size_t>(channel);
  if (adc) {
    calibration.adc[adc_.Configuration().AdcRangeBit != 0 ? 1 : 0][index] = std::move(entry);
  } else {
    calibration.dac[index] = std::move(entry);
  }
  calibrations_.clear();
  if (std::optional<std::string> error = StoreBoardCalibration(loaded.path, calibration)) {
    return fmt::format("the calibration was not saved: {}", *error);
  }
  return std::nullopt;
}

Session::Step Session::Execute(const CalibrationShow&, const adc::CaptureStop&) {
  BoardCalibration loaded = LoadBoardCalibration(Identity());
  return {ResultOf(loaded), std::move(loaded.failure)};
}

Session::Step Session::Execute(const CalibrationSave& save, const adc::CaptureStop&) {
  BoardCalibration loaded = LoadBoardCalibration(Identity());
  if (loaded.failure) {
    return {ResultOf(loaded), std::move(loaded.failure)};
  }
  session::Calibration calibration = loaded.calibration.value_or(session::Calibration{});
  calibration.board = loaded.board;
  CalibrationResult result = ResultOf(loaded);
  const std::string now = CalibrationTimeNow();
  const std::string program = CalibrationProgram();
  const int range = save.range.value_or(adc_.Configuration().AdcRangeBit != 0 ? 1 : 0);
  for (const ChannelCorrection& entry : save.adc) {
    calibration.adc[static_cast<std::size_t>(range)][static_cast<std::size_t>(entry.channel)] =
        session::ChannelCalibration{entry.correction, now, program, "entered", save.adc_reference};
    result.changed.push_back(AdcEntryName(range, entry.channel));
  }
  for (const ChannelCorrection& entry : save.dac) {
    const auto group = static_cast<std::size_t>(entry.channel / dac::ChannelsPerGroup);
    calibration.dac[static_cast<std::size_t>(entry.channel)] = session::ChannelCalibration{
        entry.correction, now, program, "entered", save.dac_reference[group]};
    result.changed.push_back(DacEntryName(entry.channel));
  }
  if (save.adc_reference) {
    calibration.adc_reference_volts = save.adc_reference;
    result.changed.emplace_back("the ADC reference");
  }
  for (std::size_t group = 0; group < save.dac_reference.size(); ++group) {
    if (save.dac_reference[group]) {
      calibration.dac_reference_volts[group] = save.dac_reference[group];
      result.changed.emplace_back(group == 0 ? "the DAC0-7 reference" : "the DAC8-15 reference");
    }
  }
  calibrations_.clear();
  std::optional<std::string> error = StoreBoardCalibration(loaded.path, calibration);
  if (!error) {
    result.calibration = std::move(calibration);
  }
  return {std::move(result), std::move(error)};
}

Session::Step Session::Execute(const CalibrationClear& clear, const adc::CaptureStop&) {
  BoardCalibration loaded = LoadBoardCalibration(Identity());
  CalibrationResult result = ResultOf(loaded);
  if (loaded.failure || !loaded.calibration) {
    return {std::move(result), std::move(loaded.failure)};
  }
  session::Calibration calibration = *loaded.calibration;
  if (clear.adc.empty() && clear.dac.empty()) {
    calibration = session::Calibration{};
    result.changed.emplace_back("the whole file");
  }
  for (const int channel : clear.adc) {
    for (int range = 0; range < 2; ++range) {
      auto& entry =
          calibration.adc[static_cast<std::size_t>(range)][static_cast<std::size_t>(channel)];
      if (entry) {
        entry.reset();
        result.changed.push_back(AdcEntryName(range, channel));
      }
    }
  }
  for (const int channel : clear.dac) {
    if (auto& entry = calibration.dac[static_cast<std::size_t>(channel)]) {
      entry.reset();
      result.changed.push_back(DacEntryName(channel));
    }
  }
  if (result.changed.empty()) {
    return {std::move(result), std::nullopt};
  }
  calibrations_.clear();
  std::optional<std::string> error = StoreBoardCalibration(loaded.path, calibration);
  if (!error) {
    result.calibration.reset();
    if (!calibration.Empty()) {
      result.calibration = std::move(calibration);
    }
  }
  return {std::move(result), std::move(error)};
}

}  // namespace kx::commands
