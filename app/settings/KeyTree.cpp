#include "KeyTree.h"

#include <algorithm>

namespace torvane {
namespace {

unsigned char FoldAscii(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'A' && byte <= 'Z' ? static_cast<unsigned char>(byte + ('a' - 'A')) : byte;
}

// Calls visit(component) for each non-empty component of path; stops early and
// returns false when visit does.
template <typename Visit>
bool ForEachComponent(std::string_view path, Visit visit) {
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start && !visit(path.substr(start, end - start))) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace

bool NameLess::operator()(std::string_view a, std::string_view b) const {
  const size_t common = std::min(a.size(), b.size());
  for (size_t i = 0; i < common; ++i) {
    const unsigned char ca = FoldAscii(a[i]);
    const unsigned char cb = FoldAscii(b[i]);
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

bool IsStorableName(std::string_view name) { return name.find('\n') == std::string_view::npos; }

std::vector<std::string_view> SplitKeyPath(std::string_view path) {
  std::vector<std::string_view> components;
  ForEachComponent(path, [&](std::string_view component) {
    components.push_back(component);
    return true;
  });
  return components;
}

const RegValue* RegKey::FindValue(std::string_view name) const {
  const auto it = values_.find(name);
  return it == values_.end() ? nullptr : &it->second.value;
}

bool RegKey::SetValue(std::string_view name, RegValue value) {
  const auto it = values_.find(name);
  if (it != values_.end()) {
    if (it->second.value == value) return false;
    it->second.value = std::move(value);
    return true;
  }
  values_.emplace(std::string(name), ValueSlot{std::move(value), nextOrder_++});
  return true;
}

bool RegKey::RemoveValue(std::string_view name) {
  const auto it = values_.find(name);
  if (it == values_.end()) return false;
  values_.erase(it);
  return true;
}

RegKey* RegKey::FindSubkey(std::string_view name) {
  const auto it = subkeys_.find(name);
  return it == subkeys_.end() ? nullptr : it->second.key.get();
}

const RegKey* RegKey::FindSubkey(std::string_view name) const {
  const auto it = subkeys_.find(name);
  return it == subkeys_.end() ? nullptr : it->second.key.get();
}

RegKey& RegKey::CreateSubkey(std::string_view name, bool* created) {
  auto it = subkeys_.find(name);
  const bool isNew = it == subkeys_.end();
  if (isNew) {
    it = subkeys_
             .emplace(std::string(name),
                      KeySlot{std::make_unique<RegKey>(std::string(name)), nextOrder_++})
             .first;
  }
  if (created != nullptr) *created = isNew;
  return *it->second.key;
}

bool RegKey::RemoveSubkey(std::string_view name) {
  const auto it = subkeys_.find(name);
  if (it == subkeys_.end()) return false;
  subkeys_.erase(it);
  return true;
}

std::vector<std::pair<const std::string*, const RegValue*>> RegKey::Values() const {
  std::vector<std::pair<uint64_t, std::pair<const std::string*, const RegValue*>>> ordered;
  ordered.reserve(values_.size());
  for (const auto& [name, slot] : values_) ordered.push_back({slot.order, {&name, &slot.value}});
  std::sort(ordered.begin(), ordered.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<std::pair<const std::string*, const RegValue*>> result;
  result.reserve(ordered.size());
  for (const auto& entry : ordered) result.push_back(entry.second);
  return result;
}

std::vector<const RegKey*> RegKey::Subkeys() const {
  std::vector<std::pair<uint64_t, const RegKey*>> ordered;
  ordered.reserve(subkeys_.size());
  for (const auto& entry : subkeys_)
    ordered.push_back({entry.second.order, entry.second.key.get()});
  std::sort(ordered.begin(), ordered.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<const RegKey*> result;
  result.reserve(ordered.size());
  for (const auto& entry : ordered) result.push_back(entry.second);
  return result;
}

bool RegKey::SameContent(const RegKey& other) const {
  if (!NamesEqual(name_, other.name_) || values_.size() != other.values_.size() ||
      subkeys_.size() != other.subkeys_.size()) {
    return false;
  }
  for (const auto& [name, slot] : values_) {
    const RegValue* theirs = other.FindValue(name);
    if (theirs == nullptr || !(*theirs == slot.value)) return false;
  }
  for (const auto& [name, slot] : subkeys_) {
    const RegKey* theirs = other.FindSubkey(name);
    if (theirs == nullptr || !slot.key->SameContent(*theirs)) return false;
  }
  return true;
}

RegKey* KeyTree::FindKey(std::string_view path) {
  RegKey* key = root_.get();
  const bool found = ForEachComponent(path, [&](std::string_view component) {
    key = key->FindSubkey(component);
    return key != nullptr;
  });
  return found ? key : nullptr;
}

const RegKey* KeyTree::FindKey(std::string_view path) const {
  return const_cast<KeyTree*>(this)->FindKey(path);
}

RegKey* KeyTree::CreateKey(std::string_view path, bool* created) {
  if (created != nullptr) *created = false;
  if (!IsStorableName(path)) return nullptr;
  RegKey* key = root_.get();
  ForEachComponent(path, [&](std::string_view component) {
    bool isNew = false;
    key = &key->CreateSubkey(component, &isNew);
    if (isNew && created != nullptr) *created = true;
    return true;
  });
  return key;
}

bool KeyTree::DeleteKey(std::string_view parentPath, std::string_view subkeyPath) {
  const auto components = SplitKeyPath(subkeyPath);
  if (components.empty()) return false;
  RegKey* parent = FindKey(parentPath);
  for (size_t i = 0; parent != nullptr && i + 1 < components.size(); ++i) {
    parent = parent->FindSubkey(components[i]);
  }
  return parent != nullptr && parent->RemoveSubkey(components.back());
}

}  // namespace torvane
