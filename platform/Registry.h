// The Windows registry, as the settings store's Windows back-end uses it. Each
// call opens the key it needs and closes it again; failures are results, never
// reports. Key paths are relative to a root key, components separated by '\'
// (empty components are skipped). Built on Windows only.
#ifndef TORVANE_PLATFORM_REGISTRY_H_
#define TORVANE_PLATFORM_REGISTRY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

// The key a hive is rooted at: HKEY_CURRENT_USER, HKEY_CLASSES_ROOT, or a key
// of its own below HKEY_CURRENT_USER (a test's scratch key).
class RegistryRoot {
 public:
  static RegistryRoot CurrentUser();
  static RegistryRoot ClassesRoot();
  // Creates or opens path below HKEY_CURRENT_USER and keeps it open; an invalid
  // root when that fails.
  static RegistryRoot CreateBelowCurrentUser(std::string_view path);

  RegistryRoot(RegistryRoot&& other) noexcept;
  RegistryRoot& operator=(RegistryRoot&& other) noexcept;
  RegistryRoot(const RegistryRoot&) = delete;
  RegistryRoot& operator=(const RegistryRoot&) = delete;
  ~RegistryRoot();

  bool Valid() const { return handle_ != 0; }
  uintptr_t Handle() const { return handle_; }

 private:
  RegistryRoot(uintptr_t handle, bool owned) : handle_(handle), owned_(owned) {}
  uintptr_t handle_ = 0;
  bool owned_ = false;
};

// A value's type and bytes; for type 1 the text without its terminating NUL.
struct RegistryData {
  uint32_t type = 0;
  std::string bytes;
};

// Creates the key, or opens it (non-volatile, access 0x3F, missing parents
// created); *created tells whether it is new. Then stores data unless it is
// null, type 1 with the number of characters as its length (the system adds
// the NUL). False when the key could not be opened or the value not stored.
bool RegistryWrite(const RegistryRoot& root, std::string_view keyPath, std::string_view valueName,
                   const RegistryData* data, bool* created);

// The value's type and bytes, read by size first; nullopt when the key or value
// is missing or cannot be read.
std::optional<RegistryData> RegistryRead(const RegistryRoot& root, std::string_view keyPath,
                                         std::string_view valueName);

// Opens the key as a write does, then deletes the value; true when it was deleted.
bool RegistryDeleteValue(const RegistryRoot& root, std::string_view keyPath,
                         std::string_view valueName, bool* created);

// Deletes subkeyName below parentPath with every key below it; true when it
// existed and is gone. An empty subkeyName deletes nothing.
bool RegistryDeleteKey(const RegistryRoot& root, std::string_view parentPath,
                       std::string_view subkeyName);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_REGISTRY_H_
