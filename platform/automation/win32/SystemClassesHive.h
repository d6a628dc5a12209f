// The classes hive of the system registry (HKEY_CLASSES_ROOT), for the
// registration scripts of an in-process server. Text values only. A call the
// registry refuses is remembered, so registration can report it.
#ifndef TORVANE_PLATFORM_AUTOMATION_WIN32_SYSTEMCLASSESHIVE_H_
#define TORVANE_PLATFORM_AUTOMATION_WIN32_SYSTEMCLASSESHIVE_H_

#include "Registry.h"
#include "RegistryHive.h"

namespace torvane {

class SystemClassesHive final : public RegistryHive {
 public:
  // Rooted at HKEY_CLASSES_ROOT, or at root (a test's own key).
  SystemClassesHive();
  explicit SystemClassesHive(RegistryRoot root) : root_(std::move(root)) {}

  std::optional<std::string> ReadValue(std::string_view key, std::string_view name) const override;
  void CreateKey(std::string_view key) override;
  void WriteValue(std::string_view key, std::string_view name, std::string_view value) override;
  void DeleteValue(std::string_view key, std::string_view name) override;
  void DeleteKey(std::string_view key) override;

  // True once a key could not be created or a value not written.
  bool Failed() const { return failed_; }

 private:
  RegistryRoot root_;
  bool failed_ = false;
};

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_WIN32_SYSTEMCLASSESHIVE_H_
