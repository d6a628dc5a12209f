// frmMain: the multiple-document frame over one Station. Menus, toolbars and
// status bar carry the tool names as object names; every tool click goes to
// OnToolClick, which dispatches on the name. The status lamps and the buffer
// bar repaint from the station at each timer tick.
#ifndef TORVANE_APP_GUI_MAINWINDOW_H_
#define TORVANE_APP_GUI_MAINWINDOW_H_

#include <QColor>
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "Desktop.h"

class QAction;
class QComboBox;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QProgressBar;

namespace torvane {

class PageEditorWindow;
class Prompter;
class ReceiverPreview;
class Station;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  static constexpr const char* kLoadErrorText = "Error detected in the main form load event!";
  static constexpr const char* kLoadErrorTitle = "Error - frmMain";
  static constexpr const char* kNoTextEditorText =
      "No text editor was found to start. Install one, or name it in $VISUAL.";
  static constexpr const char* kNoCalculatorText =
      "No calculator was found to start. Install one, such as gnome-calculator or xcalc.";

  // The window's steps of the load handler, in the order they run.
  static constexpr const char* kLoadSteps[] = {"ticker list",       "delay everything",
                                               "page editor",       "receiver preview",
                                               "background colour", "area colour"};

  // Runs before each load step with its name; an exception it throws is taken
  // as that step's own. The program passes one that throws when the station's
  // part of the load failed, so the window's steps are skipped; tests pass one
  // to fail a chosen step.
  using LoadGate = std::function<void(std::string_view step)>;

  // station must have been started (its load may have failed) and outlive the
  // window; prompter and desktop too. The load handler runs here: an error in
  // any step shows kLoadErrorText (critical icon, kLoadErrorTitle) and skips
  // the remaining steps; the window can still be shown and used.
  MainWindow(Station& station, Prompter& prompter, Desktop& desktop, LoadGate gate = {},
             QWidget* parent = nullptr);
  ~MainWindow() override;

  // The tool-click event of the bars.
  void OnToolClick(const QString& name);

  // Null when the load failed before opening them.
  PageEditorWindow* editor() const { return editor_; }
  ReceiverPreview* receiver() const { return receiver_; }
  // The Link Health sub-window; null while it is not open.
  QMdiSubWindow* linkHealthWindow() const;
  // The load step that raised; empty when the load ran through.
  const std::string& FailedLoadStep() const { return failedLoadStep_; }
  QColor BackgroundColour() const { return background_; }
  // Where the memory dump goes first; the program's folder unless set.
  void SetProgramFolder(const QString& folder) { programFolder_ = folder; }
  // The folder of the last memory dump written; empty before.
  QString LastDumpPath() const { return lastDumpPath_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildBars();
  QAction* Tool(const char* name, const QString& caption, const QString& tip = {});
  void Load(const LoadGate& gate);
  void OpenEditor();
  void OpenReceiverPreview();
  // Opens the Link Health window, or brings the open one forward.
  void ShowLinkHealth();
  void RestoreBackground();
  void RepaintLamps();
  void PaintTickerChooser();
  void SetBackground(const QColor& colour);

  void OpenPageFile();
  void SavePageFile();
  void PastePage();
  void ClearPage();
  void MemoryDump();
  void StartOrStopTicker();
  void CloseActiveChild();
  // Tells the operator when no such program could be started.
  void LaunchProgram(Desktop::Program program);
  void ShowDialog(const char* name);

  Station& station_;
  Prompter& prompter_;
  Desktop& desktop_;
  QMdiArea* mdi_ = nullptr;
  QMdiSubWindow* editorWindow_ = nullptr;
  std::optional<size_t> editorObserver_;
  PageEditorWindow* editor_ = nullptr;
  ReceiverPreview* receiver_ = nullptr;
  QPointer<QMdiSubWindow> linkHealthWindow_;
  QComboBox* cboNewsTicker_ = nullptr;
  QAction* miSendTicker_ = nullptr;
  QAction* miDelayEverything_ = nullptr;
  QLabel* lamps_[4] = {};
  QProgressBar* transBuffer_ = nullptr;
  QColor background_;
  QString programFolder_;
  QString lastDumpPath_;
  std::string failedLoadStep_;
  bool closed_ = false;
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_MAINWINDOW_H_
