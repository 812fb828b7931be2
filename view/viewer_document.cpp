#include "view/viewer_document.h"

namespace kx::view {

std::optional<std::string> ViewerDocument::Open(const QString& path) {
  const std::string file = path.toStdString();
  if (analysis::FileStartsAsLog(file)) {
    analysis::LogRead read = analysis::ReadLogFile(file);
    if (!read.log) {
      return std::move(read.error);
    }
    log_ = std::move(read.log);
    log_stats_ = analysis::LogStatistics(*log_);
    capture_.reset();
    analysis_ = {};
  } else {
    analysis::OpenResult opened = analysis::OpenCapture(file, choice_);
    if (!opened.capture) {
      return std::move(opened.error);
    }
    capture_ = std::move(opened.capture);
    analysis_ = analysis::Analyse(capture_->file, capture_->scale);
    log_.reset();
    log_stats_ = {};
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

}  // namespace kx::view
