#include "SystemRegistryHive.h"

#include <utility>

namespace torvane {

std::optional<RegValue> SystemRegistryHive::Read(std::string_view keyPath,
                                                 std::string_view valueName) const {
  std::optional<RegistryData> data = RegistryRead(root_, keyPath, valueName);
  if (!data) return std::nullopt;
  return RegValue{data->type, std::move(data->bytes)};
}

// The registry cannot tell whether a write changed anything, so the value is
// read first: an unchanged value must not count as a change.
bool SystemRegistryHive::Write(std::string_view keyPath, std::string_view valueName,
                               std::optional<RegValue> value) {
  const std::optional<RegValue> before = value ? Read(keyPath, valueName) : std::nullopt;
  const bool store = value && before != value;
  RegistryData data;
  if (store) data = RegistryData{value->type, std::move(value->data)};
  bool created = false;
  const bool written = RegistryWrite(root_, keyPath, valueName, store ? &data : nullptr, &created);
  return created || (store && written);
}

HiveBackend::Deletion SystemRegistryHive::DeleteValue(std::string_view keyPath,
                                                      std::string_view valueName) {
  Deletion result;
  result.deleted = RegistryDeleteValue(root_, keyPath, valueName, &result.changed);
  result.changed = result.changed || result.deleted;
  return result;
}

bool SystemRegistryHive::DeleteKey(std::string_view parentPath, std::string_view subkeyName) {
  return RegistryDeleteKey(root_, parentPath, subkeyName);
}

std::unique_ptr<SettingsStore> OpenSystemRegistryStore() {
  return std::make_unique<SettingsStore>(
      std::make_unique<SystemRegistryHive>(RegistryRoot::CurrentUser()),
      std::make_unique<SystemRegistryHive>(RegistryRoot::ClassesRoot()));
}

}  // namespace torvane
