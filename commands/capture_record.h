#pragma once

#include <chrono>
#include <optional>
#include <span>
#include <string>

#include "adc/adc_control_word.h"
#include "adc/capture_metadata.h"
#include "session/board_session.h"
#include "session/edition.h"

namespace kx::commands {

// What `adc capture FILE --metadata` knows of its capture, from the moment
// before the first transfer to the file on the disk.
struct CaptureTimes {
  std::chrono::system_clock::time_point started;
  std::chrono::steady_clock::duration duration{};
  // Host times of the capture's progress, every CaptureProgressStep
  // transfers (eight sample sets of the all-channel capture).
  std::span<const std::chrono::steady_clock::time_point> progress;
};

adc::CaptureMetadata CaptureRecord(const Edition& edition, const adc::AdcConfiguration& config,
                                   bool channel0, const std::string& reference_text,
                                   const CaptureTimes& times);

// FILE.json written whole beside FILE; the message on failure.
std::optional<std::string> WriteCaptureRecord(const std::string& file,
                                              const adc::CaptureMetadata& record);

// The capture into `file`, timed, then its record beside it. The operator's
// message when either could not be written; no record for a capture that
// failed. The record names the calibration its volts are to be read with,
// where one applies; its measured reference replaces `reference_text`.
std::optional<std::string> CaptureWithRecord(
    session::BoardSession& board, session::CaptureKind kind, const std::string& file,
    const std::string& reference_text,
    const std::optional<adc::CalibrationNote>& calibration = std::nullopt);

}  // namespace kx::commands
