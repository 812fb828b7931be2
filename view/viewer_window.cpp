#include "view/viewer_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "view/view_tabs.h"

namespace kx::view {
namespace {

constexpr double kReferenceMinimum = 0.01;
constexpr double kReferenceMaximum = 5.0;
constexpr int kReloadDelayMs = 100;

QString Text(const std::string& text) {
  return QString::fromStdString(text);
}

}  // namespace

ViewerWindow::ViewerWindow(const analysis::ScaleChoice& choice, analysis::WindowKind window,
                           QWidget* parent)
    : QMainWindow(parent), document_(choice) {
  setWindowTitle(QStringLiteral("kx7312-view"));
  BuildControls(window);
  ApplyScaleToControls();
  connect(&document_, &ViewerDocument::Replaced, this, &ViewerWindow::Replaced);
  connect(&document_, &ViewerDocument::Grew, this, [this] {
    const ViewSettings settings = Settings();
    for (ViewTab* view : views_) {
      if (view->Supports(document_.FileKind())) {
        view->Grow(document_, settings);
      }
    }
    statusBar()->showMessage(document_.Status());
  });
  reload_timer_.setSingleShot(true);
  reload_timer_.setInterval(kReloadDelayMs);
  connect(&reload_timer_, &QTimer::timeout, this, &ViewerWindow::Reload);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &ViewerWindow::FollowedPathChanged);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
          &ViewerWindow::FollowedPathChanged);
  resize(1000, 680);
}

ViewerWindow::~ViewerWindow() = default;

void ViewerWindow::BuildControls(analysis::WindowKind window) {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);

  auto* top = new QHBoxLayout;
  auto* open = new QPushButton(tr("&Open..."), central);
  open->setObjectName(QStringLiteral("openButton"));
  connect(open, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, tr("Open a capture, a log or a linearity result"), document_.Path());
    if (!path.isEmpty()) {
      OpenFile(path);
    }
  });
  top->addWidget(open);

  range_box_ = new QComboBox(central);
  range_box_->setObjectName(QStringLiteral("rangeBox"));
  range_box_->addItems({QStringLiteral("0V to 2xVREFA"), QStringLiteral("0V to VREFA")});
  coding_box_ = new QComboBox(central);
  coding_box_->setObjectName(QStringLiteral("codingBox"));
  coding_box_->addItems({QStringLiteral("2's Compliment"), QStringLiteral("Straight Binary")});
  reference_box_ = new QDoubleSpinBox(central);
  reference_box_->setObjectName(QStringLiteral("referenceBox"));
  reference_box_->setRange(kReferenceMinimum, kReferenceMaximum);
  reference_box_->setDecimals(3);
  reference_box_->setSingleStep(0.01);
  reference_box_->setSuffix(QStringLiteral(" V"));
  top->addWidget(new QLabel(tr("Range"), central));
  top->addWidget(range_box_);
  top->addWidget(new QLabel(tr("Coding"), central));
  top->addWidget(coding_box_);
  top->addWidget(new QLabel(tr("Reference"), central));
  top->addWidget(reference_box_);
  connect(range_box_, &QComboBox::currentIndexChanged, this, &ViewerWindow::ScaleControlsChanged);
  connect(coding_box_, &QComboBox::currentIndexChanged, this, &ViewerWindow::ScaleControlsChanged);
  connect(reference_box_, &QDoubleSpinBox::valueChanged, this, &ViewerWindow::ScaleControlsChanged);

  units_box_ = new QComboBox(central);
  units_box_->setObjectName(QStringLiteral("unitsBox"));
  units_box_->addItems({QStringLiteral("Codes"), QStringLiteral("Volts")});
  connect(units_box_, &QComboBox::currentIndexChanged, this, &ViewerWindow::SettingsChanged);
  top->addWidget(new QLabel(tr("Show"), central));
  top->addWidget(units_box_);

  auto* png = new QPushButton(tr("Export &PNG..."), central);
  png->setObjectName(QStringLiteral("exportPngButton"));
  connect(png, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export the plot"), {}, tr("PNG (*.png)"));
    if (!path.isEmpty() && !ExportPng(path)) {
      ShowError(tr("The plot could not be saved to \"%1\".").arg(path), true);
    }
  });
  auto* csv = new QPushButton(tr("Export &CSV..."), central);
  csv->setObjectName(QStringLiteral("exportCsvButton"));
  connect(csv, &QPushButton::clicked, this, [this] {
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Export the data"), {}, tr("CSV (*.csv)"));
    if (path.isEmpty()) {
      return;
    }
    if (const auto error = ExportCsv(path)) {
      ShowError(Text(*error), true);
    }
  });
  top->addStretch();
  top->addWidget(png);
  top->addWidget(csv);
  layout->addLayout(top);

  scale_source_ = new QLabel(central);
  scale_source_->setObjectName(QStringLiteral("scaleSource"));
  layout->addWidget(scale_source_);

  auto* ticks = new QGridLayout;
  for (int c = 0; c < kChannels; ++c) {
    auto* box = new QCheckBox(QStringLiteral("ADC%1").arg(c), central);
    box->setObjectName(QStringLiteral("channel%1").arg(c));
    box->setChecked(true);
    connect(box, &QCheckBox::toggled, this, &ViewerWindow::SettingsChanged);
    channel_boxes_[static_cast<std::size_t>(c)] = box;
    ticks->addWidget(box, 0, c);
  }
  layout->addLayout(ticks);

  tabs_ = new QTabWidget(central);
  tabs_->setObjectName(QStringLiteral("views"));
  layout->addWidget(tabs_, 1);
  views_ = MakeViewTabs({window});
  for (ViewTab* view : views_) {
    tabs_->addTab(view, view->Title());
    connect(view, &ViewTab::PointerText, this,
            [this](const QString& text) { cursor_label_->setText(text); });
  }

  // Sixteen channels' values take two or three lines: a wrapped label of
  // its own, high enough for them, rather than a part of the status bar.
  cursor_label_ = new QLabel(central);
  cursor_label_->setObjectName(QStringLiteral("cursorReadout"));
  cursor_label_->setWordWrap(true);
  cursor_label_->setMinimumHeight(3 * cursor_label_->fontMetrics().lineSpacing());
  cursor_label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  cursor_label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(cursor_label_);
  setCentralWidget(central);
}

// The controls show the scale in use, the ones the file fixes disabled.
void ViewerWindow::ApplyScaleToControls() {
  updating_controls_ = true;
  const ViewerDocument::ScaleShown scale = document_.Scale();
  range_box_->setCurrentIndex(scale.half_span ? 1 : 0);
  coding_box_->setCurrentIndex(scale.straight_binary ? 1 : 0);
  reference_box_->setValue(scale.reference.value_or(reference_box_->value()));
  range_box_->setEnabled(scale.range_free);
  coding_box_->setEnabled(scale.coding_free);
  reference_box_->setEnabled(scale.reference_free);
  units_box_->setEnabled(scale.volts);
  if (!scale.volts) {
    units_box_->setCurrentIndex(0);
  }
  scale_source_->setText(scale.source);
  updating_controls_ = false;
}

void ViewerWindow::ScaleControlsChanged() {
  if (updating_controls_) {
    return;
  }
  analysis::ScaleChoice choice = document_.Choice();
  choice.half_span = range_box_->currentIndex() == 1;
  choice.straight_binary = coding_box_->currentIndex() == 1;
  choice.reference = reference_box_->value();
  document_.SetChoice(choice);
}

ViewSettings ViewerWindow::Settings() const {
  ViewSettings settings;
  for (int c = 0; c < kChannels; ++c) {
    settings.ticked[static_cast<std::size_t>(c)] =
        channel_boxes_[static_cast<std::size_t>(c)]->isChecked();
  }
  settings.volts = units_box_->currentIndex() == 1;
  return settings;
}

void ViewerWindow::SettingsChanged() {
  if (updating_controls_) {
    return;
  }
  const ViewSettings settings = Settings();
  for (ViewTab* view : views_) {
    view->Settle(document_, settings);
  }
}

bool ViewerWindow::OpenFile(const QString& path) {
  const QString before = document_.Path();
  if (const std::optional<std::string> error = document_.Open(path)) {
    ShowError(Text(*error), !follow_ || path != before);
    return false;
  }
  if (path != before && follow_) {
    SetFollow(true);
  }
  return true;
}

// Another file, kind or scale: the controls, the tabs on or off, every
// view drawn afresh.
void ViewerWindow::Replaced() {
  setWindowTitle(QStringLiteral("kx7312-view - %1").arg(QFileInfo(document_.Path()).fileName()));
  // Other channels: all ticked again; the same ones keep their ticks.
  const std::string layout = document_.ChannelLayout();
  SetChannelBoxes(document_.Channels(), layout != shown_layout_);
  shown_layout_ = layout;
  ShowKind();
  ApplyScaleToControls();
  const ViewSettings settings = Settings();
  for (ViewTab* view : views_) {
    view->Show(document_, settings);
  }
  statusBar()->showMessage(document_.Status());
}

void ViewerWindow::SetChannelBoxes(const std::vector<int>& channels, bool tick_all) {
  for (int c = 0; c < kChannels; ++c) {
    QCheckBox* box = channel_boxes_[static_cast<std::size_t>(c)];
    const QSignalBlocker block(box);
    const bool present = std::find(channels.begin(), channels.end(), c) != channels.end();
    box->setEnabled(present);
    if (!present) {
      box->setChecked(false);
    } else if (tick_all) {
      box->setChecked(true);
    }
  }
}

// Each tab says whether it shows this kind of file; one that does not is
// off, with its reason as the tooltip.
void ViewerWindow::ShowKind() {
  const ViewerDocument::Kind kind = document_.FileKind();
  for (ViewTab* view : views_) {
    const int tab = tabs_->indexOf(view);
    const bool supported = view->Supports(kind);
    tabs_->setTabEnabled(tab, supported);
    tabs_->setTabToolTip(tab, supported ? QString() : view->Unsupported(kind));
  }
  // Off the current tab if it went off: to the first that is on.
  if (!tabs_->isTabEnabled(tabs_->currentIndex())) {
    for (ViewTab* view : views_) {
      if (view->Supports(kind)) {
        tabs_->setCurrentWidget(view);
        break;
      }
    }
  }
}

void ViewerWindow::SetFollow(bool follow) {
  follow_ = follow;
  // Qt warns about removing nothing: only what is watched is removed.
  if (const QStringList watched = watcher_.files() + watcher_.directories(); !watched.isEmpty()) {
    watcher_.removePaths(watched);
  }
  const QString& path = document_.Path();
  if (follow_ && !path.isEmpty()) {
    // The captures replace their file by renaming a new one over it, which
    // ends the watch on the old file: the folder is watched as well.
    watcher_.addPath(path);
    watcher_.addPath(QFileInfo(path).absolutePath());
  }
}

void ViewerWindow::FollowedPathChanged() {
  // Several notices come for one capture (the temporary file, the rename,
  // the metadata): one reload after they settle. A log grows by a row at a
  // time, perhaps faster than they settle: it is read once per delay.
  if (document_.ReadsOn() && reload_timer_.isActive()) {
    return;
  }
  reload_timer_.start();
}

void ViewerWindow::Reload() {
  const QString path = document_.Path();
  if (!follow_ || path.isEmpty()) {
    return;
  }
  if (!watcher_.files().contains(path) && QFileInfo::exists(path)) {
    watcher_.addPath(path);
  }
  if (!QFileInfo::exists(path)) {
    statusBar()->showMessage(tr("%1 is gone; waiting for it to come back").arg(path));
    return;
  }
  const ViewerDocument::Reread reread = document_.ReadAgain();
  if (!reread.error.empty()) {
    ShowError(Text(reread.error), false);
  }
  if (reread.read) {
    ++reloads_;
    emit Reloaded();
  }
}

void ViewerWindow::ShowError(const QString& text, bool modal_box) {
  statusBar()->showMessage(text);
  if (!modal_box) {
    return;
  }
  // Window-modal but not blocking: --follow and tests carry on meanwhile.
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("kx7312-view"), text,
                              QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("errorMessage"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

bool ViewerWindow::ExportPng(const QString& path) {
  auto* view = qobject_cast<ViewTab*>(tabs_->currentWidget());
  QWidget* target = view != nullptr ? view->Picture() : nullptr;
  return target != nullptr && target->grab().save(path, "PNG");
}

std::optional<std::string> ViewerWindow::ExportCsv(const QString& path) {
  return document_.ExportCsv(path);
}

bool ViewerWindow::SaveScreenshots(const QString& folder) {
  const QDir dir(folder);
  QWidget* shown = tabs_->currentWidget();
  bool ok = true;
  for (ViewTab* view : views_) {
    // A tab that is off for this kind of file would show nothing.
    if (const QString name = view->ScreenshotName();
        !name.isEmpty() && view->Supports(document_.FileKind())) {
      tabs_->setCurrentWidget(view);
      QApplication::processEvents();
      ok = grab().save(dir.filePath(name), "PNG") && ok;
    }
  }
  tabs_->setCurrentWidget(shown);
  return ok;
}

}  // namespace kx::view
