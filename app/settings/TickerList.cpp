#include "TickerList.h"

#include "SettingsKeys.h"

namespace torvane {

std::vector<std::string> LoadTickerList(const SettingsStore& store) {
  std::vector<std::string> entries;
  for (int i = 0; i < kMaxTickerEntries; ++i) {
    std::string text = store.ReadSetting(kTickerKey, IndexValueName(i));
    if (text == kNoKeyValue) break;
    entries.push_back(std::move(text));
  }
  return entries;
}

void SaveTickerList(SettingsStore& store, const std::vector<std::string>& entries) {
  SettingsStore::Batch batch(store);
  int position = 0;
  for (const auto& entry : entries) {
    store.WriteSetting(kTickerKey, IndexValueName(position++), entry, kRegSz);
  }
  store.WriteSetting(kTickerKey, IndexValueName(position), "", kRegSz);
}

}  // namespace torvane
