// The main window over a started Station: bars, dispatch, files, ticker and
// dialogs, offscreen, with the prompter and desktop scripted.
#include "MainWindow.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <functional>
#include <stdexcept>
#include <string_view>

#include "AboutDialog.h"
#include "GuiTestSupport.h"
#include "PageEditorWindow.h"
#include "PtyPair.h"
#include "SettingsKeys.h"
#include "Station.h"

namespace torvane {
namespace {

using testing_support::ScriptedDesktop;

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    settings_.WriteSetting(kPageSettingsKey, kMaxPages, "10", kRegSz);
    station_ = std::make_unique<Station>(settings_, prompter_, StationOptions{int16_t{0}});
    station_->Start();
    window_ = std::make_unique<MainWindow>(*station_, prompter_, desktop_);
    window_->SetProgramFolder(dir_.path());
    window_->show();
  }
  void TearDown() override {
    window_.reset();
    station_.reset();
  }
  QAction* Action(const char* name) {
    auto* action = window_->findChild<QAction*>(name);
    EXPECT_NE(action, nullptr) << name;
    return action;
  }
  EditorModel& Editor() { return station_->editor(); }
  void ShowPage(int page, int size) {
    Editor().ShowPage(std::to_string(page));
    Editor().SetPageSize(std::to_string(size));
  }
  const PageRecord& Page(int page) { return station_->globals().Pages[page]; }
  // Runs act on the modal dialog that the next call opens, then closes it.
  void OnNextDialog(std::function<void(QDialog*)> act) {
    QTimer::singleShot(0, [act] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      ASSERT_NE(dialog, nullptr);
      act(dialog);
      if (dialog->isVisible()) dialog->reject();
    });
  }
  std::string LastPrompt() const {
    return prompter_.Shown().empty() ? "" : prompter_.Shown().back().text;
  }

  QTemporaryDir dir_;
  SettingsStore settings_;
  ScriptedPrompter prompter_;
  ScriptedDesktop desktop_;
  std::unique_ptr<Station> station_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, StartWithoutTransmitterTellsTheOperator) {
  ASSERT_FALSE(prompter_.Shown().empty());
  EXPECT_EQ(prompter_.Shown().front().text,
            "Please go to Settings->Transmitter\nand select a port that Torvane "
            "Transmitter\nis connected to.");
  EXPECT_EQ(prompter_.Shown().front().title, "Torvane TX - Communications");
}

struct ToolCase {
  const char* name;
  const char* caption;
  const char* tip;
};

TEST_F(MainWindowTest, EveryToolCarriesItsNameCaptionAndTooltip) {
  const ToolCase tools[] = {
      {"miNewPage", "New Page...", "Create a New Torvane TX Page"},
      {"miOpenPage", "Open Page...", "Open Torvane Page"},
      {"miSavePage", "Save Page...", "Save Torvane Page"},
      {"miPastePage", "Paste Page", "Paste Page from Clipboard"},
      {"miClearPage", "Clear Page", "Clear Current Torvane Page"},
      {"miPrintPreview", "Print Preview...", ""},
      {"miClose", "&Close", "Close Active Window"},
      {"miExit", "E&xit", "Exit Software"},
      {"miChangeChannel", "Change Channel...", "Change USB Frequency"},
      {"miCalculator", "Calculator...", "Launch Calculator"},
      {"miBackgroundColor", "Background Color", "Set Background Color"},
      {"miRefresh", "Refresh", "Refresh Screen"},
      {"miDelayEverything", "Delay Everything", "Delay All Transmissions"},
      {"miTimingSystem", "Timing System...", "Timing System Connection Settings"},
      {"miTransmitter", "Transmitter...", "Transmitter Settings"},
      {"miAbout", "&About TorvaneTX...", "About TorvaneTX"},
      {"miNoFill", "No Fill", "Desktop Background Color"},
      {"miMoreColors", "More Colors...", "Additional Colors..."},
      {"miVioliet", "Violiet", ""},
      {"miBrightGreen", "Green", ""},
      {"miSendTicker", "Start", "Send News Ticker"},
      {"miTileHorizontally", "&Tile &Horizontally", ""},
      {"miCloseAll", "Close All", ""},
      {"miLinkHealth", "&Link Health", "Link Health"},
  };
  for (const ToolCase& tool : tools) {
    SCOPED_TRACE(tool.name);
    QAction* action = Action(tool.name);
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->text(), tool.caption);
    if (*tool.tip != '\0') {
      EXPECT_EQ(action->toolTip(), tool.tip);
    }
  }
  auto* tbMain = window_->findChild<QToolBar*>("tbMain");
  ASSERT_NE(tbMain, nullptr);
  QStringList names;
  for (QAction* a : tbMain->actions()) names << a->objectName();
  EXPECT_EQ(names,
            (QStringList{"miNewPage", "miOpenPage", "miSavePage", "miPastePage", "miClearPage"}));
  auto* toolsMenu = window_->findChild<QMenu*>("miTools");
  ASSERT_NE(toolsMenu, nullptr);
  EXPECT_TRUE(toolsMenu->actions().contains(Action("miMemoryDump")));
  EXPECT_NE(window_->findChild<QComboBox*>("cboNewsTicker"), nullptr);
  EXPECT_NE(window_->findChild<QProgressBar*>("transBuffer"), nullptr);
  EXPECT_NE(window_->findChild<QWidget*>("picStatus"), nullptr);
}

TEST_F(MainWindowTest, PasteAsksThenFillsFromLfLinesDroppingTheUnendedLast) {
  ShowPage(4, 5);
  desktop_.clipboard = "ONE\nTWO\r\nTHREE";
  prompter_.QueueAnswer(PromptAnswer::kNo);
  window_->OnToolClick("miPastePage");
  EXPECT_EQ(LastPrompt(), "Do you want to paste clipboard data on page 4?");
  EXPECT_EQ(prompter_.Shown().back().title, "Torvane TX - Paste Page");
  EXPECT_EQ(prompter_.Shown().back().icon, PromptIcon::kQuestion);
  EXPECT_EQ(Page(4).Lines[0], std::string(20, ' '));

  prompter_.QueueAnswer(PromptAnswer::kYes);
  window_->OnToolClick("miPastePage");
  EXPECT_EQ(Page(4).Lines[0], FixedText("ONE", 20));
  EXPECT_EQ(Page(4).Lines[1], FixedText("TWO", 20));
  EXPECT_EQ(Page(4).Lines[2], std::string(20, ' '));
  EXPECT_EQ(window_->editor()->DataBox(1)->text(), "TWO");
}

TEST_F(MainWindowTest, ClearPageThreeOfATenLinePage) {
  ShowPage(3, 10);
  Editor().SetTitleText("TITLE");
  for (int i = 0; i <= 10; ++i) Editor().SetLineText(i, "X");
  prompter_.QueueAnswer(PromptAnswer::kYes);
  window_->OnToolClick("miClearPage");
  EXPECT_EQ(LastPrompt(), "Do you want to clear page 3?");
  EXPECT_EQ(prompter_.Shown().back().title, "Torvane TX - Clear Page");
  EXPECT_EQ(Page(3).Title, std::string(16, ' '));
  for (int i = 0; i <= 10; ++i) {
    EXPECT_EQ(Page(3).Lines[static_cast<size_t>(i)], std::string(20, ' ')) << i;
    EXPECT_EQ(window_->editor()->LinkBox(i)->text(), "255") << i;
  }
}

TEST_F(MainWindowTest, OpenPageFileSplitsCommasAndReadsAtMostNPlusOneFields) {
  ShowPage(5, 2);
  const QString path = dir_.filePath("Page5.txt");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("FIRST,SECOND\nTHIRD\nFOURTH\n");
  file.close();
  desktop_.files.push_back(path);
  window_->OnToolClick("miOpenPage");
  ASSERT_EQ(desktop_.requests.size(), 1U);
  EXPECT_EQ(desktop_.requests[0].title, "Open Torvane TX Page");
  EXPECT_EQ(desktop_.requests[0].fileName, "Page5.txt");
  EXPECT_EQ(desktop_.requests[0].folder, dir_.path());
  EXPECT_EQ(Page(5).Lines[0], FixedText("FIRST", 20));
  EXPECT_EQ(Page(5).Lines[1], FixedText("SECOND", 20));
  EXPECT_EQ(Page(5).Lines[2], FixedText("THIRD", 20));
  EXPECT_EQ(settings_.ReadSetting(kSoftwareKey, kPageFiles), (dir_.path() + "/").toStdString());
}

TEST_F(MainWindowTest, SavePageFileCreatesANewFileWithCrLfLines) {
  ShowPage(6, 1);
  Editor().SetLineText(0, "HELLO");
  const QString path = dir_.filePath("Page6.txt");
  desktop_.files.push_back(path);
  window_->OnToolClick("miSavePage");
  EXPECT_EQ(desktop_.requests.at(0).title, "Save Torvane TX Page");
  QFile file(dir_.filePath("Page6.txt"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  // Each box as it stands: the second shows the store's blank 20 characters.
  EXPECT_EQ(file.readAll(), QByteArray("HELLO\r\n") + QByteArray(20, ' ') + "\r\n");
}

// A page saved and opened again is what the operator typed, layout and
// accents included, and the file holds the code page's bytes (é is 0xE9, € 0x80)
// as Windows tools expect them.
TEST_F(MainWindowTest, SavedPageFileIsWindows1252AndReopensAsItStood) {
  const std::string accented = "   Ren\xE9 \x80\x35";  // "   René €5"
  ShowPage(6, 1);
  Editor().SetLineText(0, accented);
  Editor().SetLineText(1, "      CENTRED");
  const QString path = dir_.filePath("Page6.txt");
  desktop_.files.push_back(path);
  window_->OnToolClick("miSavePage");
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().toStdString(), accented + "\r\n      CENTRED\r\n");
  file.close();
  Editor().SetLineText(0, "");
  Editor().SetLineText(1, "");
  desktop_.files.push_back(path);
  window_->OnToolClick("miOpenPage");
  EXPECT_EQ(Page(6).Lines[0], FixedText(accented, 20));
  EXPECT_EQ(Page(6).Lines[1], FixedText("      CENTRED", 20));
}

TEST_F(MainWindowTest, CancelledFileDialogChangesNothing) {
  ShowPage(5, 1);
  Editor().SetLineText(0, "KEEP");
  desktop_.files.push_back(std::nullopt);
  window_->OnToolClick("miOpenPage");
  EXPECT_EQ(Page(5).Lines[0], FixedText("KEEP", 20));
  EXPECT_EQ(settings_.ReadSetting(kSoftwareKey, kPageFiles), kNoKeyValue);
}

TEST_F(MainWindowTest, MemoryDumpGoesToTheProgramFolderAndSaysWhere) {
  window_->OnToolClick("miMemoryDump");
  const QString path = dir_.filePath("MemoryDump.csv");
  EXPECT_EQ(window_->LastDumpPath(), path);
  EXPECT_EQ(LastPrompt(), "The memory map was written to " + path.toStdString());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count('\n'), 32738);
}

TEST_F(MainWindowTest, DelayEverythingToggles) {
  const bool before = station_->globals().DelayEverything;
  EXPECT_EQ(Action("miDelayEverything")->isChecked(), before);
  Action("miDelayEverything")->trigger();
  EXPECT_EQ(station_->globals().DelayEverything, !before);
  EXPECT_EQ(Action("miDelayEverything")->isChecked(), !before);
  window_->OnToolClick("miDelayEverything");
  EXPECT_EQ(station_->globals().DelayEverything, before);
}

TEST_F(MainWindowTest, ColourToolsSetTheBackground) {
  window_->OnToolClick("miDarkRed");
  EXPECT_EQ(window_->BackgroundColour(), QColor(128, 0, 0));
  window_->OnToolClick("miBlue");
  EXPECT_EQ(window_->BackgroundColour(), QColor(0, 0, 192));
  desktop_.colour = QColor(1, 2, 3);
  window_->OnToolClick("miMoreColors");
  EXPECT_EQ(window_->BackgroundColour(), QColor(1, 2, 3));
  desktop_.colour.reset();
  window_->OnToolClick("miMoreColors");
  EXPECT_EQ(window_->BackgroundColour(), QColor(1, 2, 3));
  window_->OnToolClick("miNoFill");
  EXPECT_EQ(window_->BackgroundColour(), desktop_.DesktopColour());
}

TEST_F(MainWindowTest, NewPageAndCalculatorStartTheDesktopPrograms) {
  window_->OnToolClick("miNewPage");
  window_->OnToolClick("miCalculator");
  window_->OnToolClick("miPrintPreview");  // no command
  EXPECT_EQ(desktop_.launched, (std::vector<Desktop::Program>{Desktop::Program::kTextEditor,
                                                              Desktop::Program::kCalculator}));
}

TEST_F(MainWindowTest, TickerChooserClickStopsThenStarts) {
  auto* chooser = window_->findChild<QComboBox*>("cboNewsTicker");
  chooser->setEditText("TRACK OPENS AT NOON");
  window_->OnToolClick("miSendTicker");
  EXPECT_EQ(Action("miSendTicker")->text(), "Stop");
  EXPECT_EQ(station_->globals().TickerText, "TRACK OPENS AT NOON");
  EXPECT_EQ(station_->TickerList().back(), "TRACK OPENS AT NOON");
  EXPECT_EQ(chooser->count(), 1);
  EXPECT_EQ(station_->globals().MapImage[259], '!');

  Q_EMIT chooser->activated(0);  // a click on the entry while it runs stops it
  EXPECT_EQ(Action("miSendTicker")->text(), "Start");
  EXPECT_EQ(station_->globals().TickerLength, 0);
  EXPECT_EQ(station_->globals().MapImage[262], 255);
  Q_EMIT chooser->activated(0);  // a second click starts it with that entry
  EXPECT_EQ(Action("miSendTicker")->text(), "Stop");
  EXPECT_EQ(chooser->toolTip(), "TRACK OPENS AT NOON");
  EXPECT_EQ(station_->globals().TxCursor, station_->globals().TickerAddress);
}

TEST_F(MainWindowTest, TickerChooserShowsTheTickerColoursOfThePageShown) {
  auto* chooser = window_->findChild<QComboBox*>("cboNewsTicker");
  EXPECT_EQ(chooser->palette().color(QPalette::Base), QColor(0, 0, 128));
  Editor().SelectColourArea(3);
  Editor().ChooseBackColour(4);
  EXPECT_EQ(chooser->palette().color(QPalette::Base), QColor(255, 0, 0));
}

struct LampCase {
  const char* name;
  QColor lit;
  QColor dark;
};

TEST_F(MainWindowTest, LampsShowTheirLitAndDarkColours) {
  const LampCase lamps[] = {
      {"txtPageHold", QColor(192, 0, 192), QColor(64, 0, 64)},
      {"txtACK", QColor(0, 255, 0), QColor(0, 64, 0)},
      {"txtNAK", QColor(255, 0, 0), QColor(64, 0, 0)},
      {"txtTimingSystem", QColor(0, 0, 255), QColor(0, 0, 64)},
  };
  station_->OnTimerTick();
  for (const LampCase& lamp : lamps) {
    auto* box = window_->findChild<QLabel*>(lamp.name);
    ASSERT_NE(box, nullptr) << lamp.name;
    EXPECT_EQ(box->palette().color(QPalette::Window), lamp.dark) << lamp.name;
  }
  station_->globals().HoldCountdown = 2000;
  station_->cycle().SelectNextBlock(6);
  station_->cycle().SelectNextBlock(21);
  station_->cycle().NoteTimingData();
  station_->OnTimerTick();
  for (const LampCase& lamp : lamps) {
    auto* box = window_->findChild<QLabel*>(lamp.name);
    EXPECT_EQ(box->palette().color(QPalette::Window), lamp.lit) << lamp.name;
    EXPECT_TRUE(box->property("lit").toBool()) << lamp.name;
  }
  auto* bar = window_->findChild<QProgressBar*>("transBuffer");
  EXPECT_EQ(bar->value(), station_->Lamps().bufferPosition);
  EXPECT_EQ(bar->toolTip(), "Buffer Position");
}

// The transmitter's adapter is pulled out and plugged in again: its lamp
// says the line is awaited, its tip what became of it.
TEST(MainWindowLinkTest, LampsTellOfATransmitterLineOnItsWayBack) {
  QTemporaryDir dir;
  const QString link = dir.filePath("ttyUSB-lamp");
  auto pty = std::make_unique<PtyPair>();
  ASSERT_TRUE(pty->ok() && QFile::link(QString::fromStdString(pty->slaveName()), link));
  SettingsStore settings;
  settings.WriteSetting(kPortsKey, "COM3", link.toStdString(), kRegSz);
  for (int i = 0; i < 8; ++i) {
    const char* values[] = {"3", "8", "0", "4", "0", "0", "None", "None"};
    settings.WriteSetting(kTransmitterKey, std::to_string(i), values[i], kRegSz);
  }
  ScriptedPrompter prompter;
  testing_support::ScriptedDesktop desktop;
  StationOptions options{int16_t{0}};
  options.timerTicks = false;
  Station station(settings, prompter, options);
  station.Start();
  pty->CloseSlaveCopy();
  MainWindow window(station, prompter, desktop);
  auto* ack = window.findChild<QLabel*>("txtACK");
  ASSERT_NE(ack, nullptr);
  station.OnTimerTick();
  EXPECT_EQ(ack->text(), "ACK");
  EXPECT_EQ(ack->toolTip(), "");

  QFile::remove(link);
  pty.reset();
  ASSERT_TRUE(PumpUntil([&] { return !station.TransmitterOpen(); }));
  station.OnTimerTick();
  EXPECT_EQ(ack->text(), "ACK: waiting for the line");
  EXPECT_TRUE(ack->toolTip().startsWith("Transmitter line: lost at "))
      << ack->toolTip().toStdString();
  EXPECT_EQ(window.findChild<QLabel*>("txtNAK")->text(), "NAK");

  pty = std::make_unique<PtyPair>();
  ASSERT_TRUE(pty->ok() && QFile::link(QString::fromStdString(pty->slaveName()), link));
  station.OnTimerTick();
  EXPECT_TRUE(station.TransmitterOpen());
  EXPECT_EQ(ack->text(), "ACK");
  EXPECT_TRUE(ack->toolTip().startsWith("Transmitter line: reopened 1 time, last at "))
      << ack->toolTip().toStdString();
}

// A menu item's status tip takes the status bar's message area; the lamps and
// the buffer bar stay.
TEST_F(MainWindowTest, StatusTipsNeverHideTheLampsOrTheBufferBar) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  QStatusTipEvent tip(Action("miNewPage")->statusTip());
  QApplication::sendEvent(window_.get(), &tip);
  QApplication::processEvents();
  for (const char* name : {"txtPageHold", "txtACK", "txtNAK", "txtTimingSystem"}) {
    EXPECT_TRUE(window_->findChild<QLabel*>(name)->isVisible()) << name;
  }
  EXPECT_TRUE(window_->findChild<QProgressBar*>("transBuffer")->isVisible());
}

struct PastePath {
  const char* name;
  std::function<void(MainWindow&)> paste;
};

class MainWindowPasteErrorTest : public MainWindowTest,
                                 public ::testing::WithParamInterface<PastePath> {};

TEST_P(MainWindowPasteErrorTest, UnreadableClipboardIsReportedAndLinesStay) {
  ShowPage(4, 3);
  Editor().SetLineText(0, "KEEP");
  desktop_.clipboardFails = true;
  prompter_.QueueAnswer(PromptAnswer::kYes);  // the menu path asks first
  GetParam().paste(*window_);
  EXPECT_EQ(LastPrompt(), "Error pasting data from the Clipboard!");
  EXPECT_EQ(prompter_.Shown().back().buttons, PromptButtons::kOk);
  EXPECT_EQ(Page(4).Lines[0], FixedText("KEEP", 20));
}

INSTANTIATE_TEST_SUITE_P(
    BothPaths, MainWindowPasteErrorTest,
    ::testing::Values(PastePath{"Menu", [](MainWindow& w) { w.OnToolClick("miPastePage"); }},
                      PastePath{"EditorButton",
                                [](MainWindow& w) {
                                  w.editor()->findChild<QPushButton*>("cmdPastePage")->click();
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, ProgramThatCannotBeStartedIsReported) {
  const std::pair<const char*, const char*> cases[] = {
      {"miNewPage", MainWindow::kNoTextEditorText},
      {"miCalculator", MainWindow::kNoCalculatorText},
  };
  desktop_.launchSucceeds = false;
  for (const auto& [tool, text] : cases) {
    const size_t before = prompter_.Shown().size();
    window_->OnToolClick(tool);
    ASSERT_EQ(prompter_.Shown().size(), before + 1) << tool;
    EXPECT_EQ(LastPrompt(), text);
  }
  desktop_.launchSucceeds = true;
  const size_t before = prompter_.Shown().size();
  window_->OnToolClick("miCalculator");
  EXPECT_EQ(prompter_.Shown().size(), before);
}

// ---- The page editor is the frame's permanent child

struct CloseRoute {
  const char* name;
  std::function<void(MainWindow&, QMdiSubWindow&)> act;
};

// Clicks along a widget's whole width, as a person's pointer would find
// whatever button it draws.
void ClickAcross(QWidget* widget) {
  if (widget == nullptr || !widget->isVisible()) return;
  for (int x = 1; x < widget->width(); x += 3) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(x, widget->height() / 2));
  }
}

class EditorCloseRouteTest : public MainWindowTest,
                             public ::testing::WithParamInterface<CloseRoute> {};

TEST_P(EditorCloseRouteTest, EditorSurvivesAndKeepsServingTheStation) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  QPointer<PageEditorWindow> editor = window_->editor();
  ASSERT_NE(editor, nullptr);
  auto* frame = qobject_cast<QMdiSubWindow*>(editor->parentWidget());
  ASSERT_NE(frame, nullptr);
  QPointer<QMdiSubWindow> framePointer = frame;

  GetParam().act(*window_, *frame);
  for (int i = 0; i < 5; ++i) {
    QApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  ASSERT_FALSE(editor.isNull()) << "the editor was destroyed";
  ASSERT_FALSE(framePointer.isNull()) << "its frame was destroyed";
  EXPECT_TRUE(editor->isVisible());
  EXPECT_TRUE(frame->isMaximized());
  EXPECT_EQ(window_->findChild<QMdiArea*>("mdiArea")->subWindowList().size(), 1);

  // Everything that reaches into the editor still does.
  ShowPage(1, 13);
  station_->globals().Pages.SetLine(1, 2, "LANE 1 WINS");
  Editor().OutputPageUpdate(1);  // as a timing record refreshes page 1
  EXPECT_EQ(editor->DataBox(2)->text().trimmed(), "LANE 1 WINS");
  prompter_.QueueAnswer(PromptAnswer::kYes);
  window_->OnToolClick("miClearPage");
  EXPECT_EQ(editor->DataBox(2)->text().trimmed(), "");
  window_->OnToolClick("miRed");
  EXPECT_EQ(editor->findChild<QWidget*>("picTitle")->palette().color(QPalette::Window),
            QColor(192, 0, 0));
  desktop_.clipboard = "PASTED\r\n";
  prompter_.QueueAnswer(PromptAnswer::kYes);
  window_->OnToolClick("miPastePage");
  EXPECT_EQ(editor->DataBox(0)->text().trimmed(), "PASTED");
  const QString path = dir_.filePath("Page1.txt");
  desktop_.files.push_back(path);
  window_->OnToolClick("miSavePage");
  desktop_.files.push_back(path);
  window_->OnToolClick("miOpenPage");
  EXPECT_EQ(editor->DataBox(0)->text().trimmed(), "PASTED");
  window_->OnToolClick("miSendTicker");
  EXPECT_EQ(Action("miSendTicker")->text(), "Stop");
}

INSTANTIATE_TEST_SUITE_P(
    Routes, EditorCloseRouteTest,
    ::testing::Values(
        CloseRoute{"MenuBarButtons",
                   [](MainWindow& w, QMdiSubWindow&) {
                     ClickAcross(w.menuBar()->cornerWidget(Qt::TopRightCorner));
                   }},
        CloseRoute{"SystemMenu",
                   [](MainWindow&, QMdiSubWindow& frame) {
                     if (QMenu* menu = frame.systemMenu()) {
                       for (QAction* action : menu->actions()) action->trigger();
                     }
                   }},
        CloseRoute{"CtrlF4",
                   [](MainWindow&, QMdiSubWindow& frame) {
                     QTest::keyClick(&frame, Qt::Key_F4, Qt::ControlModifier);
                     QTest::keySequence(&frame, QKeySequence::Close);
                   }},
        CloseRoute{"CloseTool", [](MainWindow& w, QMdiSubWindow&) { w.OnToolClick("miClose"); }},
        CloseRoute{"CloseAllTool",
                   [](MainWindow& w, QMdiSubWindow&) { w.OnToolClick("miCloseAll"); }},
        CloseRoute{"FrameClose", [](MainWindow&, QMdiSubWindow& frame) { frame.close(); }},
        CloseRoute{"EditorClose",
                   [](MainWindow&, QMdiSubWindow& frame) { frame.widget()->close(); }},
        CloseRoute{"AreaCloseAll",
                   [](MainWindow& w, QMdiSubWindow&) {
                     auto* area = w.findChild<QMdiArea*>("mdiArea");
                     area->closeActiveSubWindow();
                     area->closeAllSubWindows();
                   }},
        CloseRoute{"Minimise", [](MainWindow&, QMdiSubWindow& frame) { frame.showMinimized(); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, AboutAndChannelDialogsAreFreshEachTime) {
  QString versions[2];
  QDialog* seen[2] = {};
  for (int i = 0; i < 2; ++i) {
    OnNextDialog([&, i](QDialog* d) {
      seen[i] = d;
      EXPECT_EQ(d->objectName(), "frmAbout");
      EXPECT_EQ(d->windowTitle(), "Torvane TX - About");
      versions[i] = d->findChild<QLabel*>("lblVersion")->text();
      d->findChild<QPushButton*>("cmdOK")->click();
    });
    window_->OnToolClick("miAbout");
  }
  EXPECT_EQ(versions[0], AboutDialog::VersionText(TORVANE_VERSION_MAJOR, TORVANE_VERSION_MINOR,
                                                  TORVANE_VERSION_PATCH));
  EXPECT_EQ(window_->findChildren<QDialog*>().size(), 0);
  for (int i = 0; i < 2; ++i) {
    OnNextDialog([&](QDialog* d) {
      EXPECT_EQ(d->objectName(), "frmChangeChannel");
      auto* channel = d->findChild<QComboBox*>("cboChannel");
      EXPECT_EQ(channel->currentIndex(), 0);
      channel->setCurrentIndex(1);
      auto* ok = d->findChild<QPushButton*>("cmdOK");
      ok->click();
      EXPECT_FALSE(ok->isEnabled());
    });
    window_->OnToolClick("miChangeChannel");
  }
}

TEST(AboutDialogTest, VersionTextReadsTorvaneTxThreeSpacesV) {
  EXPECT_EQ(AboutDialog::VersionText(2, 5, 8), "Torvane TX   v2.5.8");
}

TEST_F(MainWindowTest, ExitSavesInOrderAndKeepsTheBackground) {
  window_->OnToolClick("miGreen");
  window_->OnToolClick("miExit");
  EXPECT_EQ(settings_.ReadSetting(kScreenSettingsKey, kBackColor), std::to_string(128 << 8));
  EXPECT_EQ(settings_.ReadSetting(kTransmitterKey, "0"), "0");
  EXPECT_NE(settings_.ReadSetting(kMainKey, kDelayEverything), kNoKeyValue);
  EXPECT_EQ(settings_.ReadSetting(kPageSettingsKey, kMaxPages), "10");
}

// ---- The load handler's error

struct LoadFailureCase {
  const char* step;  // the step that raises
  int index;         // its place in the load order
};

class MainWindowLoadFailureTest : public ::testing::TestWithParam<LoadFailureCase> {
 protected:
  void SetUp() override {
    settings_.WriteSetting(kPageSettingsKey, kMaxPages, "10", kRegSz);
    station_ = std::make_unique<Station>(settings_, prompter_, StationOptions{int16_t{0}});
    station_->Start();
    station_->AddTickerEntry("GATES OPEN AT NOON");
    station_->globals().DelayEverything = true;
    shownBefore_ = prompter_.Shown().size();
    window_ =
        std::make_unique<MainWindow>(*station_, prompter_, desktop_, [this](std::string_view step) {
          steps_.emplace_back(step);
          if (step == GetParam().step) throw std::runtime_error("the disk went away");
        });
  }
  void TearDown() override {
    window_.reset();
    station_.reset();
  }

  SettingsStore settings_;
  ScriptedPrompter prompter_;
  ScriptedDesktop desktop_;
  std::unique_ptr<Station> station_;
  std::unique_ptr<MainWindow> window_;
  std::vector<std::string> steps_;
  size_t shownBefore_ = 0;
};

TEST_P(MainWindowLoadFailureTest, ShowsTheErrorSkipsTheRestAndTheWindowStillWorks) {
  const int failed = GetParam().index;
  ASSERT_EQ(prompter_.Shown().size(), shownBefore_ + 1);
  const Prompt& prompt = prompter_.Shown().back();
  EXPECT_EQ(prompt.text, "Error detected in the main form load event!");
  EXPECT_EQ(prompt.title, "Error - frmMain");
  EXPECT_EQ(prompt.icon, PromptIcon::kCritical);
  EXPECT_EQ(prompt.buttons, PromptButtons::kOk);
  EXPECT_EQ(window_->FailedLoadStep(), GetParam().step);
  ASSERT_EQ(steps_.size(), static_cast<size_t>(failed + 1)) << "steps after the failing one ran";

  // What each step leaves behind, present exactly for the steps before it.
  auto* chooser = window_->findChild<QComboBox*>("cboNewsTicker");
  EXPECT_EQ(chooser->count() == 1, failed > 0);
  EXPECT_EQ(window_->findChild<QAction*>("miDelayEverything")->isChecked(), failed > 1);
  EXPECT_EQ(window_->editor() != nullptr, failed > 2);
  EXPECT_EQ(window_->receiver() != nullptr, failed > 3);
  EXPECT_EQ(settings_.ReadSetting(kScreenSettingsKey, kBackColor) != kNoKeyValue, failed > 4);

  window_->show();
  EXPECT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  // The commands that reach into the skipped parts still work.
  window_->OnToolClick("miDarkRed");
  EXPECT_EQ(window_->BackgroundColour(), QColor(128, 0, 0));
  QTimer::singleShot(0, [] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->objectName(), "frmTimingSystem");
    dialog->findChild<QPushButton*>("cmdOK")->click();
  });
  window_->OnToolClick("miTimingSystem");
  station_->OnTimerTick();
  window_->OnToolClick("miExit");
  EXPECT_FALSE(window_->isVisible());
  EXPECT_EQ(settings_.ReadSetting(kScreenSettingsKey, kBackColor), std::to_string(128));
}

INSTANTIATE_TEST_SUITE_P(
    Steps, MainWindowLoadFailureTest,
    ::testing::Values(LoadFailureCase{"ticker list", 0}, LoadFailureCase{"delay everything", 1},
                      LoadFailureCase{"page editor", 2}, LoadFailureCase{"receiver preview", 3},
                      LoadFailureCase{"background colour", 4}, LoadFailureCase{"area colour", 5}),
    [](const auto& info) {
      std::string name = info.param.step;
      std::erase(name, ' ');
      return name;
    });

TEST(MainWindowLoadTest, TheStepsRunInTheirOrderAndNothingIsShownWhenAllSucceed) {
  SettingsStore settings;
  ScriptedPrompter prompter;
  ScriptedDesktop desktop;
  Station station(settings, prompter, {int16_t{0}});
  station.Start();
  const size_t shown = prompter.Shown().size();
  std::vector<std::string> steps;
  MainWindow window(station, prompter, desktop,
                    [&](std::string_view step) { steps.emplace_back(step); });
  EXPECT_EQ(steps,
            (std::vector<std::string>{"ticker list", "delay everything", "page editor",
                                      "receiver preview", "background colour", "area colour"}));
  EXPECT_EQ(prompter.Shown().size(), shown);
  EXPECT_TRUE(window.FailedLoadStep().empty());
  // The title area took the background colour (the last step).
  auto* title = window.editor()->findChild<QWidget*>("picTitle");
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(title->palette().color(QPalette::Window), window.BackgroundColour());
}

// ---- Saving at exit into a settings folder that cannot be written

TEST(MainWindowExitTest, ExitTellsWhichEditorDataDidNotReachTheDisk) {
  for (const bool writable : {true, false}) {
    SCOPED_TRACE(writable ? "writable" : "unwritable");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile plain(dir.filePath("plain-file"));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    // A folder below a regular file cannot be created, not even by root.
    const QString folder = dir.filePath(writable ? "config/TorvaneTX" : "plain-file/TorvaneTX");
    SettingsStore settings(HiveFiles::InFolder(folder.toStdString()));
    ScriptedPrompter prompter;
    ScriptedDesktop desktop;
    Station station(settings, prompter, {int16_t{0}});
    station.Start();
    MainWindow window(station, prompter, desktop);
    window.show();
    station.editor().SelectVenue(7);
    const size_t before = prompter.Shown().size();
    window.OnToolClick("miExit");
    EXPECT_FALSE(window.isVisible());
    std::vector<std::string> after;
    for (size_t i = before; i < prompter.Shown().size(); ++i) {
      after.push_back(prompter.Shown()[i].text);
      EXPECT_EQ(prompter.Shown()[i].title, "TorvaneTX");
    }
    const std::vector<std::string> unsaved = {
        "Unable to Save Maximum Page Size", "Unable to Save Page Data!", "Unable to Save VenueID!",
        "Unable to Save Page Delay!"};
    EXPECT_EQ(after, writable ? std::vector<std::string>{} : unsaved);
    EXPECT_EQ(QFile::exists(folder + "/HKEY_CURRENT_USER.reg"), writable);
  }
}

}  // namespace
}  // namespace torvane
