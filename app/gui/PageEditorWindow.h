// frmOutput: the page editor window over an EditorModel. Every control event
// is one model call; the controls are repainted from the model's change
// notices. Rows of the page grid are kept and reused: a page switch only
// refills and shows or hides rows, it never rebuilds them.
#ifndef TORVANE_APP_GUI_PAGEEDITORWINDOW_H_
#define TORVANE_APP_GUI_PAGEEDITORWINDOW_H_

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "EditorModel.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;
class QVBoxLayout;

namespace torvane {

class Desktop;

class PageEditorWindow : public QWidget {
  Q_OBJECT

 public:
  // model and desktop must outlive the window.
  PageEditorWindow(EditorModel& model, Desktop& desktop, QWidget* parent = nullptr);
  ~PageEditorWindow() override;

  // Sends "Get Classes" texts to the timing system; unset sends nothing.
  void SetTimingSender(std::function<void(const std::string&)> send) { send_ = std::move(send); }
  // cmdGetClasses follows the model's visibility rule; called when the link changes.
  void UpdateGetClassesVisible();
  // Gives the title and page areas the main window's background colour.
  void SetAreaColour(const QColor& colour);

  // Row i's boxes; null beyond the rows shown.
  QLineEdit* DataBox(int i) const;
  QLineEdit* LinkBox(int i) const;
  int RowsShown() const { return shownRows_; }
  // Rows built so far (shown or kept for reuse).
  int RowsBuilt() const { return static_cast<int>(rows_.size()); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Row {
    QWidget* holder;
    QLineEdit* data;
    QLineEdit* link;
  };

  void BuildControls();
  QWidget* BuildTitleBar();
  QWidget* BuildPageSettings();
  QWidget* BuildCategorySettings();
  QWidget* BuildColours();
  QWidget* BuildPageCommands();
  void EnsureRows(int count);
  int RowOf(QObject* box, bool* isLink) const;
  bool HandleRowKey(int row, bool isLink, int key, const QString& text);
  void FocusRow(int row, bool isLink);

  void OnChange(EditorModel::Change change);
  void ShowPage();
  void ShowColours();
  void ShowCategories();
  void ShowRaceControls();
  void PaintRows();

  EditorModel& model_;
  Desktop& desktop_;
  std::function<void(const std::string&)> send_;
  size_t observer_ = 0;
  bool alive_ = true;
  bool painting_ = false;

  QFrame* picTitle_ = nullptr;
  QLineEdit* txtTitle_ = nullptr;
  QLineEdit* txtAddress_ = nullptr;
  QGroupBox* fraPage_ = nullptr;
  QLineEdit* txtPage_ = nullptr;
  QSpinBox* updCurrentPage_ = nullptr;
  QLineEdit* txtPageSize_ = nullptr;
  QSpinBox* updPageSize_ = nullptr;
  QComboBox* cboVenueID_ = nullptr;
  QComboBox* cboPageDelay_ = nullptr;
  QPushButton* cmdSaveLayout_ = nullptr;
  QPushButton* cmdAddPage_ = nullptr;
  QPushButton* cmdDeletePage_ = nullptr;
  QPushButton* cmdSendPage_ = nullptr;
  QPushButton* cmdSendAllPages_ = nullptr;
  QPushButton* cmdRefreshPages_ = nullptr;
  QPushButton* cmdPastePage_ = nullptr;
  QPushButton* cmdGetClasses_ = nullptr;
  QComboBox* cboCategory_ = nullptr;
  QComboBox* cboRaceType_ = nullptr;
  QLineEdit* txtRoundNumber_ = nullptr;
  QSpinBox* updRoundNumber_ = nullptr;
  QLineEdit* txtClass_ = nullptr;
  QCheckBox* chkHeadsUp_ = nullptr;
  QPushButton* cmdActivate_ = nullptr;
  QComboBox* cboPageColor_ = nullptr;
  QComboBox* clrForeground_ = nullptr;
  QComboBox* clrBackground_ = nullptr;
  QScrollArea* picPage_ = nullptr;
  QWidget* rowsHolder_ = nullptr;
  QVBoxLayout* rowsLayout_ = nullptr;

  std::vector<Row> rows_;
  int shownRows_ = 0;
  // The colours the rows were last painted with; a repaint is skipped when equal.
  int paintedPage_[2] = {-1, -1};
  int paintedCursor_[2] = {-1, -1};
};

}  // namespace torvane

#endif  // TORVANE_APP_GUI_PAGEEDITORWINDOW_H_
