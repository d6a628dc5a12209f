// The keys and values of one hive in memory. Names compare without regard to
// ASCII case and keep the case they were first stored with; keys and values are
// listed in the order they were first created, as the file keeps them.
#ifndef TORVANE_APP_SETTINGS_KEYTREE_H_
#define TORVANE_APP_SETTINGS_KEYTREE_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "RegValue.h"

namespace torvane {

// Orders names as the registry compares them: ASCII letters without case.
struct NameLess {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};
bool NamesEqual(std::string_view a, std::string_view b);

class RegKey {
 public:
  explicit RegKey(std::string name) : name_(std::move(name)) {}

  // The name as first created; "" for the hive's root.
  const std::string& Name() const { return name_; }

  // "" names the default value. Returned pointers live until the value or key is removed.
  const RegValue* FindValue(std::string_view name) const;
  // True when this changed what the key holds.
  bool SetValue(std::string_view name, RegValue value);
  bool RemoveValue(std::string_view name);
  size_t ValueCount() const { return values_.size(); }

  RegKey* FindSubkey(std::string_view name);
  const RegKey* FindSubkey(std::string_view name) const;
  // The existing subkey of that name, or a new empty one (*created tells which).
  RegKey& CreateSubkey(std::string_view name, bool* created = nullptr);
  // Removes the subkey with everything below it; true when it existed.
  bool RemoveSubkey(std::string_view name);
  size_t SubkeyCount() const { return subkeys_.size(); }

  // In creation order; the pointers stay valid until the key changes.
  std::vector<std::pair<const std::string*, const RegValue*>> Values() const;
  std::vector<const RegKey*> Subkeys() const;

  // Same names (compared as the registry does), values and subkeys, in any order.
  bool SameContent(const RegKey& other) const;

 private:
  struct ValueSlot {
    RegValue value;
    uint64_t order;
  };
  struct KeySlot {
    std::unique_ptr<RegKey> key;
    uint64_t order;
  };

  std::string name_;
  std::map<std::string, ValueSlot, NameLess> values_;
  std::map<std::string, KeySlot, NameLess> subkeys_;
  uint64_t nextOrder_ = 0;
};

// A hive. Paths name keys relative to the root, components separated by '\';
// empty components (a leading, doubled or trailing '\') are skipped.
class KeyTree {
 public:
  KeyTree() : root_(std::make_unique<RegKey>("")) {}

  RegKey& Root() { return *root_; }
  const RegKey& Root() const { return *root_; }

  // nullptr when some key along the path is missing.
  RegKey* FindKey(std::string_view path);
  const RegKey* FindKey(std::string_view path) const;
  // Opens the key, creating it and any missing parents; *created tells whether
  // anything was created. nullptr when a component holds a line break, which no
  // settings file can keep in a key name.
  RegKey* CreateKey(std::string_view path, bool* created = nullptr);
  // Removes subkeyPath (relative to parentPath) with everything below it; true
  // when it existed. An empty subkeyPath removes nothing.
  bool DeleteKey(std::string_view parentPath, std::string_view subkeyPath);

  bool SameContent(const KeyTree& other) const { return root_->SameContent(*other.root_); }

 private:
  std::unique_ptr<RegKey> root_;
};

// A value or key name that a settings file can hold: anything but a line break.
bool IsStorableName(std::string_view name);

// Splits a key path at '\', skipping empty components.
std::vector<std::string_view> SplitKeyPath(std::string_view path);

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_KEYTREE_H_
