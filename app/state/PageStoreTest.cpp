#include "PageStore.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "ImageLayout.h"

namespace torvane {
namespace {

std::vector<int> Addresses(const PageStore& store) {
  std::vector<int> addresses;
  for (int k = 0; k <= store.N(); ++k) addresses.push_back(store[k].Address);
  return addresses;
}

TEST(PageStoreTest, StartsWithThreePagesChainedFrom272) {
  const PageStore store;
  EXPECT_EQ(store.N(), 2);
  EXPECT_EQ(store.PageSize(0), 0);
  EXPECT_EQ(store.PageSize(1), 12);
  EXPECT_EQ(store.PageSize(2), 0);
  EXPECT_EQ(Addresses(store), (std::vector<int>{272, 392, 800}));
  EXPECT_EQ(store.PageBlockSize(1), 408);
  EXPECT_EQ(store.BlocksEnd(), 920);
  EXPECT_EQ(store[0].Lines.at(0), std::string(20, ' '));
  EXPECT_EQ(store[0].Title, std::string(16, ' '));
}

TEST(PageStoreTest, FixedTextCutsAndPads) {
  EXPECT_EQ(FixedText("ABC", 5), "ABC  ");
  EXPECT_EQ(FixedText("ABCDEFG", 5), "ABCDE");
  EXPECT_EQ(FixedText("", 3), "   ");
}

struct SizeCase {
  int page;
  int requested;
  int expected;
};

class SetPageSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SetPageSizeTest, KeepsSizeInRangeAndMovesLaterPages) {
  const SizeCase& c = GetParam();
  PageStore store;
  store.AddPage();  // page 3 follows every page that can change size
  const int before = store[3].Address;
  const int oldSize = store.PageSize(c.page);
  store.SetPageSize(c.page, c.requested);
  EXPECT_EQ(store.PageSize(c.page), c.expected);
  EXPECT_EQ(store[c.page].Lines.size(), static_cast<size_t>(c.expected) + 1);
  EXPECT_EQ(store[3].Address, before + 24 * (c.expected - oldSize));
}

INSTANTIATE_TEST_SUITE_P(Sizes, SetPageSizeTest,
                         ::testing::Values(SizeCase{0, 3, 3}, SizeCase{2, 200, 200},
                                           SizeCase{2, 201, 200}, SizeCase{0, -5, 0},
                                           SizeCase{1, 5, 12}, SizeCase{1, 13, 13},
                                           SizeCase{1, 0, 12}));

TEST(PageStoreTest, ResizingKeepsExistingLinesAndLinks) {
  PageStore store;
  store.SetPageSize(2, 3);
  store.SetLine(2, 1, "second");
  store.SetLink(2, 1, 7);
  store.SetPageSize(2, 5);
  EXPECT_EQ(store[2].Lines[1], FixedText("second", 20));
  EXPECT_EQ(store[2].Links[1], 7);
  EXPECT_EQ(store[2].Lines[5], std::string(20, ' '));
  EXPECT_EQ(store[2].Links[5], 0);
  store.SetPageSize(2, 0);
  EXPECT_EQ(store[2].Links.size(), 1U);
}

TEST(PageStoreTest, AddStopsAtPage126AndLeavesPagesAlone) {
  PageStore store;
  for (int i = 0; i < 200; ++i) store.AddPage();
  EXPECT_EQ(store.N(), 126);
  store.SetLine(126, 0, "last");
  const std::vector<int> addresses = Addresses(store);
  EXPECT_FALSE(store.AddPage());
  EXPECT_EQ(store.N(), 126);
  EXPECT_EQ(Addresses(store), addresses);
  EXPECT_EQ(store[126].Lines[0], FixedText("last", 20));
}

TEST(PageStoreTest, NewPageHasOneLineAndFollowsTheLastBlock) {
  PageStore store;
  store.SetPageSize(2, 4);
  ASSERT_TRUE(store.AddPage());
  EXPECT_EQ(store.N(), 3);
  EXPECT_EQ(store.PageSize(3), 0);
  EXPECT_EQ(store[3].Address, store[2].Address + store.PageBlockSize(2));
}

TEST(PageStoreTest, RemoveTakesTheLastPageAndStopsAtPage2) {
  PageStore store;
  store.AddPage();
  store.AddPage();
  store.SetLine(3, 0, "three");
  ASSERT_TRUE(store.RemovePage());
  EXPECT_EQ(store.N(), 3);
  EXPECT_EQ(store[3].Lines[0], FixedText("three", 20));
  ASSERT_TRUE(store.RemovePage());
  EXPECT_FALSE(store.RemovePage());
  EXPECT_EQ(store.N(), 2);
}

TEST(PageStoreTest, EveryChangeRaisesTheEditCount) {
  PageStore store;
  uint64_t last = store.EditCount();
  auto expectRaised = [&](const char* what) {
    EXPECT_GT(store.EditCount(), last) << what;
    last = store.EditCount();
  };
  store.Edit(0);
  expectRaised("Edit");
  store.SetLine(0, 0, "x");
  expectRaised("SetLine");
  store.SetLink(0, 0, 9);
  expectRaised("SetLink");
  store.SetTitle(0, "t");
  expectRaised("SetTitle");
  store.SetPageSize(0, 2);
  expectRaised("SetPageSize");
  store.AddPage();
  expectRaised("AddPage");
  store.RemovePage();
  expectRaised("RemovePage");
  store.Reset(4);
  expectRaised("Reset");

  store.SetLine(0, 0, " ");  // same padded text
  store.SetLink(0, 0, 0);
  store.SetTitle(0, "");
  store.SetLine(0, 5, "no such line");
  EXPECT_EQ(store.EditCount(), last);
}

TEST(PageStoreTest, PageStampMarksOnlyThePageChanged) {
  PageStore store;
  const uint64_t stamp0 = store.PageStamp(0);
  const uint64_t stamp2 = store.PageStamp(2);
  store.SetLine(1, 3, "result");
  EXPECT_EQ(store.PageStamp(1), store.EditCount());
  EXPECT_EQ(store.PageStamp(0), stamp0);
  EXPECT_EQ(store.PageStamp(2), stamp2);
}

TEST(PageStoreTest, CountsDifferBetweenStoresThatDiffer) {
  // A store replaced by another must never look unchanged to a cache.
  std::set<uint64_t> counts;
  PageStore a;
  PageStore b;
  counts.insert(a.EditCount());
  counts.insert(b.EditCount());
  b.SetLine(0, 0, "changed");
  counts.insert(b.EditCount());
  a = b;
  EXPECT_EQ(a.EditCount(), b.EditCount());  // a copy holds the same pages
  EXPECT_EQ(counts.size(), 3U);
}

TEST(PageStoreTest, FitsImageUpTo32000) {
  PageStore store;
  while (store.AddPage()) {
  }
  // 127 frames of 120 bytes from 272 leave 16488 bytes: 687 more lines.
  int extra = 687 - 12;
  for (int k = 2; extra > 0; ++k) {
    const int add = std::min(extra, 200);
    store.SetPageSize(k, add);
    extra -= add;
  }
  EXPECT_EQ(store.BlocksEnd(), kPageAreaEnd);
  EXPECT_TRUE(store.FitsImage());
  store.SetPageSize(126, store.PageSize(126) + 1);
  EXPECT_EQ(store.BlocksEnd(), kPageAreaEnd + 24);
  EXPECT_FALSE(store.FitsImage());
}

TEST(PageStoreTest, AddressesPastTheTopAreHeldAt32767) {
  PageStore store;
  while (store.AddPage()) {
  }
  for (int k = 0; k <= store.N(); ++k) store.SetPageSize(k, 200);
  EXPECT_GT(store.BlocksEnd(), 32767);
  EXPECT_EQ(store[126].Address, 32767);
  for (int k = 1; k <= store.N(); ++k) EXPECT_GE(store[k].Address, store[k - 1].Address);
}

TEST(PageStoreTest, PageSizeStaysInRangeWhenEditBreaksTheBounds) {
  PageStore store;
  store.Edit(2).Links.resize(300);
  EXPECT_EQ(store.PageSize(2), 200);
  store.Edit(2).Links.clear();
  EXPECT_EQ(store.PageSize(2), 0);
  EXPECT_EQ(store.PageBlockSize(2), 120);
}

}  // namespace
}  // namespace torvane
