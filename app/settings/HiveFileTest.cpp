#include "HiveFile.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "RegFile.h"
#include "TempFolder.h"

namespace torvane {
namespace {

constexpr const char* kHive = "HKEY_CURRENT_USER";

class HiveFileTest : public testing::Test {
 protected:
  std::string Path() const { return folder_.File(fileName_); }

  HiveFile MakeFile(bool readOnly = false) {
    return HiveFile(Path(), kHive, readOnly,
                    [this](const std::string& m) { messages_.push_back(m); });
  }

  static KeyTree TreeWith(const std::string& name, const std::string& text) {
    KeyTree tree;
    tree.CreateKey("SOFTWARE\\TorvaneTX\\Main")->SetValue(name, RegValue{1, text});
    return tree;
  }

  static std::string TextOf(const KeyTree& tree, const std::string& name) {
    const RegKey* key = tree.FindKey("SOFTWARE\\TorvaneTX\\Main");
    const RegValue* value = key == nullptr ? nullptr : key->FindValue(name);
    return value == nullptr ? "<missing>" : value->data;
  }

  TempFolder folder_;
  std::string fileName_ = "HKEY_CURRENT_USER.reg";
  std::vector<std::string> messages_;
};

TEST_F(HiveFileTest, SaveThenLoad) {
  HiveFile file = MakeFile();
  ASSERT_TRUE(file.Save(TreeWith("PageDelay", "5")));
  EXPECT_EQ(folder_.List(), std::vector<std::string>{"HKEY_CURRENT_USER.reg"});
  EXPECT_EQ(TextOf(MakeFile().Load(), "PageDelay"), "5");
  EXPECT_TRUE(messages_.empty());
}

TEST_F(HiveFileTest, FailedRenameLeavesThePreviousFileIntactAndNoTemporaryFile) {
  HiveFile file = MakeFile();
  ASSERT_TRUE(file.Save(TreeWith("PageDelay", "old")));
  const std::string before = ReadFileText(Path());

  file.SetRenameForTest([](const char*, const char*) {
    errno = EIO;
    return -1;
  });
  EXPECT_FALSE(file.Save(TreeWith("PageDelay", "new")));
  EXPECT_FALSE(file.Save(TreeWith("PageDelay", "newer")));

  EXPECT_EQ(ReadFileText(Path()), before);
  EXPECT_EQ(folder_.List(), std::vector<std::string>{"HKEY_CURRENT_USER.reg"});
  EXPECT_EQ(TextOf(MakeFile().Load(), "PageDelay"), "old");
  ASSERT_EQ(messages_.size(), 1u) << "a failure is reported once";
  EXPECT_NE(messages_[0].find("cannot save settings to " + Path()), std::string::npos);
  EXPECT_NE(messages_[0].find("keeping them in memory"), std::string::npos);
}

TEST_F(HiveFileTest, SuccessAfterFailureIsSilentAndANewFailureIsReportedAgain) {
  HiveFile file = MakeFile();
  bool failing = true;
  file.SetRenameForTest([&failing](const char* from, const char* to) {
    if (!failing) return std::rename(from, to);
    errno = ENOSPC;
    return -1;
  });
  EXPECT_FALSE(file.Save(TreeWith("A", "1")));
  failing = false;
  EXPECT_TRUE(file.Save(TreeWith("A", "2")));
  EXPECT_EQ(messages_.size(), 1u);
  failing = true;
  EXPECT_FALSE(file.Save(TreeWith("A", "3")));
  EXPECT_EQ(messages_.size(), 2u);
  EXPECT_EQ(TextOf(MakeFile().Load(), "A"), "2");
}

TEST_F(HiveFileTest, UnparsableFileIsSetAsideWithTheLineReported) {
  const std::string broken =
      "REGEDIT4\n"
      "\n"
      "[HKEY_CURRENT_USER\\SOFTWARE]\n"
      "\"Good\"=\"1\"\n"
      "\"Bad\"=\"unterminated\n";
  WriteFileText(Path(), broken);
  HiveFile file = MakeFile();
  const KeyTree tree = file.Load();
  EXPECT_EQ(tree.Root().SubkeyCount(), 0u) << "starts empty, not with the part before the fault";

  const auto names = folder_.List();
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].rfind("HKEY_CURRENT_USER.reg.bad-", 0), 0u);
  EXPECT_EQ(names[0].size(), std::string("HKEY_CURRENT_USER.reg.bad-20240101T000000Z").size());
  EXPECT_EQ(ReadFileText(folder_.File(names[0])), broken);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find(Path() + " line 5"), std::string::npos) << messages_[0];
  EXPECT_NE(messages_[0].find(names[0]), std::string::npos) << messages_[0];

  EXPECT_TRUE(file.Save(TreeWith("A", "1")));
  EXPECT_EQ(folder_.List().size(), 2u);
}

TEST_F(HiveFileTest, SecondBadFileInTheSameSecondGetsAnotherName) {
  WriteFileText(Path(), "garbage\n");
  MakeFile().Load();
  WriteFileText(Path(), "more garbage\n");
  MakeFile().Load();
  const auto names = folder_.List();
  ASSERT_EQ(names.size(), 2u);
  EXPECT_NE(ReadFileText(folder_.File(names[0])), ReadFileText(folder_.File(names[1])));
}

TEST_F(HiveFileTest, ReadOnlyLeavesABadFileWhereItIs) {
  WriteFileText(Path(), "garbage\n");
  HiveFile file = MakeFile(true);
  file.Load();
  EXPECT_TRUE(file.Save(TreeWith("A", "1")));
  EXPECT_EQ(folder_.List(), std::vector<std::string>{"HKEY_CURRENT_USER.reg"});
  EXPECT_EQ(ReadFileText(Path()), "garbage\n");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("line 1"), std::string::npos);
}

#ifndef _WIN32
std::string LinkTarget(const std::string& path) {
  char target[4096];
  const ssize_t n = readlink(path.c_str(), target, sizeof target);
  return n < 0 ? "<not a link>" : std::string(target, static_cast<size_t>(n));
}
#endif

// A file that Load can neither read nor set aside, made so that root cannot get
// past it either.
struct KeptFile {
  const char* name;
  std::string fileName;
  std::function<void(const std::string& path)> make;
  // What is at path that a save must not change.
  std::function<std::string(const std::string& path)> contents;
  const char* loadReport;
};

void PrintTo(const KeptFile& kept, std::ostream* out) { *out << kept.name; }

class KeptFileTest : public HiveFileTest, public testing::WithParamInterface<KeptFile> {
 protected:
  KeptFileTest() { fileName_ = GetParam().fileName; }
};

TEST_P(KeptFileTest, SavesFailUntilTheFileIsMovedAway) {
  const KeptFile& kept = GetParam();
  ASSERT_NO_FATAL_FAILURE(kept.make(Path()));
  const std::string before = kept.contents(Path());
  HiveFile file = MakeFile();
  EXPECT_EQ(file.Load().Root().SubkeyCount(), 0u);
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find(kept.loadReport), std::string::npos) << messages_[0];

  EXPECT_FALSE(file.Save(TreeWith("A", "1")));
  EXPECT_FALSE(file.Save(TreeWith("A", "2")));
  EXPECT_EQ(kept.contents(Path()), before);
  ASSERT_EQ(messages_.size(), 2u) << "the refused saves are reported once";
  EXPECT_EQ(
      messages_[1].rfind(
          "TorvaneTX: cannot save settings to " + Path() + ": the file there could not be ", 0),
      0u)
      << messages_[1];
  EXPECT_NE(messages_[1].find("left as it is until it is moved away"), std::string::npos)
      << messages_[1];

  // The operator takes the file away: nothing is lost by writing a new one.
  const std::string away = folder_.File("moved-away");
  ASSERT_EQ(std::rename(Path().c_str(), away.c_str()), 0);
  EXPECT_TRUE(file.Save(TreeWith("A", "3")));
  EXPECT_EQ(TextOf(MakeFile().Load(), "A"), "3");
  EXPECT_EQ(kept.contents(away), before);
  EXPECT_EQ(messages_.size(), 2u);
}

std::vector<KeptFile> KeptFiles() {
  std::vector<KeptFile> files = {
      KeptFile{"Folder", "HKEY_CURRENT_USER.reg",
               [](const std::string& path) {
                 ASSERT_TRUE(std::filesystem::create_directory(path));
                 WriteFileText(path + "/inside", "keep me");
               },
               [](const std::string& path) { return ReadFileText(path + "/inside"); },
               "cannot read settings from "}};
#ifndef _WIN32  // symbolic links and the 255-byte name limit are POSIX matters
  files.insert(files.end(), {KeptFile{"SymbolicLinkLoop", "HKEY_CURRENT_USER.reg",
                             [](const std::string& path) {
                               const std::string other = path + ".other";
                               ASSERT_EQ(symlink(other.c_str(), path.c_str()), 0);
                               ASSERT_EQ(symlink(path.c_str(), other.c_str()), 0);
                             },
                             LinkTarget, "cannot read settings from "},
                    // The name leaves no room for the set-aside suffix within a file name's
                    // 255 bytes, while the temporary file of a save still fits.
                    KeptFile{"UnparsableWithNoRoomForTheSetAsideName",
                             std::string(236, 'h') + ".reg",
                             [](const std::string& path) { WriteFileText(path, "garbage\n"); },
                             ReadFileText, "cannot set it aside (File name too long)"}});
#endif
  return files;
}

INSTANTIATE_TEST_SUITE_P(HiveFile, KeptFileTest, testing::ValuesIn(KeptFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

// Whatever Load found, the next save writes the file.
struct LoadedFile {
  const char* name;
  std::function<void(TempFolder& folder, const std::string& path)> make;
};

void PrintTo(const LoadedFile& loaded, std::ostream* out) { *out << loaded.name; }

class LoadedFileTest : public HiveFileTest, public testing::WithParamInterface<LoadedFile> {};

TEST_P(LoadedFileTest, SaveWritesTheFile) {
  ASSERT_NO_FATAL_FAILURE(GetParam().make(folder_, Path()));
  HiveFile file = MakeFile();
  file.Load();
  EXPECT_TRUE(file.Save(TreeWith("A", "1")));
  EXPECT_EQ(TextOf(MakeFile().Load(), "A"), "1");
  for (const std::string& message : messages_) {
    EXPECT_EQ(message.find("cannot save"), std::string::npos) << message;
  }
}

std::vector<LoadedFile> LoadedFiles() {
  std::vector<LoadedFile> files = {
        LoadedFile{"Missing", [](TempFolder&, const std::string&) {}},
        LoadedFile{"Empty", [](TempFolder&, const std::string& path) { WriteFileText(path, ""); }},
        LoadedFile{"Valid",
                   [](TempFolder&, const std::string& path) {
                     WriteFileText(path,
                                   "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\Main]\n"
                                   "\"A\"=\"0\"\n");
                   }},
        LoadedFile{"UnparsableSetAside",
                   [](TempFolder&, const std::string& path) { WriteFileText(path, "garbage\n"); }}};
#ifndef _WIN32
  // Nothing can be read through it, yet it is not a file to keep.
  files.push_back(LoadedFile{"DanglingSymbolicLink", [](TempFolder& folder, const std::string& path) {
                               const std::string target = folder.File("not-yet.reg");
                               ASSERT_EQ(symlink(target.c_str(), path.c_str()), 0);
                             }});
#endif
  return files;
}

INSTANTIATE_TEST_SUITE_P(HiveFile, LoadedFileTest, testing::ValuesIn(LoadedFiles()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HiveFileTest, EmptyFileIsAnEmptyHive) {
  WriteFileText(Path(), "");
  EXPECT_EQ(MakeFile().Load().Root().SubkeyCount(), 0u);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(folder_.List().size(), 1u);
}

#ifndef _WIN32  // links and permission bits
TEST_F(HiveFileTest, SaveReplacesTheFileASymbolicLinkPointsTo) {
  const std::string real = folder_.File("real.reg");
  ASSERT_EQ(symlink(real.c_str(), Path().c_str()), 0);
  ASSERT_TRUE(MakeFile().Save(TreeWith("A", "1")));
  struct stat info {};
  ASSERT_EQ(lstat(Path().c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(TextOf(MakeFile().Load(), "A"), "1");
  EXPECT_NE(ReadFileText(real).find("\"A\"=\"1\""), std::string::npos);
}

TEST_F(HiveFileTest, SaveKeepsThePermissionsOfTheFileItReplaces) {
  WriteFileText(Path(), "REGEDIT4\n\n");
  ASSERT_EQ(chmod(Path().c_str(), 0600), 0);
  ASSERT_TRUE(MakeFile().Save(TreeWith("A", "1")));
  struct stat info {};
  ASSERT_EQ(stat(Path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

#endif

}  // namespace
}  // namespace torvane
