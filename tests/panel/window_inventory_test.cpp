// The window's controls checked against the panel's control list, written out
// here independently of the code that builds the window.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>
#include <set>
#include <string>
#include <vector>

#include "panel/panel_rig.h"

namespace kx::testing {
namespace {

struct Control {
  std::string name;
  std::string kind;
  std::string text;    // caption, title, text, or a drop-down's initial text
  std::string holder;  // the frame, page or client area that holds it
};

std::string I(const std::string& name, int index) {
  return name + "(" + std::to_string(index) + ")";
}

std::string Page(int page) {
  return I("SSTab1Page", page);
}

std::vector<Control> ControlList(bool version2) {
  std::vector<Control> c = {
      {"Frame1", "QGroupBox", "DAC Values", "client"},
      {"cmdLoadInputReg", "QPushButton", "Load Input Register", "Frame1"},
      {"cmdLoadDACReg", "QPushButton", "Update DAC Register", "Frame1"},
      {"Frame6", "QGroupBox", "ADC Values", "client"},
      {"Frame7", "QGroupBox", "Numeric Format", "Frame6"},
      {"optFORMAT(0)", "QRadioButton", "Hex", "Frame7"},
      {"optFORMAT(1)", "QRadioButton", "Dec", "Frame7"},
      {"cmdReadADC", "QPushButton", version2 ? "Read ADC" : "Read ADCs", "Frame6"},
      {"Command4", "QPushButton", version2 ? "Read && Save ADC" : "Read && Save ADCs", "Frame6"},
      {"Label1", "QLabel", "", "Frame6"},
      {"SSTab1", "QTabWidget", "", "client"},
      {"Frame5", "QGroupBox", "Range", Page(2)},
      {"Combo1(0)", "QComboBox", "0V to 2xVREF", "Frame5"},
      {"Frame8", "QGroupBox", "Weak/Tri", Page(2)},
      {"Combo1(1)", "QComboBox", "Three-State", "Frame8"},
      {"Frame9", "QGroupBox", "Write Value to DAC Section", Page(3)},
      {"optDAC(0)", "QRadioButton", "DAC0 to DAC7", "Frame9"},
      {"optDAC(1)", "QRadioButton", "DAC8 to DAC15", "Frame9"},
      {"Label5", "QLabel", "32 Bit Hex Value", "Frame9"},
      {"Text1", "QLineEdit", "000000", "Frame9"},
      {"cmdDACwrite", "QPushButton", "Write", "Frame9"},
      {"Frame10", "QGroupBox", "Write Value to ADC Section", Page(3)},
      {"Label6", "QLabel", "16 Bit Hex Value", "Frame10"},
      {"Text2", "QLineEdit", "0000", "Frame10"},
      {"cmdWriteADC", "QPushButton", "Write", "Frame10"},
      {"Label7", "QLabel", "Returned Value", "Frame10"},
      {"Label8", "QLabel", "0000", "Frame10"},
      {"cmdCLR(0)", "QPushButton", "CLR High", Page(3)},
      {"cmdCLR(1)", "QPushButton", "CLR Low", Page(3)},
      {"cmdLDAC(0)", "QPushButton", "LDAC High", Page(3)},
      {"cmdLDAC(1)", "QPushButton", "LDAC Low", Page(3)},
      {"Command3", "QPushButton", "Channel 0 to File", Page(3)},
      {"Command2", "QPushButton", "EXIT", "client"},
      {"Label2", "QLabel", "", "client"},
      {"cmdPulseLDAC", "QPushButton", "Pulse LDAC", "client"},
  };
  if (version2) {
    c.push_back({"Frame12", "QGroupBox", "ADC Voltages", "client"});
    c.push_back({"Label10", "QLabel", "ADC Reference", Page(2)});
    c.push_back({"Text3", "QLineEdit", "2.50", Page(2)});
    c.push_back({"Frame11", "QGroupBox", "Coding", Page(2)});
    c.push_back({"Combo1(2)", "QComboBox", "2's Compliment", "Frame11"});
  }
  const std::vector<std::string> dac_texts = {"1FF", "2FF", "3FF", "4FF", "5FF", "6FF",
                                              "7FF", "FFF", "0FF", "1FF", "2FF", "3FF",
                                              "4FF", "5FF", "6FF", "7FF"};
  for (int i = 0; i < 16; ++i) {
    c.push_back({I("lblDAC", i), "QLabel", "DAC" + std::to_string(i), "Frame1"});
    c.push_back({I("txtDAC", i), "QLineEdit", dac_texts[static_cast<std::size_t>(i)], "Frame1"});
    c.push_back({I("chkINPUTREG", i), "QCheckBox", "", "Frame1"});
    c.push_back({I("chkDACREG", i), "QCheckBox", "", "Frame1"});
    c.push_back({I("lblADC", i), "QLabel", "0x000", "Frame6"});
    if (version2) {
      c.push_back({I("lblVolts", i), "QLabel", "0.000V", "Frame12"});
    }
  }
  // The crossed group names: page 0 holds Frame3(1) and Frame4(1), page 1
  // holds Frame3(0) and Frame4(2).
  struct PageGroups {
    int power, reference, clear, ldac;
  };
  const PageGroups pages[2] = {{0, 1, 1, 2}, {1, 0, 2, 3}};
  for (int g = 0; g < 2; ++g) {
    const PageGroups& p = pages[g];
    const std::string power = I("Frame2", p.power);
    const std::string ldac = I("Frame2", p.ldac);
    const std::string reference = I("Frame3", p.reference);
    const std::string clear = I("Frame4", p.clear);
    c.push_back({power, "QGroupBox", "Power Down Modes", Page(g)});
    c.push_back({ldac, "QGroupBox", "LDAC Register", Page(g)});
    c.push_back({reference, "QGroupBox", "Reference Selection", Page(g)});
    c.push_back({clear, "QGroupBox", "Clear to Code", Page(g)});
    c.push_back({I("cboPowerDown", g), "QComboBox", "Normal Mode", power});
    c.push_back({I("cboREFERENCE", g), "QComboBox", "External Reference", reference});
    c.push_back({I("cboClearCode", g), "QComboBox", "0x0000", clear});
    c.push_back({I("cmdProgram", g), "QPushButton", "Program", power});
    c.push_back({I("cmdProgramLDAC", g), "QPushButton", "Program", ldac});
    c.push_back({I("Label4", g), "QLabel", "DAC", power});
    c.push_back({I("Label4", g + 2), "QLabel", "DAC", ldac});
    for (int d = 0; d < 8; ++d) {
      c.push_back({I("Label3", 8 * g + d), "QLabel", std::to_string(d), power});
      c.push_back({I("Label3", 16 + 8 * g + d), "QLabel", std::to_string(d), ldac});
      c.push_back({I("chkPoweredDown", 8 * g + d), "QCheckBox", "", power});
      c.push_back({I("chkLDAC", 8 * g + d), "QCheckBox", "", ldac});
    }
  }
  return c;
}

std::string TextOf(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) {
    return label->text().toStdString();
  }
  if (auto* button = qobject_cast<QAbstractButton*>(w)) {
    return button->text().toStdString();
  }
  if (auto* frame = qobject_cast<QGroupBox*>(w)) {
    return frame->title().toStdString();
  }
  if (auto* edit = qobject_cast<QLineEdit*>(w)) {
    return edit->text().toStdString();
  }
  if (auto* combo = qobject_cast<QComboBox*>(w)) {
    return combo->currentIndex() < 0 ? combo->placeholderText().toStdString()
                                     : combo->currentText().toStdString();
  }
  return "";
}

// The nearest enclosing frame, tab page or the client area.
std::string HolderOf(QWidget* w) {
  for (QWidget* p = w->parentWidget(); p != nullptr; p = p->parentWidget()) {
    const std::string name = p->objectName().toStdString();
    if (name == "client" || name.rfind("Frame", 0) == 0 || name.rfind("SSTab1Page", 0) == 0) {
      return name;
    }
  }
  return "";
}

class Inventory : public ::testing::TestWithParam<bool> {};

TEST_P(Inventory, EveryControlHasItsKindCaptionAndPlace) {
  const bool version2 = GetParam();
  PanelRig rig(version2 ? Version2Edition : ClassicEdition);
  for (const Control& c : ControlList(version2)) {
    auto* w = rig.window->findChild<QWidget*>(QString::fromStdString(c.name));
    ASSERT_NE(w, nullptr) << c.name;
    EXPECT_TRUE(w->inherits(c.kind.c_str())) << c.name << " is a " << w->metaObject()->className();
    EXPECT_EQ(TextOf(w), c.text) << c.name;
    EXPECT_EQ(HolderOf(w), c.holder) << c.name;
  }
}

TEST_P(Inventory, NoControlOfTheOtherEditionExists) {
  const bool version2 = GetParam();
  PanelRig rig(version2 ? Version2Edition : ClassicEdition);
  for (const char* name :
       {"Frame12", "lblVolts(0)", "lblVolts(15)", "Label10", "Text3", "Frame11", "Combo1(2)"}) {
    EXPECT_EQ(rig.window->findChild<QWidget*>(name) != nullptr, version2) << name;
  }
}

TEST_P(Inventory, TabPagesAndListItems) {
  const bool version2 = GetParam();
  PanelRig rig(version2 ? Version2Edition : ClassicEdition);
  auto* tabs = rig.window->findChild<QTabWidget*>("SSTab1");
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 4);
  const char* captions[] = {"DAC0 to DAC7", "DAC8 to DAC15", "ADC", "Misc"};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(tabs->tabText(i).toStdString(), captions[i]);
    EXPECT_EQ(tabs->widget(i)->objectName().toStdString(), Page(i));
  }

  struct List {
    std::string name;
    std::vector<std::string> items;
  };
  std::vector<List> lists = {
      {"Combo1(0)", {"0V to 2xVREFA", "0V to VREFA"}},
      {"Combo1(1)", {"Three-State", "Weak"}},
  };
  if (version2) {
    lists.push_back({"Combo1(2)", {"2's Compliment", "Straight Binary"}});
  }
  for (int g = 0; g < 2; ++g) {
    lists.push_back(
        {I("cboPowerDown", g), {"Normal Mode", "1K to GND", "100K to GND", "Three-state"}});
    lists.push_back({I("cboREFERENCE", g), {"External Reference", "Internal Reference"}});
    lists.push_back({I("cboClearCode", g), {"0x0000", "0x0800", "0x0FFF"}});
  }
  for (const List& list : lists) {
    auto* combo = rig.window->findChild<QComboBox*>(QString::fromStdString(list.name));
    ASSERT_NE(combo, nullptr) << list.name;
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(combo->count()));
    for (int i = 0; i < combo->count(); ++i) {
      items.push_back(combo->itemText(i).toStdString());
    }
    EXPECT_EQ(items, list.items) << list.name;
    EXPECT_EQ(combo->currentIndex(), -1) << list.name;
    EXPECT_FALSE(combo->isEditable()) << list.name;
  }
}

TEST_P(Inventory, TooltipsAndInitialStates) {
  const bool version2 = GetParam();
  PanelRig rig(version2 ? Version2Edition : ClassicEdition);
  auto find = [&](const std::string& name) {
    auto* w = rig.window->findChild<QWidget*>(QString::fromStdString(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  };
  for (int i = 0; i < 16; ++i) {
    auto* input = qobject_cast<QCheckBox*>(find(I("chkINPUTREG", i)));
    auto* dac = qobject_cast<QCheckBox*>(find(I("chkDACREG", i)));
    EXPECT_TRUE(input->isChecked());
    EXPECT_TRUE(dac->isChecked());
    EXPECT_EQ(input->toolTip().toStdString(),
              "This box should be ticked if you want the Input Register for this channel updated");
    EXPECT_EQ(dac->toolTip().toStdString(),
              "This box should be ticked if you want the DAC Register for this channel updated");
    EXPECT_FALSE(qobject_cast<QCheckBox*>(find(I("chkPoweredDown", i)))->isChecked());
    EXPECT_FALSE(qobject_cast<QCheckBox*>(find(I("chkLDAC", i)))->isChecked());
  }
  EXPECT_EQ(find("cmdReadADC")->toolTip().toStdString(), "Read the selected channels");
  EXPECT_EQ(find("Command4")->toolTip().toStdString(),
            "Clicking this button will read and save 512 samples from each of the selected "
            "channels");
  EXPECT_TRUE(qobject_cast<QRadioButton*>(find("optFORMAT(0)"))->isChecked());
  EXPECT_FALSE(qobject_cast<QRadioButton*>(find("optFORMAT(1)"))->isChecked());
  EXPECT_TRUE(qobject_cast<QRadioButton*>(find("optDAC(0)"))->isChecked());
  EXPECT_FALSE(qobject_cast<QRadioButton*>(find("optDAC(1)"))->isChecked());
  EXPECT_TRUE(rig.window->mnuAutoLDAC->isChecked());
  EXPECT_EQ(rig.window->windowTitle().toStdString(), "KX7312 Evaluation Software");
}

TEST_P(Inventory, MenuEntriesInOrder) {
  PanelRig rig(GetParam() ? Version2Edition : ClassicEdition);
  auto* options = rig.window->findChild<QMenu*>("mnuOptions");
  auto* about = rig.window->findChild<QMenu*>("mnuAbout");
  ASSERT_NE(options, nullptr);
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(options->title().toStdString(), "Options");
  EXPECT_EQ(about->title().toStdString(), "About");
  std::vector<std::string> entries;
  for (QAction* action : options->actions()) {
    entries.push_back(action->objectName().toStdString() + "=" + action->text().toStdString());
  }
  EXPECT_EQ(entries,
            (std::vector<std::string>{"mnuReloadUSB=Reload USB",
                                      "mnuAutoLDAC=Automatically Pulse LDAC after Write"}));
  ASSERT_EQ(about->actions().size(), 1);
  EXPECT_EQ(about->actions()[0]->objectName().toStdString(), "mnuVersion");
  EXPECT_EQ(about->actions()[0]->text().toStdString(), "Version");
}

INSTANTIATE_TEST_SUITE_P(BothEditions, Inventory, ::testing::Values(true, false),
                         [](const auto& param_info) {
                           return param_info.param ? "Version2" : "Classic";
                         });

}  // namespace
}  // namespace kx::testing
