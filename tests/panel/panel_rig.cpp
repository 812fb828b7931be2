#include "panel/panel_rig.h"

#include "panel/text_box.h"

namespace kx::testing {

std::string FirmwareFolder() {
  return std::filesystem::path(KX_TEST_FIRMWARE).parent_path().string();
}

PanelRig::PanelRig(const Edition& edition, board::sim::SimSettings settings, bool load)
    : board(std::move(settings)) {
  window = std::make_unique<panel::FrmStartup>(
      edition, board::LinkLibraries{&cvn, &io, &board.Directory()}, port, FirmwareFolder());
  watcher = std::make_unique<ModalWatcher>([this] { return window->isVisible(); });
  if (load) {
    window->Form_Load();
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
  }
}

PanelRig::~PanelRig() {
  watcher.reset();
  window.reset();
}

std::vector<std::string> PanelRig::Lines() const {
  return LinesAfter(0);
}

std::vector<std::string> PanelRig::LinesAfter(std::size_t skip) const {
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  std::size_t n = 0;
  for (std::string line; std::getline(in, line); ++n) {
    if (n >= skip) {
      lines.push_back(line);
    }
  }
  return lines;
}

}  // namespace kx::testing
