#pragma once

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "board/board_directory.h"
#include "panel/calibration_tip.h"
#include "session/board_session.h"
#include "session/calibration.h"
#include "session/setup.h"

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace kx::panel {

class HeldClick;
class PanelOperatorPort;
class TextBox;

// The panel's one window. It is built from the edition's description, reads
// its controls in the handlers below, hands the work to the core and shows
// the results. Controls carry their panel names as objectName, arrays with
// the index in parentheses ("txtDAC(3)").
class FrmStartup final : public QMainWindow {
 public:
  FrmStartup(const Edition& edition, const board::LinkLibraries& libraries, PanelOperatorPort& port,
             std::string program_folder);
  ~FrmStartup() override;

  // The start-up sequence; the caller shows the window once it returns.
  // The calibration is looked up once the board is known, then after each
  // "Reload USB".
  void Form_Load();
  // Which calibration lblVolts' tooltips show (the board's own by default);
  // set before Form_Load.
  void UseCalibration(session::CalibrationChoice choice) {
    calibration_choice_ = std::move(choice);
  }
  // After the start-up: the set-up file's state reached with the panel's
  // words and shown in the controls. A file that cannot be loaded is told
  // to the operator, and the window stays as it started.
  void LoadSetup(const std::string& path);
  // The window's state as a set-up: the session's, with the menu's pulse.
  session::Setup CurrentSetup() const;

  const Edition& edition() const { return edition_; }
  board::BoardLink& link() { return session_.Link(); }
  const dac::DacOperations& Dac() const { return session_.Dac(); }
  const adc::AdcOperations& Adc() const { return session_.Adc(); }
  const std::array<std::int32_t, 16>& AdcResults() const { return session_.Adc().AdcResults(); }

  // Handlers, named after the control and event that run them.
  void Command2_Click();
  void mnuVersion_Click();
  void mnuReloadUSB_Click();
  void txtDAC_GotFocus(std::int16_t index);
  void txtDAC_KeyPress(std::int16_t index, std::int16_t& key);
  void txtDAC_LostFocus(std::int16_t index);
  void Text1_KeyPress(std::int16_t& key);
  void Text2_KeyPress(std::int16_t& key);
  void Text3_KeyPress(std::int16_t& key);
  void Text3_LostFocus();
  void cmdLoadInputReg_Click();
  void cmdLoadDACReg_Click();
  void cmdDACwrite_Click();
  void cmdProgram_Click(std::int16_t index);
  void cboPowerDown_Click(std::int16_t index);
  void cboPowerDown_KeyPress(std::int16_t index, std::int16_t& key);
  void chkPoweredDown_Click(std::int16_t index);
  void cmdProgramLDAC_Click(std::int16_t index);
  void chkLDAC_Click(std::int16_t index);
  void cboREFERENCE_Click(std::int16_t index);
  void cboREFERENCE_KeyPress(std::int16_t index, std::int16_t& key);
  void cboClearCode_Click(std::int16_t index);
  void cboClearCode_KeyPress(std::int16_t index, std::int16_t& key);
  void cmdCLR_Click(std::int16_t index);
  void cmdLDAC_Click(std::int16_t index);
  void cmdPulseLDAC_Click();
  void Combo1_Click(std::int16_t index);
  void Combo1_KeyPress(std::int16_t index, std::int16_t& key);
  void cmdWriteADC_Click();
  void cmdReadADC_Click();
  void optFORMAT_Click(std::int16_t index);
  void Command4_Click();
  void Command3_Click();

  // Form procedures.
  void LF();
  void convert2hex();
  void convert2dec();

 private:
  void BuildMenu();
  void BuildDacValues(QWidget* client);
  void BuildAdcValues(QWidget* client);
  void BuildAdcVoltages(QWidget* client);
  void BuildTabs(QWidget* client, int top);
  void BuildDacPage(QWidget* page, int group);
  void BuildAdcPage(QWidget* page);
  void BuildMiscPage(QWidget* page);
  void BuildBottomStrip(QWidget* client, int tab_bottom);
  void SetFocusOrder();
  // Places the window's outer frame in the middle of the full screen.
  void Centre();
  // The hex value check of a DAC box. A bad text becomes "000" at once; the
  // message, and the focus given back, come now or once the event that took
  // the focus away has been handled, before the click that took it acts.
  void CheckDacText(std::int16_t index, bool defer_message);
  void Tell(TextBox* box);
  void ShowCodes(bool hex);
  void ShowSetup(const session::Setup& setup);
  void FindCalibration();
  void ShowCalibratedVolts();

  const Edition& edition_;
  PanelOperatorPort& port_;
  session::BoardSession session_;
  dac::DacOperations& dac_;
  adc::AdcOperations& adc_;
  HeldClick* held_click_;
  board::BoardDirectory* directory_;  // null where the backend tells no identity
  session::CalibrationChoice calibration_choice_;
  PanelCalibration calibration_;

 public:
  // The controls, public for the tests that drive them.
  QAction* mnuReloadUSB = nullptr;
  QAction* mnuAutoLDAC = nullptr;
  QAction* mnuVersion = nullptr;
  std::array<QLabel*, 16> lblDAC{};
  std::array<TextBox*, 16> txtDAC{};
  std::array<QCheckBox*, 16> chkINPUTREG{};
  std::array<QCheckBox*, 16> chkDACREG{};
  QPushButton* cmdLoadInputReg = nullptr;
  QPushButton* cmdLoadDACReg = nullptr;
  std::array<QLabel*, 16> lblADC{};
  std::array<QRadioButton*, 2> optFORMAT{};
  QPushButton* cmdReadADC = nullptr;
  QPushButton* Command4 = nullptr;
  QLabel* Label1 = nullptr;
  QProgressBar* captureProgress = nullptr;
  std::array<QLabel*, 16> lblVolts{};  // null in an edition without volts
  QTabWidget* SSTab1 = nullptr;
  std::array<QComboBox*, 2> cboPowerDown{};
  std::array<QComboBox*, 2> cboREFERENCE{};
  std::array<QComboBox*, 2> cboClearCode{};
  std::array<QCheckBox*, 16> chkPoweredDown{};
  std::array<QCheckBox*, 16> chkLDAC{};
  std::array<QPushButton*, 2> cmdProgram{};
  std::array<QPushButton*, 2> cmdProgramLDAC{};
  std::array<QLabel*, 32> Label3{};
  std::array<QLabel*, 4> Label4{};
  QLabel* Label10 = nullptr;           // null in an edition without volts
  TextBox* Text3 = nullptr;            // null in an edition without volts
  std::array<QComboBox*, 3> Combo1{};  // Combo1(2) null without the Coding list
  std::array<QRadioButton*, 2> optDAC{};
  TextBox* Text1 = nullptr;
  QPushButton* cmdDACwrite = nullptr;
  TextBox* Text2 = nullptr;
  QPushButton* cmdWriteADC = nullptr;
  QLabel* Label8 = nullptr;
  std::array<QPushButton*, 2> cmdCLR{};
  std::array<QPushButton*, 2> cmdLDAC{};
  QPushButton* Command3 = nullptr;
  QPushButton* Command2 = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* cmdPulseLDAC = nullptr;
  QWidget* Picture1 = nullptr;
};

}  // namespace kx::panel
