#include "TimingPipeline.h"

#include <gtest/gtest.h>

#include "ImageLayout.h"
#include "Prompter.h"
#include "RaceFields.h"
#include "ReplayJson.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

// One step of a class of eliminations, in both streams, and what the pages
// show afterwards.
struct Step {
  const char* name;
  std::string tagged;
  std::string command;
  std::vector<std::tuple<int, int, std::string>> lines;  // page, line, text
};

std::string Code(int code, std::string_view value) {
  return std::string(1, static_cast<char>(code)) + std::string(value);
}

const std::vector<Step>& ClassOfEliminations() {
  static const std::vector<Step> steps = {
      {"FirstPairAnnounced",
       "SS/AA E1\rb1A\rc1101\rn11 SMITH\rD51050\rb2B\rc2202\rD6999\rn22 JONES\r",
       "~GC SS/AA\r~GE 1\r~GLIA\r~GL#101\r~GLLSMITH\r~GLD1050\r~GRIB\r~GR#202\r~GRLJONES\r"
       "~GRD999\r",
       {{1, 0, "L[A:101]SMITH"},
        {1, 1, "R[B:202]JONES"},
        {1, 2, "_______LEFT___RIGHT_"},
        {1, 3, " Dial 10.50  9.99"},
        {1, 4, "  R/T"},
        {1, 12, "Margin"}}},
      {"TimesHeldBack",
       "L00.512\rR00.498\rL11.401\rR11.388\rL610.62\rR610.81\rL7131.02\rR7129.5\r",
       "~TL" + Code(1, "0.512\r") + "~TR" + Code(1, "0.498\r") + "~TL" + Code(2, "1.401\r") +
           "~TR" + Code(2, "1.388\r") + "~TL" + Code(9, "10.62\r") + "~TR" + Code(9, "10.81\r") +
           "~TL" + Code(8, "131.02\r") + "~TR" + Code(8, "129.5\r"),
       {{1, 4, "  R/T"}, {1, 5, "  60'"}, {1, 10, "1320'"}, {1, 12, "Margin"}}},
      {"LeftWinsWithMargin",
       "w-LEFT\rfl.0123\r",
       "~TLW\r~TL" + Code(10, ".0123\r"),
       {{1, 4, "  R/T 0.512  0.498"},
        {1, 5, "  60' 1.401  1.388"},
        {1, 6, " 330'"},
        {1, 10, "1320' 10.62  10.81"},
        {1, 11, "  mph 131.02 129.5"},
        {1, 12, "Margin  WIN  .0123"}}},
      {"SecondPairRecordsTheFirst",
       "b1C\rc1103\rn13 BROWN\rD51100\rb2D\rc2404\rD61000\rn24 GREEN\r",
       "~GC SS/AA\r~GE 1\r~GLIC\r~GL#103\r~GLLBROWN\r~GLD1100\r~GRID\r~GR#404\r~GRLGREEN\r"
       "~GRD1000\r",
       {{1, 0, "L[C:103]BROWN"},
        {1, 3, " Dial 11.00  10.00"},
        {1, 4, "  R/T"},
        {1, 12, "Margin"},
        {3, 0, "W        SMITH10.62"},
        {3, 1, "L________JONES10.81_"},
        {3, 2, ""}}},
      {"RightWins",
       "L610.55\rR610.50\rw-RIGHT\rfr.0050\r",
       "~TL" + Code(9, "10.55\r") + "~TR" + Code(9, "10.50\r") + "~TRW\r~TR" + Code(10, ".0050\r"),
       {{1, 10, "1320' 10.55  10.50"}, {1, 12, "Margin.0050   WIN"}}},
      {"NextRound",
       "SS/AA E2\rb1E\rc1105\rn15 WHITE\rD51040\rb2F\rc2606\rD61050\rn26 BLACK\r",
       "~GC SS/AA\r~GE 2\r~GLIE\r~GL#105\r~GLLWHITE\r~GLD1040\r~GRIF\r~GR#606\r~GRLBLACK\r"
       "~GRD1050\r",
       {{1, 0, "L[E:105]WHITE"},
        {1, 3, " Dial 10.40  10.50"},
        {3, 0, "W        SMITH10.62"},
        {3, 2, "L        BROWN10.55"},
        {3, 3, "W________GREEN10.50_"},
        {3, 4, ""}}},
      {"FirstPairOfTheRoundStartsANewLadder",
       "L610.40\rR610.70\rw-LEFT\rfl.0100\rc1107\r",
       "~TL" + Code(9, "10.40\r") + "~TR" + Code(9, "10.70\r") + "~TLW\r~TL" + Code(10, ".0100\r") +
           "~GC SS/AA\r",
       {{3, 0, "W        WHITE10.40"}, {3, 1, "L________BLACK10.70_"}, {3, 2, ""}, {3, 3, ""}}},
  };
  return steps;
}

struct StreamCase {
  const char* name;
  Framing framing;
  size_t chunk;  // bytes per arrival; 0: a whole step at once
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class ClassScenarioTest : public ::testing::TestWithParam<StreamCase> {
 protected:
  ClassScenarioTest() : replay_(settings_, prompter_) {
    auto set = [this](std::string_view key, std::string_view name, std::string_view value) {
      settings_.WriteSetting(key, name, value, kRegSz);
    };
    set(kPageSettingsKey, kMaxPages, "3");
    set(PageKey(2), kPageSize, "1");
    set(PageKey(2), "P0", "SS/AA");
    set(PageKey(2), "L0", "3");
    set(PageKey(2), "P1", "PRO STOCK");
    set(PageKey(2), "L1", "4");
    set(PageKey(3), kPageSize, "11");
    set(kMainKey, kPageDelay, "3");
    settings_.WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);
    PipelineStart start;
    start.dayOfYear = 100;
    replay_.StartUp(start);
  }

  void Feed(const std::string& text) {
    const Framing framing = GetParam().framing;
    const size_t chunk = GetParam().chunk == 0 ? text.size() : GetParam().chunk;
    for (size_t at = 0; at < text.size(); at += chunk) {
      replay_.Receive(std::string_view(text).substr(at, chunk), framing);
    }
  }

  // The transmitter has taken everything queued.
  void DrainWindows() {
    Globals& g = replay_.globals();
    for (auto& w : g.LineWindows) w.Next = w.End;
    for (SendWindow* w : {&g.BodyWindow, &g.NamesWindow, &g.TitleWindow, &g.PageWindow}) {
      w->Next = w->End;
    }
  }

  // The 20 characters of line k of page p as they lie in the image.
  std::string ImageLine(int p, int k) {
    const Globals& g = replay_.globals();
    const int row = LineRowAddress(g.Pages[p].Address, k);
    return std::string(g.MapImage.begin() + row, g.MapImage.begin() + row + kLineWidth);
  }

  SettingsStore settings_;
  ScriptedPrompter prompter_;
  TimingPipeline replay_;
};

TEST_P(ClassScenarioTest, AClassOfEliminationsPageByPage) {
  const Globals& g = replay_.globals();
  for (const Step& step : ClassOfEliminations()) {
    SCOPED_TRACE(step.name);
    DrainWindows();
    Feed(GetParam().framing == Framing::kTagged ? step.tagged : step.command);
    for (const auto& [page, line, text] : step.lines) {
      SCOPED_TRACE("page " + std::to_string(page) + " line " + std::to_string(line));
      EXPECT_EQ(g.Pages[page].Lines.at(static_cast<size_t>(line)), FixedText(text, kLineWidth));
    }
    // Everything the pages show has reached the image as well.
    for (int p : {1, 3}) {
      for (int k = 0; k <= g.Pages.PageSize(p); ++k) {
        SCOPED_TRACE("image page " + std::to_string(p) + " line " + std::to_string(k));
        EXPECT_EQ(ImageLine(p, k), g.Pages[p].Lines[static_cast<size_t>(k)]);
      }
    }
    EXPECT_EQ(replay_.framer().OverlongRecords(), 0U);
  }
  EXPECT_EQ(g.Pages[1].Title, "SS/AA E2        ");
  EXPECT_EQ(g.Pages[3].Title, "SS/AA E2        ");
  EXPECT_EQ(g.Pages[1].Links[12], 3);
  EXPECT_EQ(g.HoldCountdown, 3000);
  EXPECT_TRUE(prompter_.Shown().empty());
}

TEST_P(ClassScenarioTest, WindowsQueueWhatEachRecordChanged) {
  const Globals& g = replay_.globals();
  const int a = g.Pages[1].Address;  // 392
  ASSERT_EQ(a, 392);
  const auto& steps = ClassOfEliminations();

  Feed(GetParam().framing == Framing::kTagged ? steps[0].tagged : steps[0].command);
  EXPECT_EQ((std::pair<int, int>{g.TitleWindow.Next, g.TitleWindow.End}),
            (std::pair<int, int>{a + 48, a + 72}));
  EXPECT_EQ((std::pair<int, int>{g.NamesWindow.Next, g.NamesWindow.End}),
            (std::pair<int, int>{464, 512}));
  // Line 3 alone is not queued during eliminations before a win; the body,
  // lines 2 to 12, carries it.
  EXPECT_FALSE(g.LineWindows[0].Pending());
  EXPECT_EQ((std::pair<int, int>{g.BodyWindow.Next, g.BodyWindow.End}),
            (std::pair<int, int>{512, 776}));

  DrainWindows();
  Feed(GetParam().framing == Framing::kTagged ? steps[1].tagged : steps[1].command);
  for (const SendWindow& w : g.LineWindows) EXPECT_FALSE(w.Pending());  // held back
  EXPECT_FALSE(g.BodyWindow.Pending());
  EXPECT_EQ(g.HoldCountdown, 0);

  Feed(GetParam().framing == Framing::kTagged ? steps[2].tagged : steps[2].command);
  EXPECT_EQ((std::pair<int, int>{g.BodyWindow.Next, g.BodyWindow.End}),
            (std::pair<int, int>{512, 776}));  // all held lines at once
  EXPECT_EQ((std::pair<int, int>{g.LineWindows[9].Next, g.LineWindows[9].End}),
            (std::pair<int, int>{752, 776}));  // line 12
  EXPECT_EQ(g.HoldCountdown, 3000);

  DrainWindows();
  Feed(GetParam().framing == Framing::kTagged ? steps[3].tagged : steps[3].command);
  const int a3 = g.Pages[3].Address;
  EXPECT_EQ((std::pair<int, int>{g.PageWindow.Next, g.PageWindow.End}),
            (std::pair<int, int>{a3 + 48, a3 + g.Pages.PageBlockSize(3) - 24}));
}

INSTANTIATE_TEST_SUITE_P(Streams, ClassScenarioTest,
                         ::testing::Values(StreamCase{"TaggedWhole", Framing::kTagged, 0},
                                           StreamCase{"TaggedByteByByte", Framing::kTagged, 1},
                                           StreamCase{"TaggedSevens", Framing::kTagged, 7},
                                           StreamCase{"CommandWhole", Framing::kCommand, 0},
                                           StreamCase{"CommandByteByByte", Framing::kCommand, 1},
                                           StreamCase{"CommandSevens", Framing::kCommand, 7}),
                         [](const ::testing::TestParamInfo<StreamCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(TimingPipelineTest, StartUpTakesDelayEverythingFromTheSettings) {
  struct Case {
    std::optional<int> stored;
    std::optional<bool> overridden;
    bool expected;
  } const cases[] = {{std::nullopt, std::nullopt, true},
                     {0, std::nullopt, false},
                     {1, std::nullopt, true},
                     {5, std::nullopt, true},
                     {1, false, false},
                     {0, true, true}};
  for (const Case& c : cases) {
    SettingsStore settings;
    ScriptedPrompter prompter;
    if (c.stored) settings.WriteSetting(kMainKey, kDelayEverything, *c.stored, kRegDword);
    TimingPipeline replay(settings, prompter);
    PipelineStart start;
    start.delayEverything = c.overridden;
    replay.StartUp(start);
    EXPECT_EQ(replay.globals().DelayEverything, c.expected);
  }
}

TEST(TimingPipelineTest, StartUpBuildsTheImageAndRestoresTheActiveCategory) {
  SettingsStore settings;
  ScriptedPrompter prompter;
  settings.WriteSetting(PageKey(2), "P0", "SS/AA", kRegSz);
  settings.WriteSetting(PageKey(2), "P1", "PRO STOCK", kRegSz);
  settings.WriteSetting(PageKey(2), kActiveCategory, "1", kRegSz);
  settings.WriteSetting(kMainKey, kVenueId, "9", kRegSz);
  TimingPipeline replay(settings, prompter);
  PipelineStart start;
  start.dayOfYear = 300;
  start.timingTcpActive = true;
  replay.StartUp(start);
  const Globals& g = replay.globals();
  EXPECT_EQ(replay.editor().CategoryPosition(), 1);
  EXPECT_EQ(g.VenueId, 9);
  EXPECT_TRUE(replay.editor().GetClassesVisible());
  EXPECT_EQ(g.MapEnd, 923);     // pages 272, 392, 800; ticker stopped at 920
  EXPECT_EQ(g.MapImage[0], 1);  // index slot 0: 272 = 0x0110
  EXPECT_EQ(g.MapImage[1], 0x10);
  EXPECT_EQ(g.MapImage[272 + 7], 300 >> 8);  // day of year in every page header
  EXPECT_EQ(g.MapImage[272 + 8], 300 & 0xFF);
}

TEST(ReplayJsonTest, WritesTextsAsEscapedUtf8AndTheMessagesShown) {
  SettingsStore settings;
  ScriptedPrompter prompter;
  TimingPipeline replay(settings, prompter);
  PipelineStart start;
  start.timingTcpActive = true;
  replay.StartUp(start);
  // The command framing keeps quotes and high bytes: O"NEIL with an e acute.
  replay.Receive("~GRLO\"NEIL\xe9\r~AS\x01\r", Framing::kCommand);
  ASSERT_EQ(prompter.Texts(), std::vector<std::string>{"Unable to process class listing."});
  const std::string json = ReplayJson(replay.globals(), prompter.Texts());
  const std::vector<std::string> fragments = {
      R"({"pages":[{"number":0,"address":272,"title":"                ","lines":[)",
      "\"Driver\":\"O\\\"NEIL\xc3\xa9\"",  // the quote escaped, the e acute in UTF-8
      R"("LineWindows":[[536,560],[0,0],[0,0],[0,0],[0,0],[0,0],[0,0],[0,0],[0,0],[0,0]])",
      R"("messages":["Unable to process class listing."]})",
  };
  for (const std::string& fragment : fragments) {
    EXPECT_NE(json.find(fragment), std::string::npos) << fragment << "\nin " << json;
  }
  EXPECT_EQ(json.find('\n'), std::string::npos);  // one line
}

}  // namespace
}  // namespace torvane
