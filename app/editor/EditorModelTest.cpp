#include "EditorModel.h"

#include <gtest/gtest.h>

#include "ClassSelection.h"
#include "Globals.h"
#include "ParserTestSupport.h"
#include "Prompter.h"
#include "RaceFields.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

using testing_support::RecordingSender;
using Change = EditorModel::Change;

class EditorModelTest : public ::testing::Test {
 protected:
  EditorModelTest() : model_(g_, settings_, prompter_, sender_) {
    model_.AddObserver([this](Change change) { changes_.push_back(change); });
  }

  void Store(std::string_view key, std::string_view name, std::string_view value) {
    settings_.WriteSetting(key, name, value, kRegSz);
  }
  std::string Read(std::string_view key, std::string_view name) const {
    return settings_.ReadSetting(key, name);
  }
  // Page 2 as stored: one line per category, each linked to a class page.
  void StoreCategories(const std::vector<std::string>& names, int firstLink = 3) {
    Store(PageKey(2), kPageSize, std::to_string(names.size() - 1));
    for (size_t i = 0; i < names.size(); ++i) {
      Store(PageKey(2), TextValueName(static_cast<int>(i)), FixedText(names[i], 20));
      Store(PageKey(2), LinkValueName(static_cast<int>(i)),
            std::to_string(firstLink + static_cast<int>(i)));
    }
  }
  void StoreHighestPage(int n) { Store(kPageSettingsKey, kMaxPages, std::to_string(n)); }
  bool Changed(Change change) const {
    return std::find(changes_.begin(), changes_.end(), change) != changes_.end();
  }

  Globals g_;
  SettingsStore settings_;
  ScriptedPrompter prompter_;
  RecordingSender sender_;
  EditorModel model_;
  std::vector<Change> changes_;
};

TEST_F(EditorModelTest, CategoriesComeFromPageTwosStoredLinesTrimmed) {
  StoreCategories({"  SS/AA", "PRO STOCK", "SS"});
  Store(PageKey(2), "P4", "AFTER A GAP");
  model_.FillCategories();
  EXPECT_EQ(model_.Categories(), (std::vector<std::string>{"SS/AA", "PRO STOCK", "SS"}));
  EXPECT_EQ(model_.CategoryPosition(), 0);
  EXPECT_TRUE(Changed(Change::kCategories));
}

TEST_F(EditorModelTest, AtMostFiftyOneCategories) {
  std::vector<std::string> names;
  for (int i = 0; i < 60; ++i) names.push_back("C" + std::to_string(i));
  StoreCategories(names);
  model_.FillCategories();
  ASSERT_EQ(model_.Categories().size(), 51U);
  EXPECT_EQ(model_.Categories().back(), "C50");
}

TEST_F(EditorModelTest, NoStoredLinesNoSelection) {
  model_.FillCategories();
  EXPECT_TRUE(model_.Categories().empty());
  EXPECT_EQ(model_.CategoryPosition(), -1);
}

struct StoredSettingsCase {
  const char* name;
  std::vector<std::pair<std::string_view, std::string_view>> stored;
  int raceType;
  std::string round, classText;
  bool headsUp;
};

class CategorySelectionTest : public EditorModelTest,
                              public ::testing::WithParamInterface<StoredSettingsCase> {};

TEST_P(CategorySelectionTest, ShowsTheCategorysStoredSettings) {
  const StoredSettingsCase& c = GetParam();
  StoreCategories({"OTHER", "SS/AA"});
  for (const auto& [name, value] : c.stored) Store(CategoryKey("SS/AA"), name, value);
  model_.FillCategories();
  model_.ShowNoCategoryMatch();
  changes_.clear();
  model_.SelectCategory(1);
  EXPECT_EQ(model_.RaceTypePosition(), c.raceType);
  EXPECT_EQ(model_.RoundNumberText(), c.round);
  EXPECT_EQ(model_.ClassText(), c.classText);
  EXPECT_EQ(model_.HeadsUpChecked(), c.headsUp);
  EXPECT_EQ(model_.CategoryForeColour(), 0x000000);  // normal colours again
  EXPECT_EQ(model_.CategoryBackColour(), 0xFFFFFF);
  EXPECT_TRUE(Changed(Change::kRaceControls));
  EXPECT_TRUE(Changed(Change::kCategoryColours));
}

INSTANTIATE_TEST_SUITE_P(
    Stored, CategorySelectionTest,
    ::testing::Values(
        StoredSettingsCase{"NeverConfigured", {}, -1, "0", "*", false},
        StoredSettingsCase{
            "Configured",
            {{"RaceType", "2"}, {"RoundNumber", "5"}, {"Class", "SS"}, {"HeadsUp", "1"}},
            2,
            "5",
            "SS",
            true},
        StoredSettingsCase{"Unusable",
                           {{"RaceType", "7"}, {"RoundNumber", "five"}, {"HeadsUp", "0"}},
                           -1,
                           "0",
                           "*",
                           false},
        StoredSettingsCase{
            "TypeNotNumeric", {{"RaceType", "E"}, {"HeadsUp", "yes"}}, -1, "0", "*", false}),
    [](const ::testing::TestParamInfo<StoredSettingsCase>& info) {
      return std::string(info.param.name);
    });

TEST_F(EditorModelTest, OperatorChangesAreStoredUnderTheSelectedCategory) {
  StoreCategories({"SS/AA"});
  model_.FillCategories();
  model_.SetHeadsUpChecked(true);
  model_.SetRoundNumberText("4");
  model_.SelectRaceType(3);
  model_.SetClassText("SS/A");
  EXPECT_EQ(Read(CategoryKey("SS/AA"), kClass), kNoKeyValue);  // stored when focus leaves
  model_.CommitClassText();
  EXPECT_EQ(Read(CategoryKey("SS/AA"), kHeadsUp), "1");
  EXPECT_EQ(Read(CategoryKey("SS/AA"), kRoundNumber), "4");
  EXPECT_EQ(Read(CategoryKey("SS/AA"), kRaceType), "3");
  EXPECT_EQ(Read(CategoryKey("SS/AA"), kClass), "SS/A");
  model_.SetHeadsUpChecked(false);
  EXPECT_EQ(Read(CategoryKey("SS/AA"), kHeadsUp), "0");
}

TEST_F(EditorModelTest, WithoutACategoryNothingIsStored) {
  StoreCategories({"   "});  // a blank line: an empty category
  model_.FillCategories();
  ASSERT_EQ(model_.Categories(), std::vector<std::string>{""});
  model_.SetHeadsUpChecked(true);
  model_.SetRoundNumberText("4");
  EXPECT_EQ(Read(CategoryKey(""), kHeadsUp), kNoKeyValue);
  EXPECT_EQ(Read(CategoryKey(""), kRoundNumber), kNoKeyValue);
  EXPECT_TRUE(model_.HeadsUpChecked());  // the box still shows it
}

class ActivationTest : public EditorModelTest {
 protected:
  void SetUp() override {
    StoreHighestPage(5);
    StoreCategories({"PRO STOCK", "SS/AA", "SS", "STOCK", "COMP"});
    Store(CategoryKey("SS/AA"), kRaceType, "2");
    Store(CategoryKey("SS/AA"), kRoundNumber, "3");
    Store(CategoryKey("SS/AA"), kHeadsUp, "1");
    model_.Load();
    sender_.calls.clear();
  }
};

TEST_F(ActivationTest, AtLoadTheRestoreChangesNothingButTheSelection) {
  Store(PageKey(2), kActiveCategory, "1");
  g_.Race = RaceState{};
  EditorModel fresh(g_, settings_, prompter_, sender_);
  fresh.Load();
  EXPECT_EQ(fresh.CategoryPosition(), 1);
  EXPECT_EQ(fresh.RaceTypePosition(), 2);
  EXPECT_EQ(g_.Race.CurrentClass, std::string(16, ' '));
  EXPECT_TRUE(sender_.calls.empty());
}

TEST_F(ActivationTest, CopiesTheCategoryIntoTheRaceAndRebuildsPageOne) {
  model_.SelectCategory(1);
  model_.Activate();
  const RaceState& race = g_.Race;
  EXPECT_EQ(race.CurrentClass, FixedText("SS/AA", 16));
  EXPECT_EQ(race.RaceType, kEliminations);
  EXPECT_EQ(race.RoundNumber, 3);
  EXPECT_TRUE(race.HeadsUp);
  EXPECT_EQ(race.ActiveCategory, 1);
  EXPECT_EQ(g_.Pages[1].Links[12], 4);  // page 2 line 1's link
  EXPECT_EQ(g_.Pages[1].Title, "SS/AA E3        ");
  EXPECT_EQ(Read(PageKey(2), kActiveCategory), "1");
  EXPECT_EQ(sender_.calls, std::vector<std::string>{"Title(1)"});
  EXPECT_TRUE(prompter_.Shown().empty());
}

TEST_F(ActivationTest, UnsetControlsLeaveTheRaceAsItWas) {
  g_.Race.RaceType = kQualify;
  g_.Race.RoundNumber = 7;
  model_.SelectCategory(0);  // never configured: no type, round "0"
  model_.SetRoundNumberText("");
  model_.Activate();
  EXPECT_EQ(g_.Race.RaceType, kQualify);
  EXPECT_EQ(g_.Race.RoundNumber, 7);
  EXPECT_FALSE(g_.Race.HeadsUp);
  EXPECT_EQ(g_.Race.CurrentClass, FixedText("PRO STOCK", 16));
}

TEST_F(ActivationTest, ACountDifferenceIsReportedAndChangesNothing) {
  model_.ShowPage("2");
  model_.SetPageSize("6");  // 7 lines against 5 categories, layout not saved
  const RaceState before = g_.Race;
  const int16_t link = g_.Pages[1].Links[12];
  model_.SelectCategory(1);
  model_.Activate();
  ASSERT_EQ(prompter_.Shown().size(), 1U);
  const Prompt& shown = prompter_.Shown()[0];
  EXPECT_EQ(
      shown.text,
      "Detected Category list count difference!\n  Press Save Layout button and try again...");
  EXPECT_EQ(shown.title, "TorvaneTX - Category Activation");
  EXPECT_EQ(shown.icon, PromptIcon::kCritical);
  EXPECT_EQ(g_.Race.CurrentClass, before.CurrentClass);
  EXPECT_EQ(g_.Pages[1].Links[12], link);
  EXPECT_EQ(Read(PageKey(2), kActiveCategory), kNoKeyValue);
  EXPECT_TRUE(sender_.calls.empty());

  // Save Layout makes the list match page 2 again (two more, blank, categories).
  prompter_ = ScriptedPrompter();
  model_.SaveLayout();
  EXPECT_EQ(model_.Categories().size(), 7U);
  model_.SelectCategory(1);
  model_.Activate();
  EXPECT_TRUE(prompter_.Shown().empty());
  EXPECT_EQ(g_.Race.CurrentClass, FixedText("SS/AA", 16));
}

TEST_F(ActivationTest, ARestoredPositionOutsideTheListActivatesTheFirst) {
  for (const char* stored : {"60", "-1", "abc", "5"}) {
    SCOPED_TRACE(stored);
    Store(PageKey(2), kActiveCategory, stored);
    model_.FillCategories();
    model_.RestoreActiveCategory();
    EXPECT_EQ(model_.CategoryPosition(), 0);
    EXPECT_EQ(g_.Race.CurrentClass, FixedText("PRO STOCK", 16));
  }
  Store(PageKey(2), kActiveCategory, "3");
  model_.FillCategories();
  model_.RestoreActiveCategory();
  EXPECT_EQ(g_.Race.CurrentClass, FixedText("STOCK", 16));
}

TEST_F(ActivationTest, TimingSelectionWorksLikeTheOperatorsAndStoresTypeAndRound) {
  model_.ShowNoCategoryMatch();
  EXPECT_EQ(model_.CategoryBackColour(), 0x0000FF);
  EXPECT_EQ(model_.CategoryForeColour(), 0xFFFFFF);
  model_.ShowTimingSelection(2, kQualify, 6);
  EXPECT_EQ(model_.CategoryPosition(), 2);
  EXPECT_EQ(model_.RaceTypePosition(), 1);
  EXPECT_EQ(model_.RoundNumberText(), "6");
  EXPECT_EQ(model_.CategoryBackColour(), 0xFFFFFF);
  EXPECT_EQ(Read(CategoryKey("SS"), kRaceType), "1");
  EXPECT_EQ(Read(CategoryKey("SS"), kRoundNumber), "6");
}

TEST_F(ActivationTest, SelectClassThroughTheModel) {
  const TimingContext context{g_, settings_, prompter_, model_, sender_};
  SelectClass(context, "FUNNY CAR");
  EXPECT_EQ(model_.CategoryBackColour(), 0x0000FF);  // red: no category matches
  SelectClass(context, "SS/AA");
  EXPECT_EQ(model_.CategoryPosition(), 1);
  EXPECT_EQ(model_.CategoryBackColour(), 0xFFFFFF);
  EXPECT_TRUE(g_.Race.HeadsUp);
}

TEST_F(EditorModelTest, LoadReadsVenueAndPageDelay) {
  struct Case {
    const char* venue;
    const char* delay;
    int16_t venueId;
    int32_t pageDelay;
  } const cases[] = {{"7", "5", 7, 5},
                     {nullptr, nullptr, 0, 0},
                     {"100", "20", 100, 20},
                     {"101", "21", 0, 0},
                     {"abc", "-1", 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.venue ? c.venue : "missing");
    settings_.DeleteValue(kMainKey, kVenueId);
    settings_.DeleteValue(kMainKey, kPageDelay);
    if (c.venue) Store(kMainKey, kVenueId, c.venue);
    if (c.delay) Store(kMainKey, kPageDelay, c.delay);
    g_.TxCursor = 500;
    g_.HoldCountdown = 900;
    EditorModel model(g_, settings_, prompter_, sender_);
    model.Load();
    EXPECT_EQ(g_.VenueId, c.venueId);
    EXPECT_EQ(model.VenuePosition(), c.venueId);
    EXPECT_EQ(g_.PageDelay, c.pageDelay);
    EXPECT_EQ(g_.TxCursor, 0);
    EXPECT_EQ(g_.HoldCountdown, 0);
  }
}

TEST_F(EditorModelTest, VenueAndPageDelaySelectionAndUnload) {
  model_.Load();
  g_.TxCursor = 800;
  g_.HoldCountdown = 3000;
  model_.SelectVenue(12);
  EXPECT_EQ(g_.VenueId, 12);
  EXPECT_EQ(g_.TxCursor, 0);
  model_.SelectPageDelay(4);
  EXPECT_EQ(g_.PageDelay, 4);
  EXPECT_EQ(g_.HoldCountdown, 0);
  model_.SelectVenue(101);  // not in the list: ignored
  model_.SelectPageDelay(-1);
  EXPECT_EQ(g_.VenueId, 12);
  EXPECT_EQ(g_.PageDelay, 4);
  EXPECT_TRUE(Changed(Change::kVenue));
  EXPECT_TRUE(Changed(Change::kPageDelay));
  g_.Pages.SetLine(0, 0, "HELLO");
  model_.Unload();
  EXPECT_EQ(Read(kMainKey, kVenueId), "12");
  EXPECT_EQ(Read(kMainKey, kPageDelay), "4");
  EXPECT_EQ(Read(kPageSettingsKey, kMaxPages), "2");
  EXPECT_EQ(Read(PageKey(0), "P0"), FixedText("HELLO", 20));
}

TEST_F(EditorModelTest, ChooserItems) {
  EXPECT_EQ(
      EditorModel::RaceTypeItems(),
      (std::vector<std::string>{"Time Trials", "Qualify", "Eliminations", "Class Eliminations"}));
  ASSERT_EQ(EditorModel::VenueItems().size(), 101U);
  EXPECT_EQ(EditorModel::VenueItems()[100], "100");
  ASSERT_EQ(EditorModel::PageDelayItems().size(), 21U);
  EXPECT_EQ(EditorModel::PageDelayItems()[0], "Disable");
  EXPECT_EQ(EditorModel::PageDelayItems()[1], "1 second");
  EXPECT_EQ(EditorModel::PageDelayItems()[20], "20 seconds");
}

class PageShownTest : public EditorModelTest {
 protected:
  void SetUp() override {
    StoreHighestPage(5);
    Store(PageKey(1), kPageSize, "5");
    Store(PageKey(3), kPageSize, "3");
    Store(PageKey(3), "P1", "LINE ONE");
    Store(PageKey(3), "L1", "7");
    Store(PageKey(3), kTitle, "THIRD");
    model_.Load();
  }
};

TEST_F(PageShownTest, PageNumberText) {
  struct Case {
    const char* text;
    int16_t page;
  } const cases[] = {{"3", 3},   {"abc", 0}, {"99", 5},     {"", 0},
                     {" 2 ", 2}, {"-4", 0},  {"999999", 5}, {"1", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    model_.ShowPage(c.text);
    EXPECT_EQ(model_.CurrentPage(), c.page);
    EXPECT_EQ(model_.PageText(), std::to_string(c.page));
  }
}

TEST_F(PageShownTest, ResultPageStoredTooSmallShowsThirteenRows) {
  EXPECT_EQ(Read(PageKey(1), kPageSize), "12");
  model_.ShowPage("1");
  EXPECT_EQ(model_.ShownSize(), 12);
  EXPECT_EQ(model_.Rows().size(), 13U);
  EXPECT_EQ(model_.PageSizeText(), "12");
}

TEST_F(PageShownTest, RowsTitleAndAddressOfThePageShown) {
  model_.ShowPage("3");
  ASSERT_EQ(model_.Rows().size(), 4U);
  EXPECT_EQ(model_.Rows()[1].text, FixedText("LINE ONE", 20));
  EXPECT_EQ(model_.Rows()[1].link, "7");
  EXPECT_EQ(model_.Rows()[0].link, "0");
  EXPECT_EQ(model_.TitleText(), FixedText("THIRD", 16));
  EXPECT_EQ(model_.AddressText(), "398");              // 920: 800 + 120
  EXPECT_EQ(Read(PageKey(3), "PageBackColor"), "14");  // colour defaults stored
}

TEST_F(PageShownTest, PageOneLinksBelowThreeLeadNowhereOnceShown) {
  g_.Pages.SetLink(1, 4, 2);
  g_.Pages.SetLink(1, 5, 3);
  model_.ShowPage("1");
  EXPECT_EQ(g_.Pages[1].Links[4], 255);
  EXPECT_EQ(g_.Pages[1].Links[5], 3);
  EXPECT_EQ(model_.Rows()[4].link, "255");
  EXPECT_EQ(model_.AddressText(), "188");  // 392
}

TEST_F(PageShownTest, TimingUpdatesRefreshOnlyThePageShown) {
  model_.ShowPage("5");
  g_.Pages.SetLine(3, 0, "NEW");
  model_.OutputPageUpdate(3);
  EXPECT_EQ(model_.CurrentPage(), 5);
  EXPECT_EQ(model_.Rows()[0].text, std::string(20, ' '));
  model_.ShowPage("3");
  g_.Pages.SetLine(3, 0, "NEWER");
  model_.OutputPageUpdate(3);
  EXPECT_EQ(model_.Rows()[0].text, FixedText("NEWER", 20));
}

TEST_F(PageShownTest, SizeChangesResizeRechainAndStore) {
  model_.ShowPage("3");
  const int16_t page4 = g_.Pages[4].Address;
  model_.SetPageSize("5");
  EXPECT_EQ(model_.ShownSize(), 5);
  EXPECT_EQ(g_.Pages[3].Lines.size(), 6U);
  EXPECT_EQ(g_.Pages[3].Lines[1], FixedText("LINE ONE", 20));  // kept
  EXPECT_EQ(g_.Pages[3].Lines[5], std::string(20, ' '));
  EXPECT_EQ(g_.Pages[4].Address, page4 + 2 * 24);
  EXPECT_EQ(Read(PageKey(3), kPageSize), "5");
  EXPECT_TRUE(Changed(Change::kPage));

  struct Case {
    const char* page;
    const char* size;
    int16_t shown;
  } const cases[] = {{"3", "abc", 0}, {"3", "200", 200}, {"3", "250", 200}, {"1", "5", 12},
                     {"1", "", 12},   {"1", "40", 40},   {"4", "99999", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.page) + " " + c.size);
    model_.ShowPage(c.page);
    model_.SetPageSize(c.size);
    EXPECT_EQ(model_.ShownSize(), c.shown);
    EXPECT_EQ(g_.Pages.PageSize(model_.CurrentPage()), c.shown);
    EXPECT_EQ(model_.PageSizeText(), std::to_string(c.shown));
  }
  EXPECT_TRUE(prompter_.Shown().empty());
}

TEST_F(PageShownTest, ASizeThatWouldOverflowTheImageIsRefusedAndNoPageIsLost) {
  g_.Pages.AddPage();  // page 6
  for (int p : {0, 2, 3, 4, 5, 6}) {
    model_.ShowPage(std::to_string(p));
    model_.SetPageSize("200");
  }
  model_.ShowPage("1");
  model_.SetPageSize("80");  // 6 * 4920 + 2040 + 272 = 31832: still fits
  ASSERT_EQ(g_.Pages.BlocksEnd(), 31832);
  const int16_t n = g_.Pages.N();

  model_.SetPageSize("100");   // would end at 32312
  EXPECT_EQ(g_.Pages.N(), n);  // the last page is still there
  EXPECT_EQ(g_.Pages.PageSize(6), 200);
  EXPECT_EQ(g_.Pages.PageSize(1), 80);
  EXPECT_EQ(model_.ShownSize(), 80);
  EXPECT_EQ(model_.PageSizeText(), "80");
  EXPECT_EQ(Read(PageKey(1), kPageSize), "80");
  EXPECT_EQ(g_.Pages.BlocksEnd(), 31832);
  ASSERT_EQ(prompter_.Shown().size(), 1U);
  EXPECT_EQ(prompter_.Shown()[0].text,
            "Page 1 cannot grow to 101 lines: the pages would no longer fit into the memory "
            "map.\nThe page keeps its 81 lines.");
  EXPECT_EQ(prompter_.Shown()[0].title, "TorvaneTX");
  EXPECT_EQ(prompter_.Shown()[0].icon, PromptIcon::kWarning);

  model_.SetPageSize("50");  // shrinking is always allowed
  EXPECT_EQ(g_.Pages.PageSize(1), 50);
  EXPECT_EQ(prompter_.Shown().size(), 1U);
}

TEST_F(PageShownTest, CursorCommands) {
  model_.ShowPage("3");
  model_.SendPage();
  EXPECT_EQ(g_.TxCursor, 920);
  model_.SendAllPages();
  EXPECT_EQ(g_.TxCursor, 272);
  model_.RefreshPages();
  EXPECT_EQ(g_.TxCursor, 0);
}

TEST_F(EditorModelTest, ClassListingRewritesPageTwo) {
  StoreHighestPage(3);
  Store(PageKey(2), kPageSize, "10");
  model_.Load();
  for (int i = 0; i < 3; ++i) {
    Store(kClassListingKey, std::to_string(i), "CLASS " + std::to_string(i));
  }
  g_.Pages.SetLine(2, 7, "STALE");
  EXPECT_TRUE(model_.LoadClassListing());
  EXPECT_EQ(model_.CurrentPage(), 2);
  EXPECT_EQ(g_.Pages[2].Title, "CATEGORIES INDEX");
  EXPECT_EQ(model_.TitleText(), "CATEGORIES INDEX");
  for (int i = 0; i <= 10; ++i) {
    SCOPED_TRACE(i);
    const bool named = i < 3;
    EXPECT_EQ(g_.Pages[2].Lines[static_cast<size_t>(i)],
              named ? FixedText("CLASS " + std::to_string(i), 20) : std::string(20, ' '));
    EXPECT_EQ(g_.Pages[2].Links[static_cast<size_t>(i)], named ? 1 : 255);
    EXPECT_EQ(model_.Rows()[static_cast<size_t>(i)].link, named ? "1" : "255");
  }
}

TEST_F(EditorModelTest, ALongerClassListingGrowsPageTwo) {
  model_.Load();
  for (int i = 0; i < 15; ++i) Store(kClassListingKey, std::to_string(i), "C" + std::to_string(i));
  model_.LoadClassListing();
  EXPECT_EQ(g_.Pages.PageSize(2), 14);
  EXPECT_EQ(Read(PageKey(2), kPageSize), "14");
  EXPECT_EQ(g_.Pages[2].Lines[14], FixedText("C14", 20));
  EXPECT_EQ(model_.Rows().size(), 15U);
}

TEST_F(EditorModelTest, AnEmptyClassListingBlanksPageTwo) {
  model_.Load();
  g_.Pages.SetLine(2, 0, "OLD");
  model_.LoadClassListing();
  EXPECT_EQ(g_.Pages[2].Lines[0], std::string(20, ' '));
  EXPECT_EQ(g_.Pages[2].Links[0], 255);
}

TEST_F(EditorModelTest, GetClassesAlternatesItsText) {
  EXPECT_EQ(model_.ToggleGetClasses(), "~AC");
  EXPECT_EQ(model_.ToggleGetClasses(), "~AC\r");
  EXPECT_EQ(model_.ToggleGetClasses(), "~AC");
  EXPECT_FALSE(model_.GetClassesVisible());
  g_.TimingTcpActive = true;
  EXPECT_TRUE(model_.GetClassesVisible());
}

}  // namespace
}  // namespace torvane
