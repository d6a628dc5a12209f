// frmChangeChannel: offers the two transmitter channels; OK only closes.
#ifndef TORVANE_APP_GUI_CHANGECHANNELDIALOG_H_
#define TORVANE_APP_GUI_CHANGECHANNELDIALOG_H_

#include <QDialog>

namespace torvane {

class ChangeChannelDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ChangeChannelDialog(QWidget* parent = nullptr);
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_CHANGECHANNELDIALOG_H_
