// Speed of the windows: switching between two 201-line pages in the editor, and
// start-up to a usable main window with 127 pages of 201 lines stored, both in
// this process and as the real torvanetx executable from a settings folder.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "GuiTestSupport.h"
#include "MainWindow.h"
#include "PageEditorWindow.h"
#include "SettingsKeys.h"
#include "Station.h"

namespace torvane {
namespace {

void StoreFullPages(SettingsStore& settings) {
  settings.WriteSetting(kPageSettingsKey, kMaxPages, "126", kRegSz);
  for (int p = 0; p <= 126; ++p) {
    const std::string key = PageKey(p);
    // 127 pages of 201 lines do not fit the image; the store keeps them all.
    settings.WriteSetting(key, kPageSize, "200", kRegSz);
    for (int i = 0; i <= 200; ++i) {
      settings.WriteSetting(key, TextValueName(i), "LINE " + std::to_string(i), kRegSz);
      settings.WriteSetting(key, LinkValueName(i), "255", kRegSz);
    }
  }
}

void BM_SwitchBetweenTwoHundredOneLinePages(benchmark::State& state) {
  SettingsStore settings;
  StoreFullPages(settings);
  ScriptedPrompter prompter;
  testing_support::ScriptedDesktop desktop;
  Station station(settings, prompter, {int16_t{0}});
  station.Start();
  PageEditorWindow window(station.editor(), desktop);
  window.show();
  QApplication::processEvents();
  int page = 3;
  for (auto _ : state) {
    station.editor().ShowPage(std::to_string(page));
    QApplication::processEvents();  // layout and paint included
    page = page == 3 ? 4 : 3;
  }
  state.counters["rows"] = window.RowsShown();
}
BENCHMARK(BM_SwitchBetweenTwoHundredOneLinePages)->Unit(benchmark::kMillisecond);

void BM_StartUpWith127PagesOf201Lines(benchmark::State& state) {
  SettingsStore settings;
  StoreFullPages(settings);
  testing_support::ScriptedDesktop desktop;
  for (auto _ : state) {
    ScriptedPrompter prompter;
    Station station(settings, prompter, {int16_t{0}});
    station.Start();
    MainWindow window(station, prompter, desktop);
    window.show();
    QApplication::processEvents();
    state.PauseTiming();
    window.close();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_StartUpWith127PagesOf201Lines)->Unit(benchmark::kMillisecond)->Iterations(3);

// The executable from process start to exit: `torvanetx --exit-when-ready`
// with XDG_CONFIG_HOME holding the 127 pages. The time measured is the wall
// time of the whole run (exec, dynamic loading, start-up, one event-loop turn,
// shutdown); the counter ready_ms is what the program itself reports from the
// start of main until its window is shown and usable.
void BM_ExecutableStartUpWith127PagesOf201Lines(benchmark::State& state) {
  QTemporaryDir config;
  {
    SettingsStore settings(HiveFiles::InFolder(config.filePath("TorvaneTX").toStdString()));
    SettingsStore::Batch once(settings);
    StoreFullPages(settings);
    // A transmitter is configured (its device is absent, which start-up absorbs),
    // so the run takes the race-day road without the first-start message.
    settings.WriteSetting(kPortsKey, "COM1", "/nonexistent/torvane-transmitter", kRegSz);
    settings.WriteSetting(kTransmitterKey, "0", "1", kRegSz);
  }
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_CONFIG_HOME", config.path());
  const QRegularExpression ready("ready after ([0-9.]+) ms");
  double readyMs = 0;
  for (auto _ : state) {
    QProcess process;
    process.setProcessEnvironment(env);
    QElapsedTimer wall;
    wall.start();
    process.start(TORVANE_TORVANETX, {"--exit-when-ready"});
    const bool finished = process.waitForFinished(60000);
    const double seconds = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const QRegularExpressionMatch match = ready.match(process.readAllStandardOutput());
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0 ||
        !match.hasMatch()) {
      state.SkipWithError(("torvanetx did not start and exit cleanly: " +
                           process.readAllStandardError().toStdString())
                              .c_str());
      break;
    }
    state.SetIterationTime(seconds);
    readyMs += match.captured(1).toDouble();
  }
  state.counters["ready_ms"] = benchmark::Counter(readyMs, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ExecutableStartUpWith127PagesOf201Lines)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
