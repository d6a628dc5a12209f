// What the windows ask of the desktop: file and colour dialogs, the clipboard
// and starting the text editor or calculator. Tests put a scripted desktop in
// its place, as they script the prompter.
#ifndef TORVANE_APP_GUI_DESKTOP_H_
#define TORVANE_APP_GUI_DESKTOP_H_

#include <QColor>
#include <QString>
#include <QStringList>
#include <optional>
#include <stdexcept>

class QWidget;

namespace torvane {

class DesktopError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct FileDialogRequest {
  QString title;
  QString folder;
  QString fileName;  // proposed name, without folder
  QString filters;   // ";;"-separated
};

class Desktop {
 public:
  enum class Program { kTextEditor, kCalculator };

  virtual ~Desktop() = default;
  // The chosen file path; nullopt when cancelled.
  virtual std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& r) = 0;
  // May name a file that does not exist yet.
  virtual std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& r) = 0;
  virtual std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial) = 0;
  // Throws DesktopError when the clipboard cannot be read.
  virtual QString ClipboardText() = 0;
  // False when no such program could be started. The calculator asks for a
  // maximised window; how far that is honoured is the window system's affair.
  virtual bool Launch(Program program) = 0;
  // The colour of the desktop background.
  virtual QColor DesktopColour() = 0;
};

// The real dialogs, the system clipboard and the first program found of a short
// list ($VISUAL first for the text editor).
class QtDesktop : public Desktop {
 public:
  std::optional<QString> OpenFileName(QWidget* parent, const FileDialogRequest& r) override;
  std::optional<QString> SaveFileName(QWidget* parent, const FileDialogRequest& r) override;
  std::optional<QColor> ChooseColour(QWidget* parent, const QColor& initial) override;
  QString ClipboardText() override;
  bool Launch(Program program) override;
  QColor DesktopColour() override;
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_DESKTOP_H_
