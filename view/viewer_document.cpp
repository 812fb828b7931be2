#include "view/viewer_document.h"

#include "adc/sample_file.h"

namespace kx::view {
namespace {

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

// The calibration the volts are corrected with, as the scale's source ends.
QString CalibrationText(const std::optional<adc::CalibrationNote>& note) {
  if (!note) {
    return {};
  }
  return ViewerDocument::tr("; volts calibrated with %1 (board %2)")
      .arg(Text(note->path), Text(note->board));
}

}  // namespace

ViewerDocument::Kind ViewerDocument::FileKind() const {
  if (result_) {
    return result_->kind == analysis::ResultKind::AdcHistogram ? Kind::AdcHistogram
                                                               : Kind::DacSweep;
  }
  return log_ ? Kind::Log : capture_ ? Kind::Capture : Kind::None;
}

std::optional<std::string> ViewerDocument::Open(const QString& path) {
  const std::string file = path.toStdString();
  if (const std::optional<std::string> csv = analysis::LinearityCsvPath(file)) {
    analysis::LinearityRead read = analysis::ReadLinearityResult(*csv);
    if (!read.result) {
      return std::move(read.error);
    }
    result_ = std::move(read.result);
    capture_.reset();
    analysis_ = {};
    log_.reset();
    log_stats_ = {};
    // The metadata opened stands for its CSV, which is what is followed.
    path_ = QString::fromStdString(*csv);
    emit Replaced();
    return std::nullopt;
  }
  if (analysis::FileStartsAsLog(file)) {
    analysis::LogRead read = analysis::ReadLogFile(file);
    if (!read.log) {
      return std::move(read.error);
    }
    log_ = std::move(read.log);
    log_stats_ = analysis::LogStatistics(*log_);
    capture_.reset();
    analysis_ = {};
    result_.reset();
  } else {
    analysis::OpenResult opened = analysis::OpenCapture(file, choice_);
    if (!opened.capture) {
      return std::move(opened.error);
    }
    capture_ = std::move(opened.capture);
    analysis_ = analysis::Analyse(capture_->file, capture_->scale);
    log_.reset();
    log_stats_ = {};
    result_.reset();
  }
  path_ = path;
  emit Replaced();
  return std::nullopt;
}

std::string ViewerDocument::FollowLog() {
  if (!log_) {
    return {};
  }
  const std::string header = log_->header_line;
  const std::size_t bytes = log_->complete_bytes;
  std::string error = analysis::FollowLogFile(path_.toStdString(), *log_);
  if (log_->header_line != header) {
    log_stats_ = analysis::LogStatistics(*log_);
    emit Replaced();
  } else if (log_->complete_bytes != bytes) {
    log_stats_ = analysis::LogStatistics(*log_);
    emit Grew();
  }
  return error;
}

void ViewerDocument::SetChoice(const analysis::ScaleChoice& choice) {
  choice_ = choice;
  if (capture_ && !capture_->from_metadata) {
    capture_->scale = analysis::DecideScale(capture_->file, nullptr, choice_);
    analysis_ = analysis::Analyse(capture_->file, capture_->scale);
    emit Replaced();
  }
}

ViewerDocument::ScaleShown ViewerDocument::Scale() const {
  ScaleShown shown;
  if (log_) {
    // A log records the scale it was read with; nothing here can change it.
    const logger::LogLayout& layout = log_->layout;
    shown.half_span = layout.half_span;
    shown.straight_binary = layout.straight_binary.value_or(true);
    shown.reference = layout.VoltsReference();
    shown.volts = log_->HasVolts();
    shown.source = tr("Range, coding and reference from the log's first line (%1 program)")
                       .arg(Text(layout.edition));
    if (!shown.volts) {
      shown.source += tr("; no volts: the classic program logs codes only");
    }
    shown.source += tr("; no histogram or spectrum: a log's rows are not evenly spaced samples");
    shown.source += CalibrationText(layout.calibration);
    return shown;
  }
  if (result_) {
    // DNL and INL are in LSB: there is nothing to scale. The controls show
    // the range and coding the histogram was taken on, where it says.
    shown.volts = false;
    shown.half_span = result_->range == "vref";
    shown.straight_binary = result_->coding == "binary";
    shown.source = tr("A linearity result: DNL and INL in LSB of the converter, %1")
                       .arg(Text(analysis::ResultSubject(*result_)));
    return shown;
  }
  const analysis::CaptureScale scale =
      capture_ ? capture_->scale
               : analysis::CaptureScale{AdcWordRules::Version2,
                                        choice_.half_span.value_or(false),
                                        choice_.straight_binary.value_or(false),
                                        choice_.reference.value_or(2.5),
                                        {}};
  shown.half_span = scale.half_span;
  shown.straight_binary = scale.straight_binary;
  shown.reference = scale.reference;
  // The metadata's values are what the capture was taken with.
  const bool fixed_by_file = capture_ && capture_->from_metadata;
  const bool channel0 = capture_ && capture_->file.kind == analysis::CaptureKind::Channel0;
  shown.range_free = !fixed_by_file && !channel0;
  shown.coding_free = shown.range_free;
  shown.reference_free = !fixed_by_file;
  if (!capture_) {
    shown.source = tr("No capture open");
  } else if (fixed_by_file) {
    // The command line's choices win over the metadata's; say which is which.
    const QString source =
        Text(analysis::ScaleSource(*capture_, adc::MetadataPath(capture_->path)));
    shown.source = source.startsWith(QStringLiteral("from "))
                       ? tr("Range, coding and reference %1").arg(source)
                       : source.left(1).toUpper() + source.mid(1);
  } else {
    shown.source =
        tr("No metadata file beside the capture: range, coding and reference as set here");
    if (!capture_->metadata_note.empty()) {
      shown.source += tr(" (%1)").arg(Text(capture_->metadata_note));
    }
  }
  if (channel0) {
    shown.source += tr("; a channel-0 capture is always \"0V to 2xVREFA\", \"Straight Binary\"");
  }
  if (capture_) {
    shown.source += CalibrationText(capture_->scale.calibration);
  }
  return shown;
}

std::vector<int> ViewerDocument::Channels() const {
  if (log_) {
    return log_->layout.channels;
  }
  std::vector<int> channels(capture_ ? capture_->file.columns.size() : 0);
  for (std::size_t c = 0; c < channels.size(); ++c) {
    channels[c] = static_cast<int>(c);
  }
  return channels;
}

std::string ViewerDocument::ChannelLayout() const {
  if (log_) {
    return "log " + log_->header_line;
  }
  if (result_) {
    return "linearity";
  }
  return capture_ ? "capture " + std::to_string(capture_->file.columns.size()) : std::string();
}

QString ViewerDocument::Status() const {
  if (result_) {
    const bool histogram = result_->kind == analysis::ResultKind::AdcHistogram;
    return tr("%1: %2, %3 %4")
        .arg(path_, QString::fromLatin1(analysis::ResultKindName(result_->kind)))
        .arg(histogram ? result_->density.samples : result_->sweep.codes.size())
        .arg(histogram ? tr("samples") : tr("codes"));
  }
  if (capture_) {
    return tr("%1: %2 capture, %3 samples per channel")
        .arg(path_, QString::fromLatin1(analysis::KindName(capture_->file.kind)))
        .arg(capture_->file.Samples());
  }
  QString text =
      tr("%1: log, %2 rows (%3 gap rows)").arg(path_).arg(log_stats_.rows).arg(log_stats_.gap_rows);
  if (log_ && log_->partial_bytes > 0) {
    // While the logger writes, its last row is often half there.
    text += tr("; the last line has no line end (%1 bytes), left out").arg(log_->partial_bytes);
  }
  return text;
}

ViewerDocument::Reread ViewerDocument::ReadAgain() {
  if (log_ && analysis::FileStartsAsLog(path_.toStdString())) {
    // Only the new rows are read, and each view adds only those.
    return {true, FollowLog()};
  }
  std::optional<std::string> error = Open(path_);
  return {!error, error.value_or(std::string())};
}

std::optional<std::string> ViewerDocument::ExportCsv(const QString& path) const {
  if (log_) {
    return adc::WriteFileReplacing(path.toStdString(), analysis::LogCsvText(*log_));
  }
  if (result_) {
    return adc::WriteFileReplacing(path.toStdString(), analysis::LinearityCsv(*result_));
  }
  if (!capture_) {
    return std::string("No capture is open.");
  }
  return adc::WriteFileReplacing(path.toStdString(), analysis::CsvText(analysis_));
}

}  // namespace kx::view
