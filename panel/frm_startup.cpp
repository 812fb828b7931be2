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

#include "adc/reference_entry.h"
#include "dac/hex_entry.h"
#include "panel/control_values.h"
#include "panel/held_click.h"
#include "panel/panel_operator_port.h"
#include "panel/text_box.h"
#include "panel/window_placement.h"
#include "session/setup_file.h"

namespace kx::panel {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidthTwips = 12990;
constexpr int kTabHeight = 236;
constexpr std::int16_t kEnterKey = 13;
constexpr const char* kSetupTitle = "Set-up";

}  // namespace

FrmStartup::FrmStartup(const Edition& edition, const board::LinkLibraries& libraries,
                       PanelOperatorPort& port, std::string program_folder)
    : edition_(edition),
      port_(port),
      session_(edition, libraries, std::move(program_folder)),
      dac_(session_.Dac()),
      adc_(session_.Adc()),
      held_click_(new HeldClick(this)),
      directory_(libraries.directory) {
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
  if (edition_.HasVolts()) {
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
    // The fixed size only takes effect once the layout has run, and the
    // frame is known only once there is a native window: before either, Qt
    // reports a default size.
    layout()->activate();
    winId();
    Centre();
  }
  port_.ShowDownload(session_.StartUp());
  FindCalibration();
  // The page change has no handler: it may follow the start-up words.
  SSTab1->setCurrentIndex(0);
  port_.SetStatusLine("");
}

void FrmStartup::LoadSetup(const std::string& path) {
  session::SetupRead read = session::ReadSetupFile(path);
  if (read.setup) {
    if (std::optional<std::string> refusal = session::SetupRefusal(*read.setup, edition_)) {
      read = {std::nullopt, path + ": " + *refusal};
    }
  }
  if (!read.setup) {
    port_.ShowMessage("The set-up was not loaded: " + read.error, kSetupTitle,
                      board::MessageIcon::Critical);
    return;
  }
  port_.Show(session::ApplySetup(session_, *read.setup));
  ShowSetup(*read.setup);
}

session::Setup FrmStartup::CurrentSetup() const {
  return session::CurrentSetup(session_, mnuAutoLDAC->isChecked());
}

void FrmStartup::ShowSetup(const session::Setup& setup) {
  // Programmatic choices raise no handler: nothing more is sent.
  const bool dac_last = setup.last_load == dac::DacOperations::LoadButton::DacRegister;
  for (std::size_t channel = 0; channel < txtDAC.size(); ++channel) {
    const std::uint16_t code = dac_last ? setup.dac_codes[channel] : setup.input_codes[channel];
    txtDAC[channel]->setText(QString::asprintf("%03X", code));
  }
  for (std::size_t g = 0; g < setup.groups.size(); ++g) {
    const dac::DacOperations::GroupSettings& group = setup.groups[g];
    const std::size_t first = g * dac::ChannelsPerGroup;
    if (group.power_down_channels) {
      cboPowerDown[g]->setCurrentIndex(group.power_down_mode);
      const dac::GroupTicks ticked = dac::TicksOfMask(group.power_down_mask);
      for (std::size_t d = 0; d < ticked.size(); ++d) {
        chkPoweredDown[first + d]->setChecked(ticked[d]);
      }
    }
    if (group.ldac_mask) {
      const dac::GroupTicks ticked = dac::TicksOfMask(*group.ldac_mask);
      for (std::size_t d = 0; d < ticked.size(); ++d) {
        chkLDAC[first + d]->setChecked(ticked[d]);
      }
    }
    if (group.reference) {
      cboREFERENCE[g]->setCurrentIndex(*group.reference);
    }
    if (group.clear_code) {
      cboClearCode[g]->setCurrentIndex(*group.clear_code);
    }
  }
  const std::array<bool, 3> entries = {setup.adc.AdcRangeBit != 0, setup.adc.AdcWeakTriBit != 0,
                                       setup.adc.AdcCodingBit != 0};
  for (std::size_t i = 0; i < Combo1.size(); ++i) {
    if (Combo1[i] != nullptr) {
      Combo1[i]->setCurrentIndex(entries[i] ? 1 : 0);
    }
  }
  mnuAutoLDAC->setChecked(setup.auto_pulse);
}

void FrmStartup::Centre() {
  const QScreen* screen =
      this->screen() != nullptr ? this->screen() : QApplication::primaryScreen();
  if (screen == nullptr) {
    return;
  }
  // The full screen, not the work area, and the window's outer size.
  move(CentredTopLeft(screen->geometry().size(), frameGeometry().size()));
}

void FrmStartup::Command2_Click() {
  close();
}

void FrmStartup::mnuVersion_Click() {
  port_.ShowMessage(edition_.version_text, "KX7312", board::MessageIcon::Information);
}

void FrmStartup::mnuReloadUSB_Click() {
  port_.ShowDownload(session_.ReloadUsb());
  // Another board may answer now.
  FindCalibration();
}

void FrmStartup::FindCalibration() {
  calibration_ = {};
  if (directory_ != nullptr && edition_.HasVolts()) {
    calibration_ = FindPanelCalibration(calibration_choice_, directory_->Identity());
  }
}

void FrmStartup::ShowCalibratedVolts() {
  const float reference = adc::ReadReferenceNumber(Text3->text().toStdString());
  for (std::size_t i = 0; i < lblVolts.size(); ++i) {
    lblVolts[i]->setToolTip(QString::fromStdString(CalibrationTip(
        calibration_, adc_.Configuration(), reference, static_cast<int>(i), adc_.AdcResults()[i])));
  }
}

void FrmStartup::txtDAC_GotFocus(std::int16_t index) {
  txtDAC[static_cast<std::size_t>(index)]->setSelection(0, 3);
}

void FrmStartup::txtDAC_KeyPress(std::int16_t index, std::int16_t& key) {
  if (key == kEnterKey) {
    CheckDacText(index, false);
  }
}

void FrmStartup::txtDAC_LostFocus(std::int16_t index) {
  // The check runs before the control that took the focus acts, so a button
  // clicked away from a bad text already reads "000".
  CheckDacText(index, true);
  TextBox* box = txtDAC[static_cast<std::size_t>(index)];
  box->setText(QString::fromStdString(dac::UpperCaseText(box->text().toStdString())));
}

void FrmStartup::CheckDacText(std::int16_t index, bool defer_message) {
  TextBox* box = txtDAC[static_cast<std::size_t>(index)];
  if (dac::IsHexValue(box->text().toStdString())) {
    return;
  }
  box->setText(QString::fromUtf8(dac::RejectedDacText));
  if (!defer_message) {
    Tell(box);
    return;
  }
  // A modal box in the middle of a focus change would swallow the mouse
  // release of the click that moved the focus. The box comes once the focus
  // change is done, and the click waits for it: nothing the operator did
  // after leaving the box acts before the message has been answered.
  held_click_->Hold();
  QMetaObject::invokeMethod(
      this,
      [this, box] {
        Tell(box);
        held_click_->Release();
      },
      Qt::QueuedConnection);
}

void FrmStartup::Tell(TextBox* box) {
  port_.ShowMessage(dac::InvalidHexMessage, dac::InvalidHexTitle, board::MessageIcon::None);
  box->setFocus(Qt::OtherFocusReason);
}

void FrmStartup::Text1_KeyPress(std::int16_t& key) {
  key = dac::FilterHexKey(key);
}

void FrmStartup::Text2_KeyPress(std::int16_t& key) {
  key = dac::FilterHexKey(key);
}

void FrmStartup::Text3_KeyPress(std::int16_t& key) {
  if (key == kEnterKey) {
    Text3_LostFocus();
  }
}

void FrmStartup::Text3_LostFocus() {
  Text3->setText(QString::fromStdString(adc::NormaliseReferenceText(Text3->text().toStdString())));
}

void FrmStartup::cmdLoadInputReg_Click() {
  port_.Show(dac_.LoadInputRegisters(Ticks(chkINPUTREG), Texts(txtDAC), mnuAutoLDAC->isChecked()));
}

void FrmStartup::cmdLoadDACReg_Click() {
  port_.Show(dac_.UpdateDacRegisters(Ticks(chkDACREG), Texts(txtDAC), mnuAutoLDAC->isChecked()));
}

void FrmStartup::cmdDACwrite_Click() {
  port_.Show(dac_.RawWrite(optDAC[0]->isChecked() ? 0 : 1, Text1->text().toStdString()));
}

void FrmStartup::cmdProgram_Click(std::int16_t index) {
  const auto g = static_cast<std::size_t>(index);
  port_.Show(dac_.ProgramPowerDown(index, GroupTicksOf(chkPoweredDown, index),
                                   cboPowerDown[g]->currentIndex()));
}

void FrmStartup::cboPowerDown_Click(std::int16_t index) {
  const auto g = static_cast<std::size_t>(index);
  const dac::GroupTicks ticked = dac_.PowerDownTicks(cboPowerDown[g]->currentIndex());
  for (std::size_t d = 0; d < ticked.size(); ++d) {
    chkPoweredDown[g * ticked.size() + d]->setChecked(ticked[d]);
  }
  LF();
}

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

// Ticking a box only prepares the next "Program".
void FrmStartup::chkPoweredDown_Click(std::int16_t /*index*/) {}
void FrmStartup::chkLDAC_Click(std::int16_t /*index*/) {}

void FrmStartup::cmdProgramLDAC_Click(std::int16_t index) {
  port_.Show(dac_.ProgramLdac(index, GroupTicksOf(chkLDAC, index)));
}

void FrmStartup::cboREFERENCE_Click(std::int16_t index) {
  port_.Show(
      dac_.ChooseReference(index, cboREFERENCE[static_cast<std::size_t>(index)]->currentIndex()));
}

void FrmStartup::cboClearCode_Click(std::int16_t index) {
  port_.Show(
      dac_.ChooseClearCode(index, cboClearCode[static_cast<std::size_t>(index)]->currentIndex()));
  LF();
}

void FrmStartup::cmdCLR_Click(std::int16_t index) {
  port_.Show(dac_.ClrLine(index));
}
void FrmStartup::cmdLDAC_Click(std::int16_t index) {
  port_.Show(dac_.LdacLine(index));
}
void FrmStartup::cmdPulseLDAC_Click() {
  port_.Show(dac_.PulseLdac());
}

void FrmStartup::Combo1_Click(std::int16_t /*index*/) {
  std::array<int, 3> chosen{-1, -1, -1};
  for (std::size_t i = 0; i < Combo1.size(); ++i) {
    if (Combo1[i] != nullptr) {
      chosen[i] = Combo1[i]->currentIndex();
    }
  }
  port_.Show(adc_.ChooseListEntry(chosen));
}

void FrmStartup::cmdWriteADC_Click() {
  const adc::AdcWriteResult result = adc_.WriteAdc(Text2->text().toStdString());
  port_.Show(result.done);
  if (result.reply_text) {
    Label8->setText(QString::fromStdString(*result.reply_text));
  }
}

void FrmStartup::cmdReadADC_Click() {
  const adc::AdcReading reading =
      adc_.ReadAll(Text3 != nullptr ? Text3->text().toStdString() : std::string());
  port_.Show(reading.done);
  if (optFORMAT[0]->isChecked()) {
    convert2hex();
  } else {
    convert2dec();
  }
  if (reading.volts) {
    for (std::size_t i = 0; i < lblVolts.size(); ++i) {
      lblVolts[i]->setText(QString::fromStdString((*reading.volts)[i]));
    }
    // The caption stays the panel's own; the calibrated value is beside it.
    ShowCalibratedVolts();
  }
}

void FrmStartup::optFORMAT_Click(std::int16_t index) {
  if (index == 0) {
    convert2hex();
  } else {
    convert2dec();
  }
}

void FrmStartup::Command4_Click() {
  port_.Capture(session_, session::CaptureKind::AllChannels);
}

void FrmStartup::Command3_Click() {
  port_.Capture(session_, session::CaptureKind::Channel0);
}

void FrmStartup::LF() {
  Picture1->setFocus();
}
void FrmStartup::convert2hex() {
  ShowCodes(true);
}

void FrmStartup::convert2dec() {
  ShowCodes(false);
}

void FrmStartup::ShowCodes(bool hex) {
  const auto texts = adc_.CodeTexts(hex);
  for (std::size_t i = 0; i < lblADC.size(); ++i) {
    lblADC[i]->setText(QString::fromStdString(texts[i]));
  }
}

}  // namespace kx::panel
