#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>

#include "analysis/capture_report.h"
#include "analysis/log_file.h"
#include "analysis/log_report.h"

namespace kx::view {

// The one file the viewer shows, a capture (with its analysis) or a data
// log (with its statistics), as every tab takes it. A log read on as the
// logger appends to it signals that it grew, so that a view adds only what
// is new; anything else signals that the views start afresh.
class ViewerDocument : public QObject {
  Q_OBJECT

 public:
  enum class Kind { None, Capture, Log };

  explicit ViewerDocument(const analysis::ScaleChoice& choice = {}, QObject* parent = nullptr)
      : QObject(parent), choice_(choice) {}

  Kind FileKind() const { return log_ ? Kind::Log : capture_ ? Kind::Capture : Kind::None; }
  const QString& Path() const { return path_; }
  const analysis::ScaleChoice& Choice() const { return choice_; }
  const analysis::OpenedCapture* Capture() const { return capture_ ? &*capture_ : nullptr; }
  const analysis::CaptureAnalysis& Analysis() const { return analysis_; }
  const analysis::LogData* Log() const { return log_ ? &*log_ : nullptr; }
  const analysis::LogStats& LogStatistics() const { return log_stats_; }

  // Reads the file, either kind (told apart by its first line); on failure
  // the reason, and what was held stays.
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
};

}  // namespace kx::view
