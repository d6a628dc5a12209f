// The Link Health window shows the rows of the web view's status page from the
// station's published snapshot, and follows it while open; the main window's
// Window menu opens one at a time.
#include "LinkHealthWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTableWidget>
#include <QTest>
#include <memory>
#include <utility>
#include <vector>

#include "GuiTestSupport.h"
#include "GuiText.h"
#include "HealthRows.h"
#include "MainWindow.h"
#include "PageEditorWindow.h"
#include "Station.h"

namespace torvane {
namespace {

using Cells = std::vector<std::pair<QString, QString>>;

Cells TableCells(const QTableWidget& table) {
  Cells cells;
  for (int r = 0; r < table.rowCount(); ++r) {
    const QTableWidgetItem* name = table.item(r, 0);
    const QTableWidgetItem* value = table.item(r, 1);
    cells.emplace_back(name ? name->text() : QString(), value ? value->text() : QString());
  }
  return cells;
}

Cells ExpectedCells(const HealthSnapshot& health) {
  Cells cells;
  for (const HealthRow& row : HealthRows(health))
    cells.emplace_back(ToQt(row.name), ToQt(row.value));
  return cells;
}

QString ValueOf(const QTableWidget& table, const QString& name) {
  for (const auto& [n, v] : TableCells(table)) {
    if (n == name) return v;
  }
  return {};
}

const QTableWidgetItem* ValueItem(const QTableWidget& table, const QString& name) {
  for (int r = 0; r < table.rowCount(); ++r) {
    if (table.item(r, 0) != nullptr && table.item(r, 0)->text() == name) return table.item(r, 1);
  }
  return nullptr;
}

HealthSnapshot SomeHealth() {
  HealthSnapshot h;
  h.uptimeMs = 61500;
  h.lamps.ack = true;
  h.counters.packetsSent = 1000;
  h.counters.acks = 990;
  h.transmitter = {"serial", "COM1 (/dev/pts/3)", true, "open"};
  h.transmitterLatency = "low latency";
  h.timing = {"tcp", "timing:2000", false, "lost at 14:02:11 \xE9t\xE9"};
  h.lastFullPassAt = "14:02:11";
  h.lastFullPassMs = 2500;
  return h;
}

class LinkHealthWindowTest : public ::testing::Test {
 protected:
  void Publish(const HealthSnapshot& health) {
    snapshots_->PublishHealth(std::make_shared<const HealthSnapshot>(health));
  }
  QTableWidget& Table() {
    auto* table = window_->findChild<QTableWidget*>("tblLinkHealth");
    EXPECT_NE(table, nullptr);
    return *table;
  }

  std::shared_ptr<StationSnapshots> snapshots_ = std::make_shared<StationSnapshots>();
  std::unique_ptr<LinkHealthWindow> window_;
};

TEST_F(LinkHealthWindowTest, ShowsTheRowsOfThePublishedSnapshotInTheirTones) {
  Publish(SomeHealth());
  window_ = std::make_unique<LinkHealthWindow>(snapshots_);
  window_->show();
  EXPECT_EQ(TableCells(Table()), ExpectedCells(SomeHealth()));
  EXPECT_EQ(ValueOf(Table(), "Timing system"),
            QString::fromUtf8("tcp timing:2000: lost at 14:02:11 \u00e9t\u00e9"));
  EXPECT_EQ(ValueOf(Table(), "Lamps"), "Page hold off, ACK on, NAK off, Timing System off");
  ASSERT_NE(ValueItem(Table(), "Transmitter"), nullptr);
  EXPECT_EQ(ValueItem(Table(), "Transmitter")->foreground().color(), LinkHealthWindow::kUpColour);
  EXPECT_EQ(ValueItem(Table(), "Timing system")->foreground().color(),
            LinkHealthWindow::kDownColour);
}

TEST_F(LinkHealthWindowTest, FollowsTheNextSnapshotWhileShown) {
  Publish(SomeHealth());
  window_ = std::make_unique<LinkHealthWindow>(snapshots_);
  window_->show();
  HealthSnapshot changed = SomeHealth();
  changed.counters.packetsSent = 1001;
  changed.faults = 3;
  changed.timing.open = true;
  changed.timing.state = "open";
  Publish(changed);
  EXPECT_TRUE(QTest::qWaitFor([&] { return TableCells(Table()) == ExpectedCells(changed); }, 5000))
      << ValueOf(Table(), "Packets sent").toStdString();
  EXPECT_EQ(ValueItem(Table(), "Timing system")->foreground().color(), LinkHealthWindow::kUpColour);
}

TEST_F(LinkHealthWindowTest, ShownAgainShowsTheLatestAtOnce) {
  Publish(SomeHealth());
  window_ = std::make_unique<LinkHealthWindow>(snapshots_);
  window_->show();
  window_->hide();
  HealthSnapshot changed = SomeHealth();
  changed.transmitterLatency.clear();
  changed.recordsReceived = 42;
  Publish(changed);
  window_->show();
  EXPECT_EQ(TableCells(Table()), ExpectedCells(changed));
}

// ---- In the main window

class LinkHealthMenuTest : public ::testing::Test {
 protected:
  void SetUp() override {
    station_ = std::make_unique<Station>(settings_, prompter_, StationOptions{int16_t{0}});
    station_->Start();
    window_ = std::make_unique<MainWindow>(*station_, prompter_, desktop_);
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    station_.reset();
  }
  QMdiArea& Area() { return *window_->findChild<QMdiArea*>("mdiArea"); }
  std::vector<QMdiSubWindow*> HealthFrames() {
    std::vector<QMdiSubWindow*> frames;
    for (QMdiSubWindow* frame : Area().subWindowList()) {
      if (frame->objectName() == "frmLinkHealth") frames.push_back(frame);
    }
    return frames;
  }
  QTableWidget* Table() {
    QMdiSubWindow* frame = window_->linkHealthWindow();
    return frame == nullptr ? nullptr : frame->findChild<QTableWidget*>("tblLinkHealth");
  }
  static void DeleteClosed() {
    for (int i = 0; i < 3; ++i) {
      QApplication::processEvents();
      QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
  }

  SettingsStore settings_;
  ScriptedPrompter prompter_;
  testing_support::ScriptedDesktop desktop_;
  std::unique_ptr<Station> station_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(LinkHealthMenuTest, ChosenTwiceGivesOneWindowShowingTheStationsFigures) {
  EXPECT_TRUE(HealthFrames().empty());
  window_->OnToolClick("miLinkHealth");
  window_->OnToolClick("miLinkHealth");
  ASSERT_EQ(HealthFrames().size(), 1U);
  QMdiSubWindow* frame = HealthFrames().front();
  EXPECT_EQ(frame, window_->linkHealthWindow());
  EXPECT_EQ(frame->windowTitle(), "Link Health");
  EXPECT_TRUE(frame->isVisible());
  EXPECT_EQ(Area().activeSubWindow(), frame);
  ASSERT_NE(Table(), nullptr);
  EXPECT_EQ(TableCells(*Table()), ExpectedCells(*station_->Snapshots()->Health()));
}

TEST_F(LinkHealthMenuTest, ChosenAgainBringsTheOpenWindowForward) {
  window_->OnToolClick("miLinkHealth");
  QMdiSubWindow* health = window_->linkHealthWindow();
  ASSERT_NE(health, nullptr);
  Area().setActiveSubWindow(qobject_cast<QMdiSubWindow*>(window_->editor()->parentWidget()));
  ASSERT_NE(Area().activeSubWindow(), health);
  window_->OnToolClick("miLinkHealth");
  EXPECT_EQ(Area().activeSubWindow(), health);
  EXPECT_EQ(HealthFrames().size(), 1U);
}

TEST_F(LinkHealthMenuTest, FollowsTheStationsTicks) {
  ASSERT_TRUE(station_->TimerRunning());
  window_->OnToolClick("miLinkHealth");
  ASSERT_NE(Table(), nullptr);
  const QString first = ValueOf(*Table(), "Uptime");
  // The station publishes its uptime anew on each tick.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return ValueOf(*Table(), "Uptime") != first &&
               TableCells(*Table()) == ExpectedCells(*station_->Snapshots()->Health());
      },
      5000))
      << first.toStdString();
}

TEST_F(LinkHealthMenuTest, ClosedWindowIsDeletedAndTheMenuOpensAFreshOne) {
  window_->OnToolClick("miLinkHealth");
  QPointer<QMdiSubWindow> first = window_->linkHealthWindow();
  ASSERT_FALSE(first.isNull());
  window_->OnToolClick("miClose");
  DeleteClosed();
  EXPECT_TRUE(first.isNull());
  EXPECT_EQ(window_->linkHealthWindow(), nullptr);
  EXPECT_TRUE(HealthFrames().empty());

  window_->OnToolClick("miLinkHealth");
  ASSERT_EQ(HealthFrames().size(), 1U);
  EXPECT_TRUE(window_->linkHealthWindow()->isVisible());
  ASSERT_NE(Table(), nullptr);
  EXPECT_EQ(TableCells(*Table()), ExpectedCells(*station_->Snapshots()->Health()));
}

}  // namespace
}  // namespace torvane
