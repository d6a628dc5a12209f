#include "RegistryHive.h"

namespace torvane {
namespace {

// Lower case, no empty components.
std::string Normal(std::string_view path) {
  std::string out;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (!part.empty()) {
      if (!out.empty()) out += '\\';
      for (char c : part) out += (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
    }
    start = end + 1;
  }
  return out;
}

}  // namespace

std::optional<std::string> MemoryHive::ReadValue(std::string_view key,
                                                 std::string_view name) const {
  auto found = keys_.find(Normal(key));
  if (found == keys_.end()) return std::nullopt;
  auto value = found->second.find(Normal(name));
  if (value == found->second.end() || value->second.empty()) return std::nullopt;
  return value->second;
}

void MemoryHive::CreateKey(std::string_view key) {
  std::string path = Normal(key);
  while (!path.empty()) {
    keys_.try_emplace(path);
    size_t slash = path.rfind('\\');
    path = slash == std::string::npos ? std::string() : path.substr(0, slash);
  }
}

void MemoryHive::WriteValue(std::string_view key, std::string_view name, std::string_view value) {
  CreateKey(key);
  keys_[Normal(key)][Normal(name)] = value;
}

void MemoryHive::DeleteValue(std::string_view key, std::string_view name) {
  auto found = keys_.find(Normal(key));
  if (found != keys_.end()) found->second.erase(Normal(name));
}

void MemoryHive::DeleteKey(std::string_view key) {
  std::string path = Normal(key);
  if (path.empty()) return;
  std::string below = path + '\\';
  for (auto it = keys_.begin(); it != keys_.end();) {
    if (it->first == path || it->first.starts_with(below)) {
      it = keys_.erase(it);
    } else {
      ++it;
    }
  }
}

bool MemoryHive::KeyExists(std::string_view key) const { return keys_.contains(Normal(key)); }

}  // namespace torvane
