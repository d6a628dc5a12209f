// The classes hive as the automation layer sees it: keys named by paths with
// '\' between components, each with text values ("" names the default value).
// MemoryHive keeps one in memory; the program's adapter keeps it in the
// settings store.
#ifndef TORVANE_PLATFORM_AUTOMATION_REGISTRYHIVE_H_
#define TORVANE_PLATFORM_AUTOMATION_REGISTRYHIVE_H_

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace torvane {

class RegistryHive {
 public:
  virtual ~RegistryHive() = default;
  // nullopt when the key or value is missing or the value is empty.
  virtual std::optional<std::string> ReadValue(std::string_view key,
                                               std::string_view name) const = 0;
  // Creates the key (and those above it) when missing.
  virtual void CreateKey(std::string_view key) = 0;
  virtual void WriteValue(std::string_view key, std::string_view name, std::string_view value) = 0;
  virtual void DeleteValue(std::string_view key, std::string_view name) = 0;
  // Removes the key with everything below it.
  virtual void DeleteKey(std::string_view key) = 0;
};

class MemoryHive : public RegistryHive {
 public:
  std::optional<std::string> ReadValue(std::string_view key, std::string_view name) const override;
  void CreateKey(std::string_view key) override;
  void WriteValue(std::string_view key, std::string_view name, std::string_view value) override;
  void DeleteValue(std::string_view key, std::string_view name) override;
  void DeleteKey(std::string_view key) override;

  bool KeyExists(std::string_view key) const;
  size_t KeyCount() const { return keys_.size(); }

 private:
  // Lower-cased key path -> (lower-cased value name -> value).
  std::map<std::string, std::map<std::string, std::string>> keys_;
};

}  // namespace torvane

#endif  // TORVANE_PLATFORM_AUTOMATION_REGISTRYHIVE_H_
