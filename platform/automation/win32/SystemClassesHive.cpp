#include "SystemClassesHive.h"

namespace torvane {

namespace {
constexpr uint32_t kRegSz = 1;
}  // namespace

SystemClassesHive::SystemClassesHive() : root_(RegistryRoot::ClassesRoot()) {}

std::optional<std::string> SystemClassesHive::ReadValue(std::string_view key,
                                                        std::string_view name) const {
  std::optional<RegistryData> data = RegistryRead(root_, key, name);
  if (!data || data->type != kRegSz || data->bytes.empty()) return std::nullopt;
  return data->bytes;
}

void SystemClassesHive::CreateKey(std::string_view key) {
  bool created = false;
  if (!RegistryWrite(root_, key, {}, nullptr, &created)) failed_ = true;
}

void SystemClassesHive::WriteValue(std::string_view key, std::string_view name,
                                   std::string_view value) {
  bool created = false;
  RegistryData data{kRegSz, std::string(value)};
  if (!RegistryWrite(root_, key, name, &data, &created)) failed_ = true;
}

void SystemClassesHive::DeleteValue(std::string_view key, std::string_view name) {
  // Opening a missing key creates it, so only keys that exist are touched.
  if (!RegistryRead(root_, key, name)) return;
  bool created = false;
  RegistryDeleteValue(root_, key, name, &created);
}

void SystemClassesHive::DeleteKey(std::string_view key) {
  const size_t slash = key.rfind('\\');
  if (slash == std::string_view::npos) {
    RegistryDeleteKey(root_, {}, key);
  } else {
    RegistryDeleteKey(root_, key.substr(0, slash), key.substr(slash + 1));
  }
}

}  // namespace torvane
