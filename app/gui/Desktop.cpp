#include "Desktop.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QPalette>
#include <QProcess>
#include <QStandardPaths>

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

QString QtDesktop::ClipboardText() { return QApplication::clipboard()->text(); }

bool QtDesktop::Launch(Program program) {
  QStringList candidates;
  if (program == Program::kTextEditor) {
    const QString visual = qEnvironmentVariable("VISUAL");
    if (!visual.isEmpty()) candidates << visual;
    candidates << "gnome-text-editor" << "gedit" << "kate" << "kwrite" << "mousepad" << "xed"
               << "pluma" << "featherpad";
  } else {
    candidates << "gnome-calculator" << "kcalc" << "galculator" << "mate-calc" << "qalculate-gtk"
               << "xcalc";
  }
  for (const QString& name : candidates) {
    const QString path = QStandardPaths::findExecutable(name);
    if (!path.isEmpty() && QProcess::startDetached(path, {})) return true;
  }
  return false;
}

QColor QtDesktop::DesktopColour() { return QApplication::palette().color(QPalette::Window); }

}  // namespace torvane
