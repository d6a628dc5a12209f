// A hive in the Windows registry: every change is written through at once.
// Built on Windows only.
#ifndef TORVANE_APP_SETTINGS_SYSTEMREGISTRYHIVE_H_
#define TORVANE_APP_SETTINGS_SYSTEMREGISTRYHIVE_H_

#include <memory>

#include "HiveBackend.h"
#include "Registry.h"
#include "SettingsStore.h"

namespace torvane {

class SystemRegistryHive : public HiveBackend {
 public:
  explicit SystemRegistryHive(RegistryRoot root) : root_(std::move(root)) {}

  std::optional<RegValue> Read(std::string_view keyPath, std::string_view valueName) const override;
  bool Write(std::string_view keyPath, std::string_view valueName,
             std::optional<RegValue> value) override;
  Deletion DeleteValue(std::string_view keyPath, std::string_view valueName) override;
  bool DeleteKey(std::string_view parentPath, std::string_view subkeyName) override;

 private:
  RegistryRoot root_;
};

// The program's store on Windows: HKEY_CURRENT_USER and HKEY_CLASSES_ROOT.
std::unique_ptr<SettingsStore> OpenSystemRegistryStore();

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_SYSTEMREGISTRYHIVE_H_
