#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>
#include <vector>

#include "analysis/capture_report.h"
#include "analysis/linearity_result.h"
#include "analysis/log_file.h"
#include "analysis/log_report.h"

namespace kx::view {

// The one file the viewer shows, a capture (with its analysis), a data
// log (with its statistics) or a linearity result (an ADC histogram or a
// DAC sweep with their figures), as every tab takes it. A log read on as the
// logger appends to it signals that it grew, so that a view adds only what
// is new; anything else signals that the views start afresh.
class ViewerDocument : public QObject {
  Q_OBJECT

 public:
  enum class Kind { None, Capture, Log, AdcHistogram, DacSweep };

  // The scale in use as the controls show it, which of them may change it
  // (not what the file fixes) and where it comes from.
  struct ScaleShown {
    bool half_span = false;
    bool straight_binary = false;
    std::optional<double> reference;  // none: the control keeps its value
    bool range_free = false;
    bool coding_free = false;
    bool reference_free = false;
    bool volts = true;  // whether volts can be shown at all
    QString source;
  };

  // What a read of the followed file again did: whether the document
  // took anything, and the reason of a failure or a bad line.
  struct Reread {
    bool read = false;
    std::string error;
  };

  explicit ViewerDocument(const analysis::ScaleChoice& choice = {}, QObject* parent = nullptr)
      : QObject(parent), choice_(choice) {}

  Kind FileKind() const;
  const QString& Path() const { return path_; }
  const analysis::ScaleChoice& Choice() const { return choice_; }
  const analysis::OpenedCapture* Capture() const { return capture_ ? &*capture_ : nullptr; }
  const analysis::CaptureAnalysis& Analysis() const { return analysis_; }
  const analysis::LogData* Log() const { return log_ ? &*log_ : nullptr; }
  const analysis::LogStats& LogStatistics() const { return log_stats_; }
  const analysis::LinearityResult* Linearity() const { return result_ ? &*result_ : nullptr; }

  ScaleShown Scale() const;
  // The channels the file holds, and a text that changes when they do
  // (another log layout, another number of capture columns).
  std::vector<int> Channels() const;
  std::string ChannelLayout() const;
  // The status bar's line: the file, its kind and size.
  QString Status() const;
  // A log is read on from where it stopped as the logger appends to it; a
  // capture is replaced whole, with notices from its temporary file.
  bool ReadsOn() const { return log_.has_value(); }
  // The followed file again: a log read on (another log in its place read
  // from the start), anything else opened afresh.
  Reread ReadAgain();
  // The data as CSV, written whole or not at all; the reason on failure.
  std::optional<std::string> ExportCsv(const QString& path) const;

  // Reads the file, any kind (a linearity result told apart by its
  // metadata, a log by its first line); on failure the reason, and what
  // was held stays.
  std::optional<std::string> Open(const QString& path);
  // Reads on in the log from where it stopped; another log in the file's
  // place is read from its start. The reason of a bad line (the rows before
  // it kept), or an empty text.
  std::string FollowLog();
  // The scale controls' choice; a capture without a metadata file is
  // worked out again with it.
  void SetChoice(const analysis::ScaleChoice& choice);

 signals:
  // Another file, kind, layout or scale: every view draws again.
  void Replaced();
  // More rows of the same log.
  void Grew();

 private:
  analysis::ScaleChoice choice_;
  QString path_;
  std::optional<analysis::OpenedCapture> capture_;
  analysis::CaptureAnalysis analysis_;
  std::optional<analysis::LogData> log_;
  analysis::LogStats log_stats_;
  std::optional<analysis::LinearityResult> result_;
};

}  // namespace kx::view
