#include "Desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QMimeData>
#include <QPalette>
#include <QProcess>
#include <QStandardPaths>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace torvane {
namespace {

std::optional<QString> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path;
}

}  // namespace

std::optional<QString> QtDesktop::OpenFileName(QWidget* parent, const FileDialogRequest& r) {
  return Chosen(QFileDialog::getOpenFileName(parent, r.title, QDir(r.folder).filePath(r.fileName),
                                             r.filters));
}

std::optional<QString> QtDesktop::SaveFileName(QWidget* parent, const FileDialogRequest& r) {
  return Chosen(QFileDialog::getSaveFileName(parent, r.title, QDir(r.folder).filePath(r.fileName),
                                             r.filters));
}

std::optional<QColor> QtDesktop::ChooseColour(QWidget* parent, const QColor& initial) {
  const QColor colour = QColorDialog::getColor(initial, parent);
  if (!colour.isValid()) return std::nullopt;
  return colour;
}

QString QtDesktop::ClipboardText() {
  const QMimeData* data = QApplication::clipboard()->mimeData();
  if (data == nullptr) throw DesktopError("the clipboard cannot be read");
  return data->text();
}

bool QtDesktop::Launch(Program program) {
  QStringList candidates;
#ifdef Q_OS_WIN
  candidates << (program == Program::kTextEditor ? "notepad" : "calc");
#else
  if (program == Program::kTextEditor) {
    const QString visual = qEnvironmentVariable("VISUAL");
    if (!visual.isEmpty()) candidates << visual;
    candidates << "gnome-text-editor" << "gedit" << "kate" << "kwrite" << "mousepad" << "xed"
               << "pluma" << "featherpad";
  } else {
    candidates << "gnome-calculator" << "kcalc" << "galculator" << "mate-calc" << "qalculate-gtk"
               << "xcalc";
  }
#endif
  for (const QString& name : candidates) {
    const QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty()) continue;
    QProcess process;
    process.setProgram(path);
#ifdef Q_OS_WIN
    if (program == Program::kCalculator) {
      process.setCreateProcessArgumentsModifier([](QProcess::CreateProcessArguments* args) {
        args->startupInfo->dwFlags |= STARTF_USESHOWWINDOW;
        args->startupInfo->wShowWindow = SW_SHOWMAXIMIZED;
      });
    }
#endif
    if (process.startDetached()) return true;
  }
  return false;
}

QColor QtDesktop::DesktopColour() { return QApplication::palette().color(QPalette::Window); }

}  // namespace torvane
