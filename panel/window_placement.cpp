#include "panel/window_placement.h"

#include <cmath>

namespace kx::panel {

namespace {

constexpr float kTwipsPerPixel = 15.0F;

int CentredEdge(int screen, int window) {
  const float screen_twips = static_cast<float>(screen) * kTwipsPerPixel;
  const float window_twips = static_cast<float>(window) * kTwipsPerPixel;
  const float edge_twips = screen_twips / 2.0F - window_twips / 2.0F;
  return static_cast<int>(std::lround(edge_twips / kTwipsPerPixel));
}

}  // namespace

QPoint CentredTopLeft(QSize screen, QSize window) {
  return {CentredEdge(screen.width(), window.width()),
          CentredEdge(screen.height(), window.height())};
}

}  // namespace kx::panel
