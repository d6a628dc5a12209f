// frmAbout: the program's version as major.minor.revision of the build.
#ifndef TORVANE_APP_GUI_ABOUTDIALOG_H_
#define TORVANE_APP_GUI_ABOUTDIALOG_H_

#include <QDialog>
#include <QString>

namespace torvane {

class AboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit AboutDialog(QWidget* parent = nullptr);

  // "Torvane TX   v" followed by major.minor.revision.
  static QString VersionText(int major, int minor, int revision);
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_ABOUTDIALOG_H_
