#include "PageColours.h"

#include <gtest/gtest.h>

#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

TEST(PageColoursTest, MissingValuesBecomeStoredDefaults) {
  SettingsStore settings;
  const PageColours colours = LoadPageColours(settings, 4);
  struct Expected {
    const char* name;
    const char* value;
  };
  for (const Expected& e : {Expected{"PageForeColor", "0"}, Expected{"PageBackColor", "14"},
                            Expected{"CursorForeColor", "0"}, Expected{"CursorBackColor", "3"},
                            Expected{"TitleForeColor", "3"}, Expected{"TitleBackColor", "4"},
                            Expected{"TickerForeColor", "3"}, Expected{"TickerBackColor", "13"}}) {
    EXPECT_EQ(settings.ReadSetting(PageKey(4), e.name), e.value) << e.name;
  }
  EXPECT_EQ(colours.back[static_cast<size_t>(ColourArea::kPage)], 14);
  EXPECT_EQ(colours.fore[static_cast<size_t>(ColourArea::kTitle)], 3);
  EXPECT_EQ(colours.back[static_cast<size_t>(ColourArea::kTicker)], 13);
}

TEST(PageColoursTest, NumericValuesStayAsStoredEvenOutOfRange) {
  SettingsStore settings;
  settings.WriteSetting(PageKey(0), "PageBackColor", "16", kRegSz);
  settings.WriteSetting(PageKey(0), "PageForeColor", "blue", kRegSz);
  settings.WriteSetting(PageKey(0), "TitleBackColor", " 8 ", kRegSz);
  const PageColours colours = LoadPageColours(settings, 0);
  EXPECT_EQ(settings.ReadSetting(PageKey(0), "PageBackColor"), "16");
  EXPECT_EQ(settings.ReadSetting(PageKey(0), "PageForeColor"), "0");
  EXPECT_EQ(settings.ReadSetting(PageKey(0), "TitleBackColor"), " 8 ");
  EXPECT_EQ(colours.back[static_cast<size_t>(ColourArea::kPage)], 16);
  EXPECT_EQ(colours.back[static_cast<size_t>(ColourArea::kTitle)], 8);
}

}  // namespace
}  // namespace torvane
