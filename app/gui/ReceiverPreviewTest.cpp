// The receiver view shows what the transmitter has accepted: nothing of an edit
// until its packets are acknowledged, then the page as the card decodes it.
#include "ReceiverPreview.h"

#include <gtest/gtest.h>

#include <QLabel>

#include <string>

#include "GuiTestSupport.h"
#include "MainWindow.h"
#include "PageStore.h"
#include "PtyPair.h"
#include "SettingsKeys.h"
#include "Station.h"

namespace torvane {
namespace {

using testing_support::ScriptedDesktop;

class ReceiverPreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty_.ok());
    settings_.WriteSetting(kPageSettingsKey, kMaxPages, "10", kRegSz);
    settings_.WriteSetting(kPortsKey, "COM3", pty_.slaveName(), kRegSz);
    const char* link[] = {"3", "8", "0", "4", "0", "0", "None", "None"};
    for (int i = 0; i < 8; ++i) {
      settings_.WriteSetting(kTransmitterKey, std::to_string(i), link[i], kRegSz);
    }
    station_ = std::make_unique<Station>(settings_, prompter_, StationOptions{int16_t{0}});
    station_->Start();
    ASSERT_TRUE(station_->TransmitterOpen());
    pty_.CloseSlaveCopy();
    window_ = std::make_unique<MainWindow>(*station_, prompter_, desktop_);
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    station_.reset();
  }

  // Answers ACK to every packet until the cyclic pass has wrapped once more.
  void AcknowledgeOneFullPass() {
    const uint64_t passes = station_->cycle().Counters().fullPasses;
    for (int i = 0; i < 4; ++i) station_->OnTimerTick();  // the first block after silence
    for (int guard = 0; guard < 10000; ++guard) {
      if (station_->cycle().Counters().fullPasses > passes) break;
      const uint64_t acks = station_->cycle().Counters().acks;
      ASSERT_TRUE(pty_.Write("\x06"));
      ASSERT_TRUE(PumpUntil([&] { return station_->cycle().Counters().acks > acks; }));
      pty_.ReadNow(4096);  // the packets themselves are the station test's business
    }
    ASSERT_GT(station_->cycle().Counters().fullPasses, passes);
    // The block at address 0 of the new pass is accepted too: the header is whole.
    const uint64_t acks = station_->cycle().Counters().acks;
    ASSERT_TRUE(pty_.Write("\x06"));
    ASSERT_TRUE(PumpUntil([&] { return station_->cycle().Counters().acks > acks; }));
  }

  PtyPair pty_;
  SettingsStore settings_;
  ScriptedPrompter prompter_;
  ScriptedDesktop desktop_;
  std::unique_ptr<Station> station_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(ReceiverPreviewTest, ShowsAnEditOnlyOnceTheTransmitterHasAcceptedIt) {
  ReceiverPreview* preview = window_->receiver();
  ASSERT_NE(preview, nullptr);
  preview->SelectPage(4);
  preview->Refresh();
  EXPECT_EQ(preview->ShownPage(), nullptr) << "the card holds nothing before any packet";
  auto* state = preview->findChild<QLabel*>("lblReceiverState");
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->text(), "waiting for the first pass");

  EditorModel& editor = station_->editor();
  editor.ShowPage("4");
  editor.SetPageSize("2");
  editor.SetTitleText("RESULTS");
  editor.SetLineText(1, "CAR 42 WINS");
  station_->OnTimerTick();  // the window refreshes its view each tick
  EXPECT_EQ(preview->ShownPage(), nullptr) << "edited, but nothing acknowledged yet";

  AcknowledgeOneFullPass();
  station_->OnTimerTick();
  const DecodedPage* page = preview->ShownPage();
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(page->title, FixedText("RESULTS", 16));
  ASSERT_EQ(page->lines.size(), 3U);
  EXPECT_EQ(page->lines[1].text, FixedText("CAR 42 WINS", 20));
  EXPECT_EQ(page->pageColour, 14 * 16 + 0);  // black on yellow
  EXPECT_TRUE(state->text().startsWith("11 pages")) << state->text().toStdString();
  // Every checksum of the page's own block holds. (The header's ticker address
  // catches up with the size change one pass later, as the cycle builds it.)
  const int end = page->address + 120 + 24 * 2;
  for (int bad : preview->Decoded().badChecksums) {
    EXPECT_FALSE(bad >= page->address && bad < end) << bad;
  }

  // A later edit stays off the view until its row is acknowledged.
  editor.SetLineText(1, "CAR 7 WINS");
  station_->OnTimerTick();
  EXPECT_EQ(preview->ShownPage()->lines[1].text, FixedText("CAR 42 WINS", 20));
}

}  // namespace
}  // namespace torvane
