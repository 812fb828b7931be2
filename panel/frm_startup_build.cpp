// Construction of the window's controls. Positions are fixed, in pixels of
// 15 twips; the window cannot be resized, so controls placed outside the
// client area stay out of view.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "dac/dac_lists.h"
#include "panel/control_tables.h"
#include "panel/frm_startup.h"
#include "panel/label_name.h"
#include "panel/text_box.h"

namespace kx::panel {

namespace {

constexpr int kTwipsPerPixel = 15;
constexpr int kClientWidth = 12990 / kTwipsPerPixel;
constexpr int kColumnLeft = 8;
constexpr int kColumnPitch = 44;
constexpr int kColumnWidth = 40;

QString Indexed(const char* name, int index) {
  return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

template <typename W>
W* Make(QWidget* parent, const QString& name, QRect geometry) {
  auto* widget = new W(parent);
  widget->setObjectName(name);
  widget->setGeometry(geometry);
  return widget;
}

QGroupBox* Frame(QWidget* parent, const QString& name, const char* caption, QRect geometry) {
  auto* frame = Make<QGroupBox>(parent, name, geometry);
  frame->setTitle(QString::fromUtf8(caption));
  return frame;
}

QLabel* Label(QWidget* parent, const QString& name, const QString& caption, QRect geometry) {
  auto* label = Make<QLabel>(parent, name, geometry);
  label->setText(caption);
  label->setTextFormat(Qt::PlainText);
  return label;
}

// A label shown as a white value field.
QLabel* ValueField(QWidget* parent, const QString& name, const QString& caption, QRect geometry) {
  QLabel* label = Label(parent, name, caption, geometry);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, Qt::white);
  palette.setColor(QPalette::WindowText, Qt::black);
  label->setPalette(palette);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

QPushButton* Button(QWidget* parent, const QString& name, const char* caption, QRect geometry) {
  auto* button = Make<QPushButton>(parent, name, geometry);
  button->setText(QString::fromUtf8(caption));  // "&&" shows as one ampersand
  button->setAutoDefault(false);
  return button;
}

QCheckBox* CheckBox(QWidget* parent, const QString& name, QRect geometry, bool ticked) {
  auto* box = Make<QCheckBox>(parent, name, geometry);
  box->setChecked(ticked);
  return box;
}

// A drop-down box that shows its initial text with no item chosen (index -1)
// until the operator picks one.
template <std::size_t N>
QComboBox* DropDown(QWidget* parent, const QString& name, const char* initial_text,
                    const std::array<const char*, N>& items, QRect geometry) {
  auto* combo = Make<QComboBox>(parent, name, geometry);
  for (const char* item : items) {
    combo->addItem(QString::fromUtf8(item));
  }
  combo->setPlaceholderText(QString::fromUtf8(initial_text));
  combo->setCurrentIndex(-1);
  // The initial text reads like any chosen item, not like a hint.
  QPalette palette = combo->palette();
  palette.setColor(QPalette::PlaceholderText, palette.color(QPalette::ButtonText));
  combo->setPalette(palette);
  return combo;
}

QString Channel(int i) {
  return QStringLiteral("DAC%1").arg(i);
}

QString GroupName(int group) {
  return QString::fromUtf8(kTabCaptions[static_cast<std::size_t>(group)]);
}

}  // namespace

void FrmStartup::BuildMenu() {
  QMenu* options = menuBar()->addMenu(QStringLiteral("Options"));
  options->setObjectName(QStringLiteral("mnuOptions"));
  mnuReloadUSB = options->addAction(QStringLiteral("Reload USB"));
  mnuReloadUSB->setObjectName(QStringLiteral("mnuReloadUSB"));
  mnuAutoLDAC = options->addAction(QStringLiteral("Automatically Pulse LDAC after Write"));
  mnuAutoLDAC->setObjectName(QStringLiteral("mnuAutoLDAC"));
  mnuAutoLDAC->setCheckable(true);
  mnuAutoLDAC->setChecked(true);
  QMenu* about = menuBar()->addMenu(QStringLiteral("About"));
  about->setObjectName(QStringLiteral("mnuAbout"));
  mnuVersion = about->addAction(QStringLiteral("Version"));
  mnuVersion->setObjectName(QStringLiteral("mnuVersion"));

  connect(mnuReloadUSB, &QAction::triggered, this, [this] { mnuReloadUSB_Click(); });
  // Choosing the entry does nothing: nothing may take its check mark away.
  connect(mnuAutoLDAC, &QAction::triggered, this, [this] { mnuAutoLDAC->setChecked(true); });
  connect(mnuVersion, &QAction::triggered, this, [this] { mnuVersion_Click(); });
}

void FrmStartup::BuildDacValues(QWidget* client) {
  QGroupBox* frame = Frame(client, QStringLiteral("Frame1"), "DAC Values", {4, 2, 858, 118});
  for (int i = 0; i < 16; ++i) {
    const auto index = static_cast<std::int16_t>(i);
    const auto slot = static_cast<std::size_t>(i);
    const int x = kColumnLeft + i * kColumnPitch;
    lblDAC[slot] = Label(frame, Indexed("lblDAC", i), Channel(i), {x, 18, kColumnWidth, 16});
    lblDAC[slot]->setAlignment(Qt::AlignCenter);

    auto* box = Make<TextBox>(frame, Indexed("txtDAC", i), {x, 36, kColumnWidth, 22});
    box->setText(QString::fromUtf8(kInitialDacTexts[slot]));
    box->setAccessibleName(Channel(i));
    lblDAC[slot]->setBuddy(box);
    box->GotFocus = [this, index] { txtDAC_GotFocus(index); };
    box->LostFocus = [this, index] { txtDAC_LostFocus(index); };
    box->KeyPress = [this, index](std::int16_t& key) { txtDAC_KeyPress(index, key); };
    txtDAC[slot] = box;

    chkINPUTREG[slot] = CheckBox(frame, Indexed("chkINPUTREG", i), {x + 12, 64, 20, 20}, true);
    chkINPUTREG[slot]->setToolTip(QString::fromUtf8(kInputRegTooltip));
    chkINPUTREG[slot]->setAccessibleName(Channel(i) + QStringLiteral(" input register"));
    chkDACREG[slot] = CheckBox(frame, Indexed("chkDACREG", i), {x + 12, 90, 20, 20}, true);
    chkDACREG[slot]->setToolTip(QString::fromUtf8(kDacRegTooltip));
    chkDACREG[slot]->setAccessibleName(Channel(i) + QStringLiteral(" DAC register"));
  }
  cmdLoadInputReg =
      Button(frame, QStringLiteral("cmdLoadInputReg"), "Load Input Register", {716, 60, 134, 26});
  cmdLoadDACReg =
      Button(frame, QStringLiteral("cmdLoadDACReg"), "Update DAC Register", {716, 87, 134, 26});
  connect(cmdLoadInputReg, &QPushButton::clicked, this, [this] { cmdLoadInputReg_Click(); });
  connect(cmdLoadDACReg, &QPushButton::clicked, this, [this] { cmdLoadDACReg_Click(); });
}

void FrmStartup::BuildAdcValues(QWidget* client) {
  QGroupBox* frame = Frame(client, QStringLiteral("Frame6"), "ADC Values", {4, 122, 858, 86});
  for (int i = 0; i < 16; ++i) {
    const auto slot = static_cast<std::size_t>(i);
    lblADC[slot] = ValueField(frame, Indexed("lblADC", i), QStringLiteral("0x000"),
                              {kColumnLeft + i * kColumnPitch, 20, kColumnWidth, 20});
    lblADC[slot]->setAccessibleDescription(QStringLiteral("ADC%1 code").arg(i));
  }
  QGroupBox* format = Frame(frame, QStringLiteral("Frame7"), "Numeric Format", {716, 10, 134, 42});
  for (int i = 0; i < 2; ++i) {
    optFORMAT[static_cast<std::size_t>(i)] =
        Make<QRadioButton>(format, Indexed("optFORMAT", i), {8 + i * 62, 18, 58, 20});
    optFORMAT[static_cast<std::size_t>(i)]->setText(i == 0 ? QStringLiteral("Hex")
                                                           : QStringLiteral("Dec"));
  }
  optFORMAT[0]->setChecked(true);
  // Whenever an option becomes the selected one, by mouse, arrow keys or an
  // assistive tool's toggle action alike.
  for (int i = 0; i < 2; ++i) {
    const auto index = static_cast<std::int16_t>(i);
    connect(optFORMAT[static_cast<std::size_t>(i)], &QRadioButton::toggled, this,
            [this, index](bool selected) {
              if (selected) {
                optFORMAT_Click(index);
              }
            });
  }

  cmdReadADC =
      Button(frame, QStringLiteral("cmdReadADC"), edition_.read_adc_caption, {8, 50, 110, 28});
  cmdReadADC->setToolTip(QString::fromUtf8(kReadAdcTooltip));
  Command4 =
      Button(frame, QStringLiteral("Command4"), edition_.read_save_caption, {124, 50, 150, 28});
  Command4->setToolTip(QString::fromUtf8(kReadSaveTooltip));
  connect(cmdReadADC, &QPushButton::clicked, this, [this] { cmdReadADC_Click(); });
  connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });

  Label1 = Label(frame, QStringLiteral("Label1"), QString(), {284, 44, 260, 36});
  QFont big = Label1->font();
  big.setPointSize(18);
  Label1->setFont(big);
  QPalette red = Label1->palette();
  red.setColor(QPalette::WindowText, Qt::red);
  Label1->setPalette(red);
  NameWhileEmpty(Label1, QStringLiteral("Capture status"));
  Label1->setAccessibleDescription(QStringLiteral("Capture status"));

  captureProgress =
      Make<QProgressBar>(frame, QStringLiteral("captureProgress"), {552, 54, 150, 18});
  captureProgress->setAccessibleName(QStringLiteral("Capture progress"));
  captureProgress->hide();
}

void FrmStartup::BuildAdcVoltages(QWidget* client) {
  QGroupBox* frame = Frame(client, QStringLiteral("Frame12"), "ADC Voltages", {4, 210, 858, 46});
  for (int i = 0; i < 16; ++i) {
    const auto slot = static_cast<std::size_t>(i);
    lblVolts[slot] = ValueField(frame, Indexed("lblVolts", i), QStringLiteral("0.000V"),
                                {kColumnLeft + i * kColumnPitch, 18, kColumnWidth, 20});
    lblVolts[slot]->setAccessibleDescription(QStringLiteral("ADC%1 volts").arg(i));
  }
}

void FrmStartup::BuildDacPage(QWidget* page, int group) {
  const DacPageFrames& frames = kDacPageFrames[static_cast<std::size_t>(group)];
  const auto g = static_cast<std::size_t>(group);
  const auto index = static_cast<std::int16_t>(group);
  const QString suffix = QStringLiteral(", ") + GroupName(group);

  // A row of eight boxes under the digits 7 to 0: the box under digit d is
  // bit d of the group, channel 8 x group + d.
  auto bit_row = [&](QGroupBox* frame, int heading, int first_label, int top,
                     std::array<QCheckBox*, 16>& boxes, const char* box_name, const QString& what) {
    Label4[static_cast<std::size_t>(heading)] =
        Label(frame, Indexed("Label4", heading), QStringLiteral("DAC"), {8, top + 20, 30, 18});
    for (int d = 0; d < 8; ++d) {
      const int x = 44 + (7 - d) * 26;
      const int label = first_label + d;
      Label3[static_cast<std::size_t>(label)] =
          Label(frame, Indexed("Label3", label), QString::number(d), {x, top, 20, 16});
      const int channel = 8 * group + d;
      QCheckBox* box = CheckBox(frame, Indexed(box_name, channel), {x, top + 18, 20, 20}, false);
      box->setAccessibleName(Channel(channel) + what);
      boxes[static_cast<std::size_t>(channel)] = box;
    }
  };

  QGroupBox* power =
      Frame(page, Indexed("Frame2", frames.power_down_frame), "Power Down Modes", {6, 4, 336, 96});
  cboPowerDown[g] = DropDown(power, Indexed("cboPowerDown", group), dac::PowerDownItems[0],
                             dac::PowerDownItems, {8, 20, 140, 24});
  cboPowerDown[g]->setAccessibleName(QStringLiteral("Power Down Modes") + suffix);
  cmdProgram[g] = Button(power, Indexed("cmdProgram", group), "Program", {258, 20, 70, 24});
  cmdProgram[g]->setAccessibleName(QStringLiteral("Program Power Down Modes") + suffix);
  bit_row(power, group, 8 * group, 50, chkPoweredDown, "chkPoweredDown",
          QStringLiteral(" power down"));

  QGroupBox* ldac =
      Frame(page, Indexed("Frame2", frames.ldac_frame), "LDAC Register", {6, 104, 336, 74});
  cmdProgramLDAC[g] = Button(ldac, Indexed("cmdProgramLDAC", group), "Program", {258, 36, 70, 24});
  cmdProgramLDAC[g]->setAccessibleName(QStringLiteral("Program LDAC Register") + suffix);
  bit_row(ldac, group + 2, 16 + 8 * group, 18, chkLDAC, "chkLDAC", QStringLiteral(" LDAC"));

  QGroupBox* reference = Frame(page, Indexed("Frame3", frames.reference_frame),
                               "Reference Selection", {350, 4, 200, 58});
  cboREFERENCE[g] = DropDown(reference, Indexed("cboREFERENCE", group), dac::ReferenceItems[0],
                             dac::ReferenceItems, {8, 22, 184, 24});
  cboREFERENCE[g]->setAccessibleName(QStringLiteral("Reference Selection") + suffix);

  QGroupBox* clear =
      Frame(page, Indexed("Frame4", frames.clear_code_frame), "Clear to Code", {350, 66, 200, 58});
  cboClearCode[g] = DropDown(clear, Indexed("cboClearCode", group), dac::ClearCodeItems[0],
                             dac::ClearCodeItems, {8, 22, 184, 24});
  cboClearCode[g]->setAccessibleName(QStringLiteral("Clear to Code") + suffix);

  connect(cmdProgram[g], &QPushButton::clicked, this, [this, index] { cmdProgram_Click(index); });
  connect(cmdProgramLDAC[g], &QPushButton::clicked, this,
          [this, index] { cmdProgramLDAC_Click(index); });
  connect(cboPowerDown[g], &QComboBox::activated, this,
          [this, index] { cboPowerDown_Click(index); });
  connect(cboREFERENCE[g], &QComboBox::activated, this,
          [this, index] { cboREFERENCE_Click(index); });
  connect(cboClearCode[g], &QComboBox::activated, this,
          [this, index] { cboClearCode_Click(index); });
  KeyPressGuard::Guard(cboPowerDown[g],
                       [this, index](std::int16_t& key) { cboPowerDown_KeyPress(index, key); });
  KeyPressGuard::Guard(cboREFERENCE[g],
                       [this, index](std::int16_t& key) { cboREFERENCE_KeyPress(index, key); });
  KeyPressGuard::Guard(cboClearCode[g],
                       [this, index](std::int16_t& key) { cboClearCode_KeyPress(index, key); });
  for (int d = 0; d < 8; ++d) {
    const auto channel = static_cast<std::int16_t>(8 * group + d);
    connect(chkPoweredDown[static_cast<std::size_t>(channel)], &QCheckBox::clicked, this,
            [this, channel] { chkPoweredDown_Click(channel); });
    connect(chkLDAC[static_cast<std::size_t>(channel)], &QCheckBox::clicked, this,
            [this, channel] { chkLDAC_Click(channel); });
  }
}

void FrmStartup::BuildAdcPage(QWidget* page) {
  int left = 10;
  if (edition_.HasVolts()) {
    Label10 =
        Label(page, QStringLiteral("Label10"), QStringLiteral("ADC Reference"), {10, 16, 100, 20});
    Text3 = Make<TextBox>(page, QStringLiteral("Text3"), {112, 14, 60, 22});
    Text3->setText(QStringLiteral("2.50"));
    Text3->setAccessibleName(QStringLiteral("ADC Reference"));
    Label10->setBuddy(Text3);
    Text3->KeyPress = [this](std::int16_t& key) { Text3_KeyPress(key); };
    Text3->LostFocus = [this] { Text3_LostFocus(); };
  }
  const std::size_t lists = edition_.HasVolts() ? kAdcLists.size() : 2;
  for (std::size_t i = 0; i < lists; ++i) {
    const AdcList& list = kAdcLists[i];
    const auto index = static_cast<std::int16_t>(i);
    QGroupBox* frame =
        Frame(page, QString::fromUtf8(list.frame_name), list.frame_caption, {left, 50, 200, 58});
    Combo1[i] =
        DropDown(frame, Indexed("Combo1", index), list.initial_text, list.items, {8, 22, 184, 24});
    Combo1[i]->setAccessibleName(QString::fromUtf8(list.accessible_name));
    connect(Combo1[i], &QComboBox::activated, this, [this, index] { Combo1_Click(index); });
    KeyPressGuard::Guard(Combo1[i],
                         [this, index](std::int16_t& key) { Combo1_KeyPress(index, key); });
    left += 210;
  }
}

void FrmStartup::BuildMiscPage(QWidget* page) {
  QGroupBox* dac =
      Frame(page, QStringLiteral("Frame9"), "Write Value to DAC Section", {6, 4, 336, 96});
  for (int i = 0; i < 2; ++i) {
    const auto slot = static_cast<std::size_t>(i);
    optDAC[slot] = Make<QRadioButton>(dac, Indexed("optDAC", i), {8, 22 + i * 26, 130, 22});
    optDAC[slot]->setText(GroupName(i));
  }
  optDAC[0]->setChecked(true);
  Label(dac, QStringLiteral("Label5"), QStringLiteral("32 Bit Hex Value"), {150, 18, 120, 18});
  Text1 = Make<TextBox>(dac, QStringLiteral("Text1"), {150, 40, 100, 22});
  Text1->setText(QStringLiteral("000000"));
  Text1->setAccessibleName(QStringLiteral("32 Bit Hex Value"));
  Text1->KeyPress = [this](std::int16_t& key) { Text1_KeyPress(key); };
  cmdDACwrite = Button(dac, QStringLiteral("cmdDACwrite"), "Write", {262, 38, 64, 26});
  cmdDACwrite->setAccessibleName(QStringLiteral("Write Value to DAC Section"));
  connect(cmdDACwrite, &QPushButton::clicked, this, [this] { cmdDACwrite_Click(); });

  QGroupBox* adc =
      Frame(page, QStringLiteral("Frame10"), "Write Value to ADC Section", {6, 104, 336, 74});
  Label(adc, QStringLiteral("Label6"), QStringLiteral("16 Bit Hex Value"), {8, 18, 120, 18});
  Text2 = Make<TextBox>(adc, QStringLiteral("Text2"), {8, 40, 100, 22});
  Text2->setText(QStringLiteral("0000"));
  Text2->setAccessibleName(QStringLiteral("16 Bit Hex Value"));
  Text2->KeyPress = [this](std::int16_t& key) { Text2_KeyPress(key); };
  cmdWriteADC = Button(adc, QStringLiteral("cmdWriteADC"), "Write", {116, 38, 64, 26});
  cmdWriteADC->setAccessibleName(QStringLiteral("Write Value to ADC Section"));
  connect(cmdWriteADC, &QPushButton::clicked, this, [this] { cmdWriteADC_Click(); });
  Label(adc, QStringLiteral("Label7"), QStringLiteral("Returned Value"), {196, 18, 110, 18});
  Label8 = ValueField(adc, QStringLiteral("Label8"), QStringLiteral("0000"), {196, 40, 80, 22});
  Label8->setAccessibleDescription(QStringLiteral("Returned Value"));

  const std::array<const char*, 2> clr = {"CLR High", "CLR Low"};
  const std::array<const char*, 2> ldac = {"LDAC High", "LDAC Low"};
  for (int i = 0; i < 2; ++i) {
    const auto slot = static_cast<std::size_t>(i);
    const auto index = static_cast<std::int16_t>(i);
    cmdCLR[slot] = Button(page, Indexed("cmdCLR", i), clr[slot], {356, 12 + i * 34, 100, 28});
    cmdLDAC[slot] = Button(page, Indexed("cmdLDAC", i), ldac[slot], {466, 12 + i * 34, 100, 28});
    connect(cmdCLR[slot], &QPushButton::clicked, this, [this, index] { cmdCLR_Click(index); });
    connect(cmdLDAC[slot], &QPushButton::clicked, this, [this, index] { cmdLDAC_Click(index); });
  }
  // Created, wired, and never shown.
  Command3 = Button(page, QStringLiteral("Command3"), "Channel 0 to File", {356, 110, 150, 28});
  Command3->hide();
  connect(Command3, &QPushButton::clicked, this, [this] { Command3_Click(); });
}

void FrmStartup::BuildTabs(QWidget* client, int top) {
  SSTab1 = Make<QTabWidget>(client, QStringLiteral("SSTab1"), {4, top, 700, 236});
  for (int page = 0; page < 4; ++page) {
    auto* widget = new QWidget(SSTab1);
    widget->setObjectName(QStringLiteral("SSTab1Page(%1)").arg(page));
    SSTab1->addTab(widget, QString::fromUtf8(kTabCaptions[static_cast<std::size_t>(page)]));
  }
  BuildDacPage(SSTab1->widget(0), 0);
  BuildDacPage(SSTab1->widget(1), 1);
  BuildAdcPage(SSTab1->widget(2));
  BuildMiscPage(SSTab1->widget(3));
}

void FrmStartup::BuildBottomStrip(QWidget* client, int tab_bottom) {
  Command2 = Button(client, QStringLiteral("Command2"), "EXIT", {726, tab_bottom - 170, 120, 44});
  QFont bold = Command2->font();
  bold.setBold(true);
  Command2->setFont(bold);
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

  Label2 = ValueField(client, QStringLiteral("Label2"), QString(), {404, tab_bottom + 6, 300, 22});
  NameWhileEmpty(Label2, QStringLiteral("Status line"));
  Label2->setAccessibleDescription(QStringLiteral("Status line"));

  // Below the client area's bottom edge in an edition that hides it.
  const int client_height = edition_.client_height_twips / kTwipsPerPixel;
  const int pulse_top = edition_.pulse_ldac_visible ? tab_bottom + 5 : client_height + 12;
  cmdPulseLDAC =
      Button(client, QStringLiteral("cmdPulseLDAC"), "Pulse LDAC", {8, pulse_top, 100, 24});
  if (!edition_.pulse_ldac_visible) {
    cmdPulseLDAC->setFocusPolicy(Qt::NoFocus);  // nor reachable with the keyboard
  }
  connect(cmdPulseLDAC, &QPushButton::clicked, this, [this] { cmdPulseLDAC_Click(); });

  // Right of the client area: never seen, but it can hold the focus.
  Picture1 = Make<QFrame>(client, QStringLiteral("Picture1"), {kClientWidth + 16, 8, 16, 16});
  Picture1->setFocusPolicy(Qt::ClickFocus);
}

void FrmStartup::SetFocusOrder() {
  for (std::size_t i = 1; i < txtDAC.size(); ++i) {
    setTabOrder(txtDAC[i - 1], txtDAC[i]);
  }
}

}  // namespace kx::panel
