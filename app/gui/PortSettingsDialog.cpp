#include "PortSettingsDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "GuiText.h"
#include "LinkSettingsStore.h"
#include "Prompter.h"
#include "Station.h"

namespace torvane {
namespace {

QComboBox* List(QWidget* parent, const char* name, const QStringList& items, bool editable) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  list->setEditable(editable);
  if (editable) list->setInsertPolicy(QComboBox::NoInsert);
  return list;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

bool IsUnset(const QString& text) { return text.isEmpty() || text == "None"; }

}  // namespace

PortSettingsDialog::PortSettingsDialog(Station& station, Prompter& prompter, Kind kind,
                                       QWidget* parent)
    : QDialog(parent), station_(station), prompter_(prompter), kind_(kind) {
  const bool timing = kind == Kind::kTimingSystem;
  setObjectName(timing ? "frmTimingSystem" : "frmTransmitter");
  setWindowTitle(timing ? "Timing System Port Settings" : "Port Settings");
  setAttribute(Qt::WA_DeleteOnClose, false);

  auto* fraComPort = new QGroupBox("Com Port or TCP/IP", this);
  fraComPort->setObjectName("fraComPort");
  QStringList ports{"None"};
  for (int n = 1; n <= 24; ++n) {
    ports << QString("Com%1 (%2)").arg(n).arg(
        ToQt(ComPortDevicePath(station_.settings(), static_cast<int16_t>(n))));
  }
  ports << "TCP/IP";
  cboComPort_ = List(fraComPort, "cboComPort", ports, false);
  cboBitsPerSecond_ = List(fraComPort, "cboBitsPerSecond",
                           {"110", "300", "600", "1200", "2400", "9600", "14400", "19200", "57600"},
                           false);
  cboParity_ = List(fraComPort, "cboParity", {"None", "Odd", "Even", "Mark", "Space"}, false);
  cboDataBits_ = List(fraComPort, "cboDataBits", {"4", "5", "6", "7", "8"}, false);
  cboStopBits_ = List(fraComPort, "cboStopBits", {"1", "2"}, false);
  cboFlowControl_ = List(fraComPort, "cboFlowControl",
                         {"None", "Xon / Xoff", "RTS", "RTS / Xon / Xoff"}, false);
  auto* serial = new QFormLayout(fraComPort);
  serial->addRow("Com Port:", cboComPort_);
  serial->addRow("&Bits per second:", cboBitsPerSecond_);
  serial->addRow("&Parity:", cboParity_);
  serial->addRow("&Data Bits:", cboDataBits_);
  serial->addRow("&Stop Bits:", cboStopBits_);
  serial->addRow("&Flow Control:", cboFlowControl_);

  auto* fraEthernet = new QGroupBox("Network Interface", this);
  fraEthernet->setObjectName("fraEthernet");
  cboHost_ = List(fraEthernet, "cboHost", {"None", "localhost"}, true);
  cboPort_ = List(fraEthernet, "cboPort", {"None", timing ? "7777" : "5555"}, true);
  auto* network = new QFormLayout(fraEthernet);
  network->addRow("Host:", cboHost_);
  network->addRow("Port:", cboPort_);

  cmdOK_ = Button(this, "cmdOK", "&OK");
  cmdCancel_ = Button(this, "cmdCancel", "Cancel");
  cmdApply_ = Button(this, "cmdApply", "&Apply");
  cmdRestoreDefaults_ = Button(this, "cmdRestoreDefaults", "&Restore Defaults");
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdRestoreDefaults_);
  buttons->addStretch(1);
  for (QPushButton* b : {cmdOK_, cmdCancel_, cmdApply_}) buttons->addWidget(b);
  auto* layout = new QVBoxLayout(this);
  auto* frames = new QHBoxLayout;
  frames->addWidget(fraComPort);
  frames->addWidget(fraEthernet, 0, Qt::AlignTop);
  layout->addLayout(frames);
  layout->addLayout(buttons);

  connect(cboComPort_, &QComboBox::currentIndexChanged, this,
          &PortSettingsDialog::OnComPortChosen);
  for (QComboBox* list :
       {cboBitsPerSecond_, cboParity_, cboDataBits_, cboStopBits_, cboFlowControl_}) {
    connect(list, &QComboBox::currentIndexChanged, this, &PortSettingsDialog::OnSerialListChosen);
  }
  for (QComboBox* list : {cboHost_, cboPort_}) {
    connect(list, &QComboBox::activated, this, &PortSettingsDialog::OnNetworkEntryChosen);
  }
  connect(cmdRestoreDefaults_, &QPushButton::clicked, this, &PortSettingsDialog::RestoreDefaults);
  connect(cmdApply_, &QPushButton::clicked, this, &PortSettingsDialog::Apply);
  connect(cmdOK_, &QPushButton::clicked, this, [this] {
    Apply();
    accept();
  });
  connect(cmdCancel_, &QPushButton::clicked, this, &QDialog::reject);
  cmdApply_->setEnabled(false);
  cmdRestoreDefaults_->setEnabled(false);
  Load();
}

LinkSettings& PortSettingsDialog::Link() {
  Globals& g = station_.globals();
  return kind_ == Kind::kTimingSystem ? g.TimingLink : g.TransmitterLink;
}

void PortSettingsDialog::Load() {
  const LinkSettings link = Link();
  cboComPort_->setCurrentIndex(link.ComPort);
  cboBitsPerSecond_->setCurrentIndex(link.BitsPerSecond);
  cboParity_->setCurrentIndex(link.Parity);
  cboDataBits_->setCurrentIndex(link.DataBits);
  cboStopBits_->setCurrentIndex(link.StopBits);
  cboFlowControl_->setCurrentIndex(link.FlowControl);
  cboHost_->setCurrentText(ToQt(link.Host));
  cboPort_->setCurrentText(ToQt(link.Port));
  OnComPortChosen(cboComPort_->currentIndex());
}

void PortSettingsDialog::OnComPortChosen(int position) {
  cmdApply_->setEnabled(true);
  const bool tcp = position == LinkSettings::kTcpIp;
  if (tcp) {
    if (cboHost_->currentText().isEmpty()) cboHost_->setCurrentText("localhost");
    if (cboPort_->currentText().isEmpty()) cboPort_->setCurrentText(cboPort_->itemText(1));
  }
  if (kind_ == Kind::kTimingSystem) {
    for (QComboBox* list :
         {cboBitsPerSecond_, cboParity_, cboDataBits_, cboStopBits_, cboFlowControl_}) {
      list->setEnabled(!tcp);
    }
  }
}

void PortSettingsDialog::OnSerialListChosen() {
  cmdApply_->setEnabled(true);
  cmdRestoreDefaults_->setEnabled(true);
}

void PortSettingsDialog::OnNetworkEntryChosen() {
  if (kind_ == Kind::kTimingSystem) station_.DisconnectTimingNetwork();
  cmdApply_->setEnabled(true);
  cmdRestoreDefaults_->setEnabled(true);
}

void PortSettingsDialog::RestoreDefaults() {
  cboBitsPerSecond_->setCurrentIndex(5);
  cboParity_->setCurrentIndex(0);
  cboDataBits_->setCurrentIndex(4);
  cboStopBits_->setCurrentIndex(0);
  cboFlowControl_->setCurrentIndex(0);
  cboHost_->setCurrentText("None");
  cboPort_->setCurrentText("None");
  cmdRestoreDefaults_->setEnabled(false);
}

void PortSettingsDialog::TakeFields() {
  LinkSettings& link = Link();
  link.ComPort = static_cast<int16_t>(cboComPort_->currentIndex());
  link.BitsPerSecond = static_cast<int16_t>(cboBitsPerSecond_->currentIndex());
  link.Parity = static_cast<int16_t>(cboParity_->currentIndex());
  link.DataBits = static_cast<int16_t>(cboDataBits_->currentIndex());
  link.StopBits = static_cast<int16_t>(cboStopBits_->currentIndex());
  link.FlowControl = static_cast<int16_t>(cboFlowControl_->currentIndex());
  const QString host = cboHost_->currentText().trimmed();
  const QString port = cboPort_->currentText().trimmed();
  if (!host.isEmpty()) link.Host = FromQt(host);
  if (!port.isEmpty()) link.Port = FromQt(port);
}

void PortSettingsDialog::ApplySettings() {
  const bool timing = kind_ == Kind::kTimingSystem;
  const bool configured =
      timing ? station_.ConfigureTimingLine() : station_.ConfigureTransmitterLine();
  if (!configured) {
    prompter_.Show({kApplyError, "TorvaneTX", PromptIcon::kCritical, PromptButtons::kOk});
  }
  LinkSettings& link = Link();
  const QString host = cboHost_->currentText().trimmed();
  const QString port = cboPort_->currentText().trimmed();
  link.Host = FromQt(host);
  link.Port = FromQt(port);
  if (timing) {
    if (!IsUnset(host) && !IsUnset(port)) {
      station_.ReconnectTimingNetwork();  // sets TimingTcpActive
    } else {
      station_.DisconnectTimingNetwork();
    }
  } else {
    station_.ReconnectTransmitterNetwork();
  }
}

void PortSettingsDialog::Apply() {
  TakeFields();
  ApplySettings();
  cmdApply_->setEnabled(false);
  Q_EMIT Applied();
}

}  // namespace torvane
