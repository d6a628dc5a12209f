// The settings: two hives of keys and values, each kept in memory and persisted
// as a REGEDIT4 text file, or on Windows held in the system registry. Text
// values hold the system's single-byte (Windows-1252) text; the files hold UTF-8.
#ifndef TORVANE_APP_SETTINGS_SETTINGSSTORE_H_
#define TORVANE_APP_SETTINGS_SETTINGSSTORE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace torvane {

enum class Hive { kCurrentUser, kClassesRoot };

// What a read returns for a missing, empty or unreadable value.
inline constexpr std::string_view kNoKeyValue = "No Key Value";

// Value types of WriteSetting; any other type stores nothing.
inline constexpr int kRegSz = 1;
inline constexpr int kRegDword = 4;
inline constexpr int kRegDate = 8;

// Where each hive lives. An empty path keeps that hive in memory only. With
// readOnly the files are loaded but never written (tools that must not touch
// the operator's settings).
struct HiveFiles {
  std::string currentUser;
  std::string classesRoot;
  bool readOnly = false;

  // HKEY_CURRENT_USER.reg and HKEY_CLASSES_ROOT.reg in folder.
  static HiveFiles InFolder(const std::string& folder);
  // Both hives in memory only.
  static HiveFiles None() { return {}; }
};

class HiveBackend;

class SettingsStore {
 public:
  // Loads both hives. A file that cannot be parsed is renamed aside
  // (<file>.bad-<UTC timestamp>), reported on stderr with the failing line, and
  // the hive starts empty; a missing file is an empty hive. A file that cannot
  // be read or set aside is reported and left alone: that hive starts empty and
  // its changes stay unsaved until the file has been moved away.
  explicit SettingsStore(HiveFiles files = HiveFiles::None());
  // Hives kept by the back-ends given (the Windows registry).
  SettingsStore(std::unique_ptr<HiveBackend> currentUser, std::unique_ptr<HiveBackend> classesRoot);
  ~SettingsStore();  // flushes
  SettingsStore(const SettingsStore&) = delete;
  SettingsStore& operator=(const SettingsStore&) = delete;

  // Key paths are relative to the hive, components separated by '\', with or
  // without a trailing '\'. Key and value names compare without regard to ASCII
  // case and keep the case they were first written with. "" names the default value.
  // Type 1 stores text; type 4 a 32-bit number (text is taken as its decimal
  // value, 0 when not numeric); type 8 a date (an OLE date number: days since
  // 1899-12-30; as text either such a number or "YYYY-MM-DD[ HH:MM[:SS]]", anything
  // else stores nothing). Any other type stores nothing, but the key is created as
  // the registry does. A key path or value name holding a line break stores
  // nothing: no settings file could keep it. Failures are silent.
  void WriteSetting(std::string_view keyPath, std::string_view valueName, std::string_view value,
                    int valueType, Hive hive = Hive::kCurrentUser);
  void WriteSetting(std::string_view keyPath, std::string_view valueName, int32_t value,
                    int valueType, Hive hive = Hive::kCurrentUser);

  // The value as text (type 4 as signed decimal, type 8 as "YYYY-MM-DD HH:MM:SS"),
  // or kNoKeyValue for a missing key or value, an empty text, any other type, or
  // data that cannot be read as its type.
  std::string ReadSetting(std::string_view keyPath, std::string_view valueName,
                          Hive hive = Hive::kCurrentUser) const;

  // True when the value existed and was deleted. The key is opened as for a
  // write, so a missing key is created.
  bool DeleteValue(std::string_view keyPath, std::string_view valueName,
                   Hive hive = Hive::kCurrentUser);
  // Deletes subkeyName below parentPath with all it holds; true when it existed.
  bool DeleteKey(std::string_view parentPath, std::string_view subkeyName,
                 Hive hive = Hive::kCurrentUser);

  // Counts every change of the hive; a reader that cached values can compare it
  // to know whether anything may have changed since.
  uint64_t Revision(Hive hive = Hive::kCurrentUser) const;

  // Saves every changed hive atomically (temporary file, fsync, rename). An
  // unwritable folder, or a file left alone at load, is reported once on stderr;
  // the store keeps running from memory.
  void Flush();

  // True while a change of a hive with a file is not on disk yet: inside a Batch,
  // or because the last save failed or was refused (a file left alone at load).
  // Never for memory-only or read-only hives.
  // Callers that must tell the operator whether a write reached the disk call
  // Flush() first, then ask about the hive they wrote.
  bool HasUnsavedChanges() const;
  bool HasUnsavedChanges(Hive hive) const;

  // While at least one Batch is alive, changes are only marked; the outermost
  // Batch flushes when it ends. Outside any Batch every change is saved at once.
  class Batch {
   public:
    explicit Batch(SettingsStore& store);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    SettingsStore& store_;
  };

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_SETTINGSSTORE_H_
