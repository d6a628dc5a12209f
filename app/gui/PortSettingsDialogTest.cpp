// The two port settings dialogs over a started Station.
#include "PortSettingsDialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QPushButton>

#include "GuiTestSupport.h"
#include "SettingsKeys.h"
#include "Station.h"

namespace torvane {
namespace {

using Kind = PortSettingsDialog::Kind;

class PortSettingsDialogTest : public ::testing::TestWithParam<Kind> {
 protected:
  void SetUp() override {
    settings_.WriteSetting(kPortsKey, "COM3", "/dev/ttyUSB0", kRegSz);
    settings_.WriteSetting(kPortsKey, "COM5", "/nonexistent/torvane-tty", kRegSz);
    station_ = std::make_unique<Station>(settings_, prompter_, StationOptions{int16_t{0}, ""});
    ASSERT_TRUE(station_->Start());
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

}  // namespace
}  // namespace torvane
