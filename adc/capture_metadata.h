#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "adc/calibration_note.h"

namespace kx::adc {

// What a capture file does not say about itself, kept beside it in
// FILE.json so that a viewer can turn its codes into volts later. The
// capture file itself stays exactly as the panel writes it.
struct CaptureMetadata {
  std::string edition = "version2";  // "version2" or "classic"
  std::int32_t configuration_word = 0;
  bool half_span = false;  // "0V to VREFA"
  bool weak = false;
  std::optional<bool> straight_binary;  // none in the classic program
  std::optional<double> reference_volts;
  std::string start_time;  // ISO 8601, UTC
  double duration_seconds = 0.0;
  int transfers = 0;
  // Host clock times at which the sample sets (or replies) arrived: how far
  // apart the first and the last were, and the shortest and longest gap.
  int timed_sets = 0;
  double sets_spread_seconds = 0.0;
  double shortest_gap_seconds = 0.0;
  double longest_gap_seconds = 0.0;
  // The calibration the capture's volts are to be read with, if any.
  std::optional<CalibrationNote> calibration;
};

// The three figures of the host timestamps above, from the times in order.
void SetTimestampSpread(CaptureMetadata& metadata,
                        std::span<const std::chrono::steady_clock::time_point> times);

std::string Iso8601(std::chrono::system_clock::time_point time);

// "FILE.json" beside "FILE".
std::string MetadataPath(const std::string& capture_path);

std::string MetadataJson(const CaptureMetadata& metadata);

// Written whole through a temporary file and a rename, as capture files
// are; the operator's message on failure.
std::optional<std::string> WriteMetadataFile(const std::string& capture_path,
                                             const CaptureMetadata& metadata);

struct MetadataRead {
  std::optional<CaptureMetadata> metadata;
  std::string error;  // names the key at fault
};

MetadataRead ParseMetadata(std::string_view json_text);
MetadataRead ReadMetadataFile(const std::string& path);

}  // namespace kx::adc
