#include "SettingsStore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "SettingsKeys.h"
#include "StoreUnderTest.h"
#include "TempFolder.h"
#include "TickerList.h"

namespace torvane {
namespace {

const std::string kNoValue(kNoKeyValue);

// The same cases against every back-end of the store.
class StoreTest : public testing::TestWithParam<std::string> {
 protected:
  SettingsStore& Store() { return under_.Store(); }

 private:
  StoreUnderTest under_{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Backends, StoreTest, testing::ValuesIn(StoreBackendNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                           return info.param;
                         });

struct TextWriteCase {
  const char* name;
  std::string value;
  int type;
  std::string expected;  // what the read gives
};

class TextWriteTest : public testing::TestWithParam<TextWriteCase> {};

TEST_P(TextWriteTest, ReadsBackAsStated) {
  const auto& param = GetParam();
  for (const std::string& backend : StoreBackendNames()) {
    SCOPED_TRACE(backend);
    StoreUnderTest under(backend);
    under.Store().WriteSetting(kMainKey, "Value", param.value, param.type);
    EXPECT_EQ(under.Store().ReadSetting(kMainKey, "Value"), param.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Types, TextWriteTest,
    testing::Values(TextWriteCase{"Text", "Speedway", 1, "Speedway"},
                    TextWriteCase{"EmptyTextIsMissing", "", 1, kNoValue},
                    TextWriteCase{"TrailingSpacesKept", "  ET 7.123   ", 1, "  ET 7.123   "},
                    TextWriteCase{"ControlBytesKept", "a\tb\r\nc", 1, "a\tb\r\nc"},
                    TextWriteCase{"SingleSpace", " ", 1, " "},
                    TextWriteCase{"DwordFromText", "31", 4, "31"},
                    TextWriteCase{"DwordNegative", "-5", 4, "-5"},
                    TextWriteCase{"DwordZeroIsAValue", "0", 4, "0"},
                    TextWriteCase{"DwordNotNumericIsZero", "fast", 4, "0"},
                    TextWriteCase{"DwordUnsignedWraps", "4294967295", 4, "-1"},
                    TextWriteCase{"DwordTooLargeIsZero", "4294967296", 4, "0"},
                    TextWriteCase{"DateFromNumber", "45000.5", 8, "2023-03-15 12:00:00"},
                    TextWriteCase{"DateZeroIsTheEpoch", "0", 8, "1899-12-30 00:00:00"},
                    TextWriteCase{"DateBeforeTheEpoch", "-1.25", 8, "1899-12-29 06:00:00"},
                    TextWriteCase{"DateFromDateText", "2024-02-29 13:45:10", 8,
                                  "2024-02-29 13:45:10"},
                    TextWriteCase{"DateNotANumberStoresNothing", "soon", 8, kNoValue},
                    TextWriteCase{"DateOutOfRangeReadsMissing", "1e9", 8, kNoValue},
                    TextWriteCase{"ExpandTextStoresNothing", "x", 2, kNoValue},
                    TextWriteCase{"BinaryStoresNothing", "x", 3, kNoValue},
                    TextWriteCase{"TypeZeroStoresNothing", "x", 0, kNoValue},
                    TextWriteCase{"QwordStoresNothing", "1", 11, kNoValue}),
    [](const testing::TestParamInfo<TextWriteCase>& info) { return std::string(info.param.name); });

TEST_P(StoreTest, NumberWritesFollowTheType) {
  SettingsStore& store = Store();
  store.WriteSetting(kMainKey, "AsText", 42, kRegSz);
  store.WriteSetting(kMainKey, "AsDword", -7, kRegDword);
  store.WriteSetting(kMainKey, "AsDate", 2, kRegDate);
  store.WriteSetting(kMainKey, "AsOther", 2, 3);
  EXPECT_EQ(store.ReadSetting(kMainKey, "AsText"), "42");
  EXPECT_EQ(store.ReadSetting(kMainKey, "AsDword"), "-7");
  EXPECT_EQ(store.ReadSetting(kMainKey, "AsDate"), "1900-01-01 00:00:00");
  EXPECT_EQ(store.ReadSetting(kMainKey, "AsOther"), kNoValue);
}

TEST_P(StoreTest, UnsupportedTypeKeepsTheOldValue) {
  SettingsStore& store = Store();
  store.WriteSetting(kMainKey, kPageDelay, "3", kRegSz);
  store.WriteSetting(kMainKey, kPageDelay, "9", 2);
  EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), "3");
}

TEST_P(StoreTest, MissingKeyOrValueReadsAsNoKeyValue) {
  SettingsStore& store = Store();
  EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), kNoValue);
  store.WriteSetting(kMainKey, kVenueId, "4", kRegSz);
  EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), kNoValue);
  EXPECT_EQ(store.ReadSetting(kScreenSettingsKey, kBackColor), kNoValue);
}

TEST_P(StoreTest, DelayEverythingAbsentThenStoredZero) {
  SettingsStore& store = Store();
  EXPECT_EQ(store.ReadSetting(kMainKey, kDelayEverything), kNoValue);
  store.WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);
  EXPECT_EQ(store.ReadSetting(kMainKey, kDelayEverything), "0");
  store.WriteSetting(kMainKey, kDelayEverything, 1, kRegDword);
  EXPECT_EQ(store.ReadSetting(kMainKey, kDelayEverything), "1");
}

TEST_P(StoreTest, NamesCompareWithoutAsciiCase) {
  SettingsStore& store = Store();
  store.WriteSetting("SOFTWARE\\TorvaneTX\\Main\\", "PageDelay", "5", kRegSz);
  EXPECT_EQ(store.ReadSetting("software\\torvanetx\\MAIN\\", "pagedelay"), "5");
  EXPECT_EQ(store.ReadSetting("SOFTWARE\\TorvaneTX\\Main", "PAGEDELAY"), "5");
  store.WriteSetting("Software\\TORVANETX\\main", "pAgEdElAy", "6", kRegSz);
  EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), "6");
}

// The settings file compares ASCII letters only; the system registry also
// folds letters beyond ASCII, so this holds for the file store alone.
TEST(SettingsStoreTest, LettersBeyondAsciiKeepTheirCaseInTheFileStore) {
  SettingsStore store;
  store.WriteSetting(kMainKey, "\xC4", "upper", kRegSz);
  store.WriteSetting(kMainKey, "\xE4", "lower", kRegSz);
  EXPECT_EQ(store.ReadSetting(kMainKey, "\xC4"), "upper");
  EXPECT_EQ(store.ReadSetting(kMainKey, "\xE4"), "lower");
}

TEST_P(StoreTest, EmptyNameIsTheDefaultValue) {
  SettingsStore& store = Store();
  store.WriteSetting(kMainKey, "", "default", kRegSz);
  EXPECT_EQ(store.ReadSetting(kMainKey, ""), "default");
  EXPECT_EQ(store.ReadSetting(kMainKey, "@"), kNoValue);
}

TEST_P(StoreTest, NameWithLineBreakStoresNothing) {
  SettingsStore& store = Store();
  const uint64_t before = store.Revision();
  store.WriteSetting(kMainKey, "Two\nLines", "x", kRegSz);
  store.WriteSetting("SOFTWARE\\Bad\nKey\\", "Name", "x", kRegSz);
  EXPECT_EQ(store.ReadSetting(kMainKey, "Two\nLines"), kNoValue);
  EXPECT_EQ(store.ReadSetting("SOFTWARE\\Bad\nKey\\", "Name"), kNoValue);
  EXPECT_EQ(store.Revision(), before);
}

TEST_P(StoreTest, HivesAreSeparate) {
  SettingsStore& store = Store();
  store.WriteSetting("CLSID\\{1}\\", "", "Wirelet", kRegSz, Hive::kClassesRoot);
  EXPECT_EQ(store.ReadSetting("CLSID\\{1}\\", "", Hive::kClassesRoot), "Wirelet");
  EXPECT_EQ(store.ReadSetting("CLSID\\{1}\\", ""), kNoValue);
  EXPECT_EQ(store.Revision(Hive::kCurrentUser), 0u);
  EXPECT_GT(store.Revision(Hive::kClassesRoot), 0u);
}

TEST_P(StoreTest, DeleteValueTellsWhetherItExisted) {
  SettingsStore& store = Store();
  store.WriteSetting(kClassListingKey, "0", "Super Pro", kRegSz);
  store.WriteSetting(kClassListingKey, "1", "Pro", kRegSz);
  EXPECT_TRUE(store.DeleteValue(kClassListingKey, "1"));
  EXPECT_FALSE(store.DeleteValue(kClassListingKey, "1"));
  EXPECT_FALSE(store.DeleteValue(kClassListingKey, "7"));
  EXPECT_FALSE(store.DeleteValue("SOFTWARE\\Nowhere\\", "0"));
  EXPECT_EQ(store.ReadSetting(kClassListingKey, "0"), "Super Pro");
  EXPECT_EQ(store.ReadSetting(kClassListingKey, "1"), kNoValue);
}

TEST_P(StoreTest, DeleteValueOpensTheKeyAsAWriteDoes) {
  SettingsStore& store = Store();
  EXPECT_FALSE(store.DeleteValue("SOFTWARE\\TorvaneTX\\Fresh\\", "x"));
  EXPECT_TRUE(store.DeleteKey(kSoftwareKey, "Fresh"));
}

TEST_P(StoreTest, DeleteKeyRemovesEverythingBelow) {
  SettingsStore& store = Store();
  store.WriteSetting(PageKey(5), kTitle, "Results", kRegSz);
  store.WriteSetting(PageKey(5) + "Sub\\", "x", "y", kRegSz);
  store.WriteSetting(PageKey(4), kTitle, "Ladder", kRegSz);
  EXPECT_TRUE(store.DeleteKey(kPageSettingsKey, "5"));
  EXPECT_EQ(store.ReadSetting(PageKey(5), kTitle), kNoValue);
  EXPECT_EQ(store.ReadSetting(PageKey(5) + "Sub\\", "x"), kNoValue);
  EXPECT_EQ(store.ReadSetting(PageKey(4), kTitle), "Ladder");
  EXPECT_FALSE(store.DeleteKey(kPageSettingsKey, "5"));
  EXPECT_FALSE(store.DeleteKey(kPageSettingsKey, ""));
  EXPECT_FALSE(store.DeleteKey("SOFTWARE\\Nowhere\\", "5"));
  EXPECT_TRUE(store.DeleteKey("software\\torvanetx", "PAGESETTINGS\\4"));
  EXPECT_EQ(store.ReadSetting(PageKey(4), kTitle), kNoValue);
}

TEST_P(StoreTest, DeletingPagesStopsAtTheFirstMissingKey) {
  // The page store saves N pages and then deletes N+1, N+2, ... until one fails.
  SettingsStore& store = Store();
  for (int page = 0; page <= 6; ++page) store.WriteSetting(PageKey(page), kTitle, "t", kRegSz);
  int deleted = 0;
  for (int page = 4; page <= 126 && store.DeleteKey(kPageSettingsKey, std::to_string(page));
       ++page) {
    ++deleted;
  }
  EXPECT_EQ(deleted, 3);
  EXPECT_EQ(store.ReadSetting(PageKey(3), kTitle), "t");
}

TEST_P(StoreTest, RevisionCountsChangesOnly) {
  SettingsStore& store = Store();
  uint64_t last = store.Revision();
  auto changed = [&] {
    const uint64_t now = store.Revision();
    const bool result = now != last;
    last = now;
    return result;
  };
  store.WriteSetting(kMainKey, kVenueId, "1", kRegSz);
  EXPECT_TRUE(changed());
  store.WriteSetting(kMainKey, kVenueId, "1", kRegSz);
  EXPECT_FALSE(changed());
  store.WriteSetting(kMainKey, kVenueId, "2", kRegSz);
  EXPECT_TRUE(changed());
  store.WriteSetting(kMainKey, kVenueId, 2, kRegDword);
  EXPECT_TRUE(changed()) << "the type changed";
  (void)store.ReadSetting(kMainKey, kVenueId);
  EXPECT_FALSE(changed());
  EXPECT_FALSE(store.DeleteValue(kMainKey, "Missing"));
  EXPECT_FALSE(changed());
  EXPECT_TRUE(store.DeleteValue(kMainKey, kVenueId));
  EXPECT_TRUE(changed());
  EXPECT_TRUE(store.DeleteKey(kSoftwareKey, "Main"));
  EXPECT_TRUE(changed());
  EXPECT_FALSE(store.DeleteKey(kSoftwareKey, "Main"));
  EXPECT_FALSE(changed());
}

TEST(TickerListTest, TwentyFiveEntriesSaveTwentySixValuesAndLoadTwenty) {
  TempFolder folder;
  std::vector<std::string> entries;
  for (int i = 0; i < 25; ++i) entries.push_back("News " + std::to_string(i));
  {
    SettingsStore store(HiveFiles::InFolder(folder.Path()));
    SaveTickerList(store, entries);
  }
  SettingsStore store(HiveFiles::InFolder(folder.Path()));
  for (int i = 0; i < 25; ++i) {
    EXPECT_EQ(store.ReadSetting(kTickerKey, IndexValueName(i)), entries[static_cast<size_t>(i)]);
  }
  EXPECT_EQ(store.ReadSetting(kTickerKey, "25"), kNoValue);
  const std::string file = ReadFileText(HiveFiles::InFolder(folder.Path()).currentUser);
  EXPECT_NE(file.find("\"25\"=\"\"\n"), std::string::npos) << file;
  const auto loaded = LoadTickerList(store);
  EXPECT_EQ(loaded, std::vector<std::string>(entries.begin(), entries.begin() + 20));
}

TEST_P(StoreTest, TickerShorterListLeavesStaleValuesThatAreNeverRead) {
  SettingsStore& store = Store();
  SaveTickerList(store, {"a", "b", "c", "d", "e"});
  SaveTickerList(store, {"x", "y"});
  EXPECT_EQ(LoadTickerList(store), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(store.ReadSetting(kTickerKey, "3"), "d");
  EXPECT_EQ(store.ReadSetting(kTickerKey, "2"), kNoValue);
}

TEST_P(StoreTest, TickerEmptyListLoadsEmpty) {
  SettingsStore& store = Store();
  EXPECT_TRUE(LoadTickerList(store).empty());
  SaveTickerList(store, {});
  EXPECT_TRUE(LoadTickerList(store).empty());
  EXPECT_EQ(store.ReadSetting(kTickerKey, "0"), kNoValue);
}

TEST(SettingsKeysTest, ComposedNames) {
  EXPECT_EQ(PageKey(12), "SOFTWARE\\TorvaneTX\\PageSettings\\12\\");
  EXPECT_EQ(CategoryKey("Super Pro"), "SOFTWARE\\TorvaneTX\\PageSettings\\2\\Super Pro\\");
  EXPECT_EQ(LinkValueName(0), "L0");
  EXPECT_EQ(TextValueName(17), "P17");
  EXPECT_EQ(ColorValueName(kTickerArea, true), kTickerBackColor);
  EXPECT_EQ(ColorValueName(kCursorArea, false), kCursorForeColor);
  EXPECT_EQ(ComPortValueName(3), "COM3");
}

// Stores backed by files.

class SettingsFileTest : public testing::Test {
 protected:
  HiveFiles Files() const { return HiveFiles::InFolder(folder_.Path()); }
  std::string UserFile() const { return Files().currentUser; }

  TempFolder folder_;
};

TEST_F(SettingsFileTest, InFolderNamesBothHives) {
  EXPECT_EQ(Files().currentUser, folder_.Path() + "/HKEY_CURRENT_USER.reg");
  EXPECT_EQ(Files().classesRoot, folder_.Path() + "/HKEY_CLASSES_ROOT.reg");
}

TEST_F(SettingsFileTest, MissingFilesStartEmptyAndNothingIsWrittenUntilAChange) {
  {
    SettingsStore store(Files());
    EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), kNoValue);
  }
  EXPECT_TRUE(folder_.List().empty());
}

TEST_F(SettingsFileTest, WriteOutsideABatchIsSavedAtOnce) {
  SettingsStore store(Files());
  store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz);
  EXPECT_FALSE(store.HasUnsavedChanges());
  HiveFiles readOnly = Files();
  readOnly.readOnly = true;
  const SettingsStore other(readOnly);
  EXPECT_EQ(other.ReadSetting(kMainKey, kPageDelay), "5");
}

TEST_F(SettingsFileTest, BatchSavesOnceWhenTheOutermostEnds) {
  SettingsStore store(Files());
  {
    SettingsStore::Batch outer(store);
    store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz);
    {
      SettingsStore::Batch inner(store);
      store.WriteSetting(kMainKey, kVenueId, "2", kRegSz);
    }
    EXPECT_TRUE(store.HasUnsavedChanges());
    EXPECT_TRUE(folder_.List().empty()) << "saved before the outer batch ended";
  }
  EXPECT_FALSE(store.HasUnsavedChanges());
  const std::string text = ReadFileText(UserFile());
  EXPECT_NE(text.find("\"PageDelay\"=\"5\""), std::string::npos);
  EXPECT_NE(text.find("\"VenueID\"=\"2\""), std::string::npos);
}

TEST_F(SettingsFileTest, FlushInsideABatchSaves) {
  SettingsStore store(Files());
  SettingsStore::Batch batch(store);
  store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz);
  store.Flush();
  EXPECT_FALSE(store.HasUnsavedChanges());
  EXPECT_NE(ReadFileText(UserFile()).find("PageDelay"), std::string::npos);
}

TEST_F(SettingsFileTest, FailedSaveIsRetriedAtTheNextFlushAndAtShutdown) {
  WriteFileText(folder_.File("blocker"), "x");
  const HiveFiles files = HiveFiles::InFolder(folder_.File("blocker") + "/TorvaneTX");
  {
    SettingsStore store(files);
    store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz);
    EXPECT_TRUE(store.HasUnsavedChanges());
    // The folder becomes writable while the program runs; shutdown saves.
    std::remove(folder_.File("blocker").c_str());
  }
  SettingsStore store(files);
  EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), "5");
}

// Names holding the byte (a backslash would split the key path, so it is left
// out of key names) and its number, which keeps them apart without regard to case.
std::string ByteKey(int byte) {
  std::string key = "SOFTWARE\\Bytes\\K";
  if (byte != '\\') key += static_cast<char>(byte);
  return key.append(std::to_string(byte));
}
std::string ByteName(int byte) {
  std::string name = "V";
  name += static_cast<char>(byte);
  return name.append(std::to_string(byte));
}

TEST_F(SettingsFileTest, EveryByteFrom32To255RoundTripsThroughTheFile) {
  std::string allBytes;
  for (int byte = 32; byte <= 255; ++byte) allBytes += static_cast<char>(byte);
  const std::vector<std::string> texts = {
      allBytes,
      std::string("\\\"\\\\\"") + "\"",
      "ends with spaces   ",
      "   ",
      "control\x01\x1F bytes\r\n",
      std::string("nul\0inside", 10),
      std::string("ends with nul\0", 14),
      "[HKEY_CURRENT_USER\\Fake]",
      "; not a comment",
  };
  {
    SettingsStore store(Files());
    SettingsStore::Batch batch(store);
    for (size_t i = 0; i < texts.size(); ++i) {
      store.WriteSetting(kTickerKey, IndexValueName(static_cast<int>(i)), texts[i], kRegSz);
    }
    for (int byte = 32; byte <= 255; ++byte) {
      store.WriteSetting(ByteKey(byte), ByteName(byte), std::string(1, static_cast<char>(byte)),
                         kRegSz);
    }
  }
  SettingsStore store(Files());
  for (size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(store.ReadSetting(kTickerKey, IndexValueName(static_cast<int>(i))), texts[i]);
  }
  for (int byte = 32; byte <= 255; ++byte) {
    SCOPED_TRACE(byte);
    EXPECT_EQ(store.ReadSetting(ByteKey(byte), ByteName(byte)),
              std::string(1, static_cast<char>(byte)));
  }
}

TEST_F(SettingsFileTest, NumbersAndDatesRoundTripThroughTheFile) {
  {
    SettingsStore store(Files());
    SettingsStore::Batch batch(store);
    store.WriteSetting(kMainKey, kDelayEverything, 0, kRegDword);
    store.WriteSetting(kMainKey, "Min", INT32_MIN, kRegDword);
    store.WriteSetting(kMainKey, "Stamp", "45000.75", kRegDate);
    store.WriteSetting(kMainKey, "", "default", kRegSz);
  }
  SettingsStore store(Files());
  EXPECT_EQ(store.ReadSetting(kMainKey, kDelayEverything), "0");
  EXPECT_EQ(store.ReadSetting(kMainKey, "Min"), "-2147483648");
  EXPECT_EQ(store.ReadSetting(kMainKey, "Stamp"), "2023-03-15 18:00:00");
  EXPECT_EQ(store.ReadSetting(kMainKey, ""), "default");
}

TEST_F(SettingsFileTest, NamesKeepTheCaseTheyWereFirstWrittenWith) {
  {
    SettingsStore store(Files());
    store.WriteSetting("SOFTWARE\\TorvaneTX\\Main\\", "PageDelay", "1", kRegSz);
    store.WriteSetting("software\\TORVANETX\\main\\", "PAGEDELAY", "2", kRegSz);
  }
  const std::string text = ReadFileText(UserFile());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\Main]\n\"PageDelay\"=\"2\"\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("MAIN"), std::string::npos);
  EXPECT_EQ(text.find("main"), std::string::npos);
}

TEST_F(SettingsFileTest, ClassesRootHasItsOwnFile) {
  {
    SettingsStore store(Files());
    store.WriteSetting("Wirelet.Control\\CLSID\\", "", "{42}", kRegSz, Hive::kClassesRoot);
  }
  EXPECT_EQ(folder_.List(), std::vector<std::string>{"HKEY_CLASSES_ROOT.reg"});
  SettingsStore store(Files());
  EXPECT_EQ(store.ReadSetting("Wirelet.Control\\CLSID\\", "", Hive::kClassesRoot), "{42}");
}

TEST_F(SettingsFileTest, HandWrittenFileLoads) {
  WriteFileText(UserFile(),
                "Windows Registry Editor Version 5.00\r\n"
                "\r\n"
                "; settings for the test track\r\n"
                "[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\PageSettings\\1]\r\n"
                "\"Title\"=\"Race Results    \"\r\n"
                "\"P0\"=\"Caf\xC3\xA9 \\\"Lane\\\" \\\\ 1\"\r\n"
                "\r\n"
                "[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\Main]\r\n"
                "\"DelayEverything\"=dword:00000000\r\n"
                "\"PageDelay\"=\"5\"\r\n"
                "@=\"main default\"\r\n"
                "[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\PageSettings]\r\n"
                "\"MaxPages\"=\"4\"\r\n"
                "\"Stamp\"=hex(8):00,00,00,00,00,f9,e5,40\r\n"
                "\"Blob\"=hex:01,02,\\\r\n"
                "  03\r\n");
  SettingsStore store(Files());
  EXPECT_EQ(store.ReadSetting(PageKey(1), kTitle), "Race Results    ");
  EXPECT_EQ(store.ReadSetting(PageKey(1), "P0"), "Caf\xE9 \"Lane\" \\ 1");
  EXPECT_EQ(store.ReadSetting(kMainKey, kDelayEverything), "0");
  EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), "5");
  EXPECT_EQ(store.ReadSetting(kMainKey, ""), "main default");
  EXPECT_EQ(store.ReadSetting(kPageSettingsKey, kMaxPages), "4");
  EXPECT_EQ(store.ReadSetting(kPageSettingsKey, "Stamp"), "2023-03-15 00:00:00");
  EXPECT_EQ(store.ReadSetting(kPageSettingsKey, "Blob"), kNoValue);
  EXPECT_TRUE(store.DeleteKey("SOFTWARE\\", "TorvaneTX")) << "parent keys are implied";
}

TEST_F(SettingsFileTest, UnknownValueTypesAreWrittenBackUnchanged) {
  WriteFileText(
      UserFile(),
      "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Other]\n"
      "\"Blob\"=hex:de,ad\n\"Path\"=hex(2):25,41,25,00\n\"Q\"=hex(b):01,00,00,00,00,00,00,00\n");
  {
    SettingsStore store(Files());
    store.WriteSetting("SOFTWARE\\Other\\", "New", "1", kRegSz);
  }
  const std::string text = ReadFileText(UserFile());
  EXPECT_NE(text.find("\"Blob\"=hex:de,ad\n\"Path\"=hex(2):25,41,25,00\n"
                      "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n\"New\"=\"1\"\n"),
            std::string::npos)
      << text;
}

TEST_F(SettingsFileTest, UnparsableFileIsSetAsideAndTheStoreStartsEmpty) {
  const std::string broken = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE]\n\"A\"=dword:xyz\n";
  WriteFileText(UserFile(), broken);
  {
    SettingsStore store(Files());
    EXPECT_EQ(store.ReadSetting("SOFTWARE\\", "A"), kNoValue);
    store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz);
  }
  const auto names = folder_.List();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "HKEY_CURRENT_USER.reg");
  EXPECT_EQ(names[1].rfind("HKEY_CURRENT_USER.reg.bad-", 0), 0u) << names[1];
  EXPECT_EQ(ReadFileText(folder_.File(names[1])), broken);
  SettingsStore store(Files());
  EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), "5");
}

TEST_F(SettingsFileTest, ReadOnlyStoreNeitherSetsAsideNorWrites) {
  const std::string broken = "not a settings file\n";
  WriteFileText(UserFile(), broken);
  HiveFiles files = Files();
  files.readOnly = true;
  {
    SettingsStore store(files);
    store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz);
    EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), "5");
    EXPECT_FALSE(store.HasUnsavedChanges());
  }
  EXPECT_EQ(folder_.List(), std::vector<std::string>{"HKEY_CURRENT_USER.reg"});
  EXPECT_EQ(ReadFileText(UserFile()), broken);
}

TEST_F(SettingsFileTest, UnwritableFolderKeepsTheStoreRunningFromMemory) {
  WriteFileText(folder_.File("plain-file"), "x");
  // A folder below a regular file can never be created, not even by root.
  const HiveFiles files = HiveFiles::InFolder(folder_.File("plain-file") + "/TorvaneTX");
  SettingsStore store(files);
  store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz);
  store.WriteSetting(kMainKey, kVenueId, "3", kRegSz);
  EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), "5");
  EXPECT_EQ(store.ReadSetting(kMainKey, kVenueId), "3");
  EXPECT_TRUE(store.HasUnsavedChanges());
  store.Flush();
  EXPECT_TRUE(store.HasUnsavedChanges());
}

TEST_F(SettingsFileTest, UnsavedChangesAreToldPerHive) {
  WriteFileText(folder_.File("plain-file"), "x");
  const std::string unwritable = folder_.File("plain-file") + "/TorvaneTX";
  struct Case {
    const char* name;
    Hive broken;  // the hive whose file cannot be written
  };
  for (const Case& c :
       {Case{"CurrentUser", Hive::kCurrentUser}, Case{"ClassesRoot", Hive::kClassesRoot}}) {
    SCOPED_TRACE(c.name);
    const Hive working = c.broken == Hive::kCurrentUser ? Hive::kClassesRoot : Hive::kCurrentUser;
    const HiveFiles good = HiveFiles::InFolder(folder_.Path() + "/" + c.name);
    const HiveFiles bad = HiveFiles::InFolder(unwritable);
    HiveFiles files;
    files.currentUser = c.broken == Hive::kCurrentUser ? bad.currentUser : good.currentUser;
    files.classesRoot = c.broken == Hive::kClassesRoot ? bad.classesRoot : good.classesRoot;
    SettingsStore store(files);
    store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz, working);
    EXPECT_FALSE(store.HasUnsavedChanges(working));
    EXPECT_FALSE(store.HasUnsavedChanges());
    store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz, c.broken);
    store.Flush();
    EXPECT_TRUE(store.HasUnsavedChanges(c.broken));
    EXPECT_FALSE(store.HasUnsavedChanges(working));
    EXPECT_TRUE(store.HasUnsavedChanges());
  }
}

TEST_F(SettingsFileTest, MissingFolderIsCreatedOnTheFirstSave) {
  const HiveFiles files = HiveFiles::InFolder(folder_.File("config") + "/TorvaneTX");
  {
    SettingsStore store(files);
    store.WriteSetting(kMainKey, kPageDelay, "5", kRegSz);
    EXPECT_FALSE(store.HasUnsavedChanges());
  }
  SettingsStore store(files);
  EXPECT_EQ(store.ReadSetting(kMainKey, kPageDelay), "5");
}

}  // namespace
}  // namespace torvane
