// Speed of the windows: switching between two 201-line pages in the editor, and
// start-up to a usable main window with 127 pages of 201 lines stored.
#include <benchmark/benchmark.h>

#include <QApplication>

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
  Station station(settings, prompter, {int16_t{0}, ""});
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
    Station station(settings, prompter, {int16_t{0}, ""});
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

}  // namespace
}  // namespace torvane

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
