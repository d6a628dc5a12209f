// Load and save of a full settings hive: 127 pages of 201 lines, each line with
// its link and text, plus each page's title, size and colours, topped up with
// class names to 60,000 values.
#include <benchmark/benchmark.h>

#include <string>

#include "RegFile.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "TempFolder.h"

namespace torvane {
namespace {

constexpr int kPages = 127;
constexpr int kLines = 201;
constexpr int kValues = 60000;

void FillHive(SettingsStore& store) {
  SettingsStore::Batch batch(store);
  int values = 0;
  for (int page = 0; page < kPages; ++page) {
    const std::string key = PageKey(page);
    store.WriteSetting(key, kTitle, "Page " + std::to_string(page) + " title   ", kRegSz);
    store.WriteSetting(key, kPageSize, std::to_string(kLines - 1), kRegSz);
    for (const auto area : {kTitleArea, kCursorArea, kPageArea, kTickerArea}) {
      store.WriteSetting(key, ColorValueName(area, false), "15", kRegSz);
      store.WriteSetting(key, ColorValueName(area, true), "1", kRegSz);
    }
    values += 10;
    for (int line = 0; line < kLines; ++line) {
      store.WriteSetting(key, LinkValueName(line), "255", kRegSz);
      std::string text = "Ln " + std::to_string(line) + " Car " + std::to_string(page);
      text.resize(20, ' ');
      store.WriteSetting(key, TextValueName(line), text, kRegSz);
      values += 2;
    }
  }
  for (int index = 0; values < kValues; ++index, ++values) {
    store.WriteSetting(kClassListingKey, IndexValueName(index), "Class " + std::to_string(index),
                       kRegSz);
  }
}

// A folder holding a full HKEY_CURRENT_USER.reg.
struct FullHive {
  FullHive() {
    SettingsStore store(HiveFiles::InFolder(folder.Path()));
    FillHive(store);
    path = HiveFiles::InFolder(folder.Path()).currentUser;
    text = ReadFileText(path);
  }
  TempFolder folder;
  std::string path;
  std::string text;
};

FullHive& Hive60k() {
  static FullHive hive;
  return hive;
}

// Constructing the store: read the file, parse it, build the key tree.
void BM_LoadHive(benchmark::State& state) {
  FullHive& hive = Hive60k();
  HiveFiles files = HiveFiles::InFolder(hive.folder.Path());
  files.readOnly = true;
  for (auto _ : state) {
    SettingsStore store(files);
    benchmark::DoNotOptimize(store.Revision());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hive.text.size()));
  state.counters["values"] = kValues;
}
BENCHMARK(BM_LoadHive)->Unit(benchmark::kMillisecond);

// One change and the atomic save of the whole hive: serialize, write, fsync, rename.
void BM_SaveHive(benchmark::State& state) {
  FullHive& hive = Hive60k();
  SettingsStore store(HiveFiles::InFolder(hive.folder.Path()));
  int round = 0;
  for (auto _ : state) {
    store.WriteSetting(kMainKey, kPageDelay, std::to_string(++round), kRegSz);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * hive.text.size()));
}
BENCHMARK(BM_SaveHive)->Unit(benchmark::kMillisecond);

void BM_ParseText(benchmark::State& state) {
  const std::string& text = Hive60k().text;
  for (auto _ : state) {
    RegFileParse parsed = ParseRegFile(text, "HKEY_CURRENT_USER");
    benchmark::DoNotOptimize(parsed.ok);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ParseText)->Unit(benchmark::kMillisecond);

void BM_SerializeText(benchmark::State& state) {
  const RegFileParse parsed = ParseRegFile(Hive60k().text, "HKEY_CURRENT_USER");
  for (auto _ : state) {
    std::string text = SerializeRegFile(parsed.tree, "HKEY_CURRENT_USER");
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_SerializeText)->Unit(benchmark::kMillisecond);

// A handler writing 50,000 values in one batch: one save at the end.
void BM_Batch50000Writes(benchmark::State& state) {
  TempFolder folder;
  SettingsStore store(HiveFiles::InFolder(folder.Path()));
  int round = 0;
  for (auto _ : state) {
    ++round;
    SettingsStore::Batch batch(store);
    for (int i = 0; i < 50000; ++i) {
      store.WriteSetting(PageKey(i % kPages), TextValueName(i / kPages), std::to_string(round),
                         kRegSz);
    }
  }
}
BENCHMARK(BM_Batch50000Writes)->Unit(benchmark::kMillisecond);

// What the image builder does per page: its eight colour values.
void BM_ReadPageColours(benchmark::State& state) {
  HiveFiles files = HiveFiles::InFolder(Hive60k().folder.Path());
  files.readOnly = true;
  const SettingsStore store(files);
  int page = 0;
  for (auto _ : state) {
    const std::string key = PageKey(page);
    page = (page + 1) % kPages;
    for (const auto area : {kTitleArea, kCursorArea, kPageArea, kTickerArea}) {
      benchmark::DoNotOptimize(store.ReadSetting(key, ColorValueName(area, false)));
      benchmark::DoNotOptimize(store.ReadSetting(key, ColorValueName(area, true)));
    }
  }
}
BENCHMARK(BM_ReadPageColours);

}  // namespace
}  // namespace torvane

BENCHMARK_MAIN();
