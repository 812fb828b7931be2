// The ADC side as the operator works it: list choices, "Write", "Read ADC"
// with both formats and the volts, the reference box, and both captures
// through the real save dialog.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <algorithm>
#include <filesystem>
#include <map>

#include "board/link_requests.h"
#include "panel/panel_actions.h"
#include "panel/panel_rig.h"
#include "panel/text_box.h"
#include "session/calibration_file.h"
#include "support/temp_folder.h"

namespace kx::testing {
namespace {

std::size_t At(int i) {
  return static_cast<std::size_t>(i);
}

std::vector<std::uint32_t> AdcWordsAfter(const PanelRig& rig, std::size_t skip) {
  return AdcWords(Requests(rig.LinesAfter(skip)));
}

std::vector<std::string> Captions(const std::array<QLabel*, 16>& labels) {
  std::vector<std::string> texts;
  texts.reserve(labels.size());
  for (const QLabel* label : labels) {
    texts.push_back(label->text().toStdString());
  }
  return texts;
}

// Every text Label1 was drawn with, in order.
class PaintedTexts final : public QObject {
 public:
  explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
  std::vector<std::string> texts;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == label_ && event->type() == QEvent::Paint &&
        (texts.empty() || texts.back() != label_->text().toStdString())) {
      texts.push_back(label_->text().toStdString());
    }
    return false;
  }

 private:
  QLabel* label_;
};

TEST(AdcLists, EachChoiceSendsOneConfigurationWordAlsoForTheSameEntry) {
  struct Step {
    int list;
    int entry;
    std::uint32_t word;
  };
  struct Case {
    const Edition* edition;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {&Version2Edition, {{1, 1, 0x83C0}, {1, 1, 0x83C0}}},
      {&Version2Edition, {{0, 1, 0x83A0}, {2, 1, 0x83B0}, {1, 1, 0x83F0}, {0, 0, 0x83D0}}},
      {&Version2Edition, {{2, 0, 0x8380}, {1, 0, 0x8380}}},
      // The earlier program passes the word with the high half all ones.
      {&ClassicEdition, {{1, 1, 0xFFFF83D0}, {0, 1, 0xFFFF83F0}, {1, 0, 0xFFFF83B0}}},
  };
  for (const Case& c : cases) {
    PanelRig rig(*c.edition);
    for (const Step& step : c.steps) {
      const std::size_t skip = rig.Lines().size();
      ChooseItem(*rig.window, rig.window->Combo1[At(step.list)], step.entry);
      EXPECT_EQ(AdcWordsAfter(rig, skip), std::vector<std::uint32_t>{step.word})
          << step.list << " " << step.entry;
    }
  }
}

TEST(AdcWrite, SendsTheTypedWordAndShowsTheReplyInFourDigits) {
  PanelRig rig;
  Retype(*rig.window, rig.window->Text2, "8390");
  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdWriteADC);
  const auto sent = Requests(rig.LinesAfter(skip));
  ASSERT_EQ(sent.size(), 1U);
  EXPECT_EQ(sent[0].word, 0x8390U);
  // The reply comes back low byte first.
  ASSERT_GE(sent[0].data.size(), 4U);
  const std::string reply = sent[0].data.substr(2, 2) + sent[0].data.substr(0, 2);
  EXPECT_EQ(rig.window->Label8->text().toStdString(), "0x" + reply);
  EXPECT_EQ(rig.window->Label2->text().toStdString(), "ADC Write: 0x8390");
}

TEST(AdcWrite, AnEmptyOrOverlongWordIsRefusedWithAMessage) {
  for (const char* typed : {"", "12345"}) {
    PanelRig rig;
    const std::string before = rig.window->Label8->text().toStdString();
    Retype(*rig.window, rig.window->Text2, typed);
    const std::size_t skip = rig.Lines().size();
    Click(*rig.window, rig.window->cmdWriteADC);
    EXPECT_TRUE(rig.LinesAfter(skip).empty()) << typed;
    ASSERT_EQ(rig.watcher->boxes.size(), 1U) << typed;
    EXPECT_NE(rig.watcher->boxes[0].text.find("1 to 4 hex digits"), std::string::npos);
    EXPECT_EQ(rig.window->Label8->text().toStdString(), before);
  }
}

TEST(AdcRead, ReadsTheLoadedDacCodesBackInBothFormats) {
  PanelRig rig;
  // Before any read the codes are 0 in either format.
  Click(*rig.window, rig.window->optFORMAT[1]);
  EXPECT_EQ(Captions(rig.window->lblADC), std::vector<std::string>(16, "0"));
  Click(*rig.window, rig.window->optFORMAT[0]);
  EXPECT_EQ(Captions(rig.window->lblADC), std::vector<std::string>(16, "0x000"));

  Click(*rig.window, rig.window->cmdLoadInputReg);    // the start-up codes, then the pulse
  ChooseItem(*rig.window, rig.window->Combo1[0], 1);  // "0V to VREFA": the DAC's own span
  ChooseItem(*rig.window, rig.window->Combo1[2], 1);  // "Straight Binary"
  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdReadADC);

  const auto words = AdcWordsAfter(rig, skip);
  ASSERT_EQ(words.size(), 17U);
  EXPECT_EQ(words[0], 0xFFFF8330U);
  EXPECT_EQ(words[1], 0x8730U);
  EXPECT_EQ(words[15], 0xBF30U);
  EXPECT_EQ(words[16], 0xBF30U);
  const std::vector<std::string> hex = {"0x1FF", "0x2FF", "0x3FF", "0x4FF", "0x5FF", "0x6FF",
                                        "0x7FF", "0xFFF", "0x0FF", "0x1FF", "0x2FF", "0x3FF",
                                        "0x4FF", "0x5FF", "0x6FF", "0x7FF"};
  EXPECT_EQ(Captions(rig.window->lblADC), hex);
  // 0x7FF of 4096 steps over 2.5 V, without the "V" of the start caption.
  EXPECT_EQ(rig.window->lblVolts[6]->text().toStdString(), "1.249");
  EXPECT_EQ(rig.window->lblVolts[7]->text().toStdString(), "2.499");

  // Switching the format re-shows the codes and sends nothing.
  const std::size_t before_switch = rig.Lines().size();
  const std::string status = rig.window->Label2->text().toStdString();
  Click(*rig.window, rig.window->optFORMAT[1]);
  EXPECT_EQ(rig.window->lblADC[0]->text().toStdString(), "511");
  EXPECT_EQ(rig.window->lblADC[7]->text().toStdString(), "4095");
  Click(*rig.window, rig.window->optFORMAT[0]);
  EXPECT_EQ(Captions(rig.window->lblADC), hex);
  EXPECT_EQ(rig.Lines().size(), before_switch);
  EXPECT_EQ(rig.window->Label2->text().toStdString(), status);
  EXPECT_EQ(rig.window->lblVolts[7]->text().toStdString(), "2.499");
}

TEST(AdcRead, VoltsFollowTheReferenceRangeAndCodingOfTheRead) {
  board::sim::SimSettings settings;
  settings.inputs[3] = 1.25;  // half of the 2.5 V ADC reference
  PanelRig rig(Version2Edition, settings);
  struct Case {
    int range;
    int coding;
    const char* reference;
    const char* volts;
  };
  for (const Case c :
       {Case{0, 0, "2.50", "1.250"}, Case{1, 1, "2.50", "1.250"}, Case{0, 1, "2.50", "1.250"},
        Case{1, 1, "5", "2.500"}, Case{1, 1, "-1", "-0.500"}}) {
    ChooseItem(*rig.window, rig.window->Combo1[0], c.range);
    ChooseItem(*rig.window, rig.window->Combo1[2], c.coding);
    Retype(*rig.window, rig.window->Text3, c.reference);
    Click(*rig.window, rig.window->cmdReadADC);
    EXPECT_EQ(rig.window->lblVolts[3]->text().toStdString(), c.volts)
        << c.range << c.coding << c.reference;
  }
}

// lblVolts keeps the panel's own caption; its tooltip shows the volts the
// board's calibration file (in a private configuration folder, left set for
// the tests after this one) gives for the code read: 1.25 V reads 1024 from
// the bottom, corrected on "0V to 2xVREFA" only by 8 LSB and +2 %.
TEST(AdcRead, TheTooltipShowsTheCalibratedVoltsTheCaptionStaysTheSame) {
  const TempFolder config;
  qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.Path().string()));
  const std::string file =
      session::CalibrationFilePath(session::DefaultCalibrationFolder().path, "SIM-0001");
  session::Calibration calibration;
  calibration.board = "SIM-0001";
  calibration.written = "2026-12-09T12:00:00Z";
  calibration.program = "test";
  calibration.adc[0][3] =
      session::ChannelCalibration{{8.0, 2.0}, calibration.written, "test", "entered", {}};
  board::sim::SimSettings settings;
  settings.inputs[3] = 1.25;
  const struct {
    std::string stored;  // "good", "damaged" or none
    int range;
    std::string tip;
  } cases[] = {
      {"good", 0, "Calibrated: 1.216 V (calibration of board SIM-0001)"},  // (1024 - 8) / 1.02
      {"good", 1, ""},
      {"", 0, ""},
      {"damaged", 0, "Not calibrated: " + file},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tip);
    std::filesystem::remove(file);
    if (!c.stored.empty()) {
      ASSERT_FALSE(session::WriteCalibrationFile(file, calibration));
    }
    if (c.stored == "damaged") {
      WriteBytes(file, "{");
    }
    PanelRig rig(Version2Edition, settings);
    ChooseItem(*rig.window, rig.window->Combo1[0], c.range);
    Click(*rig.window, rig.window->cmdReadADC);
    QLabel* label = rig.window->lblVolts[3];
    EXPECT_EQ(label->text().toStdString(), "1.250");
    EXPECT_TRUE(label->toolTip().toStdString().starts_with(c.tip))
        << label->toolTip().toStdString();
    EXPECT_EQ(label->toolTip().isEmpty(), c.tip.empty());
    EXPECT_EQ(rig.window->lblVolts[5]->toolTip().isEmpty(), c.stored != "damaged");
    // What the pointer resting on the label brings up.
    QHelpEvent help(QEvent::ToolTip, label->rect().center(),
                    label->mapToGlobal(label->rect().center()));
    QApplication::sendEvent(label, &help);
    EXPECT_EQ(QToolTip::text(), label->toolTip());
    QToolTip::hideText();
  }
}

TEST(AdcRead, WithNoBoardEveryChannelReadsThePresetReply) {
  board::sim::SimSettings absent;
  absent.present = false;
  for (const auto& [edition, code] :
       {std::pair{&Version2Edition, "0x080"}, std::pair{&ClassicEdition, "0x101"}}) {
    PanelRig rig(*edition, absent);
    Click(*rig.window, rig.window->cmdReadADC);
    EXPECT_EQ(Captions(rig.window->lblADC), std::vector<std::string>(16, code));
  }
}

TEST(AdcReference, EnterAndLeavingWriteTheNumberBackWithTwoDecimals) {
  struct Case {
    const char* typed;
    const char* shown;
  };
  const Case cases[] = {{"2.5V", "2.50"},  {"1,8", "1.00"}, {"2 . 5", "2.50"}, {"abc", "0.00"},
                        {"", "0.00"},      {"-1", "-1.00"}, {"3.3", "3.30"},   {"2.505", "2.51"},
                        {"25E-1", "2.50"}, {"1D1", "10.00"}};
  for (const bool by_enter : {true, false}) {
    PanelRig rig;
    for (const Case& c : cases) {
      Retype(*rig.window, rig.window->Text3, c.typed);
      QTest::keyClick(rig.window->Text3, by_enter ? Qt::Key_Return : Qt::Key_Tab);
      EXPECT_EQ(rig.window->Text3->text().toStdString(), c.shown) << c.typed;
    }
    EXPECT_TRUE(rig.watcher->boxes.empty());
  }
}

TEST(AdcRead, DecSelectedThroughTheAccessibleToggleShowsDecimalCodes) {
  PanelRig rig;
  Click(*rig.window, rig.window->cmdReadADC);
  const std::string hex = rig.window->lblADC[1]->text().toStdString();
  ASSERT_EQ(hex.rfind("0x", 0), 0U) << hex;
  const int code = std::stoi(hex.substr(2), nullptr, 16);
  ASSERT_NE(code, 0) << "a code that reads the same in both formats proves nothing";

  for (const auto& [option, shown] : {std::pair{1, std::to_string(code)}, std::pair{0, hex}}) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(
        rig.window->optFORMAT[static_cast<std::size_t>(option)]);
    ASSERT_NE(face, nullptr);
    ASSERT_NE(face->actionInterface(), nullptr);
    face->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    Settle();
    EXPECT_TRUE(rig.window->optFORMAT[static_cast<std::size_t>(option)]->isChecked());
    EXPECT_EQ(rig.window->lblADC[1]->text().toStdString(), shown) << option;
  }
}

TEST(AdcCapture, AllFilesListsNamesWithAndWithoutADot) {
  TempFolder folder;
  for (const char* name : {"capture", "capture2.dat", "notes.txt"}) {
    WriteBytes(folder.File(name), "x");
  }
  PanelRig rig;
  // Looks at the dialog the way the operator would, then cancels it.
  rig.watcher.reset();
  std::map<std::string, std::vector<std::string>> listed;
  QTimer poll;
  int ticks = 0;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr) {
      return;
    }
    if (!dialog->property("kx_opened").toBool()) {
      dialog->setProperty("kx_opened", true);
      dialog->setDirectory(QString::fromStdString(folder.Path().string()));
      return;
    }
    auto* files = dialog->findChild<QFileSystemModel*>();
    auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
    if (files == nullptr || types == nullptr) {
      dialog->reject();
      return;
    }
    const QModelIndex root = files->index(QString::fromStdString(folder.Path().string()));
    // The folder is read on a thread of the dialog's; give it time.
    if (files->rowCount(root) == 0 && ++ticks < 200) {
      return;
    }
    std::vector<std::string> names;
    for (int row = 0; row < files->rowCount(root); ++row) {
      const QModelIndex entry = files->index(row, 0, root);
      // Names the filter does not match are dropped or shown disabled.
      if ((files->flags(entry) & Qt::ItemIsEnabled) != 0) {
        names.push_back(entry.data().toString().toStdString());
      }
    }
    std::sort(names.begin(), names.end());
    listed[types->currentText().toStdString()] = names;
    if (types->currentIndex() == 0) {
      types->setCurrentIndex(1);
      emit types->activated(1);
      ticks = 0;
      return;
    }
    dialog->reject();
  });
  poll.start(10);
  Click(*rig.window, rig.window->Command4);
  poll.stop();

  EXPECT_EQ(listed["All Files (*.*)"],
            (std::vector<std::string>{"capture", "capture2.dat", "notes.txt"}));
  EXPECT_EQ(listed["DAT Files(*.dat)"], (std::vector<std::string>{"capture2.dat"}));
}

TEST(AdcCapture, ReadAndSaveWritesFiveHundredTwelveLinesThroughTheSaveDialog) {
  TempFolder folder;
  PanelRig rig;
  PaintedTexts label1(rig.window->Label1);
  const std::string path = folder.File("samples");  // no extension added
  rig.watcher->save_answers.push_back(path);
  ChooseItem(*rig.window, rig.window->Combo1[0], 1);
  const std::size_t skip = rig.Lines().size();
  const auto results_before = rig.window->AdcResults();
  Click(*rig.window, rig.window->Command4);

  EXPECT_EQ(rig.watcher->save_dialogs, 1);
  EXPECT_EQ(rig.watcher->save_filters[0], "All Files (*.*);;DAT Files(*.dat)");
  const auto words = AdcWordsAfter(rig, skip);
  ASSERT_EQ(words.size(), 8193U);
  EXPECT_EQ(words[0], 0xFFFF8320U);
  EXPECT_EQ(words[1], 0x8720U);
  EXPECT_EQ(words[16], 0x8320U);

  const std::string text = ReadBytes(path);
  std::size_t lines = 0;
  for (std::size_t at = 0; (at = text.find("\t\r\n", at)) != std::string::npos; at += 3) {
    ++lines;
  }
  EXPECT_EQ(lines, 512U);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\t'), 512 * 16);
  EXPECT_EQ(text.substr(text.size() - 3), "\t\r\n");
  EXPECT_EQ(std::filesystem::directory_iterator(folder.Path())->path().string(), path);

  EXPECT_EQ(label1.texts, (std::vector<std::string>{"Taking Samples", ""}));
  EXPECT_EQ(rig.window->Label1->text().toStdString(), "");
  EXPECT_FALSE(rig.window->captureProgress->isVisible());
  EXPECT_EQ(rig.window->AdcResults(), results_before);
  EXPECT_TRUE(rig.watcher->boxes.empty());
}

TEST(AdcCapture, CancellingTheDialogSendsNothingAndWritesNothing) {
  TempFolder folder;
  PanelRig rig;
  PaintedTexts label1(rig.window->Label1);
  rig.watcher->save_answers.emplace_back("");
  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->Command4);
  EXPECT_EQ(rig.watcher->save_dialogs, 1);
  EXPECT_TRUE(rig.LinesAfter(skip).empty());
  EXPECT_TRUE(label1.texts.empty());
  EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
  EXPECT_TRUE(rig.watcher->boxes.empty());
}

TEST(AdcCapture, AnExistingFileIsReplacedOnlyWhenTheOperatorSaysSo) {
  TempFolder folder;
  const std::string path = folder.File("old.dat");
  WriteBytes(path, "earlier samples\r\n");

  PanelRig rig;
  rig.watcher->answer_yes = false;
  rig.watcher->save_answers.push_back(path);
  std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->Command4);
  ASSERT_EQ(rig.watcher->questions.size(), 1U);
  EXPECT_TRUE(rig.LinesAfter(skip).empty());
  EXPECT_EQ(ReadBytes(path), "earlier samples\r\n");

  rig.watcher->answer_yes = true;
  rig.watcher->save_answers.push_back(path);
  skip = rig.Lines().size();
  Click(*rig.window, rig.window->Command4);
  EXPECT_EQ(rig.watcher->questions.size(), 2U);
  EXPECT_EQ(AdcWordsAfter(rig, skip).size(), 8193U);
  const std::string text = ReadBytes(path);
  EXPECT_EQ(text.find("earlier"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 512);
}

// A file the operator may not write: once the dialog's question is answered,
// the capture says why and takes no sample, and the file stays as it was.
TEST(AdcCapture, AReadOnlyFileIsKeptAndTheOperatorToldBeforeAnySampleIsTaken) {
  TempFolder folder;
  const std::string path = folder.File("kept.dat");
  WriteBytes(path, "earlier samples\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::others_read);

  PanelRig rig;
  PaintedTexts label1(rig.window->Label1);
  rig.watcher->save_answers.push_back(path);
  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->Command4);

  EXPECT_EQ(rig.watcher->questions.size(), 1U);
  EXPECT_TRUE(AdcWordsAfter(rig, skip).empty());
  ASSERT_EQ(rig.watcher->boxes.size(), 1U);
  EXPECT_EQ(rig.watcher->boxes[0].text, "Cannot save the samples to \"" + path +
                                            "\": the file is read-only. Any existing file of "
                                            "that name is unchanged.");
  EXPECT_EQ(rig.watcher->boxes[0].title, "Error");
  EXPECT_TRUE(label1.texts.empty());
  EXPECT_FALSE(rig.window->captureProgress->isVisible());
  std::filesystem::permissions(path, std::filesystem::perms::owner_all);
  EXPECT_EQ(ReadBytes(path), "earlier samples\r\n");
}

TEST(AdcCapture, TheEarlierProgramsWordsCarryWeakTriAndItsCodesTheLowTwelveBits) {
  TempFolder folder;
  PanelRig rig(ClassicEdition);
  ChooseItem(*rig.window, rig.window->Combo1[1], 1);  // "Weak"
  rig.watcher->save_answers.push_back(folder.File("classic.dat"));
  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->Command4);
  const auto words = AdcWordsAfter(rig, skip);
  ASSERT_EQ(words.size(), 8193U);
  EXPECT_EQ(words[0], 0xFFFF8340U);
  EXPECT_EQ(words[5], 0x9740U);
  const std::string text = ReadBytes(folder.File("classic.dat"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 512);
}

TEST(AdcCapture, ChannelZeroToFileWritesTheWholeReplies) {
  // The button is never shown; its handler still works when called.
  TempFolder folder;
  PanelRig rig;
  PaintedTexts label1(rig.window->Label1);
  rig.watcher->save_answers.push_back(folder.File("ch0"));
  const std::size_t skip = rig.Lines().size();
  rig.window->Command3_Click();
  Settle();
  const auto words = AdcWordsAfter(rig, skip);
  ASSERT_EQ(words.size(), 1025U);
  EXPECT_EQ(std::count(words.begin(), words.end(), 0xFFFF8310U), 1025);
  const std::string text = ReadBytes(folder.File("ch0"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1024);
  EXPECT_EQ(text.substr(0, 1), " ");
  EXPECT_EQ(text.substr(text.size() - 3), " \r\n");
  EXPECT_TRUE(label1.texts.empty());  // Label1 is not used by this capture
}

}  // namespace
}  // namespace kx::testing
