// The registry back-end as the system itself sees it: types, sizes and bytes
// read with the registry's own calls, beside what the store makes of values
// that other programs wrote.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "SettingsKeys.h"
#include "SettingsStore.h"
#include "StoreUnderTest.h"

namespace torvane {
namespace {

const std::string kNoValue(kNoKeyValue);

struct RawValue {
  DWORD type = 0;
  std::string bytes;
};

class SystemRegistryHiveTest : public testing::Test {
 protected:
  SettingsStore& Store() { return under_.Store(); }

  std::string KeyOf(std::string_view keyPath) const {
    std::string key = under_.CurrentUserKey() + "\\" + std::string(keyPath);
    if (key.back() == '\\') key.pop_back();
    return key;
  }

  // Type and bytes exactly as stored, terminator included.
  RawValue Raw(std::string_view keyPath, const char* valueName) const {
    HKEY key = nullptr;
    RawValue raw;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, KeyOf(keyPath).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
      ADD_FAILURE() << "no key " << keyPath;
      return raw;
    }
    DWORD size = 0;
    if (RegQueryValueExA(key, valueName, nullptr, &raw.type, nullptr, &size) == ERROR_SUCCESS) {
      raw.bytes.resize(size);
      RegQueryValueExA(key, valueName, nullptr, &raw.type,
                       reinterpret_cast<BYTE*>(raw.bytes.data()), &size);
      raw.bytes.resize(size);
    } else {
      ADD_FAILURE() << "no value " << valueName;
    }
    RegCloseKey(key);
    return raw;
  }

  // Stores bytes as another program might: the length given, nothing added.
  void SetRaw(std::string_view keyPath, const char* valueName, DWORD type, const void* data,
              DWORD size) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, KeyOf(keyPath).c_str(), 0, nullptr, 0,
                              KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(RegSetValueExA(key, valueName, 0, type, static_cast<const BYTE*>(data), size),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }

 private:
  StoreUnderTest under_{"Registry"};
};

TEST_F(SystemRegistryHiveTest, ValuesAreStoredWithTheTypesAndSizesTheSystemKeeps) {
  Store().WriteSetting(kMainKey, kVenueId, "3", kRegSz);
  Store().WriteSetting(kMainKey, kPageDelay, "ET 7.1  ", kRegSz);
  Store().WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);
  Store().WriteSetting(kMainKey, "When", "45000.5", kRegDate);

  EXPECT_EQ(Raw(kMainKey, "VenueID").type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(Raw(kMainKey, "VenueID").bytes, std::string("3\0", 2)) << "the system adds the NUL";
  EXPECT_EQ(Raw(kMainKey, "PageDelay").bytes, std::string("ET 7.1  \0", 9));

  const RawValue delay = Raw(kMainKey, "DelayEverything");
  EXPECT_EQ(delay.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(delay.bytes, std::string(4, '\0'));

  const RawValue when = Raw(kMainKey, "When");
  EXPECT_EQ(when.type, 8u);
  ASSERT_EQ(when.bytes.size(), 8u);
  double date = 0;
  std::memcpy(&date, when.bytes.data(), sizeof date);
  EXPECT_EQ(date, 45000.5);
}

struct ForeignValueCase {
  const char* name;
  DWORD type;
  std::string bytes;     // stored with exactly this length
  std::string expected;  // what the store reads
};

TEST_F(SystemRegistryHiveTest, ValuesOtherProgramsWroteReadAsTheirTypeSays) {
  const ForeignValueCase cases[] = {
      {"TextWithItsNul", REG_SZ, std::string("Pro\0", 4), "Pro"},
      // Reading size minus one would lose the last letter of a text stored
      // without its terminator.
      {"TextWithoutNul", REG_SZ, "Pro", "Pro"},
      {"EmptyText", REG_SZ, std::string("\0", 1), kNoValue},
      {"NoBytesAtAll", REG_SZ, "", kNoValue},
      {"Dword", REG_DWORD, std::string("\x2A\0\0\0", 4), "42"},
      {"ShortDword", REG_DWORD, std::string("\x2A\0", 2), kNoValue},
      {"ExpandText", REG_EXPAND_SZ, std::string("%TEMP%\0", 7), kNoValue},
      {"Binary", REG_BINARY, "\x01\x02", kNoValue},
      {"MultiText", REG_MULTI_SZ, std::string("a\0b\0\0", 5), kNoValue},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // A byte after the data that is not NUL keeps the system from adding one.
    const std::string buffer = c.bytes + "X";
    SetRaw(kMainKey, c.name, c.type, buffer.data(), static_cast<DWORD>(c.bytes.size()));
    EXPECT_EQ(Store().ReadSetting(kMainKey, c.name), c.expected);
  }
}

TEST_F(SystemRegistryHiveTest, EveryByteFrom32To255RoundTripsThroughTheAnsiCodePage) {
  std::string text;
  for (int byte = 32; byte <= 255; ++byte) text += static_cast<char>(byte);
  Store().WriteSetting(kMainKey, "AllBytes", text, kRegSz);
  EXPECT_EQ(Store().ReadSetting(kMainKey, "AllBytes"), text);
}

TEST_F(SystemRegistryHiveTest, DeletingAPageKeyTakesTheKeysBelowIt) {
  // The system deletes only keys without subkeys; page 2 holds one per category.
  Store().WriteSetting(PageKey(2), kTitle, "Ladder", kRegSz);
  Store().WriteSetting(CategoryKey("Super Pro"), "Class", "SP", kRegSz);
  Store().WriteSetting(CategoryKey("Super Pro") + "Deeper\\", "x", "y", kRegSz);
  EXPECT_TRUE(Store().DeleteKey(kPageSettingsKey, "2"));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, KeyOf(PageKey(2)).c_str(), 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
}

}  // namespace
}  // namespace torvane
