#include "SettingsStore.h"

#include <array>
#include <optional>
#include <utility>

#include "HiveFile.h"
#include "KeyTree.h"
#include "RegValue.h"

namespace torvane {
namespace {

constexpr const char* kCurrentUserName = "HKEY_CURRENT_USER";
constexpr const char* kClassesRootName = "HKEY_CLASSES_ROOT";

}  // namespace

HiveFiles HiveFiles::InFolder(const std::string& folder) {
  HiveFiles files;
  files.currentUser = folder + "/" + kCurrentUserName + ".reg";
  files.classesRoot = folder + "/" + kClassesRootName + ".reg";
  return files;
}

struct SettingsStore::Impl {
  struct HiveState {
    KeyTree tree;
    std::unique_ptr<HiveFile> file;  // null: memory only
    uint64_t revision = 0;
    bool dirty = false;
  };

  std::array<HiveState, 2> hives;
  int batchDepth = 0;

  HiveState& Of(Hive hive) { return hives[hive == Hive::kClassesRoot ? 1 : 0]; }
  const HiveState& Of(Hive hive) const { return hives[hive == Hive::kClassesRoot ? 1 : 0]; }

  void Open(Hive hive, const std::string& path, const char* hiveName, bool readOnly) {
    if (path.empty()) return;
    HiveState& state = Of(hive);
    state.file = std::make_unique<HiveFile>(path, hiveName, readOnly);
    state.tree = state.file->Load();
  }

  void Changed(HiveState& state) {
    ++state.revision;
    state.dirty = true;
    if (batchDepth == 0) Save(state);
  }

  // A failed save leaves the hive dirty, so the next flush tries again.
  static void Save(HiveState& state) {
    if (!state.dirty) return;
    if (state.file == nullptr || state.file->Save(state.tree)) state.dirty = false;
  }

  void Write(Hive hive, std::string_view keyPath, std::string_view valueName,
             std::optional<RegValue> value) {
    if (!IsStorableName(valueName)) return;
    HiveState& state = Of(hive);
    // As the registry does, the key is created even when the type stores nothing.
    bool changed = false;
    RegKey* key = state.tree.CreateKey(keyPath, &changed);
    if (key == nullptr) return;
    if (value && key->SetValue(valueName, std::move(*value))) changed = true;
    if (changed) Changed(state);
  }
};

SettingsStore::SettingsStore(HiveFiles files) : impl_(std::make_unique<Impl>()) {
  impl_->Open(Hive::kCurrentUser, files.currentUser, kCurrentUserName, files.readOnly);
  impl_->Open(Hive::kClassesRoot, files.classesRoot, kClassesRootName, files.readOnly);
}

SettingsStore::~SettingsStore() { Flush(); }

void SettingsStore::WriteSetting(std::string_view keyPath, std::string_view valueName,
                                 std::string_view value, int valueType, Hive hive) {
  impl_->Write(hive, keyPath, valueName, ValueFromText(value, valueType));
}

void SettingsStore::WriteSetting(std::string_view keyPath, std::string_view valueName,
                                 int32_t value, int valueType, Hive hive) {
  impl_->Write(hive, keyPath, valueName, ValueFromNumber(value, valueType));
}

std::string SettingsStore::ReadSetting(std::string_view keyPath, std::string_view valueName,
                                       Hive hive) const {
  const RegKey* key = impl_->Of(hive).tree.FindKey(keyPath);
  const RegValue* value = key == nullptr ? nullptr : key->FindValue(valueName);
  if (value == nullptr) return std::string(kNoKeyValue);
  std::optional<std::string> text = ValueToText(*value);
  return text ? std::move(*text) : std::string(kNoKeyValue);
}

bool SettingsStore::DeleteValue(std::string_view keyPath, std::string_view valueName, Hive hive) {
  Impl::HiveState& state = impl_->Of(hive);
  // The key is opened as for a write, so a missing one is created.
  bool created = false;
  RegKey* key = state.tree.CreateKey(keyPath, &created);
  const bool deleted = key != nullptr && key->RemoveValue(valueName);
  if (created || deleted) impl_->Changed(state);
  return deleted;
}

bool SettingsStore::DeleteKey(std::string_view parentPath, std::string_view subkeyName, Hive hive) {
  Impl::HiveState& state = impl_->Of(hive);
  if (!state.tree.DeleteKey(parentPath, subkeyName)) return false;
  impl_->Changed(state);
  return true;
}

uint64_t SettingsStore::Revision(Hive hive) const { return impl_->Of(hive).revision; }

void SettingsStore::Flush() {
  for (auto& state : impl_->hives) Impl::Save(state);
}

bool SettingsStore::HasUnsavedChanges() const {
  return HasUnsavedChanges(Hive::kCurrentUser) || HasUnsavedChanges(Hive::kClassesRoot);
}

bool SettingsStore::HasUnsavedChanges(Hive hive) const {
  const Impl::HiveState& state = impl_->Of(hive);
  return state.dirty && state.file != nullptr;
}

SettingsStore::Batch::Batch(SettingsStore& store) : store_(store) { ++store_.impl_->batchDepth; }

SettingsStore::Batch::~Batch() {
  if (--store_.impl_->batchDepth == 0) store_.Flush();
}

}  // namespace torvane
