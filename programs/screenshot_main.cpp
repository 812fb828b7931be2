// Saves a picture of each program's window, as it opens on the simulated
// board, for the README: kx7312-screenshot FOLDER
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <iostream>
#include <memory>
#include <string>
#include <variant>

#include "board/backend/link_backend.h"
#include "board/firmware_path.h"
#include "panel/frm_startup.h"
#include "panel/panel_operator_port.h"

namespace {

bool Save(const kx::Edition& edition, const QString& path) {
  kx::panel::PanelOperatorPort port;
  kx::board::LinkOptions options;
  options.simulate = true;
  auto created = kx::board::LinkBackend::Create(edition.link, options, port);
  if (const auto* error = std::get_if<std::string>(&created)) {
    std::cerr << "kx7312-screenshot: " << *error << "\n";
    return false;
  }
  const auto& backend = *std::get_if<std::unique_ptr<kx::board::LinkBackend>>(&created);
  kx::panel::FrmStartup window(edition, backend->Libraries(), port, kx::board::FirmwareFolder());
  window.Form_Load();
  window.show();
  QApplication::processEvents();
  return window.grab().save(path);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::cerr << "usage: kx7312-screenshot FOLDER\n";
    return 2;
  }
  const QDir folder(QString::fromLocal8Bit(argv[1]));
  bool ok = Save(kx::Version2Edition, folder.filePath(QStringLiteral("kx7312-version2.png")));
  ok = Save(kx::ClassicEdition, folder.filePath(QStringLiteral("kx7312.png"))) && ok;
  if (!ok) {
    std::cerr << "kx7312-screenshot: cannot write the pictures into " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
