// Whatever the page store holds, a receiver decoding the built image gets back
// every title, line, link and colour, and every checksum holds.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "ImageBuilder.h"
#include "ImageDecoder.h"
#include "NewsTicker.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

std::string Filtered(std::string_view text, size_t width) {
  std::string out(width, ' ');
  for (size_t i = 0; i < width && i < text.size(); ++i) {
    uint8_t b = static_cast<uint8_t>(text[i]);
    out[i] = static_cast<char>(PrintableByte(b));
  }
  return out;
}

int ColourIndexOf(const std::string& stored) {
  if (stored == "blue" || stored.empty()) return 0;
  const int value = std::stoi(stored);
  return value >= 0 && value <= 15 ? value : 0;
}

class RoundTripTest : public ::testing::TestWithParam<uint32_t> {};

TEST_P(RoundTripTest, DecodeOfBuildGivesTheStoreBack) {
  std::mt19937 random(GetParam());
  auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  auto randomText = [&](int maxLength) {
    std::string text(static_cast<size_t>(pick(0, maxLength)), ' ');
    for (char& c : text) c = static_cast<char>(pick(0, 255));
    return text;
  };

  SettingsStore settings;
  auto g = std::make_unique<Globals>();
  ImageBuilder builder(*g, settings);
  PageStore& pages = g->Pages;
  pages.Reset(pick(2, 126));
  for (int k = 0; k <= pages.N(); ++k) {
    pages.SetPageSize(k, pick(0, 3) == 0 ? pick(0, 200) : pick(0, 8));
    if (!pages.FitsImage()) pages.SetPageSize(k, 0);
  }
  ASSERT_TRUE(pages.FitsImage());

  struct Stored {
    std::string cursorBack, cursorFore, titleBack, titleFore, pageBack, pageFore;
  };
  std::vector<Stored> colours;
  auto colourText = [&] {
    const int choice = pick(0, 6);
    return choice == 0 ? std::string("blue") : std::to_string(pick(-3, 20));
  };
  for (int k = 0; k <= pages.N(); ++k) {
    pages.SetTitle(k, randomText(20));
    for (int i = 0; i <= pages.PageSize(k); ++i) {
      pages.SetLine(k, i, randomText(24));
      pages.SetLink(k, i, static_cast<int16_t>(pick(0, 9) == 0 ? pick(-100, 400) : pick(0, 255)));
    }
    Stored s{colourText(), colourText(), colourText(), colourText(), colourText(), colourText()};
    const std::string key = PageKey(k);
    settings.WriteSetting(key, "CursorBackColor", s.cursorBack, kRegSz);
    settings.WriteSetting(key, "CursorForeColor", s.cursorFore, kRegSz);
    settings.WriteSetting(key, "TitleBackColor", s.titleBack, kRegSz);
    settings.WriteSetting(key, "TitleForeColor", s.titleFore, kRegSz);
    settings.WriteSetting(key, "PageBackColor", s.pageBack, kRegSz);
    settings.WriteSetting(key, "PageForeColor", s.pageFore, kRegSz);
    colours.push_back(s);
  }
  g->Race.HeadsUp = pick(0, 1) == 1;
  g->DayOfYear = static_cast<int16_t>(pick(0, 365));
  const std::string ticker = randomText(300);
  const bool running = pick(0, 1) == 1;
  builder.BuildIndexTable();
  builder.BuildImage();
  if (running) StartTicker(*g, builder, ticker, static_cast<int16_t>(pick(0, pages.N())));
  builder.BuildIndexTable();
  builder.BuildImage();

  const DecodedImage image =
      DecodeImage(std::vector<uint8_t>(g->MapImage.begin(), g->MapImage.end()));
  EXPECT_TRUE(image.badChecksums.empty());
  EXPECT_TRUE(image.problems.empty()) << image.problems.front();
  EXPECT_EQ(image.tickerRunning, running);
  EXPECT_EQ(image.ticker,
            running ? Filtered(ticker, std::min<size_t>(ticker.size(), 250)) : std::string());
  EXPECT_EQ(image.tickerAddress, pages.BlocksEnd());
  ASSERT_EQ(image.pages.size(), static_cast<size_t>(pages.N()) + 1);
  for (int k = 0; k <= pages.N(); ++k) {
    SCOPED_TRACE("page " + std::to_string(k));
    const DecodedPage& page = image.pages[static_cast<size_t>(k)];
    const Stored& s = colours[static_cast<size_t>(k)];
    EXPECT_EQ(page.address, pages[k].Address);
    EXPECT_EQ(page.rows, pages.PageSize(k) + 5);
    EXPECT_EQ(page.cursorColour, ColourIndexOf(s.cursorBack) * 16 + ColourIndexOf(s.cursorFore));
    EXPECT_EQ(page.titleColour, ColourIndexOf(s.titleBack) * 16 + ColourIndexOf(s.titleFore));
    EXPECT_EQ(page.pageColour, ColourIndexOf(s.pageBack) * 16 + ColourIndexOf(s.pageFore));
    EXPECT_EQ(page.flags, g->Race.HeadsUp ? 0x70 : 0x60);
    EXPECT_EQ(page.dayOfYear, g->DayOfYear);
    EXPECT_EQ(page.title, Filtered(pages[k].Title, 16));
    ASSERT_EQ(page.lines.size(), pages[k].Lines.size());
    for (size_t i = 0; i < page.lines.size(); ++i) {
      EXPECT_EQ(page.lines[i].text, Filtered(pages[k].Lines[i], 20));
      const int link = pages[k].Links[i];
      EXPECT_EQ(page.lines[i].link, link >= 0 && link <= 255 ? link : 255);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, RoundTripTest, ::testing::Range<uint32_t>(1, 61));

}  // namespace
}  // namespace torvane
