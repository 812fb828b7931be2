#pragma once

#include <optional>
#include <string>
#include <vector>

#include "adc/capture_metadata.h"
#include "analysis/capture_file.h"
#include "analysis/capture_scale.h"
#include "analysis/channel_stats.h"
#include "analysis/spectrum.h"
#include "analysis/spectrum_report.h"

namespace kx::analysis {

// The parts of the scale a person chose (options or controls); what they
// leave open comes from the metadata file, then from the panel's defaults.
struct ScaleChoice {
  std::optional<bool> half_span;
  std::optional<bool> straight_binary;
  std::optional<double> reference;
};

// A capture file opened for viewing: its samples, the scale they were read
// with and where that came from.
struct OpenedCapture {
  std::string path;
  CaptureFile file;
  CaptureScale scale;
  bool from_metadata = false;
  std::string metadata_note;  // why a metadata file beside it was not used
  ScaleChoice chosen;         // what the command line gave over the metadata
  // The mean time from one sample to the next, from the metadata's host
  // times; none without them, and the spectrum stays in cycles per sample.
  std::optional<double> sample_seconds;
  // Why the calibration the metadata names was not applied; empty where it
  // was or where there is none.
  std::string calibration_note;
};

// The mean sample period the host times of a capture of `samples` samples
// give, when they give one: the times span the whole capture.
std::optional<double> MeanSamplePeriod(const adc::CaptureMetadata& metadata, int samples);

// Where each part of the scale came from: "from the metadata file", or
// "coding from the command line, range and reference from the metadata
// file"; `metadata_name` names the metadata file.
std::string ScaleSource(const OpenedCapture& capture, const std::string& metadata_name);

struct OpenResult {
  std::optional<OpenedCapture> capture;
  std::string error;
};

// Reads FILE and, when there is one, FILE.json beside it. A metadata file
// that cannot be used does not stop the capture from opening: the note says
// why and the choice (or the defaults) stand in for it.
OpenResult OpenCapture(const std::string& path, const ScaleChoice& choice);

// The scale of a file: the choice over the metadata over the defaults; the
// word rules of a channel-0 file without metadata come from its replies.
// The metadata's calibration comes with it unless the choice gives another
// range, which its corrections were not measured on; the reference it
// measured stands in for the metadata's.
CaptureScale DecideScale(const CaptureFile& file, const adc::CaptureMetadata* metadata,
                         const ScaleChoice& choice);

// Everything the report and the window show.
struct CaptureAnalysis {
  std::vector<ChannelSamples> channels;
  std::vector<ChannelStats> stats;
};

CaptureAnalysis Analyse(const CaptureFile& file, const CaptureScale& scale);

// The statistics table and the spectrum figures of one channel, as plain
// text or as one JSON object.
std::string ReportText(const OpenedCapture& capture, const CaptureAnalysis& analysis, int channel,
                       const std::optional<Spectrum>& spectrum);
std::string ReportJson(const OpenedCapture& capture, const CaptureAnalysis& analysis, int channel,
                       const std::optional<Spectrum>& spectrum);

// The data as CSV: a header row, then per sample set its number and, per
// channel, the 12-bit code and the volts.
std::string CsvText(const CaptureAnalysis& analysis);

std::string RangeName(bool half_span);         // "0V to 2xVREFA" / "0V to VREFA"
std::string CodingName(bool straight_binary);  // "2's Compliment" / "Straight Binary"

}  // namespace kx::analysis
