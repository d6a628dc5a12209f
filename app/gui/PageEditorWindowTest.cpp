// The page editor window driven by keys and clicks, offscreen.
#include "PageEditorWindow.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "GuiTestSupport.h"
#include "Prompter.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "TimingPipeline.h"

namespace torvane {
namespace {

using testing_support::ScriptedDesktop;
using testing_support::ShowActive;

class PageEditorWindowTest : public ::testing::Test {
 protected:
  void Start(int highestPage) {
    settings_.WriteSetting(kPageSettingsKey, kMaxPages, std::to_string(highestPage), kRegSz);
    core_.StartUp({});
    window_ = std::make_unique<PageEditorWindow>(core_.editor(), desktop_);
    ASSERT_TRUE(ShowActive(*window_));
  }
  template <typename T>
  T* Child(const char* name) {
    T* child = window_->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  // Focus moved to box as by the Tab key, its text selected as on entry.
  void Enter(QLineEdit* box) {
    ASSERT_NE(box, nullptr);
    box->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
  }
  void Type(QLineEdit* box, const QString& keys) {
    Enter(box);
    QTest::keyClicks(box, keys);
  }
  // Leaves the box by moving the focus to the title box.
  void Leave() { Enter(Child<QLineEdit>("txtTitle")); }
  void ShowPage(int page, int size) {
    Type(Child<QLineEdit>("txtPage"), QString::number(page));
    QTest::keyClick(Child<QLineEdit>("txtPage"), Qt::Key_Return);
    Type(Child<QLineEdit>("txtPageSize"), QString::number(size));
    QTest::keyClick(Child<QLineEdit>("txtPageSize"), Qt::Key_Return);
    ASSERT_EQ(core_.editor().CurrentPage(), page);
  }
  const PageRecord& Page(int page) { return core_.globals().Pages[page]; }

  SettingsStore settings_;
  ScriptedPrompter prompter_;
  ScriptedDesktop desktop_;
  TimingPipeline core_{settings_, prompter_};
  std::unique_ptr<PageEditorWindow> window_;
};

TEST_F(PageEditorWindowTest, TypingTwentyFiveCharactersStoresTheFirstTwenty) {
  Start(5);
  ShowPage(4, 3);
  Type(window_->DataBox(1), "ABCDEFGHIJKLMNOPQRSTUVWXY");
  EXPECT_EQ(Page(4).Lines[1], "ABCDEFGHIJKLMNOPQRST");
  EXPECT_EQ(window_->DataBox(1)->text(), "ABCDEFGHIJKLMNOPQRST");
}

TEST_F(PageEditorWindowTest, DoubleQuoteIsDroppedFromLines) {
  Start(5);
  ShowPage(4, 3);
  Type(window_->DataBox(0), "SAY \"HI\"");
  EXPECT_EQ(window_->DataBox(0)->text(), "SAY HI");
  EXPECT_EQ(Page(4).Lines[0], FixedText("SAY HI", 20));
}

TEST_F(PageEditorWindowTest, ArrowsAndEnterMoveBetweenRowsButNotPastTheLast) {
  Start(5);
  ShowPage(4, 2);
  Enter(window_->DataBox(0));
  QTest::keyClick(window_->DataBox(0), Qt::Key_Down);
  EXPECT_TRUE(window_->DataBox(1)->hasFocus());
  QTest::keyClick(window_->DataBox(1), Qt::Key_Return);
  EXPECT_TRUE(window_->DataBox(2)->hasFocus());
  QTest::keyClick(window_->DataBox(2), Qt::Key_Return);
  EXPECT_TRUE(window_->DataBox(2)->hasFocus());
  QTest::keyClick(window_->DataBox(2), Qt::Key_Down);
  EXPECT_TRUE(window_->DataBox(2)->hasFocus());
  QTest::keyClick(window_->DataBox(2), Qt::Key_Up);
  EXPECT_TRUE(window_->DataBox(1)->hasFocus());

  Enter(window_->LinkBox(0));
  QTest::keyClick(window_->LinkBox(0), Qt::Key_Return);
  EXPECT_TRUE(window_->LinkBox(1)->hasFocus());
  QTest::keyClick(window_->LinkBox(1), Qt::Key_Up);
  EXPECT_TRUE(window_->LinkBox(0)->hasFocus());
  Enter(window_->LinkBox(2));
  QTest::keyClick(window_->LinkBox(2), Qt::Key_Return);
  EXPECT_TRUE(window_->LinkBox(2)->hasFocus());
}

TEST_F(PageEditorWindowTest, EveryBoxSelectsItsTextOnEntry) {
  Start(5);
  ShowPage(4, 2);
  Type(window_->DataBox(0), "HELLO");
  for (const char* name : {"txtPage", "txtPageSize", "txtTitle", "txtRoundNumber", "txtClass"}) {
    SCOPED_TRACE(name);
    Enter(window_->LinkBox(2));
    QLineEdit* box = Child<QLineEdit>(name);
    if (box->text().isEmpty()) box->setText("1");
    Enter(box);
    EXPECT_EQ(box->selectedText(), box->text());
  }
  Enter(window_->DataBox(0));
  EXPECT_EQ(window_->DataBox(0)->selectedText(), FixedText("HELLO", 20).c_str());
  Enter(window_->LinkBox(1));
  EXPECT_EQ(window_->LinkBox(1)->selectedText(), window_->LinkBox(1)->text());
}

TEST_F(PageEditorWindowTest, LinkOfThreeHundredWithFortyPages) {
  Start(40);
  ShowPage(5, 2);
  Type(window_->LinkBox(1), "7");
  Leave();
  ASSERT_EQ(window_->LinkBox(1)->text(), "7");
  ASSERT_EQ(Page(5).Links[1], 7);
  Type(window_->LinkBox(1), "300");
  EXPECT_EQ(window_->LinkBox(1)->text(), "300");
  EXPECT_EQ(Page(5).Links[1], 30);  // "300" is refused while typing: "30" stays
  Leave();
  EXPECT_EQ(window_->LinkBox(1)->text(), "255");
  EXPECT_EQ(Page(5).Links[1], 255);
}

TEST_F(PageEditorWindowTest, LinkOfOneOnCategoriesPageBecomesNoLinkButStaysElsewhere) {
  Start(8);
  ShowPage(2, 3);
  Type(window_->LinkBox(0), "1");
  Leave();
  EXPECT_EQ(window_->LinkBox(0)->text(), "255");
  ShowPage(5, 3);
  Type(window_->LinkBox(0), "1");
  Leave();
  EXPECT_EQ(window_->LinkBox(0)->text(), "1");
  EXPECT_EQ(Page(5).Links[0], 1);
}

TEST_F(PageEditorWindowTest, LinkBoxTakesDigitsOnly) {
  Start(8);
  ShowPage(5, 1);
  Type(window_->LinkBox(0), "4x\"2");
  EXPECT_EQ(window_->LinkBox(0)->text(), "42");
}

TEST_F(PageEditorWindowTest, LettersInPageNumberShowPageZero) {
  Start(8);
  ShowPage(5, 1);
  Type(Child<QLineEdit>("txtPage"), "abc");  // typed letters are dropped
  EXPECT_EQ(Child<QLineEdit>("txtPage")->text(), "5");
  QApplication::clipboard()->setText("abc");  // pasted letters are not
  QTest::keyClick(Child<QLineEdit>("txtPage"), Qt::Key_V, Qt::ControlModifier);
  ASSERT_EQ(Child<QLineEdit>("txtPage")->text(), "abc");
  Leave();
  EXPECT_EQ(core_.editor().CurrentPage(), 0);
  EXPECT_EQ(Child<QLineEdit>("txtPage")->text(), "0");
}

TEST_F(PageEditorWindowTest, PageNumberBeyondNShowsN) {
  Start(8);
  Type(Child<QLineEdit>("txtPage"), "99");
  Leave();
  EXPECT_EQ(core_.editor().CurrentPage(), 8);
  EXPECT_EQ(Child<QLineEdit>("txtPage")->text(), "8");
}

TEST_F(PageEditorWindowTest, PageSizeTwoHundredFiftyBecomesTwoHundred) {
  Start(5);
  ShowPage(4, 0);
  Type(Child<QLineEdit>("txtPageSize"), "2x50");
  EXPECT_EQ(Child<QLineEdit>("txtPageSize")->text(), "250");
  QTest::keyClick(Child<QLineEdit>("txtPageSize"), Qt::Key_Return);
  EXPECT_TRUE(Child<QLineEdit>("txtPage")->hasFocus());
  EXPECT_EQ(Child<QLineEdit>("txtPageSize")->text(), "200");
  EXPECT_EQ(window_->RowsShown(), 201);
  EXPECT_EQ(Page(4).Lines.size(), 201U);
  EXPECT_EQ(settings_.ReadSetting(PageKey(4), kPageSize), "200");
}

TEST_F(PageEditorWindowTest, ResultPageShowsAtLeastThirteenRows) {
  Start(5);
  ShowPage(1, 5);
  EXPECT_EQ(window_->RowsShown(), 13);
  EXPECT_EQ(Child<QLineEdit>("txtPageSize")->text(), "12");
}

TEST_F(PageEditorWindowTest, PageSwitchReusesTheRows) {
  Start(5);
  ShowPage(3, 200);
  ShowPage(4, 200);
  QLineEdit* last = window_->DataBox(200);
  ASSERT_NE(last, nullptr);
  ShowPage(0, 0);
  EXPECT_EQ(window_->RowsShown(), 1);
  EXPECT_EQ(window_->DataBox(1), nullptr);
  ShowPage(3, 200);
  EXPECT_EQ(window_->RowsBuilt(), 201);
  EXPECT_EQ(window_->DataBox(200), last);
}

TEST_F(PageEditorWindowTest, SpinButtonsShowPageAndSetSize) {
  Start(6);
  auto* page = Child<QSpinBox>("updCurrentPage");
  EXPECT_EQ(page->maximum(), 6);
  page->setValue(4);
  EXPECT_EQ(core_.editor().CurrentPage(), 4);
  EXPECT_EQ(Child<QLineEdit>("txtPage")->text(), "4");
  Child<QSpinBox>("updPageSize")->setValue(3);
  EXPECT_EQ(window_->RowsShown(), 4);
}

TEST_F(PageEditorWindowTest, DefaultColoursPaintTheRowsAndAreStored) {
  Start(5);
  ShowPage(4, 1);
  EXPECT_EQ(window_->DataBox(1)->palette().color(QPalette::Base), QColor(255, 255, 0));
  EXPECT_EQ(window_->DataBox(1)->palette().color(QPalette::Text), QColor(0, 0, 0));
  EXPECT_EQ(window_->LinkBox(1)->palette().color(QPalette::Base), QColor(255, 255, 255));
  auto* title = Child<QLineEdit>("txtTitle");
  EXPECT_EQ(title->palette().color(QPalette::Base), QColor(255, 0, 0));
  EXPECT_EQ(title->palette().color(QPalette::Text), QColor(255, 255, 255));
  for (const char* name : {"TitleForeColor", "TitleBackColor", "CursorForeColor",
                           "CursorBackColor", "PageForeColor", "PageBackColor", "TickerForeColor",
                           "TickerBackColor"}) {
    EXPECT_NE(settings_.ReadSetting(PageKey(4), name), kNoKeyValue) << name;
  }
}

TEST_F(PageEditorWindowTest, CursorGreenBackgroundPaintsEveryLinkBox) {
  Start(5);
  ShowPage(4, 3);
  auto* area = Child<QComboBox>("cboPageColor");
  area->setCurrentIndex(1);
  Q_EMIT area->activated(1);
  auto* back = Child<QComboBox>("clrBackground");
  ASSERT_EQ(back->count(), 16);
  EXPECT_EQ(back->itemText(8), "Green");
  EXPECT_EQ(back->currentIndex(), 3);  // the cursor's stored white
  back->setCurrentIndex(8);
  Q_EMIT back->activated(8);
  EXPECT_EQ(settings_.ReadSetting(PageKey(4), kCursorBackColor), "8");
  for (int i = 0; i <= 3; ++i) {
    EXPECT_EQ(window_->LinkBox(i)->palette().color(QPalette::Base), QColor(0, 255, 0)) << i;
  }
  // Another page repaints with its own colours.
  ShowPage(3, 3);
  EXPECT_EQ(window_->LinkBox(0)->palette().color(QPalette::Base), QColor(255, 255, 255));
}

struct StoredColourCase {
  const char* name;
  const char* fore;
  const char* back;
  QColor text;  // as painted on the rows
  QColor base;
};

class PageEditorStoredColourTest : public PageEditorWindowTest,
                                   public ::testing::WithParamInterface<StoredColourCase> {};

// Each stored index is taken on its own: one outside the palette leaves that
// colour as the rows had it, the other one still paints.
TEST_P(PageEditorStoredColourTest, EachValidIndexPaintsTheRows) {
  const StoredColourCase& c = GetParam();
  Start(5);
  ShowPage(3, 2);  // rows painted with page 3's defaults: black on yellow
  settings_.WriteSetting(PageKey(4), "PageForeColor", c.fore, kRegSz);
  settings_.WriteSetting(PageKey(4), "PageBackColor", c.back, kRegSz);
  ShowPage(4, 2);
  for (int i = 0; i <= 2; ++i) {
    EXPECT_EQ(window_->DataBox(i)->palette().color(QPalette::Text), c.text) << i;
    EXPECT_EQ(window_->DataBox(i)->palette().color(QPalette::Base), c.base) << i;
  }
  // Out-of-range values are kept as they were stored.
  EXPECT_EQ(settings_.ReadSetting(PageKey(4), "PageForeColor"), c.fore);
  EXPECT_EQ(settings_.ReadSetting(PageKey(4), "PageBackColor"), c.back);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageEditorStoredColourTest,
    ::testing::Values(
        StoredColourCase{"BothValid", "3", "8", QColor(255, 255, 255), QColor(0, 255, 0)},
        StoredColourCase{"ForeOutOfRange", "99", "8", QColor(0, 0, 0), QColor(0, 255, 0)},
        StoredColourCase{"BackOutOfRange", "4", "-1", QColor(255, 0, 0), QColor(255, 255, 0)},
        StoredColourCase{"BothOutOfRange", "16", "200", QColor(0, 0, 0), QColor(255, 255, 0)}),
    [](const ::testing::TestParamInfo<StoredColourCase>& info) { return info.param.name; });

TEST_F(PageEditorWindowTest, PasteButtonTellsWhenTheClipboardCannotBeRead) {
  Start(5);
  ShowPage(4, 1);
  core_.editor().SetLineText(0, "KEEP");
  desktop_.clipboardFails = true;
  QTest::mouseClick(Child<QPushButton>("cmdPastePage"), Qt::LeftButton);
  ASSERT_EQ(prompter_.Shown().size(), 1U);
  EXPECT_EQ(prompter_.Shown()[0].text, "Error pasting data from the Clipboard!");
  EXPECT_EQ(prompter_.Shown()[0].buttons, PromptButtons::kOk);
  EXPECT_EQ(Page(4).Lines[0], FixedText("KEEP", 20));
}

TEST_F(PageEditorWindowTest, PasteButtonFillsTheRowsThatExist) {
  Start(5);
  ShowPage(4, 1);
  desktop_.clipboard = "ONE\nTWO\nTHREE\n";
  QTest::mouseClick(Child<QPushButton>("cmdPastePage"), Qt::LeftButton);
  EXPECT_EQ(window_->DataBox(0)->text(), "ONE");
  EXPECT_EQ(window_->DataBox(1)->text(), "TWO");
  EXPECT_EQ(Page(4).Lines[1], FixedText("TWO", 20));
}

TEST_F(PageEditorWindowTest, AddAndDeletePageButtons) {
  Start(3);
  core_.globals().TxCursor = 800;
  QTest::mouseClick(Child<QPushButton>("cmdAddPage"), Qt::LeftButton);
  EXPECT_EQ(core_.globals().Pages.N(), 4);
  EXPECT_EQ(Child<QLineEdit>("txtPage")->text(), "4");
  EXPECT_EQ(Child<QSpinBox>("updCurrentPage")->maximum(), 4);
  EXPECT_EQ(core_.globals().TxCursor, 0);
  QTest::mouseClick(Child<QPushButton>("cmdDeletePage"), Qt::LeftButton);
  QTest::mouseClick(Child<QPushButton>("cmdDeletePage"), Qt::LeftButton);
  EXPECT_EQ(core_.globals().Pages.N(), 2);
  EXPECT_EQ(Child<QLineEdit>("txtPage")->text(), "2");
  QTest::mouseClick(Child<QPushButton>("cmdDeletePage"), Qt::LeftButton);
  EXPECT_EQ(core_.globals().Pages.N(), 2);  // pages 0..2 stay
}

TEST_F(PageEditorWindowTest, SendButtonsMoveTheTransmitCursor) {
  Start(5);
  ShowPage(3, 0);
  QTest::mouseClick(Child<QPushButton>("cmdSendPage"), Qt::LeftButton);
  EXPECT_EQ(core_.globals().TxCursor, Page(3).Address);
  QTest::mouseClick(Child<QPushButton>("cmdSendAllPages"), Qt::LeftButton);
  EXPECT_EQ(core_.globals().TxCursor, 272);
  QTest::mouseClick(Child<QPushButton>("cmdRefreshPages"), Qt::LeftButton);
  EXPECT_EQ(core_.globals().TxCursor, 0);
}

TEST_F(PageEditorWindowTest, GetClassesShownOverTcpAndAlternatesItsText) {
  Start(5);
  auto* button = Child<QPushButton>("cmdGetClasses");
  EXPECT_FALSE(button->isVisible());
  core_.globals().TimingTcpActive = true;
  window_->UpdateGetClassesVisible();
  EXPECT_TRUE(button->isVisible());
  std::vector<std::string> sent;
  window_->SetTimingSender([&](const std::string& text) { sent.push_back(text); });
  QTest::mouseClick(button, Qt::LeftButton);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(sent, (std::vector<std::string>{"~AC", "~AC\r"}));
}

TEST_F(PageEditorWindowTest, ClassBoxTurnsKeysUpperCase) {
  Start(5);
  Type(Child<QLineEdit>("txtClass"), "ss/aa");
  EXPECT_EQ(Child<QLineEdit>("txtClass")->text(), "SS/AA");
  EXPECT_EQ(core_.editor().ClassText(), "SS/AA");
}

TEST_F(PageEditorWindowTest, UnconfiguredCategoryShowsNoRaceTypeRoundZeroClassStar) {
  settings_.WriteSetting(PageKey(2), "P0", "PRO STOCK", kRegSz);
  settings_.WriteSetting(PageKey(2), "P1", "SUPER GAS", kRegSz);
  settings_.WriteSetting(PageKey(2), kPageSize, "1", kRegSz);
  Start(5);
  auto* category = Child<QComboBox>("cboCategory");
  ASSERT_EQ(category->count(), 2);
  category->setCurrentIndex(1);
  Q_EMIT category->activated(1);
  EXPECT_EQ(Child<QComboBox>("cboRaceType")->currentIndex(), -1);
  EXPECT_EQ(Child<QLineEdit>("txtRoundNumber")->text(), "0");
  EXPECT_EQ(Child<QLineEdit>("txtClass")->text(), "*");
  EXPECT_FALSE(Child<QCheckBox>("chkHeadsUp")->isChecked());
}

TEST_F(PageEditorWindowTest, TitleOfResultPageBecomesTheClassOnLeaving) {
  Start(5);
  ShowPage(1, 12);
  Type(Child<QLineEdit>("txtTitle"), "TOP FUEL");
  Enter(Child<QLineEdit>("txtPage"));
  EXPECT_EQ(core_.globals().Race.CurrentClass, FixedText("TOP FUEL", 16));
  EXPECT_EQ(Page(1).Title, FixedText("TOP FUEL", 16));
}

}  // namespace
}  // namespace torvane
