// The DAC side as the operator works it: codes typed into the boxes, ticks,
// list choices and button clicks, checked on what the board received.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <optional>

#include "board/link_requests.h"
#include "panel/panel_actions.h"
#include "panel/panel_rig.h"
#include "panel/text_box.h"

namespace kx::testing {
namespace {

using panel::TextBox;

constexpr int kLow = board::DacLowRequest;
constexpr int kHigh = board::DacHighRequest;

std::size_t At(int i) {
  return static_cast<std::size_t>(i);
}

std::vector<SentRequest> RequestsAfter(const PanelRig& rig, std::size_t skip) {
  return Requests(rig.LinesAfter(skip));
}

std::vector<int> Codes(const std::vector<SentRequest>& requests) {
  std::vector<int> codes;
  codes.reserve(requests.size());
  for (const SentRequest& r : requests) {
    codes.push_back(r.code);
  }
  return codes;
}

// The sixteen words of one load: eight to each group, DAC0 to DAC7 first.
// A slot given as 0 is one never loaded: its own channel's word with code 0.
std::vector<DacSent> LoadWords(const std::array<std::uint32_t, 16>& words,
                               std::uint32_t command_bits = 0) {
  std::vector<DacSent> sent;
  sent.reserve(words.size());
  for (int i = 0; i < 16; ++i) {
    const std::uint32_t unloaded = command_bits + static_cast<std::uint32_t>(i % 8) * 0x100000U;
    sent.push_back({i < 8 ? kLow : kHigh, words[At(i)] == 0 ? unloaded : words[At(i)]});
  }
  return sent;
}

void UntickAll(PanelRig& rig, std::array<QCheckBox*, 16>& boxes) {
  for (QCheckBox* box : boxes) {
    if (box->isChecked()) {
      Click(*rig.window, box);
    }
  }
}

TEST(DacLoad, FirstLoadWithTheStartUpTicksAndTextsSendsEveryChannelThenOnePulse) {
  const std::array<std::uint32_t, 16> input = {0x0001FF00, 0x0012FF00, 0x0023FF00, 0x0034FF00,
                                               0x0045FF00, 0x0056FF00, 0x0067FF00, 0x007FFF00,
                                               0x0000FF00, 0x0011FF00, 0x0022FF00, 0x0033FF00,
                                               0x0044FF00, 0x0055FF00, 0x0066FF00, 0x0077FF00};
  struct Case {
    const Edition* edition;
    bool update;  // "Update DAC Register" instead of "Load Input Register"
    const char* status;
  };
  for (const Case c : {Case{&Version2Edition, false, "DAC Write: 0x77FF00"},
                       Case{&Version2Edition, true, "DAC Write: 0x177FF00"},
                       Case{&ClassicEdition, false, "DAC Write: 0x77FF00"},
                       Case{&ClassicEdition, true, "DAC Write: 0x177FF00"}}) {
    PanelRig rig(*c.edition);
    const std::size_t skip = rig.Lines().size();
    Click(*rig.window, c.update ? rig.window->cmdLoadDACReg : rig.window->cmdLoadInputReg);

    const auto sent = RequestsAfter(rig, skip);
    std::array<std::uint32_t, 16> expected = input;
    for (std::uint32_t& word : expected) {
      word += c.update ? 0x01000000U : 0U;
    }
    EXPECT_EQ(DacWords(sent), LoadWords(expected)) << c.update;
    ASSERT_EQ(sent.size(), 17U);
    EXPECT_EQ(sent.back().code, board::PulseLdacRequest);
    EXPECT_EQ(rig.window->Label2->text().toStdString(), c.status);
    EXPECT_TRUE(rig.watcher->boxes.empty());
  }
}

TEST(DacLoad, OnlyTickedChannelsTakeNewWordsAndUntickedOnesResendTheirOldWord) {
  PanelRig rig;
  UntickAll(rig, rig.window->chkINPUTREG);
  Click(*rig.window, rig.window->chkINPUTREG[3]);
  Retype(*rig.window, rig.window->txtDAC[3], "7FF");

  std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdLoadInputReg);
  auto sent = RequestsAfter(rig, skip);
  EXPECT_EQ(DacWords(sent), LoadWords({0, 0, 0, 0x0037FF00}));
  EXPECT_EQ(sent.back().code, board::PulseLdacRequest);
  EXPECT_EQ(rig.window->Label2->text().toStdString(), "DAC Write: 0x700000");

  // DAC3 edited but no longer ticked keeps the word it was loaded with.
  Click(*rig.window, rig.window->chkINPUTREG[3]);
  Click(*rig.window, rig.window->chkINPUTREG[5]);
  Retype(*rig.window, rig.window->txtDAC[3], "123");
  Retype(*rig.window, rig.window->txtDAC[5], "1FF");
  skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdLoadInputReg);
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), LoadWords({0, 0, 0, 0x0037FF00, 0, 0x0051FF00}));

  // Nothing ticked: the stored words go out all the same, and the pulse.
  Click(*rig.window, rig.window->chkINPUTREG[5]);
  skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdLoadInputReg);
  sent = RequestsAfter(rig, skip);
  EXPECT_EQ(DacWords(sent), LoadWords({0, 0, 0, 0x0037FF00, 0, 0x0051FF00}));
  EXPECT_EQ(sent.size(), 17U);
}

TEST(DacLoad, TheTwoButtonsKeepSeparateWords) {
  PanelRig rig;
  UntickAll(rig, rig.window->chkINPUTREG);
  UntickAll(rig, rig.window->chkDACREG);
  Click(*rig.window, rig.window->chkDACREG[11]);
  Retype(*rig.window, rig.window->txtDAC[11], "FFF");
  Click(*rig.window, rig.window->cmdLoadDACReg);
  EXPECT_EQ(rig.window->Dac().DacRegWordsHigh()[3], 0x013FFF00);

  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdLoadInputReg);
  // DAC11 was loaded only through "Update DAC Register".
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), LoadWords({}));
  EXPECT_EQ(rig.window->Dac().InputRegWordsHigh()[3], 0x00300000);
}

// The operator unticks the channels not wanted before the first load: the
// twelve never loaded must not send DAC0 or DAC8 back to code 0.
TEST(DacLoad, APartialFirstLoadLeavesEveryLoadedChannelAtItsCode) {
  PanelRig rig;
  for (int channel = 4; channel < 16; ++channel) {
    Click(*rig.window, rig.window->chkINPUTREG[At(channel)]);
  }
  const std::array<const char*, 4> codes = {"100", "200", "7FF", "FFF"};
  for (int channel = 0; channel < 4; ++channel) {
    Retype(*rig.window, rig.window->txtDAC[At(channel)], codes[At(channel)]);
  }
  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdLoadInputReg);

  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)),
            LoadWords({0x00010000, 0x00120000, 0x0027FF00, 0x003FFF00}));
  const std::array<std::uint16_t, 4> loaded = {0x100, 0x200, 0x7FF, 0xFFF};
  for (int channel = 0; channel < 16; ++channel) {
    EXPECT_EQ(rig.board.Group(channel / 8).DacRegister(channel % 8),
              channel < 4 ? loaded[At(channel)] : 0)
        << channel;
  }
}

TEST(DacLoad, ACodeAboveFffRefusesTheWholeClickNamingEachChannel) {
  PanelRig rig;
  Retype(*rig.window, rig.window->txtDAC[2], "1000");
  Retype(*rig.window, rig.window->txtDAC[9], "fffff");
  Click(*rig.window, rig.window->cmdLoadInputReg);  // leaving txtDAC(9) upper-cases it

  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdLoadInputReg);
  EXPECT_TRUE(RequestsAfter(rig, skip).empty());
  ASSERT_FALSE(rig.watcher->boxes.empty());
  const auto& box = rig.watcher->boxes.back();
  EXPECT_EQ(box.text,
            "DAC codes above FFF do not fit in 12 bits:\nDAC2 \"1000\"\nDAC9 \"FFFFF\"\n"
            "Nothing was sent.");
  EXPECT_EQ(box.title, "Error");
  EXPECT_EQ(rig.window->Dac().InputRegWordsLow()[2], 0x00200000);

  // An unticked channel's text is not read, so it cannot refuse the click.
  Click(*rig.window, rig.window->chkINPUTREG[2]);
  Click(*rig.window, rig.window->chkINPUTREG[9]);
  const std::size_t boxes = rig.watcher->boxes.size();
  const std::size_t again = rig.Lines().size();
  Click(*rig.window, rig.window->cmdLoadInputReg);
  EXPECT_EQ(RequestsAfter(rig, again).size(), 17U);
  EXPECT_EQ(rig.watcher->boxes.size(), boxes);
}

TEST(DacRawWrite, SendsAllThirtyTwoBitsToTheChosenGroupWithoutAPulse) {
  PanelRig rig;
  std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdDACwrite);  // the start text "000000"
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), (std::vector<DacSent>{{kLow, 0}}));

  Click(*rig.window, rig.window->optDAC[1]);
  Retype(*rig.window, rig.window->Text1, "1234abcd");
  EXPECT_EQ(rig.window->Text1->text().toStdString(), "1234ABCD");
  skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdDACwrite);
  const auto sent = RequestsAfter(rig, skip);
  EXPECT_EQ(Codes(sent), std::vector<int>{kHigh});
  EXPECT_EQ(DacWords(sent), (std::vector<DacSent>{{kHigh, 0x1234ABCD}}));
  EXPECT_EQ(rig.window->Label2->text().toStdString(), "DAC Write: 0x1234ABCD");
}

// Both raw-word boxes judge a text by its value: leading zeros are fine, a
// value too big for the box's word is refused as before.
TEST(RawWords, LeadingZerosAreFineInBothBoxes) {
  struct Case {
    bool dac;  // Text1 and "Write" of the DAC section, else Text2 and the ADC's
    const char* typed;
    std::optional<std::uint32_t> word;
  };
  const Case cases[] = {
      {true, "000000000001", 0x1U},           {true, "000012345678", 0x12345678U},
      {true, "100000000", std::nullopt},      {false, "00008310", 0x8310U},
      {false, "000000000000", 0x0U},          {false, "18310", std::nullopt},
      {false, "0000000018310", std::nullopt},
  };
  for (const Case& c : cases) {
    PanelRig rig;
    Retype(*rig.window, c.dac ? rig.window->Text1 : rig.window->Text2, c.typed);
    const std::size_t skip = rig.Lines().size();
    Click(*rig.window, c.dac ? rig.window->cmdDACwrite : rig.window->cmdWriteADC);
    const auto sent = RequestsAfter(rig, skip);
    if (c.word) {
      ASSERT_EQ(sent.size(), 1U) << c.typed;
      EXPECT_EQ(sent[0].code, c.dac ? kLow : board::AdcTransferRequest) << c.typed;
      EXPECT_EQ(sent[0].word, *c.word) << c.typed;
      EXPECT_TRUE(rig.watcher->boxes.empty()) << c.typed;
    } else {
      EXPECT_TRUE(sent.empty()) << c.typed;
      ASSERT_EQ(rig.watcher->boxes.size(), 1U) << c.typed;
      EXPECT_NE(rig.watcher->boxes[0].text.find(c.dac ? "more than eight" : "more than 4"),
                std::string::npos)
          << rig.watcher->boxes[0].text;
    }
  }
}

TEST(DacRawWrite, NoWordMeansAMessageAndNothingSent) {
  struct Case {
    const char* typed;
    const char* message;
  };
  for (const Case c :
       {Case{"",
             "The 32 Bit Hex Value is empty. Type one to eight hexadecimal digits. Nothing "
             "was sent."},
        Case{"123456789",
             "The 32 Bit Hex Value \"123456789\" has more than eight hexadecimal "
             "digits. Nothing was sent."}}) {
    PanelRig rig;
    Retype(*rig.window, rig.window->Text1, c.typed);
    const std::size_t skip = rig.Lines().size();
    Click(*rig.window, rig.window->cmdDACwrite);
    EXPECT_TRUE(RequestsAfter(rig, skip).empty()) << c.typed;
    ASSERT_EQ(rig.watcher->boxes.size(), 1U) << c.typed;
    EXPECT_EQ(rig.watcher->boxes[0].text, c.message);
    EXPECT_EQ(rig.watcher->boxes[0].title, "Error");
  }
}

TEST(HexKeyFilter, TextOneAndTwoTakeHexDigitsUpperCasedAndSwallowTheRest) {
  PanelRig rig;
  for (QLineEdit* box :
       {static_cast<QLineEdit*>(rig.window->Text1), static_cast<QLineEdit*>(rig.window->Text2)}) {
    Retype(*rig.window, box, "a1");
    EXPECT_EQ(box->text().toStdString(), "A1");
    QTest::keyClicks(box, "g z.-x");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->text().toStdString(), "A1") << box->objectName().toStdString();
    QTest::keyClicks(box, "bcdef0");
    EXPECT_EQ(box->text().toStdString(), "A1BCDEF0");
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(box->text().toStdString(), "A1BCDEF");
    // Keys that insert no character still move the cursor.
    QTest::keyClick(box, Qt::Key_Home);
    QTest::keyClick(box, Qt::Key_Delete);
    EXPECT_EQ(box->text().toStdString(), "1BCDEF");
  }
  EXPECT_TRUE(rig.watcher->boxes.empty());
}

TEST(DacValueEntry, EnterOnAValidCodeLeavesItAsTypedUntilTheBoxIsLeft) {
  PanelRig rig;
  TextBox* box = rig.window->txtDAC[3];
  Retype(*rig.window, box, "7ff");
  const std::size_t skip = rig.Lines().size();
  QTest::keyClick(box, Qt::Key_Return);
  Settle();
  EXPECT_EQ(box->text().toStdString(), "7ff");
  EXPECT_EQ(QApplication::focusWidget(), box);
  EXPECT_TRUE(rig.watcher->boxes.empty());
  EXPECT_TRUE(rig.LinesAfter(skip).empty());

  QTest::keyClick(box, Qt::Key_Tab);
  Settle();
  EXPECT_EQ(box->text().toStdString(), "7FF");
  EXPECT_EQ(QApplication::focusWidget(), rig.window->txtDAC[4]);
}

TEST(DacValueEntry, ABadCodeBecomesZeroWithTheMessageAndTakesTheFocusBack) {
  const char* bad[] = {"", "0x7FF", "&h7FF", "7F F", "-1", "G00", "123456789", "1.5"};
  for (const char* text : bad) {
    for (bool by_enter : {false, true}) {
      PanelRig rig;
      TextBox* box = rig.window->txtDAC[5];
      Retype(*rig.window, box, text);
      if (by_enter) {
        QTest::keyClick(box, Qt::Key_Return);
      } else {
        QTest::keyClick(box, Qt::Key_Tab);
      }
      Settle();
      EXPECT_EQ(box->text().toStdString(), "000") << text;
      ASSERT_EQ(rig.watcher->boxes.size(), 1U) << text;
      EXPECT_EQ(rig.watcher->boxes[0].text, "Invalid Hex Value");
      EXPECT_EQ(rig.watcher->boxes[0].title, "Error");
      // On an X display the focus comes back from the closed message box
      // through the server, some events later when the machine is busy.
      (void)QTest::qWaitFor([box] { return QApplication::focusWidget() == box; }, 2000);
      EXPECT_EQ(QApplication::focusWidget(), box) << text;
      // Back in the box, "000" is selected for the next code.
      EXPECT_EQ(box->selectedText().toStdString(), by_enter ? "" : "000") << text;
    }
  }
}

TEST(DacValueEntry, LongValidCodesPassTheCheckUnchanged) {
  for (const char* text : {"FFFF", "FFFFFFFF", "12345", "abc", "0"}) {
    PanelRig rig;
    TextBox* box = rig.window->txtDAC[1];
    Retype(*rig.window, box, text);
    QTest::keyClick(box, Qt::Key_Tab);
    Settle();
    EXPECT_EQ(box->text(), QString::fromLatin1(text).toUpper());
    EXPECT_TRUE(rig.watcher->boxes.empty()) << text;
  }
}

TEST(DacValueEntry, ClickingAButtonAwayFromABadCodeChecksItFirst) {
  PanelRig rig;
  UntickAll(rig, rig.window->chkINPUTREG);
  Click(*rig.window, rig.window->chkINPUTREG[1]);
  Retype(*rig.window, rig.window->txtDAC[1], "G00");
  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdLoadInputReg);

  // The button read "000", so DAC1 went out as code 0.
  const auto sent = RequestsAfter(rig, skip);
  ASSERT_EQ(DacWords(sent).size(), 16U);
  EXPECT_EQ(DacWords(sent)[1], (DacSent{kLow, 0x00100000}));
  EXPECT_EQ(rig.window->txtDAC[1]->text().toStdString(), "000");
  ASSERT_EQ(rig.watcher->boxes.size(), 1U);
  EXPECT_EQ(rig.watcher->boxes[0].text, "Invalid Hex Value");
  EXPECT_EQ(QApplication::focusWidget(), rig.window->txtDAC[1]);
}

TEST(DacPowerDown, ProgramSendsTheGroupsMaskWithTheModeOfItsOwnList) {
  PanelRig rig;
  ChooseItem(*rig.window, rig.window->cboPowerDown[0], 1);  // "1K to GND"
  EXPECT_EQ(QApplication::focusWidget(), rig.window->Picture1);
  Click(*rig.window, rig.window->chkPoweredDown[0]);
  Click(*rig.window, rig.window->chkPoweredDown[3]);
  std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdProgram[0]);
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), (std::vector<DacSent>{{kLow, 0x04000109}}));

  ChooseItem(*rig.window, rig.window->cboPowerDown[1], 3);  // "Three-state"
  for (int i = 8; i < 16; ++i) {
    if (!rig.window->chkPoweredDown[At(i)]->isChecked()) {
      Click(*rig.window, rig.window->chkPoweredDown[At(i)]);
    }
  }
  skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdProgram[1]);
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), (std::vector<DacSent>{{kHigh, 0x040003FF}}));
  EXPECT_TRUE(rig.watcher->boxes.empty());
}

TEST(DacPowerDown, ProgramBeforeAnyChoiceIsNormalModeAndStoresItsMask) {
  PanelRig rig;
  Click(*rig.window, rig.window->chkPoweredDown[9]);
  const std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdProgram[1]);
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), (std::vector<DacSent>{{kHigh, 0x04000002}}));
  EXPECT_EQ(rig.window->Dac().SavedPowerDownMask()[0], 0x0002);
}

TEST(DacPowerDown, AChoiceShowsTheMaskLastProgrammedWithThatModeInEitherGroup) {
  PanelRig rig;
  ChooseItem(*rig.window, rig.window->cboPowerDown[0], 2);  // "100K to GND"
  Click(*rig.window, rig.window->chkPoweredDown[2]);
  Click(*rig.window, rig.window->chkPoweredDown[5]);
  std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdProgram[0]);
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), (std::vector<DacSent>{{kLow, 0x04000224}}));

  for (int i : {8, 9, 15}) {
    Click(*rig.window, rig.window->chkPoweredDown[At(i)]);
  }
  skip = rig.Lines().size();
  ChooseItem(*rig.window, rig.window->cboPowerDown[1], 2);
  EXPECT_TRUE(rig.LinesAfter(skip).empty());  // a choice sends nothing
  for (int i = 8; i < 16; ++i) {
    EXPECT_EQ(rig.window->chkPoweredDown[At(i)]->isChecked(), i == 10 || i == 13) << i;
  }
  EXPECT_EQ(QApplication::focusWidget(), rig.window->Picture1);

  ChooseItem(*rig.window, rig.window->cboPowerDown[1], 1);  // never programmed
  for (int i = 8; i < 16; ++i) {
    EXPECT_FALSE(rig.window->chkPoweredDown[At(i)]->isChecked()) << i;
  }
  // The other group's boxes stay as they were.
  EXPECT_TRUE(rig.window->chkPoweredDown[2]->isChecked());
}

TEST(DacLdacRegister, ProgramSendsTheTickedChannelsOfItsGroup) {
  PanelRig rig;
  std::size_t skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdProgramLDAC[1]);
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), (std::vector<DacSent>{{kHigh, 0x06000000}}));
  for (int i = 8; i < 16; ++i) {
    Click(*rig.window, rig.window->chkLDAC[At(i)]);
  }
  skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdProgramLDAC[1]);
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), (std::vector<DacSent>{{kHigh, 0x060000FF}}));
  Click(*rig.window, rig.window->chkLDAC[1]);
  skip = rig.Lines().size();
  Click(*rig.window, rig.window->cmdProgramLDAC[0]);
  EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), (std::vector<DacSent>{{kLow, 0x06000002}}));
}

TEST(DacChoiceLists, ClearCodeAndReferenceSendAtOnceEveryTimeTheyAreChosen) {
  struct Case {
    int list;  // 0 clear code, 1 reference
    int group;
    int item;
    DacSent sent;
  };
  const Case cases[] = {
      {0, 1, 2, {kHigh, 0x05000002}}, {0, 1, 0, {kHigh, 0x05000000}}, {0, 0, 1, {kLow, 0x05000001}},
      {1, 0, 1, {kLow, 0x08000001}},  {1, 1, 0, {kHigh, 0x08000000}},
  };
  for (const Case& c : cases) {
    PanelRig rig;
    QComboBox* combo =
        c.list == 0 ? rig.window->cboClearCode[At(c.group)] : rig.window->cboREFERENCE[At(c.group)];
    for (int time = 0; time < 2; ++time) {  // the same item chosen again sends again
      const std::size_t skip = rig.Lines().size();
      ChooseItem(*rig.window, combo, c.item);
      EXPECT_EQ(DacWords(RequestsAfter(rig, skip)), std::vector<DacSent>{c.sent})
          << c.list << c.group << c.item;
    }
    // The clear-code list hands the focus on, the reference list keeps it.
    EXPECT_EQ(QApplication::focusWidget() == rig.window->Picture1, c.list == 0);
  }
}

TEST(ControlLines, EachButtonSendsItsRequestWithNoDataAndLeavesTheStatusLine) {
  struct Case {
    int line;  // 0 CLR, 1 LDAC
    int index;
    int code;
  };
  for (const Edition* edition : {&Version2Edition, &ClassicEdition}) {
    PanelRig rig(*edition);
    Retype(*rig.window, rig.window->Text1, "ABC");
    Click(*rig.window, rig.window->cmdDACwrite);
    const std::string status = rig.window->Label2->text().toStdString();
    for (const Case c : {Case{0, 0, board::ClrHighRequest}, Case{0, 1, board::ClrLowRequest},
                         Case{1, 0, board::LdacHighRequest}, Case{1, 1, board::LdacLowRequest}}) {
      const std::size_t skip = rig.Lines().size();
      Click(*rig.window,
            c.line == 0 ? rig.window->cmdCLR[At(c.index)] : rig.window->cmdLDAC[At(c.index)]);
      const auto sent = RequestsAfter(rig, skip);
      ASSERT_EQ(sent.size(), 1U);
      EXPECT_EQ(sent[0].code, c.code);
      EXPECT_EQ(sent[0].value, 0);
      EXPECT_EQ(sent[0].index, 0);
      EXPECT_EQ(sent[0].dir, 0);
      EXPECT_EQ(sent[0].len, 0);
    }
    EXPECT_EQ(rig.window->Label2->text().toStdString(), status);
  }
}

TEST(ControlLines, PulseLdacIsAButtonOnlyInTheEarlierProgram) {
  PanelRig classic(ClassicEdition);
  ASSERT_TRUE(classic.window->cmdPulseLDAC->isVisible());
  const std::size_t skip = classic.Lines().size();
  Click(*classic.window, classic.window->cmdPulseLDAC);
  EXPECT_EQ(Codes(Requests(classic.LinesAfter(skip))), std::vector<int>{board::PulseLdacRequest});
  EXPECT_TRUE(classic.window->Label2->text().isEmpty());
}

}  // namespace
}  // namespace kx::testing
