// The panel's window started as the programs start it without --simulate,
// on the emulated board: codes typed into the DAC boxes and loaded come back
// on the ADC, whose inputs the board wires to the DAC outputs of the same
// number (both references 2.5 V).

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <string>
#include <variant>

#include "board/backend/link_backend.h"
#include "board/sim/sim_board.h"
#include "panel/frm_startup.h"
#include "panel/modal_watcher.h"
#include "panel/panel_operator_port.h"
#include "panel/text_box.h"
#include "usb_rig.h"

namespace kx::testing {
namespace {

// One program's window over the programs' own backend, no --simulate, with
// the emulated board on its bus (plugged in or not). The board goes last, so
// libusb is gone before its bus is.
struct UsbPanel {
  UsbPanel(const Edition& edition, bool plugged) : board(BoardFor(edition)) {
    if (plugged) {
      board.PlugIn();
    }
    auto created = board::LinkBackend::Create(edition.link, board::LinkOptions{}, port);
    if (const auto* error = std::get_if<std::string>(&created)) {
      throw std::runtime_error(*error);
    }
    backend = std::move(std::get<std::unique_ptr<board::LinkBackend>>(created));
    window =
        std::make_unique<panel::FrmStartup>(edition, backend->Libraries(), port, FirmwareFolder());
    watcher = std::make_unique<ModalWatcher>([this] { return window->isVisible(); });
    window->Form_Load();
    window->show();
    QApplication::setActiveWindow(window.get());
    QApplication::processEvents();
  }
  ~UsbPanel() {
    watcher.reset();
    window.reset();
  }
  UsbPanel(const UsbPanel&) = delete;

  // The board with the firmware of the program's own board, which hands
  // over ADC replies the way that program reads them.
  static EmulatedBoardSetup BoardFor(const Edition& edition) {
    EmulatedBoardSetup setup = WaitingBoard();
    setup.replies = edition.adc_rules == AdcWordRules::Version2 ? AdcReplyShape::ShiftedLeftOne
                                                                : AdcReplyShape::AsConverted;
    return setup;
  }

  UsbPanel& operator=(const UsbPanel&) = delete;

  EmulatedUsbBoard board;
  panel::PanelOperatorPort port;
  std::unique_ptr<board::LinkBackend> backend;
  std::unique_ptr<panel::FrmStartup> window;
  std::unique_ptr<ModalWatcher> watcher;
};

void ClickTab(panel::FrmStartup& window, int page) {
  QTabBar* bar = window.SSTab1->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
  QApplication::processEvents();
}

// Picks an item of a drop-down list with the mouse, as the operator does.
void Choose(QComboBox* combo, const char* item) {
  const int row = combo->findText(QString::fromUtf8(item));
  ASSERT_GE(row, 0) << item;
  combo->showPopup();
  QAbstractItemView* view = combo->view();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {},
                    view->visualRect(view->model()->index(row, 0)).center());
  QApplication::processEvents();
  ASSERT_EQ(combo->currentIndex(), row) << item;
}

std::int32_t DacCode(int channel) {
  return 0x100 * channel + 0x80;  // 0x080, 0x180, ... 0xF80
}

class UsbPanelTest : public UsbBackendTest {};

TEST_F(UsbPanelTest, Version2LoadsDacCodesAndReadsThemBackOnTheAdc) {
  UsbPanel rig(Version2Edition, true);
  panel::FrmStartup& window = *rig.window;
  EXPECT_TRUE(rig.watcher->boxes.empty());
  EXPECT_EQ(rig.backend->Simulated(), nullptr);
  ASSERT_TRUE(rig.board.Running()) << "the window's start-up did not boot the board";

  // The codes are typed over each box's selected text, Tab moving on.
  ASSERT_EQ(QApplication::focusWidget(), window.txtDAC[0]);
  for (int channel = 0; channel < 16; ++channel) {
    QWidget* box = window.txtDAC[static_cast<std::size_t>(channel)];
    ASSERT_EQ(QApplication::focusWidget(), box) << channel;
    QTest::keyClicks(box, QString::fromStdString(fmt::format("{:03X}", DacCode(channel))));
    QTest::keyClick(box, Qt::Key_Tab);
  }
  // Every channel's input register box is ticked, as the window opens.
  for (QCheckBox* tick : window.chkINPUTREG) {
    if (!tick->isChecked()) {
      QTest::mouseClick(tick, Qt::LeftButton, {}, tick->rect().center());
    }
    ASSERT_TRUE(tick->isChecked()) << tick->objectName().toStdString();
  }
  QTest::mouseClick(window.cmdLoadInputReg, Qt::LeftButton);
  EXPECT_TRUE(rig.watcher->boxes.empty());

  // The automatic LDAC pulse moved every code to its DAC output.
  for (int channel = 0; channel < 16; ++channel) {
    const auto held = rig.board.InspectChip([channel](const board::sim::SimBoard& chip) {
      return chip.Group(channel / 8).DacRegister(channel % 8);
    });
    EXPECT_EQ(held, DacCode(channel)) << channel;
  }

  // The ADC's span equal to its reference, codes in straight binary: each
  // channel reads the code of its DAC.
  ClickTab(window, 2);
  Choose(window.Combo1[0], "0V to VREFA");
  Choose(window.Combo1[2], "Straight Binary");
  QTest::mouseClick(window.cmdReadADC, Qt::LeftButton);
  EXPECT_TRUE(rig.watcher->boxes.empty());
  for (std::size_t channel = 0; channel < 16; ++channel) {
    EXPECT_EQ(window.lblADC[channel]->text().toStdString(),
              fmt::format("0x{:03X}", DacCode(static_cast<int>(channel))))
        << channel;
  }
  EXPECT_EQ(window.lblVolts[0]->text().toStdString(), "0.078");   // 0x080 of 2.5 V
  EXPECT_EQ(window.lblVolts[7]->text().toStdString(), "1.172");   // 0x780
  EXPECT_EQ(window.lblVolts[15]->text().toStdString(), "2.422");  // 0xF80

  QTest::mouseClick(window.optFORMAT[1], Qt::LeftButton);
  EXPECT_EQ(window.lblADC[15]->text().toStdString(), std::to_string(DacCode(15)));
}

TEST_F(UsbPanelTest, WithoutABoardTheStartUpMessageComesAndThePanelGoesOn) {
  struct Case {
    const Edition* edition;
    const char* title;
  };
  for (const Case c : {Case{&Version2Edition, ": 1"}, Case{&ClassicEdition, ": -1"}}) {
    UsbPanel rig(*c.edition, false);
    ASSERT_EQ(rig.watcher->boxes.size(), 1U) << c.edition->program_name;
    EXPECT_EQ(rig.watcher->boxes[0].text, "No Evaluation Board Found");
    EXPECT_EQ(rig.watcher->boxes[0].title, c.title);
    EXPECT_FALSE(rig.watcher->boxes[0].window_visible);
    EXPECT_TRUE(rig.window->isVisible());

    // The operator's buttons still work; they reach no board and ask nothing.
    QTest::mouseClick(rig.window->cmdLoadInputReg, Qt::LeftButton);
    EXPECT_EQ(rig.window->Label2->text().toStdString().rfind("DAC Write: 0x", 0), 0U)
        << rig.window->Label2->text().toStdString();
    QTest::mouseClick(rig.window->cmdReadADC, Qt::LeftButton);
    EXPECT_EQ(rig.watcher->boxes.size(), 1U);
    EXPECT_TRUE(rig.board.Controls().empty());

    // Plugged in, "Reload USB" boots the board and the next read reaches it.
    rig.board.PlugIn();
    rig.window->mnuReloadUSB->trigger();
    EXPECT_EQ(rig.watcher->boxes.size(), 1U);
    EXPECT_TRUE(rig.board.Running());
    rig.board.ClearControls();
    QTest::mouseClick(rig.window->cmdReadADC, Qt::LeftButton);
    EXPECT_EQ(rig.board.Controls().size(), 17U);
  }
}

}  // namespace
}  // namespace kx::testing
