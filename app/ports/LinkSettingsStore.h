// The two link records in the settings: one text value per field, "0".."7".
#ifndef TORVANE_APP_PORTS_LINKSETTINGSSTORE_H_
#define TORVANE_APP_PORTS_LINKSETTINGSSTORE_H_

#include <string>
#include <string_view>

#include "Globals.h"
#include "SettingsKeys.h"
#include "SettingsStore.h"

namespace torvane {

// Fills link from key. A missing value is written back at once: the field's
// current value for the numbers, "None" for host and port. A value that does not
// convert leaves its field as it is.
void LoadLinkSettings(SettingsStore& store, std::string_view key, LinkSettings& link);
// Writes all eight values.
void SaveLinkSettings(SettingsStore& store, std::string_view key, const LinkSettings& link);

// The device file of COM<n>: the value "COM<n>" under the ports key when set,
// else /dev/ttyS<n-1>.
std::string ComPortDevicePath(const SettingsStore& store, int16_t n);

}  // namespace torvane

#endif  // TORVANE_APP_PORTS_LINKSETTINGSSTORE_H_
