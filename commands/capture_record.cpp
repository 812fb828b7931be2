#include "commands/capture_record.h"

#include <fmt/format.h>

#include <cstdlib>
#include <vector>

#include "adc/adc_operations.h"

namespace kx::commands {

adc::CaptureMetadata CaptureRecord(const Edition& edition, const adc::AdcConfiguration& config,
                                   bool channel0, const std::string& reference_text,
                                   const CaptureTimes& times) {
  adc::CaptureMetadata record;
  const bool version2 = edition.adc_rules == AdcWordRules::Version2;
  record.edition = version2 ? "version2" : "classic";
  // The channel-0 capture sends its fixed word, whatever the lists say.
  const std::int32_t word =
      channel0 ? adc::FixedChannel0Word : adc::ConfigurationWord(edition.adc_rules, config);
  record.configuration_word = word & 0xFFFF;
  record.half_span = (word & adc::RangeField) != 0;
  record.weak = (word & adc::WeakTriField) != 0;
  if (version2 || channel0) {
    record.straight_binary = (word & adc::CodingField) != 0;
  }
  if (edition.HasVolts()) {
    record.reference_volts = std::strtod(reference_text.c_str(), nullptr);
  }
  record.start_time = adc::Iso8601(times.started);
  record.duration_seconds = std::chrono::duration<double>(times.duration).count();
  record.transfers = channel0 ? adc::Channel0Transfers : adc::AllChannelsTransfers;
  adc::SetTimestampSpread(record, times.progress);
  return record;
}

std::optional<std::string> WriteCaptureRecord(const std::string& file,
                                              const adc::CaptureMetadata& record) {
  std::optional<std::string> error = adc::WriteMetadataFile(file, record);
  if (error) {
    return fmt::format("The capture's metadata was not saved: {}", *error);
  }
  return std::nullopt;
}

std::optional<std::string> CaptureWithRecord(
    session::BoardSession& board, session::CaptureKind kind, const std::string& file,
    const std::string& reference_text, const std::optional<adc::CalibrationNote>& calibration) {
  std::vector<std::chrono::steady_clock::time_point> progress;
  const auto started = std::chrono::system_clock::now();
  const auto clock = std::chrono::steady_clock::now();
  const session::CaptureReport report = board.CaptureToFile(
      kind, file, [&progress](int, int) { progress.push_back(std::chrono::steady_clock::now()); });
  if (report.failure) {
    return report.failure;
  }
  const CaptureTimes times{started, std::chrono::steady_clock::now() - clock, progress};
  const bool channel0 = kind == session::CaptureKind::Channel0;
  adc::CaptureMetadata record =
      CaptureRecord(board.edition(), board.Adc().Configuration(), channel0, reference_text, times);
  if (calibration) {
    record.calibration = calibration;
    if (calibration->reference_volts) {
      record.reference_volts = calibration->reference_volts;
    }
  }
  return WriteCaptureRecord(file, record);
}

}  // namespace kx::commands
