#pragma once

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/sim/sim_board.h"
#include "board/trace/link_trace.h"
#include "panel/frm_startup.h"
#include "panel/modal_watcher.h"
#include "panel/panel_operator_port.h"
#include "session/edition.h"

namespace kx::testing {

// One program's window on the simulated board, every link call traced.
struct PanelRig {
  explicit PanelRig(const Edition& edition = Version2Edition, board::sim::SimSettings settings = {},
                    bool load = true);
  ~PanelRig();

  // Trace lines so far, and those after the first `skip`.
  std::vector<std::string> Lines() const;
  std::vector<std::string> LinesAfter(std::size_t skip) const;

  board::sim::SimBoard board;
  std::ostringstream out;
  board::trace::TraceSink sink{out};
  board::trace::TracingCvnCyusbUsb4 cvn{board.Cvn(), sink};
  board::trace::TracingUsbBoardIo io{board.Io(), sink};
  panel::PanelOperatorPort port;
  std::unique_ptr<panel::FrmStartup> window;
  std::unique_ptr<ModalWatcher> watcher;
};

// The folder of the firmware image the build puts beside the tests.
std::string FirmwareFolder();

}  // namespace kx::testing
