#include "PageStoreSettings.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>

#include "NumericText.h"
#include "PageStore.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

bool Missing(const std::string& text) { return text == kNoKeyValue; }

int StoredPageSize(const SettingsStore& settings, const std::string& key) {
  const std::optional<double> value = NumericValue(settings.ReadSetting(key, kPageSize));
  if (!value) return 0;
  // Clamped before the conversion: an edited file must not yield a block the
  // image cannot hold.
  return static_cast<int>(std::nearbyint(std::clamp(*value, 0.0, double{kMaxPageSize})));
}

int16_t StoredLink(const std::string& text) {
  if (!NumericValue(text)) return 0;
  const std::optional<int16_t> link = NumericInt16(text);
  return link ? *link : kNoLink;
}

void LoadPage(SettingsStore& settings, PageStore& pages, int p) {
  const std::string key = PageKey(p);
  int s = StoredPageSize(settings, key);
  if (p == kResultPage && s < kResultPageMinSize) {
    s = kResultPageMinSize;
    settings.WriteSetting(key, kPageSize, std::to_string(s), kRegSz);
  }
  pages.SetPageSize(p, s);

  PageRecord& page = pages.Edit(p);
  for (size_t i = 0; i < page.Links.size(); ++i) {
    const int line = static_cast<int>(i);
    const std::string link = settings.ReadSetting(key, LinkValueName(line));
    if (!Missing(link)) page.Links[i] = StoredLink(link);
    const std::string text = settings.ReadSetting(key, TextValueName(line));
    if (!Missing(text)) page.Lines[i] = FixedText(text, kLineWidth);
  }
  const std::string title = settings.ReadSetting(key, kTitle);
  if (!Missing(title)) page.Title = FixedText(title, kTitleWidth);
}

}  // namespace

int16_t StoredHighestPage(const SettingsStore& settings) {
  const std::optional<int16_t> n = NumericInt16(settings.ReadSetting(kPageSettingsKey, kMaxPages));
  if (!n || *n < kMinHighestPage || *n > kMaxHighestPage) return kMinHighestPage;
  return *n;
}

void LoadPageStore(SettingsStore& settings, PageStore& pages) {
  SettingsStore::Batch batch(settings);
  const int n = StoredHighestPage(settings);
  pages.Reset(n);
  for (int p = 0; p <= n; ++p) LoadPage(settings, pages, p);
  pages.RecomputeAddresses();
}

void SavePageCount(SettingsStore& settings, const PageStore& pages) {
  settings.WriteSetting(kPageSettingsKey, kMaxPages, std::to_string(pages.N()), kRegSz);
}

void SavePages(SettingsStore& settings, const PageStore& pages) {
  SettingsStore::Batch batch(settings);
  for (int p = 0; p <= pages.N(); ++p) {
    const std::string key = PageKey(p);
    const PageRecord& page = pages[p];
    const size_t lines = std::min(page.Links.size(), page.Lines.size());
    for (size_t i = 0; i < lines; ++i) {
      const int line = static_cast<int>(i);
      settings.WriteSetting(key, LinkValueName(line), std::to_string(page.Links[i]), kRegSz);
      settings.WriteSetting(key, TextValueName(line), FixedText(page.Lines[i], kLineWidth), kRegSz);
    }
    settings.WriteSetting(key, kTitle, FixedText(page.Title, kTitleWidth), kRegSz);
    for (int line = static_cast<int>(lines);; ++line) {
      const bool link = settings.DeleteValue(key, LinkValueName(line));
      const bool text = settings.DeleteValue(key, TextValueName(line));
      if (!link && !text) break;
    }
  }
  for (int p = pages.N() + 1; p <= kMaxHighestPage; ++p) {
    if (!settings.DeleteKey(kPageSettingsKey, IndexValueName(p))) break;
  }
}

void SavePageStore(SettingsStore& settings, const PageStore& pages) {
  SettingsStore::Batch batch(settings);
  SavePageCount(settings, pages);
  SavePages(settings, pages);
}

void WritePageSize(SettingsStore& settings, int page, int s) {
  settings.WriteSetting(PageKey(page), kPageSize, std::to_string(s), kRegSz);
}

bool RemoveLastPage(PageStore& pages, SettingsStore& settings) {
  if (pages.N() < kMinHighestPage + 1) return false;
  settings.DeleteKey(kPageSettingsKey, IndexValueName(pages.N()));
  return pages.RemovePage();
}

}  // namespace torvane
