// A hive kept in memory, and saved to its settings file when it has one.
#ifndef TORVANE_APP_SETTINGS_TREEHIVE_H_
#define TORVANE_APP_SETTINGS_TREEHIVE_H_

#include <memory>
#include <string>

#include "HiveBackend.h"
#include "HiveFile.h"
#include "KeyTree.h"

namespace torvane {

class TreeHive : public HiveBackend {
 public:
  // Memory only.
  TreeHive() = default;
  // Loads the file (see HiveFile::Load) and saves every change back to it.
  explicit TreeHive(std::unique_ptr<HiveFile> file);

  std::optional<RegValue> Read(std::string_view keyPath, std::string_view valueName) const override;
  bool Write(std::string_view keyPath, std::string_view valueName,
             std::optional<RegValue> value) override;
  Deletion DeleteValue(std::string_view keyPath, std::string_view valueName) override;
  bool DeleteKey(std::string_view parentPath, std::string_view subkeyName) override;
  // A failed save leaves the hive unsaved, so the next one tries again.
  void Save() override;
  bool HasUnsavedChanges() const override { return dirty_ && file_ != nullptr; }

 private:
  KeyTree tree_;
  std::unique_ptr<HiveFile> file_;  // null: memory only
  bool dirty_ = false;
};

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_TREEHIVE_H_
