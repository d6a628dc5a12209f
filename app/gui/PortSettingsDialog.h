// frmTimingSystem and frmTransmitter: the two port settings dialogs. Each
// showing loads a fresh copy from the link record; Apply and OK change the
// running link at once through the Station (the settings are written only at
// shutdown).
#ifndef TORVANE_APP_GUI_PORTSETTINGSDIALOG_H_
#define TORVANE_APP_GUI_PORTSETTINGSDIALOG_H_

#include <QDialog>

class QComboBox;
class QPushButton;

namespace torvane {

class Prompter;
class Station;
struct LinkSettings;

class PortSettingsDialog : public QDialog {
  Q_OBJECT

 public:
  enum class Kind { kTimingSystem, kTransmitter };
  static constexpr const char* kApplyError = "Error applying settings";

  PortSettingsDialog(Station& station, Prompter& prompter, Kind kind, QWidget* parent = nullptr);

 Q_SIGNALS:
  // Apply or OK changed the running link (the timing link may now be on TCP,
  // which shows "Get Classes").
  void Applied();

 private:
  LinkSettings& Link();
  void Load();
  void OnComPortChosen(int position);
  void OnSerialListChosen();
  void OnNetworkEntryChosen();
  void RestoreDefaults();
  void TakeFields();
  void ApplySettings();
  void Apply();

  Station& station_;
  Prompter& prompter_;
  Kind kind_;
  QComboBox* cboComPort_;
  QComboBox* cboBitsPerSecond_;
  QComboBox* cboParity_;
  QComboBox* cboDataBits_;
  QComboBox* cboStopBits_;
  QComboBox* cboFlowControl_;
  QComboBox* cboHost_;
  QComboBox* cboPort_;
  QPushButton* cmdOK_;
  QPushButton* cmdCancel_;
  QPushButton* cmdApply_;
  QPushButton* cmdRestoreDefaults_;
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_PORTSETTINGSDIALOG_H_
