// A desktop whose dialogs, clipboard and programs the tests script and record.
#ifndef TORVANE_APP_GUI_GUITESTSUPPORT_H_
#define TORVANE_APP_GUI_GUITESTSUPPORT_H_

#include <QApplication>
#include <QTest>
#include <deque>
#include <vector>

#include "Desktop.h"

namespace torvane::testing_support {

class ScriptedDesktop : public Desktop {
 public:
  std::optional<QString> OpenFileName(QWidget*, const FileDialogRequest& r) override {
    requests.push_back(r);
    return Next();
  }
  std::optional<QString> SaveFileName(QWidget*, const FileDialogRequest& r) override {
    requests.push_back(r);
    return Next();
  }
  std::optional<QColor> ChooseColour(QWidget*, const QColor&) override { return colour; }
  QString ClipboardText() override {
    if (clipboardFails) throw DesktopError("clipboard owner went away");
    return clipboard;
  }
  bool Launch(Program program) override {
    launched.push_back(program);
    return launchSucceeds;
  }
  QColor DesktopColour() override { return QColor(58, 110, 165); }

  std::deque<std::optional<QString>> files;
  std::vector<FileDialogRequest> requests;
  std::optional<QColor> colour;
  QString clipboard;
  bool clipboardFails = false;
  std::vector<Program> launched;
  bool launchSucceeds = true;

 private:
  std::optional<QString> Next() {
    if (files.empty()) return std::nullopt;
    std::optional<QString> file = files.front();
    files.pop_front();
    return file;
  }
};

// Shows widget and makes it the active window, so focus moves as a person's would.
inline bool ShowActive(QWidget& widget) {
  widget.show();
  widget.activateWindow();
  return QTest::qWaitForWindowActive(&widget);
}

}  // namespace torvane::testing_support

#endif  // TORVANE_APP_GUI_GUITESTSUPPORT_H_
