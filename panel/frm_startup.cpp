#include "panel/frm_startup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <utility>

#include "panel/panel_operator_port.h"
#include "panel/text_box.h"
#include "panel/window_placement.h"

namespace kx::panel {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidthTwips = 12990;
constexpr int kTabHeight = 236;

}  // namespace

FrmStartup::FrmStartup(const Edition& edition, const board::LinkLibraries& libraries,
                       PanelOperatorPort& port, std::string program_folder)
    : edition_(edition),
      port_(port),
      link_(board::MakeBoardLink(edition.link, libraries, port, std::move(program_folder))) {
  setObjectName(QStringLiteral("frmStartup"));
  setWindowTitle(QStringLiteral("KX7312 Evaluation Software"));
  BuildMenu();

  auto* client = new QWidget(this);
  client->setObjectName(QStringLiteral("client"));
  // Small type, so that sixteen channels fit across the fixed width.
  QFont font = client->font();
  font.setPointSize(8);
  client->setFont(font);
  client->setFixedSize(kClientWidthTwips / kTwipsPerPixel,
                       edition_.client_height_twips / kTwipsPerPixel);
  setCentralWidget(client);

  BuildDacValues(client);
  BuildAdcValues(client);
  int tab_top = 212;
  if (edition_.adc_voltages) {
    BuildAdcVoltages(client);
    tab_top = 260;
  }
  BuildTabs(client, tab_top);
  BuildBottomStrip(client, tab_top + kTabHeight);
  SetFocusOrder();

  // The frame cannot be resized, so what lies outside the client area stays
  // out of view.
  layout()->setSizeConstraint(QLayout::SetFixedSize);
  port_.Attach(this, Label2, Label1, captureProgress);
  txtDAC[0]->setFocus();
}

FrmStartup::~FrmStartup() = default;

void FrmStartup::Form_Load() {
  if (edition_.centre_window) {
    const QScreen* screen =
        this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
    if (screen != nullptr) {
      // The full screen, not the work area, and the window's outer size.
      move(CentredTopLeft(screen->geometry().size(), frameGeometry().size()));
    }
  }
  link_->LoadUSB();
  SSTab1->setCurrentIndex(0);
  adc_results_.fill(0);
  link_->TransferAdcWord(0xFFFF);
  link_->TransferAdcWord(0xFFFF);
  link_->TransferAdcWord(static_cast<std::int32_t>(0xFFFF8390U));
  link_->TransferAdcWord(0xFFFF);
  port_.SetStatusLine("");
}

void FrmStartup::Command2_Click() {
  close();
}

void FrmStartup::mnuVersion_Click() {
  port_.ShowMessage(edition_.version_text, "KX7312", board::MessageIcon::Information);
}

void FrmStartup::mnuReloadUSB_Click() {
  link_->LoadUSB();
}

void FrmStartup::txtDAC_GotFocus(std::int16_t index) {
  txtDAC[static_cast<std::size_t>(index)]->setSelection(0, 3);
}

void FrmStartup::txtDAC_KeyPress(std::int16_t /*index*/, std::int16_t& /*key*/) {}
void FrmStartup::txtDAC_LostFocus(std::int16_t /*index*/) {}
void FrmStartup::Text1_KeyPress(std::int16_t& /*key*/) {}
void FrmStartup::Text2_KeyPress(std::int16_t& /*key*/) {}
void FrmStartup::Text3_KeyPress(std::int16_t& /*key*/) {}
void FrmStartup::Text3_LostFocus() {}
void FrmStartup::cmdLoadInputReg_Click() {}
void FrmStartup::cmdLoadDACReg_Click() {}
void FrmStartup::cmdDACwrite_Click() {}
void FrmStartup::cmdProgram_Click(std::int16_t /*index*/) {}
void FrmStartup::cboPowerDown_Click(std::int16_t /*index*/) {}

// Nothing can be typed into a list: items are chosen from it only.
void FrmStartup::cboPowerDown_KeyPress(std::int16_t /*index*/, std::int16_t& key) {
  key = 0;
}
void FrmStartup::cboREFERENCE_KeyPress(std::int16_t /*index*/, std::int16_t& key) {
  key = 0;
}
void FrmStartup::cboClearCode_KeyPress(std::int16_t /*index*/, std::int16_t& key) {
  key = 0;
}
void FrmStartup::Combo1_KeyPress(std::int16_t /*index*/, std::int16_t& key) {
  key = 0;
}

void FrmStartup::chkPoweredDown_Click(std::int16_t /*index*/) {}
void FrmStartup::cmdProgramLDAC_Click(std::int16_t /*index*/) {}
void FrmStartup::chkLDAC_Click(std::int16_t /*index*/) {}
void FrmStartup::cboREFERENCE_Click(std::int16_t /*index*/) {}
void FrmStartup::cboClearCode_Click(std::int16_t /*index*/) {}
void FrmStartup::cmdCLR_Click(std::int16_t /*index*/) {}
void FrmStartup::cmdLDAC_Click(std::int16_t /*index*/) {}
void FrmStartup::cmdPulseLDAC_Click() {}
void FrmStartup::Combo1_Click(std::int16_t /*index*/) {}
void FrmStartup::cmdWriteADC_Click() {}
void FrmStartup::cmdReadADC_Click() {}
void FrmStartup::optFORMAT_Click(std::int16_t /*index*/) {}
void FrmStartup::Command4_Click() {}
void FrmStartup::Command3_Click() {}

void FrmStartup::LF() {
  Picture1->setFocus();
}
void FrmStartup::convert2hex() {}
void FrmStartup::convert2dec() {}

}  // namespace kx::panel
