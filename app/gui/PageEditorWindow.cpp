#include "PageEditorWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "Desktop.h"
#include "GuiText.h"
#include "PageStore.h"

namespace torvane {
namespace {

QColor FromWindowsColour(int32_t value) {
  return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

void Paint(QWidget* widget, const QColor& fore, const QColor& back) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Text, fore);
  palette.setColor(QPalette::Base, back);
  palette.setColor(QPalette::ButtonText, fore);
  palette.setColor(QPalette::Button, back);
  widget->setPalette(palette);
}

QLineEdit* Box(QWidget* parent, const char* name) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(name);
  return box;
}

QPushButton* Button(QWidget* parent, const char* name, const QString& caption) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  return button;
}

QComboBox* List(QWidget* parent, const char* name) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  return list;
}

QSpinBox* Spinner(QWidget* parent, const char* name, int max) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(0, max);
  // Only the arrows show: the text box beside it holds the value.
  spin->setFixedWidth(18);
  return spin;
}

void FillList(QComboBox* list, const std::vector<std::string>& items) {
  for (const std::string& item : items) list->addItem(ToQt(item));
}

QIcon Swatch(const QColor& colour) {
  QPixmap pixmap(16, 12);
  pixmap.fill(colour);
  QPainter(&pixmap).drawRect(0, 0, 15, 11);
  return QIcon(pixmap);
}

bool IsDigitFilterKey(const QString& text) {
  return !text.isEmpty() && text.at(0).isPrint() && !text.at(0).isDigit();
}

bool IsEnter(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

PageEditorWindow::PageEditorWindow(EditorModel& model, Desktop& desktop, QWidget* parent)
    : QWidget(parent), model_(model), desktop_(desktop) {
  setObjectName("frmOutput");
  setWindowTitle("Torvane TX Pages");
  BuildControls();
  observer_ = model_.AddObserver([this](EditorModel::Change change) { OnChange(change); });
  ShowCategories();
  ShowRaceControls();
  OnChange(EditorModel::Change::kVenue);
  OnChange(EditorModel::Change::kPageDelay);
  ShowPage();
}

PageEditorWindow::~PageEditorWindow() {
  model_.RemoveObserver(observer_);
  // The boxes are destroyed after this body and still send focus events.
  alive_ = false;
}

// ------------------------------------------------------------------ building

void PageEditorWindow::BuildControls() {
  auto* layout = new QGridLayout(this);
  layout->addWidget(BuildTitleBar(), 0, 0);

  picPage_ = new QScrollArea(this);
  picPage_->setObjectName("picPage");
  picPage_->setWidgetResizable(true);
  picPage_->verticalScrollBar()->setObjectName("scrollPage");
  picPage_->verticalScrollBar()->setSingleStep(10);
  picPage_->verticalScrollBar()->setPageStep(10);
  rowsHolder_ = new QWidget(picPage_);
  rowsLayout_ = new QVBoxLayout(rowsHolder_);
  rowsLayout_->setContentsMargins(2, 2, 2, 2);
  rowsLayout_->setSpacing(0);
  rowsLayout_->addStretch(1);
  picPage_->setWidget(rowsHolder_);
  layout->addWidget(picPage_, 1, 0, 3, 1);

  layout->addWidget(BuildPageSettings(), 0, 1, 2, 1);
  layout->addWidget(BuildCategorySettings(), 0, 2);
  layout->addWidget(BuildColours(), 1, 2);
  layout->addWidget(BuildPageCommands(), 2, 1, 1, 2);
  layout->setRowStretch(3, 1);
  layout->setColumnStretch(0, 1);
}

QWidget* PageEditorWindow::BuildTitleBar() {
  picTitle_ = new QFrame(this);
  picTitle_->setObjectName("picTitle");
  picTitle_->setAutoFillBackground(true);
  auto* row = new QHBoxLayout(picTitle_);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  txtTitle_ = Box(picTitle_, "txtTitle");
  txtTitle_->setFont(fixed);
  txtTitle_->setMaxLength(kTitleWidth);
  txtTitle_->setFixedWidth(QFontMetrics(fixed).horizontalAdvance(QString(kTitleWidth + 2, 'W')));
  txtAddress_ = Box(picTitle_, "txtAddress");
  txtAddress_->setReadOnly(true);
  txtAddress_->setFixedWidth(QFontMetrics(font()).horizontalAdvance("WWWWWW"));
  txtAddress_->setToolTip("Image address of the page");
  row->addWidget(txtTitle_);
  row->addWidget(txtAddress_);
  row->addStretch(1);
  for (QLineEdit* box : {txtTitle_, txtAddress_}) box->installEventFilter(this);
  connect(txtTitle_, &QLineEdit::textEdited, this,
          [this](const QString& text) { model_.SetTitleText(FromQt(text)); });
  return picTitle_;
}

QWidget* PageEditorWindow::BuildPageSettings() {
  fraPage_ = new QGroupBox("Page S&ettings", this);
  fraPage_->setObjectName("fraPage");
  auto* grid = new QGridLayout(fraPage_);
  txtPage_ = Box(fraPage_, "txtPage");
  updCurrentPage_ = Spinner(fraPage_, "updCurrentPage", model_.HighestPage());
  auto* pageLabel = new QLabel("&Page:", fraPage_);
  pageLabel->setBuddy(txtPage_);
  grid->addWidget(pageLabel, 0, 0);
  grid->addWidget(txtPage_, 0, 1);
  grid->addWidget(updCurrentPage_, 0, 2);

  txtPageSize_ = Box(fraPage_, "txtPageSize");
  updPageSize_ = Spinner(fraPage_, "updPageSize", kMaxPageSize);
  auto* sizeLabel = new QLabel("&Size:", fraPage_);
  sizeLabel->setBuddy(txtPageSize_);
  grid->addWidget(sizeLabel, 1, 0);
  grid->addWidget(txtPageSize_, 1, 1);
  grid->addWidget(updPageSize_, 1, 2);

  cboVenueID_ = List(fraPage_, "cboVenueID");
  FillList(cboVenueID_, EditorModel::VenueItems());
  grid->addWidget(new QLabel("Venue ID:", fraPage_), 2, 0);
  grid->addWidget(cboVenueID_, 2, 1, 1, 2);
  cboPageDelay_ = List(fraPage_, "cboPageDelay");
  FillList(cboPageDelay_, EditorModel::PageDelayItems());
  grid->addWidget(new QLabel("Page Delay:", fraPage_), 3, 0);
  grid->addWidget(cboPageDelay_, 3, 1, 1, 2);

  cmdSaveLayout_ = Button(fraPage_, "cmdSaveLayout", "Save Layout");
  cmdAddPage_ = Button(fraPage_, "cmdAddPage", "Add Page");
  cmdDeletePage_ = Button(fraPage_, "cmdDeletePage", "Delete Page");
  grid->addWidget(cmdSaveLayout_, 4, 0, 1, 3);
  grid->addWidget(cmdAddPage_, 5, 0, 1, 3);
  grid->addWidget(cmdDeletePage_, 6, 0, 1, 3);

  for (QLineEdit* box : {txtPage_, txtPageSize_}) box->installEventFilter(this);
  connect(updCurrentPage_, &QSpinBox::valueChanged, this, [this](int value) {
    if (!painting_) model_.ShowPage(std::to_string(value));
  });
  connect(updPageSize_, &QSpinBox::valueChanged, this, [this](int value) {
    if (!painting_) model_.SetPageSize(std::to_string(value));
  });
  connect(cboVenueID_, &QComboBox::activated, this, [this](int i) { model_.SelectVenue(i); });
  connect(cboPageDelay_, &QComboBox::activated, this,
          [this](int i) { model_.SelectPageDelay(i); });
  connect(cmdSaveLayout_, &QPushButton::clicked, this, [this] {
    cmdSaveLayout_->setEnabled(false);
    model_.SaveLayout();
    cmdSaveLayout_->setEnabled(true);
  });
  connect(cmdAddPage_, &QPushButton::clicked, this, [this] { model_.AddPage(); });
  connect(cmdDeletePage_, &QPushButton::clicked, this, [this] { model_.DeletePage(); });
  return fraPage_;
}

QWidget* PageEditorWindow::BuildCategorySettings() {
  auto* frame = new QGroupBox("Category Settings", this);
  frame->setObjectName("fraCategory");
  auto* grid = new QGridLayout(frame);
  cboCategory_ = List(frame, "cboCategory");
  cboRaceType_ = List(frame, "cboRaceType");
  FillList(cboRaceType_, EditorModel::RaceTypeItems());
  txtRoundNumber_ = Box(frame, "txtRoundNumber");
  updRoundNumber_ = Spinner(frame, "updRoundNumber", 32767);
  txtClass_ = Box(frame, "txtClass");
  chkHeadsUp_ = new QCheckBox("Heads-Up", frame);
  chkHeadsUp_->setObjectName("chkHeadsUp");
  cmdActivate_ = Button(frame, "cmdActivate", "Activate");

  grid->addWidget(new QLabel("Category:", frame), 0, 0);
  grid->addWidget(cboCategory_, 0, 1, 1, 2);
  grid->addWidget(new QLabel("Race Type:", frame), 1, 0);
  grid->addWidget(cboRaceType_, 1, 1, 1, 2);
  grid->addWidget(new QLabel("Round:", frame), 2, 0);
  grid->addWidget(txtRoundNumber_, 2, 1);
  grid->addWidget(updRoundNumber_, 2, 2);
  grid->addWidget(new QLabel("Class:", frame), 3, 0);
  grid->addWidget(txtClass_, 3, 1, 1, 2);
  grid->addWidget(chkHeadsUp_, 4, 0, 1, 2);
  grid->addWidget(cmdActivate_, 4, 2);

  for (QLineEdit* box : {txtRoundNumber_, txtClass_}) box->installEventFilter(this);
  connect(cboCategory_, &QComboBox::activated, this, [this](int i) { model_.SelectCategory(i); });
  connect(cboRaceType_, &QComboBox::activated, this, [this](int i) { model_.SelectRaceType(i); });
  connect(txtRoundNumber_, &QLineEdit::textEdited, this,
          [this](const QString& text) { model_.SetRoundNumberText(FromQt(text)); });
  connect(updRoundNumber_, &QSpinBox::valueChanged, this, [this](int value) {
    if (!painting_) model_.SetRoundNumberText(std::to_string(value));
  });
  connect(txtClass_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const QString upper = text.toUpper();
    if (upper != text) {
      const int cursor = txtClass_->cursorPosition();
      txtClass_->setText(upper);
      txtClass_->setCursorPosition(cursor);
    }
    model_.SetClassText(FromQt(upper));
  });
  connect(chkHeadsUp_, &QCheckBox::clicked, this,
          [this](bool checked) { model_.SetHeadsUpChecked(checked); });
  connect(cmdActivate_, &QPushButton::clicked, this, [this] { model_.Activate(); });
  return frame;
}

QWidget* PageEditorWindow::BuildColours() {
  auto* frame = new QGroupBox("&Colors", this);
  frame->setObjectName("fraColors");
  auto* grid = new QGridLayout(frame);
  cboPageColor_ = List(frame, "cboPageColor");
  for (int area = 0; area < kColourAreaCount; ++area) {
    cboPageColor_->addItem(ToQt(AreaName(static_cast<ColourArea>(area))));
  }
  clrForeground_ = List(frame, "clrForeground");
  clrBackground_ = List(frame, "clrBackground");
  for (QComboBox* chooser : {clrForeground_, clrBackground_}) {
    for (int i = 0; i < static_cast<int>(Palette().size()); ++i) {
      const PaletteEntry& entry = Palette()[static_cast<size_t>(i)];
      chooser->addItem(Swatch(entry.colour), entry.name, entry.colour);
    }
  }
  clrForeground_->setToolTip("Foreground Color");
  clrBackground_->setToolTip("Background Color");
  grid->addWidget(new QLabel("Area:", frame), 0, 0);
  grid->addWidget(cboPageColor_, 0, 1);
  grid->addWidget(new QLabel("Foreground Color", frame), 1, 0);
  grid->addWidget(clrForeground_, 1, 1);
  grid->addWidget(new QLabel("Background Color", frame), 2, 0);
  grid->addWidget(clrBackground_, 2, 1);
  connect(cboPageColor_, &QComboBox::activated, this,
          [this](int i) { model_.SelectColourArea(i); });
  connect(clrForeground_, &QComboBox::activated, this,
          [this](int i) { model_.ChooseForeColour(i); });
  connect(clrBackground_, &QComboBox::activated, this,
          [this](int i) { model_.ChooseBackColour(i); });
  return frame;
}

QWidget* PageEditorWindow::BuildPageCommands() {
  auto* frame = new QGroupBox("Torvane Pages", this);
  frame->setObjectName("fraPages");
  auto* picPages = new QWidget(frame);
  picPages->setObjectName("picPages");
  auto* outer = new QVBoxLayout(frame);
  outer->addWidget(picPages);
  auto* row = new QHBoxLayout(picPages);
  cmdSendPage_ = Button(picPages, "cmdSendPage", "Send Page");
  cmdSendAllPages_ = Button(picPages, "cmdSendAllPages", "Send All Pages");
  cmdRefreshPages_ = Button(picPages, "cmdRefreshPages", "Refresh Pages");
  cmdPastePage_ = Button(picPages, "cmdPastePage", "Paste Page");
  cmdPastePage_->setToolTip("Paste Page from Clipboard");
  cmdGetClasses_ = Button(picPages, "cmdGetClasses", "Get Classes");
  for (QPushButton* b :
       {cmdSendPage_, cmdSendAllPages_, cmdRefreshPages_, cmdPastePage_, cmdGetClasses_}) {
    row->addWidget(b);
  }
  connect(cmdSendPage_, &QPushButton::clicked, this, [this] { model_.SendPage(); });
  connect(cmdSendAllPages_, &QPushButton::clicked, this, [this] { model_.SendAllPages(); });
  connect(cmdRefreshPages_, &QPushButton::clicked, this, [this] { model_.RefreshPages(); });
  connect(cmdPastePage_, &QPushButton::clicked, this, [this] {
    model_.PasteFromClipboard([this] { return FromQt(desktop_.ClipboardText()); });
  });
  connect(cmdGetClasses_, &QPushButton::clicked, this, [this] {
    const std::string text = model_.ToggleGetClasses();
    if (send_) send_(text);
  });
  UpdateGetClassesVisible();
  return frame;
}

void PageEditorWindow::UpdateGetClassesVisible() {
  cmdGetClasses_->setVisible(model_.GetClassesVisible());
}

void PageEditorWindow::SetAreaColour(const QColor& colour) {
  for (QWidget* area : {static_cast<QWidget*>(picTitle_), static_cast<QWidget*>(rowsHolder_)}) {
    QPalette palette = area->palette();
    palette.setColor(QPalette::Window, colour);
    area->setPalette(palette);
    area->setAutoFillBackground(true);
  }
}

// ---------------------------------------------------------------------- rows

void PageEditorWindow::EnsureRows(int count) {
  if (static_cast<int>(rows_.size()) >= count) return;
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  const QFontMetrics metrics(fixed);
  while (static_cast<int>(rows_.size()) < count) {
    auto* holder = new QWidget(rowsHolder_);
    auto* line = new QHBoxLayout(holder);
    line->setContentsMargins(0, 0, 0, 0);
    line->setSpacing(2);
    Row row{holder, Box(holder, "txtData"), Box(holder, "txtLink")};
    const int index = static_cast<int>(rows_.size());
    row.data->setProperty("index", index);
    row.link->setProperty("index", index);
    row.data->setFont(fixed);
    row.data->setMaxLength(kLineWidth);
    row.data->setFixedWidth(metrics.horizontalAdvance(QString(kLineWidth + 2, 'W')));
    row.link->setFont(fixed);
    row.link->setFixedWidth(metrics.horizontalAdvance(QString(5, 'W')));
    line->addWidget(row.data);
    line->addWidget(row.link);
    line->addStretch(1);
    row.data->installEventFilter(this);
    row.link->installEventFilter(this);
    connect(row.data, &QLineEdit::textEdited, this,
            [this, index](const QString& text) { model_.SetLineText(index, FromQt(text)); });
    connect(row.link, &QLineEdit::textEdited, this,
            [this, index](const QString& text) { model_.SetLinkText(index, FromQt(text)); });
    rowsLayout_->insertWidget(index, holder);
    rows_.push_back(row);
  }
  // Invariant: newly built rows get painted on the next PaintRows.
  paintedPage_[0] = paintedCursor_[0] = -1;
}

QLineEdit* PageEditorWindow::DataBox(int i) const {
  return i >= 0 && i < shownRows_ ? rows_[static_cast<size_t>(i)].data : nullptr;
}

QLineEdit* PageEditorWindow::LinkBox(int i) const {
  return i >= 0 && i < shownRows_ ? rows_[static_cast<size_t>(i)].link : nullptr;
}

int PageEditorWindow::RowOf(QObject* box, bool* isLink) const {
  const QString name = box->objectName();
  if (name != "txtData" && name != "txtLink") return -1;
  *isLink = name == "txtLink";
  return box->property("index").toInt();
}

void PageEditorWindow::FocusRow(int row, bool isLink) {
  QLineEdit* box = isLink ? LinkBox(row) : DataBox(row);
  if (box == nullptr) return;
  box->setFocus(Qt::TabFocusReason);
  picPage_->ensureWidgetVisible(box, 0, 4);
}

bool PageEditorWindow::HandleRowKey(int row, bool isLink, int key, const QString& text) {
  const int last = model_.ShownSize();
  if (key == Qt::Key_Down) {
    if (row < last) FocusRow(row + 1, isLink);
    return true;
  }
  if (key == Qt::Key_Up) {
    if (row >= 1) FocusRow(row - 1, isLink);
    return true;
  }
  if (IsEnter(key)) {
    if (row < last) FocusRow(row + 1, isLink);
    return true;
  }
  if (isLink) return IsDigitFilterKey(text);
  return text == "\"";
}

bool PageEditorWindow::eventFilter(QObject* watched, QEvent* event) {
  if (!alive_ || painting_) return QWidget::eventFilter(watched, event);
  auto* box = qobject_cast<QLineEdit*>(watched);
  if (box == nullptr) return QWidget::eventFilter(watched, event);

  if (event->type() == QEvent::FocusIn) {
    QMetaObject::invokeMethod(box, &QLineEdit::selectAll, Qt::QueuedConnection);
    return false;
  }
  bool isLink = false;
  const int row = RowOf(box, &isLink);
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    // Shortcuts (copy, paste, select all) are no typed characters.
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
      return false;
    }
    if (row >= 0) return HandleRowKey(row, isLink, key->key(), key->text());
    if (box == txtPage_ || box == txtPageSize_) {
      if (IsEnter(key->key())) {
        (box == txtPage_ ? txtPageSize_ : txtPage_)->setFocus(Qt::TabFocusReason);
        return true;
      }
      return IsDigitFilterKey(key->text());
    }
    if (box == txtRoundNumber_) return IsDigitFilterKey(key->text());
    return false;
  }
  if (event->type() == QEvent::FocusOut) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
    if (row >= 0 && isLink) {
      model_.CheckLink(row);
      if (row <= model_.ShownSize()) {
        box->setText(ToQt(model_.Rows()[static_cast<size_t>(row)].link));
      }
    } else if (box == txtPage_) {
      model_.ShowPage(FromQt(txtPage_->text()));
    } else if (box == txtPageSize_) {
      model_.CommitPageSizeText(FromQt(txtPageSize_->text()));
    } else if (box == txtTitle_) {
      model_.CommitTitle();
    } else if (box == txtClass_) {
      model_.CommitClassText();
    }
  }
  return false;
}

// ----------------------------------------------------------------- repainting

void PageEditorWindow::OnChange(EditorModel::Change change) {
  switch (change) {
    case EditorModel::Change::kPage: ShowPage(); break;
    case EditorModel::Change::kColours: ShowColours(); break;
    case EditorModel::Change::kCategories:
    case EditorModel::Change::kCategoryColours: ShowCategories(); break;
    case EditorModel::Change::kRaceControls: ShowRaceControls(); break;
    case EditorModel::Change::kVenue:
      cboVenueID_->setCurrentIndex(model_.VenuePosition());
      break;
    case EditorModel::Change::kPageDelay:
      cboPageDelay_->setCurrentIndex(model_.PageDelayPosition());
      break;
  }
}

void PageEditorWindow::ShowPage() {
  painting_ = true;
  txtPage_->setText(ToQt(model_.PageText()));
  txtPageSize_->setText(ToQt(model_.PageSizeText()));
  updCurrentPage_->setMaximum(model_.HighestPage());
  updCurrentPage_->setValue(model_.CurrentPage());
  updPageSize_->setValue(model_.ShownSize());

  const std::vector<EditorRow>& rows = model_.Rows();
  const int count = static_cast<int>(rows.size());
  EnsureRows(count);
  for (int i = 0; i < static_cast<int>(rows_.size()); ++i) {
    Row& row = rows_[static_cast<size_t>(i)];
    if (i < count) {
      const QString data = ToQt(rows[static_cast<size_t>(i)].text);
      const QString link = ToQt(rows[static_cast<size_t>(i)].link);
      if (row.data->text() != data) row.data->setText(data);
      if (row.link->text() != link) row.link->setText(link);
    }
    if (row.holder->isHidden() == (i < count)) row.holder->setVisible(i < count);
  }
  shownRows_ = count;
  txtTitle_->setText(ToQt(model_.TitleText()));
  txtAddress_->setText(ToQt(model_.AddressText()));
  painting_ = false;
  ShowColours();
  UpdateGetClassesVisible();
}

void PageEditorWindow::PaintRows() {
  const PageColours& c = model_.ShownColours();
  const auto page = static_cast<size_t>(ColourArea::kPage);
  const auto cursor = static_cast<size_t>(ColourArea::kCursor);
  const bool pageChanged = paintedPage_[0] != c.fore[page] || paintedPage_[1] != c.back[page];
  const bool cursorChanged =
      paintedCursor_[0] != c.fore[cursor] || paintedCursor_[1] != c.back[cursor];
  for (const Row& row : rows_) {
    if (pageChanged) PaintWithPalette(row.data, c.fore[page], c.back[page]);
    if (cursorChanged) PaintWithPalette(row.link, c.fore[cursor], c.back[cursor]);
  }
  paintedPage_[0] = c.fore[page];
  paintedPage_[1] = c.back[page];
  paintedCursor_[0] = c.fore[cursor];
  paintedCursor_[1] = c.back[cursor];
  const auto title = static_cast<size_t>(ColourArea::kTitle);
  PaintWithPalette(txtTitle_, c.fore[title], c.back[title]);
}

void PageEditorWindow::ShowColours() {
  const int area = model_.ColourAreaPosition();
  cboPageColor_->setCurrentIndex(area);
  const PageColours& c = model_.ShownColours();
  const int fore = c.fore[static_cast<size_t>(area)];
  const int back = c.back[static_cast<size_t>(area)];
  if (fore >= 0 && fore < kPaletteSize) clrForeground_->setCurrentIndex(fore);
  if (back >= 0 && back < kPaletteSize) clrBackground_->setCurrentIndex(back);
  PaintRows();
}

void PageEditorWindow::ShowCategories() {
  QStringList items;
  for (const std::string& category : model_.Categories()) items << ToQt(category);
  QStringList shown;
  for (int i = 0; i < cboCategory_->count(); ++i) shown << cboCategory_->itemText(i);
  if (shown != items) {
    const QSignalBlocker block(cboCategory_);
    cboCategory_->clear();
    cboCategory_->addItems(items);
  }
  cboCategory_->setCurrentIndex(model_.CategoryPosition());
  Paint(cboCategory_, FromWindowsColour(model_.CategoryForeColour()),
        FromWindowsColour(model_.CategoryBackColour()));
}

void PageEditorWindow::ShowRaceControls() {
  painting_ = true;
  cboRaceType_->setCurrentIndex(model_.RaceTypePosition());
  if (txtRoundNumber_->text() != ToQt(model_.RoundNumberText())) {
    txtRoundNumber_->setText(ToQt(model_.RoundNumberText()));
  }
  bool ok = false;
  const int round = ToQt(model_.RoundNumberText()).toInt(&ok);
  if (ok) updRoundNumber_->setValue(round);
  if (txtClass_->text() != ToQt(model_.ClassText())) txtClass_->setText(ToQt(model_.ClassText()));
  chkHeadsUp_->setChecked(model_.HeadsUpChecked());
  painting_ = false;
}

}  // namespace torvane
