#include "EditorSubWindow.h"

#include <QCloseEvent>
#include <QTimer>

namespace torvane {

EditorSubWindow::EditorSubWindow(QWidget* editor, QWidget* parent) : QMdiSubWindow(parent) {
  setObjectName("frmOutputFrame");
  // A title and nothing else: no system menu, no minimise, maximise or close
  // buttons, so the maximised frame puts no controls into the menu bar.
  setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  setSystemMenu(nullptr);
  setAttribute(Qt::WA_DeleteOnClose, false);
  setWidget(editor);
  editor->installEventFilter(this);
}

// The editor itself refuses to close too (a close() on the widget would hide it).
bool EditorSubWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == widget() && event->type() == QEvent::Close) {
    event->ignore();
    return true;
  }
  return QMdiSubWindow::eventFilter(watched, event);
}

void EditorSubWindow::closeEvent(QCloseEvent* event) { event->ignore(); }

void EditorSubWindow::changeEvent(QEvent* event) {
  QMdiSubWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized()) {
    // Not from inside the state change the area is still handling.
    QTimer::singleShot(0, this, [this] { showMaximized(); });
  }
}

}  // namespace torvane
