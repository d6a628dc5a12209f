// The two port settings dialogs over a started Station.
#include "PortSettingsDialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include "BlockPacket.h"
#include "GuiTestSupport.h"
#include "MainWindow.h"
#include "PageEditorWindow.h"
#include "SettingsKeys.h"
#include "Station.h"
#include "WireletTypeLib.h"

namespace torvane {
namespace {

using Kind = PortSettingsDialog::Kind;

class PortSettingsDialogTest : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    settings_.WriteSetting(kPortsKey, "COM3", "/dev/ttyUSB0", kRegSz);
    settings_.WriteSetting(kPortsKey, "COM5", "/nonexistent/torvane-tty", kRegSz);
    station_ = std::make_unique<Station>(settings_, prompter_, StationOptions{int16_t{0}});
    station_->Start();
  }
  std::unique_ptr<PortSettingsDialog> Open(Kind kind) {
    auto dialog = std::make_unique<PortSettingsDialog>(*station_, prompter_, kind);
    dialog->show();
    return dialog;
  }
  template <typename T>
  static T* Child(QWidget* w, const char* name) {
    T* child = w->findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  LinkSettings& Link(Kind kind) {
    return kind == Kind::kTimingSystem ? station_->globals().TimingLink
                                       : station_->globals().TransmitterLink;
  }

  SettingsStore settings_;
  ScriptedPrompter prompter_;
  std::unique_ptr<Station> station_;
};

TEST_P(PortSettingsDialogTest, ListsAndComEntriesNameTheirDevices) {
  auto d = Open(GetParam());
  auto* ports = Child<QComboBox>(d.get(), "cboComPort");
  ASSERT_EQ(ports->count(), 26);
  EXPECT_EQ(ports->itemText(0), "None");
  EXPECT_EQ(ports->itemText(1), "Com1 (/dev/ttyS0)");
  EXPECT_EQ(ports->itemText(3), "Com3 (/dev/ttyUSB0)");
  EXPECT_EQ(ports->itemText(25), "TCP/IP");
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboBitsPerSecond")->itemText(8), "57600");
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboFlowControl")->itemText(3), "RTS / Xon / Xoff");
  EXPECT_EQ(d->objectName(), GetParam() == Kind::kTimingSystem ? "frmTimingSystem" : "frmTransmitter");
  EXPECT_EQ(d->windowTitle(),
            GetParam() == Kind::kTimingSystem ? "Timing System Port Settings" : "Port Settings");
}

TEST_P(PortSettingsDialogTest, TcpIpFillsEmptyHostAndPort) {
  const bool timing = GetParam() == Kind::kTimingSystem;
  auto d = Open(GetParam());
  auto* host = Child<QComboBox>(d.get(), "cboHost");
  auto* port = Child<QComboBox>(d.get(), "cboPort");
  host->setEditText("");
  port->setEditText("");
  Child<QComboBox>(d.get(), "cboComPort")->setCurrentIndex(25);
  EXPECT_EQ(host->currentText(), "localhost");
  EXPECT_EQ(port->currentText(), timing ? "7777" : "5555");
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboParity")->isEnabled(), !timing);
  EXPECT_TRUE(Child<QPushButton>(d.get(), "cmdApply")->isEnabled());
  Child<QComboBox>(d.get(), "cboComPort")->setCurrentIndex(2);
  EXPECT_TRUE(Child<QComboBox>(d.get(), "cboParity")->isEnabled());
}

TEST_P(PortSettingsDialogTest, RestoreDefaultsKeepsThePort) {
  auto d = Open(GetParam());
  auto* ports = Child<QComboBox>(d.get(), "cboComPort");
  ports->setCurrentIndex(7);
  Child<QComboBox>(d.get(), "cboBitsPerSecond")->setCurrentIndex(1);
  Child<QComboBox>(d.get(), "cboHost")->setEditText("timing.local");
  auto* restore = Child<QPushButton>(d.get(), "cmdRestoreDefaults");
  ASSERT_TRUE(restore->isEnabled());
  restore->click();
  EXPECT_EQ(ports->currentIndex(), 7);
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboBitsPerSecond")->currentText(), "9600");
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboParity")->currentText(), "None");
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboDataBits")->currentText(), "8");
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboStopBits")->currentText(), "1");
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboFlowControl")->currentText(), "None");
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboHost")->currentText(), "None");
  EXPECT_EQ(Child<QComboBox>(d.get(), "cboPort")->currentText(), "None");
  EXPECT_FALSE(restore->isEnabled());
}

TEST_P(PortSettingsDialogTest, OkWithAMissingComPortSaysSoAndCloses) {
  auto d = Open(GetParam());
  Child<QComboBox>(d.get(), "cboComPort")->setCurrentIndex(5);
  Child<QComboBox>(d.get(), "cboBitsPerSecond")->setCurrentIndex(8);
  Child<QComboBox>(d.get(), "cboHost")->setEditText("  somehost  ");
  Child<QPushButton>(d.get(), "cmdOK")->click();
  ASSERT_FALSE(prompter_.Shown().empty());
  EXPECT_EQ(prompter_.Shown().back().text, "Error applying settings");
  EXPECT_EQ(prompter_.Shown().back().icon, PromptIcon::kCritical);
  EXPECT_FALSE(d->isVisible());
  EXPECT_EQ(Link(GetParam()).ComPort, 5);  // kept, so the next start tries again
  EXPECT_EQ(Link(GetParam()).BitsPerSecond, 8);
  EXPECT_EQ(Link(GetParam()).Host, "somehost");
}

TEST_P(PortSettingsDialogTest, CancelLeavesTheRecordAndEachShowingStartsFresh) {
  const LinkSettings before = Link(GetParam());
  for (int i = 0; i < 2; ++i) {
    auto d = Open(GetParam());
    EXPECT_EQ(Child<QComboBox>(d.get(), "cboComPort")->currentIndex(), before.ComPort);
    EXPECT_EQ(Child<QComboBox>(d.get(), "cboHost")->currentText(), "None");
    Child<QComboBox>(d.get(), "cboComPort")->setCurrentIndex(9);
    Child<QComboBox>(d.get(), "cboHost")->setEditText("elsewhere");
    Child<QPushButton>(d.get(), "cmdCancel")->click();
    EXPECT_FALSE(d->isVisible());
  }
  EXPECT_EQ(Link(GetParam()).ComPort, before.ComPort);
  EXPECT_EQ(Link(GetParam()).Host, before.Host);
}

TEST_P(PortSettingsDialogTest, ApplyWithNoPortClosesNothingAndShowsNothing) {
  auto d = Open(GetParam());
  const size_t shown = prompter_.Shown().size();
  Child<QComboBox>(d.get(), "cboComPort")->setCurrentIndex(0);
  auto* apply = Child<QPushButton>(d.get(), "cmdApply");
  apply->click();
  EXPECT_EQ(prompter_.Shown().size(), shown);
  EXPECT_FALSE(apply->isEnabled());
  EXPECT_EQ(Link(GetParam()).BitsPerSecond, 0);
  EXPECT_TRUE(d->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Dialogs, PortSettingsDialogTest,
                         ::testing::Values(Kind::kTimingSystem, Kind::kTransmitter),
                         [](const auto& info) {
                           return info.param == Kind::kTimingSystem ? "TimingSystem"
                                                                    : "Transmitter";
                         });

// ---- Apply over TCP/IP, end to end: the main window's menu opens the dialog,
// the station's network control connects to a server of the test's own.

// Registers the built control in the station's own classes hive.
void RegisterWirelet(SettingsStore& settings) {
  const std::string clsid = kClsidWirelet.ToString();
  settings.WriteSetting("Wirekit.Wirelet\\CLSID", "", clsid, kRegSz, Hive::kClassesRoot);
  settings.WriteSetting("CLSID\\" + clsid + "\\InprocServer32", "", TORVANE_WIRELET_MODULE, kRegSz,
                        Hive::kClassesRoot);
}

class ApplyOverTcpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterWirelet(settings_);
    settings_.WriteSetting(kPageSettingsKey, kMaxPages, "10", kRegSz);
    station_ = std::make_unique<Station>(settings_, prompter_, StationOptions{int16_t{0}});
    station_->Start();
    window_ = std::make_unique<MainWindow>(*station_, prompter_, desktop_);
    window_->show();
    ASSERT_TRUE(server_.listen(QHostAddress::LocalHost));
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* peer = server_.nextPendingConnection()) {
        peers_.push_back(peer);
        QObject::connect(peer, &QTcpSocket::readyRead,
                         [this, peer] { received_ += peer->readAll(); });
      }
    });
    shownBefore_ = prompter_.Shown().size();
  }
  void TearDown() override {
    window_.reset();
    station_.reset();
  }
  // Opens the dialog through its menu tool, chooses TCP/IP with the test
  // server's host and port, presses Apply and notes what the editor shows then;
  // Cancel closes the dialog, which keeps what Apply did.
  void ApplyTcpThroughTheMenu(const char* tool, const char* dialogName) {
    QTimer::singleShot(0, [this, dialogName] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      EXPECT_EQ(dialog->objectName(), dialogName);
      dialog->findChild<QComboBox*>("cboComPort")->setCurrentIndex(25);
      dialog->findChild<QComboBox*>("cboHost")->setEditText("127.0.0.1");
      dialog->findChild<QComboBox*>("cboPort")->setEditText(QString::number(server_.serverPort()));
      auto* apply = dialog->findChild<QPushButton*>("cmdApply");
      ASSERT_TRUE(apply->isEnabled());
      apply->click();
      EXPECT_FALSE(apply->isEnabled());
      getClassesShownAtApply_ =
          !window_->editor()->findChild<QPushButton*>("cmdGetClasses")->isHidden();
      dialog->findChild<QPushButton*>("cmdCancel")->click();
    });
    window_->OnToolClick(tool);
  }
  bool Connected() {
    return QTest::qWaitFor([this] { return !peers_.empty(); }, 5000);
  }
  std::vector<std::string> NewPrompts() const {
    std::vector<std::string> texts;
    for (size_t i = shownBefore_; i < prompter_.Shown().size(); ++i) {
      texts.push_back(prompter_.Shown()[i].text);
    }
    return texts;
  }

  SettingsStore settings_;
  ScriptedPrompter prompter_;
  testing_support::ScriptedDesktop desktop_;
  std::unique_ptr<Station> station_;
  std::unique_ptr<MainWindow> window_;
  QTcpServer server_;
  std::vector<QTcpSocket*> peers_;
  QByteArray received_;
  bool getClassesShownAtApply_ = false;
  size_t shownBefore_ = 0;
};

TEST_F(ApplyOverTcpTest, TimingSystemConnectsAndItsCommandStreamLaysOutPageOne) {
  EXPECT_TRUE(window_->editor()->findChild<QPushButton*>("cmdGetClasses")->isHidden());
  station_->editor().ShowPage("1");
  ApplyTcpThroughTheMenu("miTimingSystem", "frmTimingSystem");
  const LinkSettings& link = station_->globals().TimingLink;
  EXPECT_EQ(link.ComPort, 25);
  EXPECT_EQ(link.Host, "127.0.0.1");
  EXPECT_EQ(link.Port, std::to_string(server_.serverPort()));
  EXPECT_TRUE(station_->globals().TimingTcpActive);
  EXPECT_TRUE(getClassesShownAtApply_) << "Apply shows Get Classes at once";
  ASSERT_TRUE(Connected());
  EXPECT_TRUE(QTest::qWaitFor([this] { return station_->TimingNetworkConnected(); }, 5000));

  // Command stream framing: text before the first "~" is dropped.
  peers_.front()->write("junk~GC SS/AA\r~GE 1\r~GLIA\r~GL#101\r~GLLSMITH\r");
  peers_.front()->write("~GRIB\r~GR#202\r~GRLJONES\r");
  const std::vector<std::string>& lines = station_->globals().Pages[1].Lines;
  ASSERT_TRUE(QTest::qWaitFor([&] { return lines[1].rfind("R[B:202]JONES", 0) == 0; }, 5000))
      << lines[1];
  EXPECT_EQ(lines[0].substr(0, 13), "L[A:101]SMITH");
  // The editor shows page 1 as laid out.
  EXPECT_TRUE(window_->editor()->DataBox(1)->text().startsWith("R[B:202]JONES"));
  station_->OnTimerTick();
  EXPECT_TRUE(station_->Lamps().timingSystem);

  // The link works both ways: Get Classes asks the timing system.
  window_->editor()->findChild<QPushButton*>("cmdGetClasses")->click();
  EXPECT_TRUE(QTest::qWaitFor([this] { return received_.contains("~AC"); }, 5000))
      << received_.toStdString();
  EXPECT_EQ(NewPrompts(), std::vector<std::string>{});
}

TEST_F(ApplyOverTcpTest, TransmitterConnectsAndTakesBlockPackets) {
  ApplyTcpThroughTheMenu("miTransmitter", "frmTransmitter");
  const LinkSettings& link = station_->globals().TransmitterLink;
  EXPECT_EQ(link.ComPort, 25);
  EXPECT_EQ(link.Port, std::to_string(server_.serverPort()));
  EXPECT_FALSE(station_->globals().TimingTcpActive);
  EXPECT_FALSE(getClassesShownAtApply_);
  ASSERT_TRUE(Connected());
  ASSERT_TRUE(QTest::qWaitFor([this] { return station_->TransmitterOpen(); }, 5000));

  // After more than three silent seconds the timer sends the next block.
  for (int i = 0; i < 4 && received_.isEmpty(); ++i) {
    station_->OnTimerTick();
    QTest::qWait(20);
  }
  ASSERT_TRUE(QTest::qWaitFor([this] { return received_.size() >= kBlockPacketSize; }, 5000));
  const auto* b = reinterpret_cast<const uint8_t*>(received_.constData());
  EXPECT_EQ(b[0], 27);
  EXPECT_EQ(b[1], 250);
  unsigned sum = 0;
  for (int i = 1; i <= 12; ++i) sum += b[i];
  EXPECT_EQ(b[13], static_cast<uint8_t>(255 - sum % 256));

  // An ACK over the same connection starts the next block.
  const uint64_t sent = station_->cycle().Counters().packetsSent;
  peers_.front()->write("\x06", 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return station_->cycle().Counters().acks == 1; }, 5000));
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return station_->cycle().Counters().packetsSent == sent + 1; }, 5000));
  EXPECT_EQ(NewPrompts(), std::vector<std::string>{});
}

}  // namespace
}  // namespace torvane
