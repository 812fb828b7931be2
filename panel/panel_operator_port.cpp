#include "panel/panel_operator_port.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QStringList>
#include <string_view>

#include "adc/adc_operations.h"
#include "board/status_text.h"
#include "dac/dac_messages.h"

namespace kx::panel {

namespace {

QString ToQt(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QMessageBox::Icon ToQt(board::MessageIcon icon) {
  switch (icon) {
    case board::MessageIcon::None:
      return QMessageBox::NoIcon;
    case board::MessageIcon::Information:
      return QMessageBox::Information;
    case board::MessageIcon::Exclamation:
      return QMessageBox::Warning;
    case board::MessageIcon::Critical:
      return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

// The pattern that means every file on the platform the filters were written
// for, with or without a dot in the name.
constexpr std::string_view kEveryFilePattern = "*.*";

// The dialog's entries whose pattern is kEveryFilePattern.
QStringList EveryFileEntries(std::string_view filter) {
  const QStringList dialog_entries = QtFileFilter(filter).split(QStringLiteral(";;"));
  const QStringList parts = ToQt(filter).split(QLatin1Char('|'));
  QStringList every;
  for (qsizetype i = 1; i < parts.size() && i / 2 < dialog_entries.size(); i += 2) {
    if (parts[i] == ToQt(kEveryFilePattern)) {
      every << dialog_entries[i / 2];
    }
  }
  return every;
}

// Qt takes "*.*" literally and hides names without a dot. While such an entry
// is chosen, the dialog lists every file; the entry's caption stays.
void ListEveryFile(QFileDialog& dialog, const QStringList& every_file_entries) {
  auto* files = dialog.findChild<QFileSystemModel*>();
  if (files == nullptr) {
    return;
  }
  auto apply = [files, every_file_entries](const QString& entry) {
    if (every_file_entries.contains(entry)) {
      files->setNameFilters({QStringLiteral("*")});
    }
  };
  QObject::connect(&dialog, &QFileDialog::filterSelected, files, apply);
  apply(dialog.selectedNameFilter());
}

}  // namespace

QString QtFileFilter(std::string_view filter) {
  const QStringList parts = ToQt(filter).split(QLatin1Char('|'));
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    // Qt reads an entry's patterns from its last parentheses.
    const QString& name = parts[i];
    const QString& pattern = parts[i + 1];
    if (name.endsWith(QStringLiteral("(%1)").arg(pattern))) {
      entries << name;
    } else {
      entries << QStringLiteral("%1 (%2)").arg(name, pattern);
    }
  }
  return entries.join(QStringLiteral(";;"));
}

void PanelOperatorPort::Attach(QWidget* window, QLabel* status_line, QLabel* capture_status,
                               QProgressBar* capture_progress) {
  window_ = window;
  status_line_ = status_line;
  capture_status_ = capture_status;
  capture_progress_ = capture_progress;
}

void PanelOperatorPort::ShowMessage(std::string_view text, std::string_view title,
                                    board::MessageIcon icon) {
  // Before the window is shown the box stands alone, as the start-up
  // message must come up with no window on screen.
  QWidget* parent = window_ != nullptr && window_->isVisible() ? window_.data() : nullptr;
  QMessageBox box(ToQt(icon), ToQt(title), ToQt(text), QMessageBox::Ok, parent);
  box.exec();
  // The panel is the window the operator goes back to, whatever the window
  // system picks once the box is gone; its focus widget follows.
  if (parent != nullptr) {
    parent->activateWindow();
  }
}

void PanelOperatorPort::SetStatusLine(std::string_view text) {
  if (status_line_ != nullptr) {
    status_line_->setText(ToQt(text));
  }
}

std::optional<std::string> PanelOperatorPort::AskSavePath(std::string_view filter) {
  // Qt's own dialog on every platform: it asks before replacing a file and
  // behaves the same under test as in use.
  QFileDialog dialog(window_);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setNameFilters(QtFileFilter(filter).split(QStringLiteral(";;")));
  ListEveryFile(dialog, EveryFileEntries(filter));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  // Qt's dialog answers with forward slashes everywhere; a Windows user's
  // messages show the path as Windows writes it.
  const QString path = QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
  if (path.isEmpty()) {
    return std::nullopt;
  }
  return path.toStdString();
}

void PanelOperatorPort::SetCaptureStatus(std::string_view text) {
  if (capture_status_ == nullptr) {
    return;
  }
  capture_status_->setText(ToQt(text));
  // Drawn now: the capture that follows keeps the event loop busy.
  capture_status_->repaint();
}

void PanelOperatorPort::SetCaptureProgress(int done, int total) {
  if (capture_progress_ == nullptr) {
    return;
  }
  if (total <= 0) {
    capture_progress_->hide();
    return;
  }
  capture_progress_->setRange(0, total);
  capture_progress_->setValue(done);
  capture_progress_->show();
  capture_progress_->repaint();
}

// One title for every refused input, DAC or ADC.
static_assert(std::string_view(dac::DacErrorTitle) == adc::AdcErrorTitle);

void PanelOperatorPort::Show(const board::OperationResult& result) {
  if (const std::optional<std::string> text = board::StatusLineText(result.sent)) {
    SetStatusLine(*text);
  }
  if (result.refusal) {
    ShowMessage(*result.refusal, dac::DacErrorTitle, board::MessageIcon::Exclamation);
  }
}

void PanelOperatorPort::ShowDownload(const session::StartUpResult& result) {
  if (result.download.failed) {
    ShowMessage(board::NoBoardMessage, board::NoBoardTitle(result.download.status),
                board::MessageIcon::Exclamation);
  }
}

void PanelOperatorPort::Capture(session::BoardSession& session, session::CaptureKind kind) {
  const std::optional<std::string> path = AskSavePath(adc::SampleFileFilter);
  // An empty name is a dialog closed without a choice.
  if (!path || path->empty()) {
    return;
  }
  // The channel-0 capture never shows "Taking Samples", so it leaves Label1
  // alone.
  const bool status_shown = kind == session::CaptureKind::AllChannels;
  const session::CaptureReport report =
      session.CaptureToFile(kind, *path, [&](int done, int total) {
        if (done == 0 && status_shown) {
          SetCaptureStatus(adc::TakingSamplesText);
        }
        SetCaptureProgress(done, total);
      });
  Show({report.samples.sent, std::nullopt});
  if (report.transfers_made) {
    if (status_shown) {
      SetCaptureStatus("");
    }
    SetCaptureProgress(0, 0);
  }
  if (report.failure) {
    ShowMessage(*report.failure, adc::AdcErrorTitle, board::MessageIcon::Exclamation);
  }
}

}  // namespace kx::panel
