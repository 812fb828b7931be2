#include "panel/run_panel.h"

#include <QApplication>
#include <iostream>
#include <variant>

#include "board/backend/link_backend.h"
#include "board/firmware_path.h"
#include "panel/frm_startup.h"
#include "panel/panel_operator_port.h"
#include "panel/panel_options.h"
#include "panel/trace_notice.h"

namespace kx::panel {

int RunProgram(int argc, char** argv, const Edition& edition) {
  SplitArguments split = SplitCommandLine(argc, argv);
  const ParsedOptions parsed = ParseProgramOptions(edition, split.own);
  if (!parsed.options) {
    (parsed.text_is_error ? std::cerr : std::cout) << parsed.text;
    return parsed.exit_code;
  }

  // Everything that can refuse to start does so before a window exists.
  PanelOperatorPort port;
  auto created = board::LinkBackend::Create(edition.link, *parsed.options, port);
  if (const auto* error = std::get_if<std::string>(&created)) {
    std::cerr << edition.program_name << ": " << *error << "\n";
    return 2;
  }
  const std::unique_ptr<board::LinkBackend>& backend =
      std::get<std::unique_ptr<board::LinkBackend>>(created);

  std::vector<char*> qt_argv;
  for (std::string& arg : split.qt) {
    qt_argv.push_back(arg.data());
  }
  int qt_argc = static_cast<int>(qt_argv.size());
  qt_argv.push_back(nullptr);
  QApplication app(qt_argc, qt_argv.data());
  TraceNotice trace_notice(port);
  backend->OnTraceFailure(
      [&trace_notice](const std::string& problem) { trace_notice.Report(problem); });

  FrmStartup window(edition, backend->Libraries(), port, board::FirmwareFolder());
  window.UseCalibration(parsed.calibration);
  window.Form_Load();
  if (!parsed.setup_file.empty()) {
    window.LoadSetup(parsed.setup_file);
  }
  window.show();
  return QApplication::exec();
}

}  // namespace kx::panel
