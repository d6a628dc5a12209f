// The store the program's window and station open: on Windows the registry,
// where the Windows program keeps its settings, and never a file in the
// user's profile; elsewhere the settings folder's files.
#include "ProgramSettings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "TempFolder.h"

#ifdef _WIN32
#include <windows.h>

#include "Registry.h"
#endif

namespace torvane {
namespace {

constexpr const char* kKey = "SOFTWARE\\TorvaneTX\\";
constexpr const char* kValue = "StoreChoiceCheck";
constexpr const char* kText = "written by the program's store";

#ifdef _WIN32

// The settings folder of a test of its own, so a file the store might make is seen.
class ProgramSettingsTest : public testing::Test {
 protected:
  void SetUp() override { _putenv_s("APPDATA", profile_.Path().c_str()); }
  TempFolder profile_;
};

TEST_F(ProgramSettingsTest, WindowsKeepsThemInTheCurrentUsersRegistry) {
  {
    ProgramSettings settings = OpenProgramSettings();
    ASSERT_NE(settings.store, nullptr);
    EXPECT_EQ(settings.where, "the registry");
    settings.store->WriteSetting(kKey, kValue, kText, kRegSz);
  }
  const std::optional<RegistryData> stored =
      RegistryRead(RegistryRoot::CurrentUser(), kKey, kValue);
  ASSERT_TRUE(stored.has_value()) << "not in HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX";
  EXPECT_EQ(stored->type, static_cast<uint32_t>(REG_SZ));
  EXPECT_EQ(stored->bytes, kText);
  bool created = false;
  RegistryDeleteValue(RegistryRoot::CurrentUser(), kKey, kValue, &created);
  EXPECT_TRUE(profile_.List().empty()) << "a settings file in %APPDATA%: " << profile_.List()[0];
}

#else

bool FileHolds(const std::string& path, const std::string& text) {
  std::ifstream in(path, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return bytes.find(text) != std::string::npos;
}

struct FileCase {
  const char* name;
  const char* currentUserFile;  // relative to the test's folder; "" the default
  const char* expected;         // the file that must hold the value
};

class ProgramSettingsTest : public testing::TestWithParam<FileCase> {
 protected:
  void SetUp() override { setenv("XDG_CONFIG_HOME", home_.Path().c_str(), 1); }
  void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
  TempFolder home_;
};

TEST_P(ProgramSettingsTest, ElsewhereTheyAreInAFile) {
  const FileCase& c = GetParam();
  const std::string override =
      *c.currentUserFile == '\0' ? std::string() : home_.File(c.currentUserFile);
  const std::string expected = home_.File(c.expected);
  {
    ProgramSettings settings = OpenProgramSettings(override);
    ASSERT_NE(settings.store, nullptr);
    EXPECT_EQ(settings.where, expected);
    settings.store->WriteSetting(kKey, kValue, kText, kRegSz);
  }
  EXPECT_TRUE(FileHolds(expected, kText)) << expected;
}

INSTANTIATE_TEST_SUITE_P(Files, ProgramSettingsTest,
                         testing::Values(FileCase{"SettingsFolder", "",
                                                  "TorvaneTX/HKEY_CURRENT_USER.reg"},
                                         FileCase{"FileGiven", "my.reg", "my.reg"}),
                         [](const auto& info) { return std::string(info.param.name); });

#endif

}  // namespace
}  // namespace torvane
