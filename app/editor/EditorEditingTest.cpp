// The editing calls of the page editor model: rows, links, title, page size
// text, paste, clear, add/delete page and the colour choosers.
#include <gtest/gtest.h>

#include "EditorModel.h"
#include "Globals.h"
#include "ParserTestSupport.h"
#include "Prompter.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

using testing_support::RecordingSender;

class EditorEditingTest : public ::testing::Test {
 protected:
  EditorEditingTest() : model_(g_, settings_, prompter_, sender_) {}

  void LoadWithPages(int n) {
    settings_.WriteSetting(kPageSettingsKey, kMaxPages, std::to_string(n), kRegSz);
    model_.Load();
  }
  void ShowSized(int page, int size) {
    model_.ShowPage(std::to_string(page));
    model_.SetPageSize(std::to_string(size));
  }
  const PageRecord& Shown() const { return g_.Pages[model_.CurrentPage()]; }

  Globals g_;
  SettingsStore settings_;
  ScriptedPrompter prompter_;
  RecordingSender sender_;
  EditorModel model_;
};

TEST_F(EditorEditingTest, TwentyFiveCharactersStoreTheFirstTwenty) {
  LoadWithPages(5);
  ShowSized(4, 3);
  model_.SetLineText(2, "ABCDEFGHIJKLMNOPQRSTUVWXY");
  EXPECT_EQ(Shown().Lines[2], "ABCDEFGHIJKLMNOPQRST");
  model_.SetLineText(1, "SHORT");
  EXPECT_EQ(Shown().Lines[1], "SHORT               ");
  model_.SetLineText(9, "OUTSIDE");  // no such row: nothing happens
  EXPECT_EQ(Shown().Lines.size(), 4U);
}

struct LinkCase {
  const char* name;
  int page;
  int row;
  const char* typed;
  int storedWhileTyping;  // the link before the check
  const char* boxAfterCheck;
  int storedAfterCheck;
};

class LinkCheckTest : public EditorEditingTest, public ::testing::WithParamInterface<LinkCase> {};

TEST_P(LinkCheckTest, TypingThenLeavingTheBox) {
  const LinkCase& c = GetParam();
  LoadWithPages(40);
  ShowSized(c.page, 12);
  model_.SetLinkText(c.row, "7");
  model_.SetLinkText(c.row, c.typed);
  EXPECT_EQ(Shown().Links[static_cast<size_t>(c.row)], c.storedWhileTyping);
  model_.CheckLink(c.row);
  EXPECT_EQ(model_.Rows()[static_cast<size_t>(c.row)].link, c.boxAfterCheck);
  EXPECT_EQ(Shown().Links[static_cast<size_t>(c.row)], c.storedAfterCheck);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, LinkCheckTest,
    ::testing::Values(LinkCase{"AboveLinkRange", 5, 0, "300", 7, "255", 255},
                      LinkCase{"AboveN", 5, 0, "41", 41, "255", 255},
                      LinkCase{"AtN", 5, 0, "40", 40, "40", 40},
                      LinkCase{"EmptyIsZeroWhileTypingThenRefused", 5, 0, "", 0, "255", 255},
                      LinkCase{"CategoriesPageBelowThree", 2, 3, "1", 1, "255", 255},
                      LinkCase{"OtherPageKeepsOne", 5, 3, "1", 1, "1", 1},
                      LinkCase{"ResultPageLineTwelveBelowThree", 1, 12, "2", 2, "255", 255},
                      LinkCase{"ResultPageLineTwelveThree", 1, 12, "3", 3, "3", 3},
                      LinkCase{"BeyondSixteenBits", 5, 0, "99999", 7, "255", 255}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditorEditingTest, TitleOfResultPageBecomesTheClassWhenLeft) {
  LoadWithPages(5);
  model_.ShowPage("1");
  model_.SetTitleText("SUPER STOCK ELIMINATOR");
  EXPECT_EQ(g_.Pages[1].Title, "SUPER STOCK ELIM");
  EXPECT_NE(g_.Race.CurrentClass, "SUPER STOCK ELIM");
  model_.CommitTitle();
  EXPECT_EQ(g_.Race.CurrentClass, "SUPER STOCK ELIM");

  model_.ShowPage("3");
  model_.SetTitleText("OTHER");
  model_.CommitTitle();
  EXPECT_EQ(g_.Race.CurrentClass, "SUPER STOCK ELIM");
}

struct SizeCase {
  const char* typed;
  int page;
  int size;
};

class PageSizeTextTest : public EditorEditingTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(PageSizeTextTest, CorrectedThenApplied) {
  LoadWithPages(3);
  model_.ShowPage(std::to_string(GetParam().page));
  model_.CommitPageSizeText(GetParam().typed);
  EXPECT_EQ(model_.ShownSize(), GetParam().size);
  EXPECT_EQ(model_.PageSizeText(), std::to_string(GetParam().size));
}

INSTANTIATE_TEST_SUITE_P(Texts, PageSizeTextTest,
                         ::testing::Values(SizeCase{"250", 3, 200}, SizeCase{"200", 3, 200},
                                           SizeCase{"99999", 3, 200}, SizeCase{"abc", 3, 0},
                                           SizeCase{"5", 1, 12}, SizeCase{"17", 3, 17}));

struct PasteCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

class PasteSplitTest : public ::testing::TestWithParam<PasteCase> {};

TEST_P(PasteSplitTest, LineEnds) {
  EXPECT_EQ(EditorModel::SplitPastedLines(GetParam().text), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PasteSplitTest,
    ::testing::Values(PasteCase{"CrLf", "A\r\nB\r\n", {"A", "B"}},
                      PasteCase{"LfAlone", "A\nB\n", {"A", "B"}},
                      PasteCase{"CrAlone", "A\rB\r", {"A", "B"}},
                      PasteCase{"LastLineWithoutBreakDropped", "A\r\nB\r\nC", {"A", "B"}},
                      PasteCase{"NoBreakAtAll", "ONLY", {}},
                      PasteCase{"EmptyLinesKept", "A\n\nB\n", {"A", "", "B"}},
                      PasteCase{"LfCrIsTwoBreaks", "A\n\rB\n", {"A", "", "B"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EditorEditingTest, PastingThreeLinesOntoATwoRowPageFillsTwo) {
  LoadWithPages(5);
  ShowSized(4, 1);
  EXPECT_EQ(model_.PasteText("ONE\r\nTWO\r\nTHREE\r\n"), 2);
  EXPECT_EQ(Shown().Lines[0], FixedText("ONE", 20));
  EXPECT_EQ(Shown().Lines[1], FixedText("TWO", 20));
  EXPECT_EQ(model_.Rows()[1].text, "TWO");
}

TEST_F(EditorEditingTest, FillLinesLeavesLinesBeyondTheFileAlone) {
  LoadWithPages(5);
  ShowSized(4, 3);
  model_.SetLineText(3, "KEEP");
  EXPECT_EQ(model_.FillLines({"A", "B"}), 2);
  EXPECT_EQ(Shown().Lines[3], FixedText("KEEP", 20));
}

TEST_F(EditorEditingTest, ClearPageThreeOfTenLines) {
  LoadWithPages(5);
  ShowSized(3, 10);
  model_.SetTitleText("TITLE");
  for (int i = 0; i <= 10; ++i) {
    model_.SetLineText(i, "LINE " + std::to_string(i));
    model_.SetLinkText(i, "4");
  }
  model_.ClearPage();
  EXPECT_EQ(g_.Pages[3].Title, std::string(16, ' '));
  EXPECT_EQ(model_.TitleText(), std::string(16, ' '));
  for (int i = 0; i <= 10; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(g_.Pages[3].Lines[static_cast<size_t>(i)], std::string(20, ' '));
    EXPECT_EQ(g_.Pages[3].Links[static_cast<size_t>(i)], 255);
    EXPECT_EQ(model_.Rows()[static_cast<size_t>(i)].link, "255");
  }
}

TEST_F(EditorEditingTest, AddAndDeletePageShowTheLastRewindAndRebuild) {
  LoadWithPages(3);
  int rebuilds = 0;
  model_.SetImageRebuilder([&] { ++rebuilds; });
  g_.TxCursor = 500;
  ASSERT_TRUE(model_.AddPage());
  EXPECT_EQ(g_.Pages.N(), 4);
  EXPECT_EQ(model_.CurrentPage(), 4);
  EXPECT_EQ(model_.ShownSize(), 0);
  EXPECT_EQ(g_.TxCursor, 0);
  EXPECT_EQ(rebuilds, 1);

  settings_.WriteSetting(PageKey(4), "P0", "GONE", kRegSz);
  g_.TxCursor = 500;
  ASSERT_TRUE(model_.DeletePage());
  EXPECT_EQ(g_.Pages.N(), 3);
  EXPECT_EQ(model_.CurrentPage(), 3);
  EXPECT_EQ(settings_.ReadSetting(PageKey(4), "P0"), kNoKeyValue);
  EXPECT_EQ(g_.TxCursor, 0);
  EXPECT_EQ(rebuilds, 2);
}

TEST_F(EditorEditingTest, PageCountLimits) {
  LoadWithPages(2);
  int rebuilds = 0;
  model_.SetImageRebuilder([&] { ++rebuilds; });
  EXPECT_FALSE(model_.DeletePage());
  EXPECT_EQ(g_.Pages.N(), 2);
  while (model_.AddPage()) {
  }
  EXPECT_EQ(g_.Pages.N(), 126);
  const int16_t lastAddress = g_.Pages[126].Address;
  EXPECT_FALSE(model_.AddPage());
  EXPECT_EQ(g_.Pages[126].Address, lastAddress);
  EXPECT_EQ(rebuilds, 124);
}

TEST_F(EditorEditingTest, ChoosingCursorGreenBackgroundStoresEight) {
  LoadWithPages(5);
  model_.ShowPage("4");
  model_.SelectColourArea(1);
  model_.ChooseBackColour(8);
  EXPECT_EQ(settings_.ReadSetting(PageKey(4), kCursorBackColor), "8");
  EXPECT_EQ(model_.ShownColours().back[1], 8);
  model_.ChooseForeColour(16);  // not a palette index
  EXPECT_EQ(settings_.ReadSetting(PageKey(4), kCursorForeColor), "0");
}

TEST_F(EditorEditingTest, UnknownAreaSelectsPage) {
  LoadWithPages(3);
  model_.SelectColourArea(2);
  EXPECT_EQ(model_.ColourAreaPosition(), 2);
  model_.SelectColourArea(-1);
  EXPECT_EQ(model_.ColourAreaPosition(), 0);
}

}  // namespace
}  // namespace torvane
