// The news ticker texts kept under kTickerKey.
#ifndef TORVANE_APP_SETTINGS_TICKERLIST_H_
#define TORVANE_APP_SETTINGS_TICKERLIST_H_

#include <string>
#include <vector>

#include "SettingsStore.h"

namespace torvane {

// Values "0", "1", ... in order, stopping at the first that reads as kNoKeyValue
// and after kMaxTickerEntries entries at the latest.
std::vector<std::string> LoadTickerList(const SettingsStore& store);

// Writes each entry under its position and then an empty text under the next
// one, which ends the list for the next load; values beyond it are left as they
// are and never read. Saved once, as one batch.
void SaveTickerList(SettingsStore& store, const std::vector<std::string>& entries);

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_TICKERLIST_H_
