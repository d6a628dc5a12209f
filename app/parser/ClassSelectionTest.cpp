#include "ClassSelection.h"

#include <gtest/gtest.h>

#include "ParserTestSupport.h"
#include "RaceFields.h"
#include "SettingsKeys.h"

namespace torvane {
namespace {

using testing_support::ParserBench;

std::string Listed(const SettingsStore& settings, int index) {
  return settings.ReadSetting(kClassListingKey, IndexValueName(index));
}

TEST(StoreClassNameTest, AListSentInOrderLeavesExactlyTheClassesSent) {
  SettingsStore settings;
  ScriptedPrompter prompter;
  for (int i = 0; i < 5; ++i) StoreClassName(settings, prompter, "OLD" + std::to_string(i), i);
  StoreClassName(settings, prompter, "SS/AA", 0);
  StoreClassName(settings, prompter, "PRO STOCK ", 1);
  EXPECT_EQ(Listed(settings, 0), "SS/AA");
  EXPECT_EQ(Listed(settings, 1), "PRO STOCK ");  // stored as sent
  for (int i = 2; i < 5; ++i) EXPECT_EQ(Listed(settings, i), kNoKeyValue);
  EXPECT_TRUE(prompter.Shown().empty());
}

TEST(StoreClassNameTest, DeletionStopsAtTheFirstGap) {
  SettingsStore settings;
  ScriptedPrompter prompter;
  for (int i : {0, 1, 2, 4}) StoreClassName(settings, prompter, "C" + std::to_string(i), i);
  // Storing 4 deleted nothing above it; index 3 was never there.
  StoreClassName(settings, prompter, "NEW", 1);
  EXPECT_EQ(Listed(settings, 2), kNoKeyValue);
  EXPECT_EQ(Listed(settings, 4), "C4");
}

TEST(StoreClassNameTest, ANameThatCannotBeStoredIsReported) {
  SettingsStore settings;
  ScriptedPrompter prompter;
  StoreClassName(settings, prompter, "A", 0);
  StoreClassName(settings, prompter, "B", 1);
  StoreClassName(settings, prompter, "", 0);  // an empty value reads as missing
  ASSERT_EQ(prompter.Shown().size(), 1U);
  const Prompt& shown = prompter.Shown()[0];
  EXPECT_EQ(shown.text, "Unable to process class listing.");
  EXPECT_EQ(shown.title, "Chronex - Class Listing");
  EXPECT_EQ(shown.icon, PromptIcon::kCritical);
  EXPECT_EQ(shown.buttons, PromptButtons::kOk);
  EXPECT_EQ(Listed(settings, 1), "B");  // the rest is left as it was
}

TEST(CategoryMatchTest, LongestEntryWithinTheNameIgnoringCase) {
  const std::vector<std::string> categories = {"SS", "SS/AA", "ss/ab", "PRO", "", "SS/AB"};
  struct Case {
    std::string_view name;
    int within, containing;
  } const cases[] = {
      {"SS/AA", 1, 1},   {"ss/aa", 1, 1},      {"SS/AB", 2, 2},  // first of equal length
      {"SS/AAX", 1, -1}, {"PRO STOCK", 3, -1}, {"S", -1, 1},     // longest containing
      {"FUNNY", -1, -1}, {"", -1, -1},         {"XSSX", 0, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name));
    EXPECT_EQ(FindCategoryWithin(categories, c.name), c.within);
    EXPECT_EQ(FindCategoryContaining(categories, c.name), c.containing);
  }
}

class SelectClassTest : public ::testing::Test {
 protected:
  SelectClassTest() {
    bench_.editor.categories = {"PRO STOCK", "SS/AA", "SS"};
    bench_.g.Pages.SetPageSize(2, 2);
    bench_.g.Pages.SetLink(2, 0, 5);
    bench_.g.Pages.SetLink(2, 1, 6);
    bench_.g.Pages.SetLink(2, 2, 1);
    bench_.g.Pages.SetLink(1, 12, 99);
    bench_.g.Race.BumpTime = "8.100 ";
    bench_.g.Race.RaceType = kEliminations;
    bench_.g.Race.RoundNumber = 4;
    bench_.g.Race.HeadsUp = true;
  }

  std::string ActiveSetting() const {
    return bench_.settings.ReadSetting(PageKey(2), kActiveCategory);
  }
  int16_t MarginLink() const { return bench_.g.Pages[1].Links[12]; }

  ParserBench bench_;
};

TEST_F(SelectClassTest, AMatchPointsLineTwelveAtTheClassPage) {
  bench_.settings.WriteSetting(CategoryKey("SS/AA"), kHeadsUp, "1", kRegSz);
  SelectClass(bench_.Context(), "  SS/AA  ");
  const RaceState& race = bench_.g.Race;
  EXPECT_EQ(race.CurrentClass, FixedText("SS/AA", 16));
  EXPECT_EQ(race.BumpTime, "      ");
  EXPECT_EQ(race.ActiveCategory, 1);
  EXPECT_EQ(MarginLink(), 6);
  EXPECT_EQ(ActiveSetting(), "1");
  EXPECT_TRUE(race.HeadsUp);
  EXPECT_EQ(bench_.editor.calls, std::vector<std::string>{"Select(1,2,4)"});
}

TEST_F(SelectClassTest, HeadsUpFollowsTheCategorySetting) {
  for (const char* stored : {"0", "", "yes"}) {
    SCOPED_TRACE(stored);
    bench_.settings.WriteSetting(CategoryKey("SS/AA"), kHeadsUp, stored, kRegSz);
    bench_.g.Race.HeadsUp = true;
    SelectClass(bench_.Context(), "SS/AA");
    EXPECT_FALSE(bench_.g.Race.HeadsUp);
  }
}

TEST_F(SelectClassTest, ACategoryPageBelowThreeLeadsNowhere) {
  SelectClass(bench_.Context(), "SS/BB");  // "SS" lies within; page 2 links it to page 1
  EXPECT_EQ(bench_.g.Race.ActiveCategory, 2);
  EXPECT_EQ(bench_.g.Race.CurrentClass, FixedText("SS/BB", 16));
  EXPECT_EQ(MarginLink(), 255);
  EXPECT_EQ(ActiveSetting(), "2");
}

TEST_F(SelectClassTest, CaseDoesNotMatter) {
  SelectClass(bench_.Context(), "ss/aa");
  EXPECT_EQ(bench_.g.Race.ActiveCategory, 1);
  EXPECT_EQ(bench_.g.Race.CurrentClass, FixedText("ss/aa", 16));
}

TEST_F(SelectClassTest, ANameInsideACategoryAlertsAndTakesTheCategory) {
  SelectClass(bench_.Context(), "STOCK");
  const RaceState& race = bench_.g.Race;
  EXPECT_EQ(bench_.editor.calls, (std::vector<std::string>{"Alert", "Select(0,2,4)"}));
  EXPECT_EQ(race.CurrentClass, FixedText("PRO STOCK", 16));
  EXPECT_EQ(race.ActiveCategory, 0);
  EXPECT_EQ(MarginLink(), 5);
  EXPECT_EQ(ActiveSetting(), "0");
}

TEST_F(SelectClassTest, NoMatchAtAllAlertsAndLeadsNowhere) {
  SelectClass(bench_.Context(), "FUNNY CAR");
  const RaceState& race = bench_.g.Race;
  EXPECT_EQ(bench_.editor.calls, std::vector<std::string>{"Alert"});
  EXPECT_EQ(race.CurrentClass, FixedText("FUNNY CAR", 16));
  EXPECT_EQ(race.ActiveCategory, -1);
  EXPECT_FALSE(race.HeadsUp);
  EXPECT_EQ(MarginLink(), 255);
  EXPECT_EQ(ActiveSetting(), kNoKeyValue);
}

TEST_F(SelectClassTest, AnEmptyNameMatchesNothing) {
  SelectClass(bench_.Context(), "   ");
  EXPECT_EQ(bench_.g.Race.ActiveCategory, -1);
  EXPECT_EQ(bench_.g.Race.CurrentClass, std::string(16, ' '));
}

TEST_F(SelectClassTest, ACategoryBeyondPageTwosLinesLeadsNowhere) {
  bench_.g.Pages.SetPageSize(2, 0);
  SelectClass(bench_.Context(), "SS/AA");
  EXPECT_EQ(bench_.g.Race.ActiveCategory, 1);
  EXPECT_EQ(MarginLink(), 255);
}

TEST_F(SelectClassTest, AShortResultPageIsNotWrittenPast) {
  PageRecord& page = bench_.g.Pages.Edit(1);
  page.Lines.resize(3);
  page.Links.resize(3);
  SelectClass(bench_.Context(), "SS/AA");
  EXPECT_EQ(bench_.g.Pages[1].Links.size(), 3U);
  EXPECT_EQ(bench_.g.Race.ActiveCategory, 1);
}

}  // namespace
}  // namespace torvane
