#include "ClassesRootHive.h"

#include "ProgramFolder.h"

namespace torvane {
namespace {

// A type that stores no value: the write only creates the key.
constexpr int kKeyOnly = 0;

}  // namespace

std::optional<std::string> ClassesRootHive::ReadValue(std::string_view key,
                                                      std::string_view name) const {
  std::string value = store_.ReadSetting(key, name, Hive::kClassesRoot);
  if (value == kNoKeyValue || value.empty()) return std::nullopt;
  return value;
}

void ClassesRootHive::CreateKey(std::string_view key) {
  store_.WriteSetting(key, "", "", kKeyOnly, Hive::kClassesRoot);
}

void ClassesRootHive::WriteValue(std::string_view key, std::string_view name,
                                 std::string_view value) {
  store_.WriteSetting(key, name, value, kRegSz, Hive::kClassesRoot);
}

void ClassesRootHive::DeleteValue(std::string_view key, std::string_view name) {
  store_.DeleteValue(key, name, Hive::kClassesRoot);
}

void ClassesRootHive::DeleteKey(std::string_view key) {
  size_t slash = key.rfind('\\');
  std::string_view parent =
      slash == std::string_view::npos ? std::string_view() : key.substr(0, slash);
  std::string_view name = slash == std::string_view::npos ? key : key.substr(slash + 1);
  store_.DeleteKey(parent, name, Hive::kClassesRoot);
}

std::string ClassesRootFile() { return SettingsFolder() + "/HKEY_CLASSES_ROOT.reg"; }

std::unique_ptr<SettingsStore> OpenClassesRoot() {
  HiveFiles files;
  files.classesRoot = ClassesRootFile();
  return std::make_unique<SettingsStore>(files);
}

}  // namespace torvane
