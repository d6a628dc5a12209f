#include "TreeHive.h"

#include <utility>

namespace torvane {

TreeHive::TreeHive(std::unique_ptr<HiveFile> file) : file_(std::move(file)) {
  tree_ = file_->Load();
}

std::optional<RegValue> TreeHive::Read(std::string_view keyPath, std::string_view valueName) const {
  const RegKey* key = tree_.FindKey(keyPath);
  const RegValue* value = key == nullptr ? nullptr : key->FindValue(valueName);
  if (value == nullptr) return std::nullopt;
  return *value;
}

bool TreeHive::Write(std::string_view keyPath, std::string_view valueName,
                     std::optional<RegValue> value) {
  bool changed = false;
  RegKey* key = tree_.CreateKey(keyPath, &changed);
  if (key == nullptr) return false;
  if (value && key->SetValue(valueName, std::move(*value))) changed = true;
  dirty_ = dirty_ || changed;
  return changed;
}

HiveBackend::Deletion TreeHive::DeleteValue(std::string_view keyPath, std::string_view valueName) {
  Deletion result;
  RegKey* key = tree_.CreateKey(keyPath, &result.changed);
  result.deleted = key != nullptr && key->RemoveValue(valueName);
  result.changed = result.changed || result.deleted;
  dirty_ = dirty_ || result.changed;
  return result;
}

bool TreeHive::DeleteKey(std::string_view parentPath, std::string_view subkeyName) {
  if (!tree_.DeleteKey(parentPath, subkeyName)) return false;
  dirty_ = true;
  return true;
}

void TreeHive::Save() {
  if (!dirty_) return;
  if (file_ == nullptr || file_->Save(tree_)) dirty_ = false;
}

}  // namespace torvane
