#include "MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QProgressBar>
#include <QStandardPaths>
#include <QStatusBar>
#include <QToolBar>
#include <cstdio>
#include <iterator>
#include <stdexcept>

#include "AboutDialog.h"
#include "ChangeChannelDialog.h"
#include "Desktop.h"
#include "EditorSubWindow.h"
#include "GuiText.h"
#include "LinkHealthWindow.h"
#include "MemoryDump.h"
#include "NewsTicker.h"
#include "PageEditorWindow.h"
#include "PageFile.h"
#include "PortSettingsDialog.h"
#include "ProgramFolder.h"
#include "ReceiverPreview.h"
#include "SettingsKeys.h"
#include "Station.h"

namespace torvane {
namespace {

struct ColourTool {
  const char* name;
  const char* caption;
  QColor colour;
};

const ColourTool kColourTools[] = {
    {"miBlack", "Black", QColor(0, 0, 0)},
    {"miGray50", "Gray 50%", QColor(128, 128, 128)},
    {"miDarkRed", "Dark Red", QColor(128, 0, 0)},
    {"miDarkYellow", "Dark Yellow", QColor(128, 128, 0)},
    {"miGreen", "Green", QColor(0, 128, 0)},
    {"miTeal", "Teal", QColor(0, 128, 128)},
    {"miDarkBlue", "Dark Blue", QColor(0, 0, 128)},
    {"miVioliet", "Violiet", QColor(128, 0, 128)},
    {"miWhite", "White", QColor(255, 255, 255)},
    {"miGray25", "Gray 25%", QColor(192, 192, 192)},
    {"miRed", "Red", QColor(192, 0, 0)},
    {"miYellow", "Yellow", QColor(255, 255, 0)},
    {"miBrightGreen", "Green", QColor(0, 255, 0)},
    {"miTurquoise", "Turquoise", QColor(0, 255, 255)},
    {"miBlue", "Blue", QColor(0, 0, 192)},
    {"miPink", "Pink", QColor(192, 0, 192)},
};

struct Lamp {
  const char* name;
  const char* caption;
  QColor lit;
  QColor dark;
};

const Lamp kLamps[] = {
    {"txtPageHold", "Page Hold", QColor(192, 0, 192), QColor(64, 0, 64)},
    {"txtACK", "ACK", QColor(0, 255, 0), QColor(0, 64, 0)},
    {"txtNAK", "NAK", QColor(255, 0, 0), QColor(64, 0, 0)},
    {"txtTimingSystem", "Timing System", QColor(0, 0, 255), QColor(0, 0, 64)},
};

constexpr const char* kStart = "Start";
constexpr const char* kStop = "Stop";

// A Windows colour value 0x00BBGGRR as stored.
int32_t ToWindowsColour(const QColor& c) { return c.red() | (c.green() << 8) | (c.blue() << 16); }
QColor FromWindowsColour(int32_t v) { return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF); }

QString PageNumberText(const Station& station) {
  return QString::number(const_cast<Station&>(station).editor().CurrentPage());
}

}  // namespace

MainWindow::MainWindow(Station& station, Prompter& prompter, Desktop& desktop, LoadGate gate,
                       QWidget* parent)
    : QMainWindow(parent), station_(station), prompter_(prompter), desktop_(desktop) {
  setObjectName("frmMain");
  setWindowTitle("TorvaneTX");
  programFolder_ = QString::fromStdString(ProgramFolder());
  mdi_ = new QMdiArea(this);
  mdi_->setObjectName("mdiArea");
  setCentralWidget(mdi_);
  background_ = mdi_->background().color();
  BuildBars();
  Load(gate);
  connect(&station_, &Station::LampsChanged, this, &MainWindow::RepaintLamps);
  resize(1100, 760);
}

MainWindow::~MainWindow() {
  if (editorObserver_) station_.editor().RemoveObserver(*editorObserver_);
  if (!closed_) station_.Shutdown();
}

QAction* MainWindow::Tool(const char* name, const QString& caption, const QString& tip) {
  auto* action = new QAction(caption, this);
  action->setObjectName(name);
  if (!tip.isEmpty()) {
    action->setToolTip(tip);
    action->setStatusTip(tip);
  }
  connect(action, &QAction::triggered, this, [this, action] { OnToolClick(action->objectName()); });
  return action;
}

void MainWindow::BuildBars() {
  QMenuBar* bar = menuBar();
  bar->setObjectName("abMain");

  QMenu* file = bar->addMenu("&File");
  file->setObjectName("miFile");
  QAction* newPage = Tool("miNewPage", "New Page...", "Create a New Torvane TX Page");
  QAction* openPage = Tool("miOpenPage", "Open Page...", "Open Torvane Page");
  QAction* savePage = Tool("miSavePage", "Save Page...", "Save Torvane Page");
  QAction* pastePage = Tool("miPastePage", "Paste Page", "Paste Page from Clipboard");
  QAction* clearPage = Tool("miClearPage", "Clear Page", "Clear Current Torvane Page");
  file->addActions({newPage, openPage, savePage, pastePage, clearPage});
  file->addSeparator();
  file->addAction(Tool("miPrintPreview", "Print Preview..."));
  file->addSeparator();
  file->addAction(Tool("miClose", "&Close", "Close Active Window"));
  file->addSeparator();
  file->addAction(Tool("miExit", "E&xit", "Exit Software"));

  QMenu* tools = bar->addMenu("&Tools");
  tools->setObjectName("miTools");
  tools->addAction(Tool("miChangeChannel", "Change Channel...", "Change USB Frequency"));
  tools->addSeparator();
  tools->addAction(Tool("miCalculator", "Calculator...", "Launch Calculator"));
  QMenu* colours = tools->addMenu("Background Color");
  colours->setObjectName("tbColor");
  colours->menuAction()->setObjectName("miBackgroundColor");
  colours->menuAction()->setToolTip("Set Background Color");
  colours->addAction(Tool("miNoFill", "No Fill", "Desktop Background Color"));
  colours->addSeparator();
  for (const ColourTool& tool : kColourTools) colours->addAction(Tool(tool.name, tool.caption));
  colours->addSeparator();
  colours->addAction(Tool("miMoreColors", "More Colors...", "Additional Colors..."));
  tools->addAction(Tool("miMemoryDump", "Memory Dump", "Write the image to MemoryDump.csv"));
  tools->addSeparator();
  tools->addAction(Tool("miRefresh", "Refresh", "Refresh Screen"));

  QMenu* settings = bar->addMenu("Settings");
  settings->setObjectName("miSettings");
  miDelayEverything_ = Tool("miDelayEverything", "Delay Everything", "Delay All Transmissions");
  miDelayEverything_->setCheckable(true);
  settings->addAction(miDelayEverything_);
  settings->addSeparator();
  settings->addAction(
      Tool("miTimingSystem", "Timing System...", "Timing System Connection Settings"));
  settings->addAction(Tool("miTransmitter", "Transmitter...", "Transmitter Settings"));

  QMenu* window = bar->addMenu("&Window");
  window->setObjectName("miWindow");
  window->addAction(Tool("miTileHorizontally", "&Tile &Horizontally"));
  window->addAction(Tool("miTileVertically", "Tile &Vertically"));
  window->addAction(Tool("miCascade", "&Cascade"));
  window->addAction(Tool("miCloseAll", "Close All"));
  window->addSeparator();
  window->addAction(Tool("miLinkHealth", "&Link Health", "Link Health"));

  QMenu* help = bar->addMenu("&Help");
  help->setObjectName("miHelp");
  help->addAction(Tool("miAbout", "&About TorvaneTX...", "About TorvaneTX"));

  QToolBar* main = addToolBar("Tool Bar");
  main->setObjectName("tbMain");
  main->addActions({newPage, openPage, savePage, pastePage, clearPage});

  QToolBar* ticker = addToolBar("News Ticker");
  ticker->setObjectName("tbNewsTicker");
  miSendTicker_ = Tool("miSendTicker", kStart, "Send News Ticker");
  ticker->addAction(miSendTicker_);
  cboNewsTicker_ = new QComboBox(ticker);
  cboNewsTicker_->setObjectName("cboNewsTicker");
  cboNewsTicker_->setEditable(true);
  cboNewsTicker_->setInsertPolicy(QComboBox::NoInsert);
  cboNewsTicker_->lineEdit()->setMaxLength(kMaxTickerLength);
  cboNewsTicker_->setMinimumWidth(420);
  cboNewsTicker_->setToolTip("News Ticker");
  ticker->addWidget(cboNewsTicker_)->setObjectName("ctrlNewsTicker");
  connect(cboNewsTicker_, &QComboBox::activated, this, [this](int index) {
    cboNewsTicker_->setToolTip(cboNewsTicker_->itemText(index));
    StartOrStopTicker();
  });

  // Permanent widgets: a menu item's status tip replaces the others, and the
  // lamps must never disappear.
  QStatusBar* status = statusBar();
  status->setObjectName("sbMain");
  auto* ctrlStatus = new QWidget(status);
  ctrlStatus->setObjectName("ctrlStatus");
  ctrlStatus->setToolTip("Status");
  auto* picStatus = new QWidget(ctrlStatus);
  picStatus->setObjectName("picStatus");
  auto* lampRow = new QHBoxLayout(picStatus);
  lampRow->setContentsMargins(2, 0, 2, 0);
  for (size_t i = 0; i < std::size(kLamps); ++i) {
    lamps_[i] = new QLabel(kLamps[i].caption, picStatus);
    lamps_[i]->setObjectName(kLamps[i].name);
    lamps_[i]->setAlignment(Qt::AlignCenter);
    lamps_[i]->setMinimumWidth(56);
    lamps_[i]->setAutoFillBackground(true);
    lampRow->addWidget(lamps_[i]);
  }
  (new QHBoxLayout(ctrlStatus))->addWidget(picStatus);
  ctrlStatus->layout()->setContentsMargins(0, 0, 0, 0);
  status->addPermanentWidget(ctrlStatus);
  auto* ctrlBuffer = new QWidget(status);
  ctrlBuffer->setObjectName("ctrlBuffer");
  ctrlBuffer->setToolTip(" Transmit Buffer");
  transBuffer_ = new QProgressBar(ctrlBuffer);
  transBuffer_->setObjectName("transBuffer");
  transBuffer_->setToolTip("Buffer Position");
  transBuffer_->setRange(0, kMapImageSize - 1);
  transBuffer_->setTextVisible(false);
  (new QHBoxLayout(ctrlBuffer))->addWidget(transBuffer_);
  ctrlBuffer->layout()->setContentsMargins(0, 0, 0, 0);
  status->addPermanentWidget(ctrlBuffer, 1);
}

void MainWindow::Load(const LoadGate& gate) {
  const std::function<void()> steps[] = {
      [this] {
        for (const std::string& entry : station_.TickerList()) {
          cboNewsTicker_->addItem(ToQt(entry));
        }
      },
      [this] { miDelayEverything_->setChecked(station_.globals().DelayEverything); },
      [this] { OpenEditor(); },
      [this] { OpenReceiverPreview(); },
      [this] { RestoreBackground(); },
      [this] { editor_->SetAreaColour(background_); },
  };
  static_assert(std::size(steps) == std::size(kLoadSteps));
  size_t step = 0;
  try {
    for (; step < std::size(steps); ++step) {
      if (gate) gate(kLoadSteps[step]);
      steps[step]();
    }
  } catch (const std::exception& e) {
    failedLoadStep_ = kLoadSteps[step];
    std::fprintf(stderr, "TorvaneTX: the main window's load stopped at the %s: %s\n",
                 kLoadSteps[step], e.what());
    prompter_.Show({kLoadErrorText, kLoadErrorTitle, PromptIcon::kCritical, PromptButtons::kOk});
  }
  RepaintLamps();
}

void MainWindow::OpenEditor() {
  editor_ = new PageEditorWindow(station_.editor(), desktop_);
  editor_->SetTimingSender([this](const std::string& text) { station_.SendToTimingSystem(text); });
  editorWindow_ = new EditorSubWindow(editor_);
  mdi_->addSubWindow(editorWindow_);
  editorWindow_->showMaximized();
  Station* station = &station_;
  station_.editor().SetImageRebuilder([station] {
    station->builder().BuildIndexTable();
    station->builder().BuildImage();
  });
  editorObserver_ = station_.editor().AddObserver([this](EditorModel::Change change) {
    if (change == EditorModel::Change::kPage || change == EditorModel::Change::kColours) {
      PaintTickerChooser();
    }
  });
  PaintTickerChooser();
}

void MainWindow::OpenReceiverPreview() {
  receiver_ = new ReceiverPreview(station_.cycle().Acknowledged(), this);
  auto* dock = new QDockWidget("Receiver", this);
  dock->setObjectName("dockReceiver");
  dock->setWidget(receiver_);
  addDockWidget(Qt::RightDockWidgetArea, dock);
}

QMdiSubWindow* MainWindow::linkHealthWindow() const { return linkHealthWindow_; }

void MainWindow::ShowLinkHealth() {
  if (linkHealthWindow_ != nullptr) {
    if (linkHealthWindow_->isMinimized()) linkHealthWindow_->showNormal();
    mdi_->setActiveSubWindow(linkHealthWindow_);
    return;
  }
  auto* health = new LinkHealthWindow(station_.Snapshots());
  linkHealthWindow_ = mdi_->addSubWindow(health);
  linkHealthWindow_->setObjectName("frmLinkHealth");
  linkHealthWindow_->setWindowTitle("Link Health");
  linkHealthWindow_->setAttribute(Qt::WA_DeleteOnClose);
  linkHealthWindow_->show();
}

// Restores the stored background colour; a missing or unreadable one is
// replaced by the colour the window has.
void MainWindow::RestoreBackground() {
  SettingsStore& settings = station_.settings();
  const std::string stored = settings.ReadSetting(kScreenSettingsKey, kBackColor);
  bool numeric = false;
  const int value = ToQt(stored).toInt(&numeric);
  if (numeric) {
    background_ = FromWindowsColour(value);
  } else {
    settings.WriteSetting(kScreenSettingsKey, kBackColor,
                          std::to_string(ToWindowsColour(background_)), kRegSz);
  }
  mdi_->setBackground(background_);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!closed_) {
    closed_ = true;
    station_.Shutdown();
    station_.settings().WriteSetting(kScreenSettingsKey, kBackColor,
                                     std::to_string(ToWindowsColour(background_)), kRegSz);
    station_.settings().Flush();
  }
  event->accept();
}

// ------------------------------------------------------------------ dispatch

void MainWindow::OnToolClick(const QString& name) {
  Globals& g = station_.globals();
  if (name == "miNewPage") {
    LaunchProgram(Desktop::Program::kTextEditor);
  } else if (name == "miOpenPage") {
    OpenPageFile();
  } else if (name == "miSavePage") {
    SavePageFile();
  } else if (name == "miPastePage") {
    PastePage();
  } else if (name == "miClearPage") {
    ClearPage();
  } else if (name == "miClose") {
    CloseActiveChild();
  } else if (name == "miExit") {
    close();
  } else if (name == "miMemoryDump") {
    MemoryDump();
  } else if (name == "miCalculator") {
    LaunchProgram(Desktop::Program::kCalculator);
  } else if (name == "miRefresh") {
    menuBar()->adjustSize();
    QApplication::processEvents();
    menuBar()->update();
    QApplication::processEvents();
    statusBar()->repaint();
  } else if (name == "miDelayEverything") {
    // The setting is the truth: a click and a call flip it alike.
    g.DelayEverything = !g.DelayEverything;
    miDelayEverything_->setChecked(g.DelayEverything);
  } else if (name == "miNoFill") {
    SetBackground(desktop_.DesktopColour());
  } else if (name == "miMoreColors") {
    if (const std::optional<QColor> colour = desktop_.ChooseColour(this, background_)) {
      SetBackground(*colour);
    }
  } else if (name == "miSendTicker") {
    StartOrStopTicker();
  } else if (name == "miLinkHealth") {
    ShowLinkHealth();
  } else if (name == "miTimingSystem" || name == "miTransmitter" || name == "miChangeChannel" ||
             name == "miAbout") {
    ShowDialog(name.toLatin1().constData());
  } else {
    for (const ColourTool& tool : kColourTools) {
      if (name == tool.name) SetBackground(tool.colour);
    }
  }
}

void MainWindow::ShowDialog(const char* name) {
  const QString tool(name);
  if (tool == "miTimingSystem" || tool == "miTransmitter") {
    const auto kind = tool == "miTimingSystem" ? PortSettingsDialog::Kind::kTimingSystem
                                               : PortSettingsDialog::Kind::kTransmitter;
    PortSettingsDialog dialog(station_, prompter_, kind, this);
    // Apply shows or hides "Get Classes" at once, while the dialog is open.
    connect(&dialog, &PortSettingsDialog::Applied, this, [this] {
      if (editor_ != nullptr) editor_->UpdateGetClassesVisible();
    });
    dialog.exec();
  } else if (tool == "miChangeChannel") {
    ChangeChannelDialog dialog(this);
    dialog.exec();
  } else {
    AboutDialog dialog(this);
    dialog.exec();
  }
}

void MainWindow::SetBackground(const QColor& colour) {
  background_ = colour;
  mdi_->setBackground(colour);
  if (editor_ != nullptr) editor_->SetAreaColour(colour);
}

void MainWindow::LaunchProgram(Desktop::Program program) {
  if (desktop_.Launch(program)) return;
  const bool editor = program == Desktop::Program::kTextEditor;
  prompter_.Show({editor ? kNoTextEditorText : kNoCalculatorText, "TorvaneTX",
                  PromptIcon::kInformation, PromptButtons::kOk});
}

void MainWindow::CloseActiveChild() {
  QMdiSubWindow* active = mdi_->activeSubWindow();
  if (active != nullptr && active != editorWindow_) active->close();
}

// ---------------------------------------------------------------- page files

void MainWindow::OpenPageFile() {
  SettingsStore& settings = station_.settings();
  const std::string stored = settings.ReadSetting(kSoftwareKey, kPageFiles);
  const QString folder = stored == kNoKeyValue ? programFolder_ : ToQt(stored);
  const std::optional<QString> path = desktop_.OpenFileName(
      this, {"Open Torvane TX Page", folder, "Page" + PageNumberText(station_) + ".txt",
             "Torvane TX Page Files (*.txt);;All Files (*.*)"});
  if (!path || path->isEmpty()) return;
  settings.WriteSetting(kSoftwareKey, kPageFiles, FromQt(QFileInfo(*path).absolutePath() + "/"),
                        kRegSz);
  QFile file(*path);
  if (!file.open(QIODevice::ReadOnly)) return;
  const QByteArray bytes = file.readAll();
  station_.editor().FillLines(
      ReadPageFile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))));
}

void MainWindow::SavePageFile() {
  SettingsStore& settings = station_.settings();
  const std::string stored = settings.ReadSetting(kSoftwareKey, kPageFiles);
  const QString folder = stored == kNoKeyValue ? programFolder_ : ToQt(stored);
  const std::optional<QString> path = desktop_.SaveFileName(
      this, {"Save Torvane TX Page", folder, "Page" + PageNumberText(station_) + ".txt",
             "Torvane TX Page Files (*.txt);;All Files (*.*)"});
  if (!path || path->isEmpty()) return;
  settings.WriteSetting(kSoftwareKey, kPageFiles, FromQt(QFileInfo(*path).absolutePath() + "/"),
                        kRegSz);
  std::vector<std::string> lines;
  for (const EditorRow& row : station_.editor().Rows()) lines.push_back(row.text);
  QFile file(*path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  const std::string text = WritePageLines(lines);
  file.write(text.data(), static_cast<qint64>(text.size()));
}

void MainWindow::PastePage() {
  const std::string page = FromQt(PageNumberText(station_));
  if (prompter_.Show({"Do you want to paste clipboard data on page " + page + "?",
                      "Torvane TX - Paste Page", PromptIcon::kQuestion, PromptButtons::kYesNo}) !=
      PromptAnswer::kYes) {
    return;
  }
  station_.editor().PasteFromClipboard([this] { return FromQt(desktop_.ClipboardText()); });
}

void MainWindow::ClearPage() {
  const std::string page = FromQt(PageNumberText(station_));
  if (prompter_.Show({"Do you want to clear page " + page + "?", "Torvane TX - Clear Page",
                      PromptIcon::kQuestion, PromptButtons::kYesNo}) != PromptAnswer::kYes) {
    return;
  }
  station_.editor().ClearPage();
}

void MainWindow::MemoryDump() {
  QString folder = programFolder_;
  if (!QFileInfo(folder).isWritable()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/TorvaneTX";
    QDir().mkpath(folder);
  }
  const QString path =
      QDir(folder).filePath(QString::fromLatin1(kMemoryDumpName.data(), kMemoryDumpName.size()));
  std::string error;
  if (WriteMemoryDump(path.toStdString(), station_.globals().MapImage, &error)) {
    lastDumpPath_ = path;
    prompter_.Show({"The memory map was written to " + FromQt(path), "TorvaneTX - Memory Dump",
                    PromptIcon::kInformation, PromptButtons::kOk});
  } else {
    prompter_.Show({"Unable to write " + FromQt(path) + ": " + error, "TorvaneTX - Memory Dump",
                    PromptIcon::kCritical, PromptButtons::kOk});
  }
}

// ------------------------------------------------------------------- ticker

void MainWindow::StartOrStopTicker() {
  Globals& g = station_.globals();
  if (miSendTicker_->text() != kStart) {
    miSendTicker_->setText(kStart);
    StopTicker(g);
    return;
  }
  const QString text = cboNewsTicker_->currentText().left(kMaxTickerLength);
  if (cboNewsTicker_->findText(text, Qt::MatchExactly) < 0) {
    cboNewsTicker_->addItem(text);
    station_.AddTickerEntry(FromQt(text));
  }
  StartTicker(g, station_.builder(), FromQt(text), station_.editor().CurrentPage());
  miSendTicker_->setText(kStop);
}

void MainWindow::PaintTickerChooser() {
  const PageColours& c = station_.editor().ShownColours();
  const auto ticker = static_cast<size_t>(ColourArea::kTicker);
  PaintWithPalette(cboNewsTicker_, c.fore[ticker], c.back[ticker]);
  PaintWithPalette(cboNewsTicker_->lineEdit(), c.fore[ticker], c.back[ticker]);
}

// -------------------------------------------------------------------- lamps

void MainWindow::RepaintLamps() {
  const CycleLamps& lamps = station_.Lamps();
  const bool on[] = {lamps.pageHold, lamps.ack, lamps.nak, lamps.timingSystem};
  for (size_t i = 0; i < std::size(kLamps); ++i) {
    const QColor back = on[i] ? kLamps[i].lit : kLamps[i].dark;
    QPalette palette = lamps_[i]->palette();
    palette.setColor(QPalette::Window, back);
    // The caption in whichever of black and white reads on the lamp.
    const int luma = (299 * back.red() + 587 * back.green() + 114 * back.blue()) / 1000;
    palette.setColor(QPalette::WindowText, luma > 128 ? Qt::black : Qt::white);
    lamps_[i]->setPalette(palette);
    lamps_[i]->setProperty("lit", on[i]);
  }
  // A link on its way back says so beside its lamp's caption; the tip tells
  // what became of a lost one.
  std::string timingState = station_.globals().TimingLink.ComPort == LinkSettings::kTcpIp
                                ? station_.TimingLinkState()
                                : station_.TimingLineState();
  // Text held up by a box the operator has not closed is said on the lamp, so
  // a box left open while away is noticed before results are lost.
  const size_t waiting = station_.TimingTextWaiting();
  const std::string timingNote =
      waiting == 0 ? station_.TimingLampNote()
                   : std::to_string(waiting) + " characters waiting behind a message box";
  if (waiting > 0) {
    timingState += (timingState.empty() ? "" : "; ") + station_.TimingWaitingText();
  }
  const struct {
    size_t lamp;
    std::string note;
    std::string state;
    const char* link;
  } links[] = {
      {1, station_.TransmitterLampNote(), station_.TransmitterLineState(), "Transmitter line"},
      {3, timingNote, timingState, "Timing system"}};
  for (const auto& link : links) {
    QLabel* lamp = lamps_[link.lamp];
    const QString caption = kLamps[link.lamp].caption;
    lamp->setText(link.note.empty() ? caption : caption + ": " + ToQt(link.note));
    lamp->setToolTip(link.state.empty() ? QString() : QString(link.link) + ": " + ToQt(link.state));
  }
  transBuffer_->setValue(std::clamp<int>(lamps.bufferPosition, 0, kMapImageSize - 1));
  if (receiver_ != nullptr) receiver_->Refresh();
}

}  // namespace torvane
