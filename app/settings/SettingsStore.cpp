#include "SettingsStore.h"

#include <array>
#include <optional>
#include <utility>

#include "HiveBackend.h"
#include "HiveFile.h"
#include "KeyTree.h"
#include "RegValue.h"
#include "TreeHive.h"

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
  std::array<std::unique_ptr<HiveBackend>, 2> hives;
  std::array<uint64_t, 2> revisions{};
  int batchDepth = 0;

  static size_t IndexOf(Hive hive) { return hive == Hive::kClassesRoot ? 1 : 0; }
  HiveBackend& Of(Hive hive) { return *hives[IndexOf(hive)]; }
  const HiveBackend& Of(Hive hive) const { return *hives[IndexOf(hive)]; }

  static std::unique_ptr<HiveBackend> OpenTree(const std::string& path, const char* hiveName,
                                               bool readOnly) {
    if (path.empty()) return std::make_unique<TreeHive>();
    return std::make_unique<TreeHive>(std::make_unique<HiveFile>(path, hiveName, readOnly));
  }

  void Changed(Hive hive) {
    ++revisions[IndexOf(hive)];
    if (batchDepth == 0) Of(hive).Save();
  }

  void Write(Hive hive, std::string_view keyPath, std::string_view valueName,
             std::optional<RegValue> value) {
    // No settings file could keep a line break in a name, so no back-end takes one.
    if (!IsStorableName(keyPath) || !IsStorableName(valueName)) return;
    // As the registry does, the key is created even when the type stores nothing.
    if (Of(hive).Write(keyPath, valueName, std::move(value))) Changed(hive);
  }
};

SettingsStore::SettingsStore(HiveFiles files) : impl_(std::make_unique<Impl>()) {
  impl_->hives[0] = Impl::OpenTree(files.currentUser, kCurrentUserName, files.readOnly);
  impl_->hives[1] = Impl::OpenTree(files.classesRoot, kClassesRootName, files.readOnly);
}

SettingsStore::SettingsStore(std::unique_ptr<HiveBackend> currentUser,
                             std::unique_ptr<HiveBackend> classesRoot)
    : impl_(std::make_unique<Impl>()) {
  impl_->hives[0] = std::move(currentUser);
  impl_->hives[1] = std::move(classesRoot);
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
  const std::optional<RegValue> value = impl_->Of(hive).Read(keyPath, valueName);
  if (!value) return std::string(kNoKeyValue);
  std::optional<std::string> text = ValueToText(*value);
  return text ? std::move(*text) : std::string(kNoKeyValue);
}

bool SettingsStore::DeleteValue(std::string_view keyPath, std::string_view valueName, Hive hive) {
  if (!IsStorableName(keyPath)) return false;
  const HiveBackend::Deletion result = impl_->Of(hive).DeleteValue(keyPath, valueName);
  if (result.changed) impl_->Changed(hive);
  return result.deleted;
}

bool SettingsStore::DeleteKey(std::string_view parentPath, std::string_view subkeyName, Hive hive) {
  if (!impl_->Of(hive).DeleteKey(parentPath, subkeyName)) return false;
  impl_->Changed(hive);
  return true;
}

uint64_t SettingsStore::Revision(Hive hive) const { return impl_->revisions[Impl::IndexOf(hive)]; }

void SettingsStore::Flush() {
  for (auto& hive : impl_->hives) hive->Save();
}

bool SettingsStore::HasUnsavedChanges() const {
  return HasUnsavedChanges(Hive::kCurrentUser) || HasUnsavedChanges(Hive::kClassesRoot);
}

bool SettingsStore::HasUnsavedChanges(Hive hive) const {
  return impl_->Of(hive).HasUnsavedChanges();
}

SettingsStore::Batch::Batch(SettingsStore& store) : store_(store) { ++store_.impl_->batchDepth; }

SettingsStore::Batch::~Batch() {
  if (--store_.impl_->batchDepth == 0) store_.Flush();
}

}  // namespace torvane
