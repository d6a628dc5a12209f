#include <windows.h>

#include <utility>
#include <vector>

#include "Registry.h"

namespace torvane {
namespace {

// Query, set, create subkey, enumerate subkeys, notify, create link.
constexpr REGSAM kSettingsAccess = 0x3F;

HKEY AsKey(uintptr_t handle) { return reinterpret_cast<HKEY>(handle); }

// Joins the non-empty components with single backslashes: the registry refuses
// a leading one, while the store's callers may write "Key\" or "\Key".
std::string NormalPath(std::string_view path) {
  std::string normal;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) {
      if (!normal.empty()) normal += '\\';
      normal.append(path.substr(start, end - start));
    }
    start = end + 1;
  }
  return normal;
}

class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  HKEY* Out() { return &key_; }
  HKEY Get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

bool CreateKey(const RegistryRoot& root, std::string_view keyPath, OpenKey* key, bool* created) {
  if (!root.Valid()) return false;
  DWORD disposition = 0;
  const LONG rc =
      RegCreateKeyExA(AsKey(root.Handle()), NormalPath(keyPath).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, kSettingsAccess, nullptr, key->Out(), &disposition);
  if (rc != ERROR_SUCCESS) return false;
  if (created != nullptr) *created = disposition == REG_CREATED_NEW_KEY;
  return true;
}

// Deletes every key below key, deepest first: the system deletes only keys
// without subkeys.
void DeleteSubkeysOf(HKEY key) {
  for (;;) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return;
    }
    OpenKey child;
    if (RegOpenKeyExA(key, name, 0, kSettingsAccess, child.Out()) != ERROR_SUCCESS) return;
    DeleteSubkeysOf(child.Get());
    if (RegDeleteKeyA(key, name) != ERROR_SUCCESS) return;
  }
}

}  // namespace

RegistryRoot RegistryRoot::CurrentUser() {
  return RegistryRoot(reinterpret_cast<uintptr_t>(HKEY_CURRENT_USER), false);
}

RegistryRoot RegistryRoot::ClassesRoot() {
  return RegistryRoot(reinterpret_cast<uintptr_t>(HKEY_CLASSES_ROOT), false);
}

RegistryRoot RegistryRoot::CreateBelowCurrentUser(std::string_view path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, NormalPath(path).c_str(), 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return RegistryRoot(0, false);
  }
  return RegistryRoot(reinterpret_cast<uintptr_t>(key), true);
}

RegistryRoot::RegistryRoot(RegistryRoot&& other) noexcept
    : handle_(std::exchange(other.handle_, 0)), owned_(std::exchange(other.owned_, false)) {}

RegistryRoot& RegistryRoot::operator=(RegistryRoot&& other) noexcept {
  if (this != &other) {
    if (owned_) RegCloseKey(AsKey(handle_));
    handle_ = std::exchange(other.handle_, 0);
    owned_ = std::exchange(other.owned_, false);
  }
  return *this;
}

RegistryRoot::~RegistryRoot() {
  if (owned_) RegCloseKey(AsKey(handle_));
}

bool RegistryWrite(const RegistryRoot& root, std::string_view keyPath, std::string_view valueName,
                   const RegistryData* data, bool* created) {
  OpenKey key;
  if (!CreateKey(root, keyPath, &key, created)) return false;
  if (data == nullptr) return true;
  const std::string name(valueName);
  // The string's own NUL follows the data, so the system finds the terminator
  // it adds to a REG_SZ given without one.
  return RegSetValueExA(key.Get(), name.c_str(), 0, data->type,
                        reinterpret_cast<const BYTE*>(data->bytes.c_str()),
                        static_cast<DWORD>(data->bytes.size())) == ERROR_SUCCESS;
}

std::optional<RegistryData> RegistryRead(const RegistryRoot& root, std::string_view keyPath,
                                         std::string_view valueName) {
  if (!root.Valid()) return std::nullopt;
  OpenKey key;
  if (RegOpenKeyExA(AsKey(root.Handle()), NormalPath(keyPath).c_str(), 0, kSettingsAccess,
                    key.Out()) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  const std::string name(valueName);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::vector<BYTE> buffer(size + 1);
  if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, buffer.data(), &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegistryData data{type, std::string(reinterpret_cast<const char*>(buffer.data()), size)};
  // Only a terminator is dropped: a text stored without one keeps its last character.
  if (type == REG_SZ && !data.bytes.empty() && data.bytes.back() == '\0') data.bytes.pop_back();
  return data;
}

bool RegistryDeleteValue(const RegistryRoot& root, std::string_view keyPath,
                         std::string_view valueName, bool* created) {
  OpenKey key;
  if (!CreateKey(root, keyPath, &key, created)) return false;
  const std::string name(valueName);
  return RegDeleteValueA(key.Get(), name.c_str()) == ERROR_SUCCESS;
}

bool RegistryDeleteKey(const RegistryRoot& root, std::string_view parentPath,
                       std::string_view subkeyName) {
  const std::string subkey = NormalPath(subkeyName);
  if (!root.Valid() || subkey.empty()) return false;
  OpenKey parent;
  if (RegOpenKeyExA(AsKey(root.Handle()), NormalPath(parentPath).c_str(), 0, KEY_CREATE_SUB_KEY,
                    parent.Out()) != ERROR_SUCCESS) {
    return false;
  }
  {
    OpenKey doomed;
    if (RegOpenKeyExA(parent.Get(), subkey.c_str(), 0, kSettingsAccess, doomed.Out()) !=
        ERROR_SUCCESS) {
      return false;
    }
    DeleteSubkeysOf(doomed.Get());
  }
  return RegDeleteKeyA(parent.Get(), subkey.c_str()) == ERROR_SUCCESS;
}

}  // namespace torvane
