// What screen readers and black-box GUI tools read from the window.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QLabel>
#include <QWidget>

#include "panel/panel_rig.h"
#include "panel/text_box.h"

namespace kx::testing {
namespace {

std::string Read(QWidget* w, QAccessible::Text what) {
  QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
  return face == nullptr ? std::string("<none>") : face->text(what).toStdString();
}

QWidget* Find(PanelRig& rig, const std::string& name) {
  auto* w = rig.window->findChild<QWidget*>(QString::fromStdString(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

std::string I(const char* name, int i) {
  return std::string(name) + "(" + std::to_string(i) + ")";
}

TEST(Accessibility, InputControlsCarryTheirNames) {
  PanelRig rig;
  std::vector<std::pair<std::string, std::string>> names = {
      {"Text1", "32 Bit Hex Value"},
      {"Text2", "16 Bit Hex Value"},
      {"Text3", "ADC Reference"},
      {"Combo1(0)", "Range"},
      {"Combo1(1)", "Weak/Tri"},
      {"Combo1(2)", "Coding"},
      {"cmdDACwrite", "Write Value to DAC Section"},
      {"cmdWriteADC", "Write Value to ADC Section"},
      {"cmdLoadInputReg", "Load Input Register"},
      {"Command4", "Read & Save ADC"},
      {"Command2", "EXIT"},
      {"optFORMAT(1)", "Dec"},
      {"cmdCLR(1)", "CLR Low"},
  };
  const char* groups[] = {"DAC0 to DAC7", "DAC8 to DAC15"};
  for (int g = 0; g < 2; ++g) {
    const std::string suffix = std::string(", ") + groups[g];
    names.emplace_back(I("cboPowerDown", g), "Power Down Modes" + suffix);
    names.emplace_back(I("cboREFERENCE", g), "Reference Selection" + suffix);
    names.emplace_back(I("cboClearCode", g), "Clear to Code" + suffix);
    names.emplace_back(I("cmdProgram", g), "Program Power Down Modes" + suffix);
    names.emplace_back(I("cmdProgramLDAC", g), "Program LDAC Register" + suffix);
  }
  for (int i = 0; i < 16; ++i) {
    const std::string dac = "DAC" + std::to_string(i);
    names.emplace_back(I("txtDAC", i), dac);
    names.emplace_back(I("chkINPUTREG", i), dac + " input register");
    names.emplace_back(I("chkDACREG", i), dac + " DAC register");
    names.emplace_back(I("chkPoweredDown", i), dac + " power down");
    names.emplace_back(I("chkLDAC", i), dac + " LDAC");
  }
  for (const auto& [control, name] : names) {
    EXPECT_EQ(Read(Find(rig, control), QAccessible::Name), name) << control;
  }
}

TEST(Accessibility, ValueLabelsAreDescribedAndNamedByTheirValue) {
  PanelRig rig;
  std::vector<std::pair<std::string, std::string>> descriptions = {
      {"Label2", "Status line"},
      {"Label8", "Returned Value"},
      {"Label1", "Capture status"},
  };
  for (int i = 0; i < 16; ++i) {
    descriptions.emplace_back(I("lblADC", i), "ADC" + std::to_string(i) + " code");
    descriptions.emplace_back(I("lblVolts", i), "ADC" + std::to_string(i) + " volts");
  }
  for (const auto& [control, description] : descriptions) {
    EXPECT_EQ(Read(Find(rig, control), QAccessible::Description), description) << control;
  }
  // A value label's name is the value it shows.
  EXPECT_EQ(Read(Find(rig, "lblADC(4)"), QAccessible::Name), "0x000");
  EXPECT_EQ(Read(Find(rig, "lblVolts(4)"), QAccessible::Name), "0.000V");
  EXPECT_EQ(Read(Find(rig, "Label8"), QAccessible::Name), "0000");
}

TEST(Accessibility, AnEmptyValueLabelHasANameOfItsOwnNotItsGroupsCaption) {
  PanelRig rig;
  // Both are empty once the window is up.
  ASSERT_TRUE(rig.window->Label1->text().isEmpty());
  ASSERT_TRUE(rig.window->Label2->text().isEmpty());
  EXPECT_EQ(Read(rig.window->Label1, QAccessible::Name), "Capture status");
  EXPECT_EQ(Read(rig.window->Label2, QAccessible::Name), "Status line");
  // Showing a value, a label is named by it again.
  rig.port.SetStatusLine("ADC Write: 0x8390");
  EXPECT_EQ(Read(rig.window->Label2, QAccessible::Name), "ADC Write: 0x8390");
  rig.port.SetStatusLine("");
  EXPECT_EQ(Read(rig.window->Label2, QAccessible::Name), "Status line");
}

TEST(Accessibility, DacBoxesAreLabelledByTheirCaptions) {
  PanelRig rig;
  for (int i = 0; i < 16; ++i) {
    auto* label = qobject_cast<QLabel*>(Find(rig, I("lblDAC", i)));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->buddy(), rig.window->txtDAC[static_cast<std::size_t>(i)]);
  }
}

}  // namespace
}  // namespace kx::testing
