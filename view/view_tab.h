#pragma once

#include <QString>
#include <QWidget>
#include <array>

#include "view/viewer_document.h"

namespace kx::view {

inline constexpr int kViewChannels = 16;

// What the window's controls say every tab should show.
struct ViewSettings {
  std::array<bool, kViewChannels> ticked{};
  bool volts = false;
};

// Whether the document holds samples, a capture's or a log's (or nothing
// yet), as every tab but the linearity result's shows.
inline bool HoldsSamples(ViewerDocument::Kind kind) {
  return kind != ViewerDocument::Kind::AdcHistogram && kind != ViewerDocument::Kind::DacSweep;
}

// Why the samples' tabs are off for a linearity result.
inline QString NotForAResult() {
  return QObject::tr("Not for a linearity result: see the Linearity tab");
}

// One tab of the viewer: it takes the document, says whether it supports
// its kind, and draws it.
class ViewTab : public QWidget {
  Q_OBJECT

 public:
  explicit ViewTab(QWidget* parent = nullptr) : QWidget(parent) {}

  virtual QString Title() const = 0;
  virtual bool Supports(ViewerDocument::Kind kind) const = 0;
  // Why the tab is off for a kind it does not support (its tooltip).
  virtual QString Unsupported(ViewerDocument::Kind /*kind*/) const { return {}; }
  // Draws the document afresh: another file, kind or scale.
  virtual void Show(const ViewerDocument& document, const ViewSettings& settings) = 0;
  // The document's log grew: by default drawn afresh.
  virtual void Grow(const ViewerDocument& document, const ViewSettings& settings) {
    Show(document, settings);
  }
  // The ticked channels or the units changed.
  virtual void Settle(const ViewerDocument& document, const ViewSettings& settings) {
    Show(document, settings);
  }
  // What "Export PNG..." saves of this tab.
  virtual QWidget* Picture() { return this; }
  // The file --screenshots saves the window in with this tab shown; none
  // for a tab left out of them.
  virtual QString ScreenshotName() const { return {}; }

 signals:
  // The values under the pointer, for the window's readout.
  void PointerText(const QString& text);
};

}  // namespace kx::view
