// The classes hive (HKEY_CLASSES_ROOT) of the settings store, as the
// automation layer's RegistryHive: where registration writes and CreateObject
// looks classes up.
#ifndef TORVANE_WIRELET_CLASSESROOTHIVE_H_
#define TORVANE_WIRELET_CLASSESROOTHIVE_H_

#include <memory>
#include <string>

#include "RegistryHive.h"
#include "SettingsStore.h"

namespace torvane {

class ClassesRootHive : public RegistryHive {
 public:
  // store must outlive the hive.
  explicit ClassesRootHive(SettingsStore& store) : store_(store) {}

  std::optional<std::string> ReadValue(std::string_view key, std::string_view name) const override;
  void CreateKey(std::string_view key) override;
  void WriteValue(std::string_view key, std::string_view name, std::string_view value) override;
  void DeleteValue(std::string_view key, std::string_view name) override;
  void DeleteKey(std::string_view key) override;

 private:
  SettingsStore& store_;
};

// HKEY_CLASSES_ROOT.reg in the settings folder ($XDG_CONFIG_HOME/TorvaneTX);
// the current user's hive is not touched.
std::string ClassesRootFile();

// A store holding only the classes hive, loaded from ClassesRootFile().
std::unique_ptr<SettingsStore> OpenClassesRoot();

}  // namespace torvane

#endif  // TORVANE_WIRELET_CLASSESROOTHIVE_H_
