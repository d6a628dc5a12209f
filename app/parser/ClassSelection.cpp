#include "ClassSelection.h"

#include <algorithm>

#include "Formats.h"
#include "Globals.h"
#include "Prompter.h"
#include "RaceFields.h"
#include "ResultPage.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {
namespace {

constexpr int kFirstClassPage = 3;  // pages 0..2 are never class pages

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ContainsIgnoringCase(std::string_view haystack, std::string_view needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(),
                     [](char a, char b) { return Lower(a) == Lower(b); }) != haystack.end();
}

template <typename Matches>
int Longest(const std::vector<std::string>& categories, Matches matches) {
  int best = -1;
  size_t bestLength = 0;
  for (size_t i = 0; i < categories.size(); ++i) {
    const std::string& entry = categories[i];
    if (entry.empty() || entry.size() <= bestLength || !matches(entry)) continue;
    best = static_cast<int>(i);
    bestLength = entry.size();
  }
  return best;
}

void SetMarginLineLink(PageStore& pages, int16_t link) {
  pages.SetLink(kResultPageNumber, kMarginLine, link);
}

}  // namespace

void StoreClassName(SettingsStore& settings, Prompter& prompter, std::string_view name, int index) {
  SettingsStore::Batch batch(settings);
  settings.WriteSetting(kClassListingKey, IndexValueName(index), name, kRegSz);
  if (settings.ReadSetting(kClassListingKey, IndexValueName(index)) != name) {
    prompter.Show({std::string(kClassListingMessage), std::string(kClassListingTitle),
                   PromptIcon::kCritical, PromptButtons::kOk});
    return;
  }
  for (int next = index + 1; settings.DeleteValue(kClassListingKey, IndexValueName(next)); ++next) {
  }
}

int FindCategoryWithin(const std::vector<std::string>& categories, std::string_view name) {
  return Longest(categories,
                 [name](const std::string& entry) { return ContainsIgnoringCase(name, entry); });
}

int FindCategoryContaining(const std::vector<std::string>& categories, std::string_view name) {
  if (name.empty()) return -1;
  return Longest(categories,
                 [name](const std::string& entry) { return ContainsIgnoringCase(entry, name); });
}

void SelectClass(const TimingContext& context, std::string_view name) {
  Globals& g = context.globals;
  RaceState& race = g.Race;
  name = TrimSpaces(name);
  race.CurrentClass = FixedText(name, kTitleWidth);
  race.BumpTime = FixedText("", kLaneValueWidth);

  const std::vector<std::string>& categories = context.editor.Categories();
  int category = FindCategoryWithin(categories, name);
  race.ActiveCategory = static_cast<int16_t>(category);
  if (category < 0) {
    context.editor.ShowNoCategoryMatch();
    race.HeadsUp = false;
    SetMarginLineLink(g.Pages, kNoLink);
    category = FindCategoryContaining(categories, name);
    if (category < 0) return;
    race.CurrentClass =
        FixedText(TrimSpaces(categories[static_cast<size_t>(category)]), kTitleWidth);
    race.ActiveCategory = static_cast<int16_t>(category);
  }
  // The editor may rebuild its list when it selects; keep the entry's own text.
  const std::string entry = categories[static_cast<size_t>(category)];

  context.editor.ShowTimingSelection(race.ActiveCategory, race.RaceType, race.RoundNumber);

  const PageRecord& index = g.Pages[kCategoryPage];
  const int16_t classPage = static_cast<size_t>(category) < index.Links.size()
                                ? index.Links[static_cast<size_t>(category)]
                                : kNoLink;
  SetMarginLineLink(g.Pages, classPage < kFirstClassPage ? kNoLink : classPage);

  context.settings.WriteSetting(PageKey(kCategoryPage), kActiveCategory,
                                std::to_string(race.ActiveCategory), kRegSz);
  race.HeadsUp = context.settings.ReadSetting(CategoryKey(entry), kHeadsUp) == "1";
}

}  // namespace torvane
