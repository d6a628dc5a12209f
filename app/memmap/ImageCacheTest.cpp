// The incremental builder must give the image a full rebuild gives, byte for
// byte, whatever changed in between.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <random>
#include <string>

#include "ImageBuilder.h"
#include "ImageLayout.h"
#include "NewsTicker.h"
#include "PageWriter.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

// Two stations fed the same changes: one builds incrementally, one in full.
class ImageCacheTest : public ::testing::Test {
 protected:
  struct Side {
    explicit Side(ImageBuilder::Mode mode)
        : g(std::make_unique<Globals>()),
          builder(std::make_unique<ImageBuilder>(*g, settings, mode)),
          writer(std::make_unique<PageWriter>(*g, *builder)) {}
    SettingsStore settings;
    std::unique_ptr<Globals> g;
    std::unique_ptr<ImageBuilder> builder;
    std::unique_ptr<PageWriter> writer;
  };

  // Applies change to both sides.
  void Both(const std::function<void(Side&)>& change) {
    change(incremental_);
    change(full_);
  }

  // One step of the cyclic pass: the builder that the cursor's region needs.
  void BuildFor(int address) {
    Both([address](Side& s) {
      if (address < kFirstPageAddress) {
        s.builder->BuildIndexTable();
      } else {
        s.builder->BuildImage();
      }
    });
  }

  void ExpectSameImage(const std::string& after) {
    ASSERT_EQ(incremental_.g->TickerAddress, full_.g->TickerAddress) << after;
    ASSERT_EQ(incremental_.g->MapEnd, full_.g->MapEnd) << after;
    const MapImageBytes& mine = incremental_.g->MapImage;
    const MapImageBytes& reference = full_.g->MapImage;
    const auto [at, unused] = std::mismatch(mine.begin(), mine.end(), reference.begin());
    ASSERT_TRUE(at == mine.end()) << "address " << (at - mine.begin()) << " after " << after;
  }

  Side incremental_{ImageBuilder::Mode::kIncremental};
  Side full_{ImageBuilder::Mode::kFull};
};

TEST_F(ImageCacheTest, RandomChangesGiveTheFullRebuildImage) {
  std::mt19937 random(20240607);
  auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  static const char* const kAreas[] = {"Cursor", "Title", "Page", "Ticker"};

  for (int step = 0; step < 2000; ++step) {
    const int what = pick(0, 16);
    const int n = incremental_.g->Pages.N();
    const int page = pick(0, n);
    const int line = pick(0, incremental_.g->Pages.PageSize(page));
    std::string text(static_cast<size_t>(pick(0, 24)), ' ');
    for (char& c : text) c = static_cast<char>(pick(0, 255));
    std::string name;
    switch (what) {
      case 0:
        name = "line";
        Both([&](Side& s) { s.g->Pages.SetLine(page, line, text); });
        break;
      case 1:
        name = "link";
        Both([&, link = static_cast<int16_t>(pick(-5, 300))](Side& s) {
          s.g->Pages.SetLink(page, line, link);
        });
        break;
      case 2:
        name = "title";
        Both([&](Side& s) { s.g->Pages.SetTitle(page, text); });
        break;
      case 3:
        name = "size";
        Both([&, size = pick(0, 60)](Side& s) { s.g->Pages.SetPageSize(page, size); });
        break;
      case 4:
        name = "add";
        Both([](Side& s) { s.g->Pages.AddPage(); });
        break;
      case 5:
        name = "remove";
        Both([](Side& s) { s.g->Pages.RemovePage(); });
        break;
      case 6: {
        name = "colour";
        const std::string value = pick(0, 5) == 0 ? "blue" : std::to_string(pick(-2, 17));
        const std::string valueName =
            std::string(kAreas[pick(0, 3)]) + (pick(0, 1) != 0 ? "BackColor" : "ForeColor");
        Both([&](Side& s) { s.settings.WriteSetting(PageKey(page), valueName, value, kRegSz); });
        break;
      }
      case 7:
        name = "heads-up";
        Both([](Side& s) { s.g->Race.HeadsUp = !s.g->Race.HeadsUp; });
        break;
      case 8:
        name = "day";
        Both([day = static_cast<int16_t>(pick(0, 365))](Side& s) { s.g->DayOfYear = day; });
        break;
      case 9:
        name = "ticker start";
        Both([&](Side& s) { StartTicker(*s.g, *s.builder, text, static_cast<int16_t>(page)); });
        break;
      case 10:
        name = "ticker stop";
        Both([](Side& s) { StopTicker(*s.g); });
        break;
      case 11:
        name = "whole page";
        Both([&](Side& s) {
          s.g->Pages.SetLine(page, line, text);
          s.g->PageWindow = {};
          s.writer->SendWholePage(static_cast<int16_t>(page));
        });
        break;
      case 12:
        name = "result line";
        Both([&](Side& s) {
          s.g->Pages.SetLine(1, line % 13, text);
          s.writer->SendResultLine(s.g->Pages[1].Address, static_cast<int16_t>(line % 13));
        });
        break;
      case 13:
        name = "store replaced";
        Both([&](Side& s) {
          PageStore copy = s.g->Pages;
          copy.SetTitle(page, text);
          s.g->Pages = copy;
        });
        break;
      case 14:
        name = "unrelated setting";
        Both([&](Side& s) { s.settings.WriteSetting(kMainKey, "VenueID", text, kRegSz); });
        break;
      case 15:
        name = "block written off the chain";
        Both([&, address = static_cast<int16_t>(8 * pick(34, 3900))](Side& s) {
          s.g->Pages.Edit(page).Address = address;
          s.builder->WritePageBlock(static_cast<int16_t>(page));
          s.g->Pages.RecomputeAddresses();
        });
        break;
      default:
        name = "nothing";
        break;
    }
    const int cursor = pick(0, 1) == 0 ? pick(0, 271) : pick(272, 32000);
    BuildFor(cursor);
    BuildFor(cursor < 272 ? 272 : 0);  // both builders have run since the change
    ExpectSameImage(name + " at step " + std::to_string(step));
    if (HasFatalFailure()) return;
  }
}

TEST_F(ImageCacheTest, ChangedColourReachesTheNextBuild) {
  Both([](Side& s) { s.builder->BuildImage(); });
  EXPECT_EQ(incremental_.g->MapImage[392 + 3], 0x00);
  Both([](Side& s) {
    s.settings.WriteSetting(PageKey(1), "PageBackColor", "3", kRegSz);
    s.settings.WriteSetting(PageKey(1), "PageForeColor", "15", kRegSz);
  });
  Both([](Side& s) { s.builder->BuildImage(); });
  EXPECT_EQ(incremental_.g->MapImage[392 + 3], 0x3F);
  ExpectSameImage("colour");
}

TEST_F(ImageCacheTest, EditedTextReachesTheNextBuild) {
  Both([](Side& s) { s.builder->BuildImage(); });
  Both([](Side& s) { s.g->Pages.Edit(2).Lines[0] = "EDITED              "; });
  Both([](Side& s) { s.builder->BuildImage(); });
  EXPECT_EQ(incremental_.g->MapImage[LineRowAddress(800, 0)], 'E');
  ExpectSameImage("edit");
}

TEST_F(ImageCacheTest, InvalidateRewritesWhatWasOverwritten) {
  Both([](Side& s) { s.builder->BuildImage(); });
  incremental_.g->MapImage.fill(0);
  incremental_.builder->Invalidate();
  incremental_.builder->BuildIndexTable();
  incremental_.builder->BuildImage();
  full_.builder->BuildIndexTable();
  full_.builder->BuildImage();
  ExpectSameImage("invalidate");
}

}  // namespace
}  // namespace torvane
