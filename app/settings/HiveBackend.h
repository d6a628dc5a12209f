// Where one hive's keys and values live: in memory with an optional settings
// file, or (on Windows) in the system registry. The store above checks names
// and converts values; a back-end keeps RegValues.
#ifndef TORVANE_APP_SETTINGS_HIVEBACKEND_H_
#define TORVANE_APP_SETTINGS_HIVEBACKEND_H_

#include <optional>
#include <string_view>

#include "RegValue.h"

namespace torvane {

class HiveBackend {
 public:
  virtual ~HiveBackend() = default;

  // nullopt when the key or value is missing or cannot be read.
  virtual std::optional<RegValue> Read(std::string_view keyPath,
                                       std::string_view valueName) const = 0;
  // Creates or opens the key (with missing parents), then stores value unless it
  // is nullopt. True when this changed the hive.
  virtual bool Write(std::string_view keyPath, std::string_view valueName,
                     std::optional<RegValue> value) = 0;

  struct Deletion {
    bool deleted = false;  // the value existed and is gone
    bool changed = false;  // that, or opening the key created it
  };
  // Opens the key as a write does, then deletes the value.
  virtual Deletion DeleteValue(std::string_view keyPath, std::string_view valueName) = 0;
  // Deletes subkeyName below parentPath with all it holds; true when it existed.
  virtual bool DeleteKey(std::string_view parentPath, std::string_view subkeyName) = 0;

  // Puts the changes made so far where they outlast the program. A back-end
  // that writes through does nothing.
  virtual void Save() {}
  // True while a change has not reached where it persists.
  virtual bool HasUnsavedChanges() const { return false; }
};

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_HIVEBACKEND_H_
