// The page editor's frame inside the main window. The editor is the main
// window's permanent child for the whole run, and the station's model keeps
// calling into it: no button, menu, shortcut or close call may close, minimise
// or hide it.
#ifndef TORVANE_APP_GUI_EDITORSUBWINDOW_H_
#define TORVANE_APP_GUI_EDITORSUBWINDOW_H_

#include <QMdiSubWindow>

namespace torvane {

class EditorSubWindow : public QMdiSubWindow {
  Q_OBJECT

 public:
  // Takes editor as its widget.
  explicit EditorSubWindow(QWidget* editor, QWidget* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_EDITORSUBWINDOW_H_
