// Settings the station's benches start from: the largest image the editor can
// make, and a serial link with its settings fields.
#ifndef TORVANE_APP_SHELL_BENCHSETTINGS_H_
#define TORVANE_APP_SHELL_BENCHSETTINGS_H_

#include <string>
#include <string_view>

#include "LinkSettingsStore.h"
#include "MaximalPages.h"
#include "PageStoreSettings.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {

// The maximal page store, saved as the editor saves it.
inline void WriteMaximalPages(SettingsStore& settings) {
  PageStore pages;
  FillMaximalPages(pages);
  SavePageStore(settings, pages);
  for (int k = 0; k <= pages.N(); ++k) WritePageSize(settings, k, pages.PageSize(k));
}

inline void SetSerialLink(SettingsStore& settings, std::string_view key, int port, int bps) {
  const std::string values[] = {
      std::to_string(port), std::to_string(bps), "0", "4", "0", "0", "None", "None"};
  for (int i = 0; i < 8; ++i) settings.WriteSetting(key, std::to_string(i), values[i], kRegSz);
}

// The largest image, sent without delays to a transmitter on device (as COM3).
inline void WriteMaximalStation(SettingsStore& settings, const std::string& transmitterDevice) {
  WriteMaximalPages(settings);
  settings.WriteSetting(kPortsKey, "COM3", transmitterDevice, kRegSz);
  SetSerialLink(settings, kTransmitterKey, 3, 8);
  settings.WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);
}

}  // namespace torvane

#endif  // TORVANE_APP_SHELL_BENCHSETTINGS_H_
