#include "PageStoreSettings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PageStore.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

class PageStoreSettingsTest : public ::testing::Test {
 protected:
  void Put(int page, const std::string& name, const std::string& value) {
    settings_.WriteSetting(PageKey(page), name, value, kRegSz);
  }
  std::string Get(int page, const std::string& name) const {
    return settings_.ReadSetting(PageKey(page), name);
  }
  void PutMaxPages(const std::string& value) {
    settings_.WriteSetting(kPageSettingsKey, kMaxPages, value, kRegSz);
  }

  SettingsStore settings_;
  PageStore pages_;
};

struct MaxPagesCase {
  const char* stored;  // nullptr: absent
  int expected;
};

class MaxPagesTest : public PageStoreSettingsTest,
                     public ::testing::WithParamInterface<MaxPagesCase> {};

TEST_P(MaxPagesTest, GivesTwoUnlessStoredIn2To126) {
  if (GetParam().stored != nullptr) PutMaxPages(GetParam().stored);
  LoadPageStore(settings_, pages_);
  EXPECT_EQ(pages_.N(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Values, MaxPagesTest,
                         ::testing::Values(MaxPagesCase{nullptr, 2}, MaxPagesCase{"1", 2},
                                           MaxPagesCase{"127", 2}, MaxPagesCase{"text", 2},
                                           MaxPagesCase{"-4", 2}, MaxPagesCase{"70000", 2},
                                           MaxPagesCase{"2", 2}, MaxPagesCase{"5", 5},
                                           MaxPagesCase{" 9 ", 9}, MaxPagesCase{"126", 126}));

TEST_F(PageStoreSettingsTest, EmptySettingsGiveTheMinimalChain) {
  LoadPageStore(settings_, pages_);
  EXPECT_EQ(pages_.N(), 2);
  EXPECT_EQ(pages_.PageSize(0), 0);
  EXPECT_EQ(pages_.PageSize(1), 12);
  EXPECT_EQ(pages_.PageSize(2), 0);
  EXPECT_EQ(pages_[0].Address, 272);
  EXPECT_EQ(pages_[1].Address, 392);
  EXPECT_EQ(pages_[2].Address, 800);
  EXPECT_EQ(Get(1, "PageSize"), "12");  // raised and written back
  EXPECT_EQ(Get(0, "PageSize"), std::string(kNoKeyValue));
  EXPECT_EQ(pages_[1].Links[12], 0);
  EXPECT_EQ(pages_[1].Lines[12], std::string(20, ' '));
}

struct PageSizeCase {
  int page;
  const char* stored;
  int expected;
  const char* storedAfter;
};

class StoredPageSizeTest : public PageStoreSettingsTest,
                           public ::testing::WithParamInterface<PageSizeCase> {};

TEST_P(StoredPageSizeTest, ReadsSizeIntoRange) {
  const PageSizeCase& c = GetParam();
  Put(c.page, "PageSize", c.stored);
  LoadPageStore(settings_, pages_);
  EXPECT_EQ(pages_.PageSize(c.page), c.expected);
  EXPECT_EQ(pages_[c.page].Lines.size(), static_cast<size_t>(c.expected) + 1);
  EXPECT_EQ(Get(c.page, "PageSize"), c.storedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Values, StoredPageSizeTest,
    ::testing::Values(PageSizeCase{1, "5", 12, "12"}, PageSizeCase{1, "20", 20, "20"},
                      PageSizeCase{1, "abc", 12, "12"}, PageSizeCase{0, "abc", 0, "abc"},
                      PageSizeCase{2, "7", 7, "7"}, PageSizeCase{2, "500", 200, "500"},
                      PageSizeCase{2, "99999999", 200, "99999999"}, PageSizeCase{2, "-3", 0, "-3"},
                      PageSizeCase{2, "6.5", 6, "6.5"}));

TEST_F(PageStoreSettingsTest, ReadsLinesLinksAndTitle) {
  PutMaxPages("3");
  Put(3, "PageSize", "3");
  Put(3, "Title", "A title longer than sixteen");
  Put(3, "P0", "short");
  Put(3, "P1", "a line that is longer than twenty");
  Put(3, "L0", "17");
  Put(3, "L1", "not a number");
  Put(3, "L2", "300");
  Put(3, "L3", "70000");
  Put(3, "P9", "beyond the size");
  LoadPageStore(settings_, pages_);
  const PageRecord& page = pages_[3];
  EXPECT_EQ(page.Title, "A title longer t");
  EXPECT_EQ(page.Lines[0], FixedText("short", 20));
  EXPECT_EQ(page.Lines[1], "a line that is longe");
  EXPECT_EQ(page.Lines[2], std::string(20, ' '));  // missing: left as it was
  EXPECT_EQ(page.Links[0], 17);
  EXPECT_EQ(page.Links[1], 0);    // not numeric
  EXPECT_EQ(page.Links[2], 300);  // kept; the image writes it as no link
  EXPECT_EQ(page.Links[3], 255);  // beyond 16 bits
  EXPECT_EQ(page.Lines.size(), 4U);
}

TEST_F(PageStoreSettingsTest, AddressesFollowLoadedSizes) {
  PutMaxPages("4");
  Put(0, "PageSize", "2");
  Put(2, "PageSize", "1");
  Put(3, "PageSize", "10");
  LoadPageStore(settings_, pages_);
  EXPECT_EQ(pages_[0].Address, 272);
  EXPECT_EQ(pages_[1].Address, 272 + 168);
  EXPECT_EQ(pages_[2].Address, 272 + 168 + 408);
  EXPECT_EQ(pages_[3].Address, 272 + 168 + 408 + 144);
  EXPECT_EQ(pages_[4].Address, 272 + 168 + 408 + 144 + 360);
}

TEST_F(PageStoreSettingsTest, OversizedPagesStayButDoNotFit) {
  PutMaxPages("126");
  for (int p = 0; p <= 126; ++p) Put(p, "PageSize", "200");
  LoadPageStore(settings_, pages_);
  EXPECT_EQ(pages_.N(), 126);
  EXPECT_FALSE(pages_.FitsImage());
}

TEST_F(PageStoreSettingsTest, SaveWritesEveryLineAndTheCount) {
  pages_.AddPage();
  pages_.SetPageSize(3, 1);
  pages_.SetLine(3, 1, "hello");
  pages_.SetLink(3, 1, 42);
  pages_.SetTitle(3, "Page three");
  SavePageStore(settings_, pages_);
  EXPECT_EQ(settings_.ReadSetting(kPageSettingsKey, kMaxPages), "3");
  EXPECT_EQ(Get(3, "P1"), FixedText("hello", 20));
  EXPECT_EQ(Get(3, "L1"), "42");
  EXPECT_EQ(Get(3, "L0"), "0");
  EXPECT_EQ(Get(3, "P0"), std::string(20, ' '));
  EXPECT_EQ(Get(3, "Title"), FixedText("Page three", 16));
  EXPECT_EQ(Get(1, "L12"), "0");
}

TEST_F(PageStoreSettingsTest, SaveDeletesStaleLinesWhileThereAreAny) {
  for (int i = 0; i <= 6; ++i) {
    Put(2, "L" + std::to_string(i), "1");
    Put(2, "P" + std::to_string(i), "x");
  }
  Put(2, "L8", "1");  // beyond the gap at 7: never reached
  Put(2, "P5", "x");
  pages_.SetPageSize(2, 2);
  SavePages(settings_, pages_);
  for (int i = 3; i <= 6; ++i) {
    EXPECT_EQ(Get(2, "L" + std::to_string(i)), std::string(kNoKeyValue)) << i;
    EXPECT_EQ(Get(2, "P" + std::to_string(i)), std::string(kNoKeyValue)) << i;
  }
  EXPECT_EQ(Get(2, "L8"), "1");
}

TEST_F(PageStoreSettingsTest, SaveDeletesKeysAboveNUntilOneIsMissing) {
  for (int p : {3, 4, 5, 7}) Put(p, "Title", "old");
  SavePages(settings_, pages_);
  EXPECT_EQ(Get(3, "Title"), std::string(kNoKeyValue));
  EXPECT_EQ(Get(5, "Title"), std::string(kNoKeyValue));
  EXPECT_EQ(Get(7, "Title"), "old");
}

TEST_F(PageStoreSettingsTest, SavedStoreLoadsBackTheSame) {
  pages_.AddPage();
  pages_.AddPage();
  pages_.SetPageSize(4, 3);
  for (int k = 0; k <= 4; ++k) {
    pages_.SetTitle(k, "Title " + std::to_string(k));
    for (int i = 0; i <= pages_.PageSize(k); ++i) {
      pages_.SetLine(k, i, "line " + std::to_string(k) + "." + std::to_string(i));
      pages_.SetLink(k, i, static_cast<int16_t>(k * 10 + i));
    }
  }
  for (int k = 0; k <= 4; ++k) WritePageSize(settings_, k, pages_.PageSize(k));
  SavePageStore(settings_, pages_);

  PageStore loaded;
  LoadPageStore(settings_, loaded);
  ASSERT_EQ(loaded.N(), pages_.N());
  for (int k = 0; k <= 4; ++k) {
    EXPECT_EQ(loaded[k].Title, pages_[k].Title);
    EXPECT_EQ(loaded[k].Lines, pages_[k].Lines);
    EXPECT_EQ(loaded[k].Links, pages_[k].Links);
    EXPECT_EQ(loaded[k].Address, pages_[k].Address);
  }
}

TEST_F(PageStoreSettingsTest, RemoveLastPageDeletesItsKey) {
  pages_.AddPage();
  Put(3, "Title", "three");
  Put(2, "Title", "two");
  ASSERT_TRUE(RemoveLastPage(pages_, settings_));
  EXPECT_EQ(pages_.N(), 2);
  EXPECT_EQ(Get(3, "Title"), std::string(kNoKeyValue));
  EXPECT_FALSE(RemoveLastPage(pages_, settings_));
  EXPECT_EQ(Get(2, "Title"), "two");
}

}  // namespace
}  // namespace torvane
