#pragma once

#include <QPoint>
#include <QSize>

namespace kx::panel {

// Top-left corner that centres a window of outer size `window` on a screen of
// size `screen`, worked out in twips in single precision like the layout
// units of the original panel. Not clamped: a window larger than the screen
// gets a negative left or top edge.
QPoint CentredTopLeft(QSize screen, QSize window);

}  // namespace kx::panel
