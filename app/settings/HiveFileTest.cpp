#include "HiveFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "RegFile.h"
#include "TempFolder.h"

namespace torvane {
namespace {

constexpr const char* kHive = "HKEY_CURRENT_USER";

class HiveFileTest : public testing::Test {
 protected:
  std::string Path() const { return folder_.File("HKEY_CURRENT_USER.reg"); }

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

TEST_F(HiveFileTest, UnreadableFileIsReportedAndNeverSavedOver) {
  // A folder where the file should be: it exists but cannot be read as a file.
  ASSERT_EQ(mkdir(Path().c_str(), 0755), 0);
  WriteFileText(Path() + "/inside", "keep me");
  HiveFile file = MakeFile();
  file.Load();
  EXPECT_TRUE(file.Save(TreeWith("A", "1")));
  EXPECT_EQ(ReadFileText(Path() + "/inside"), "keep me");
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_NE(messages_[0].find("cannot read settings from " + Path()), std::string::npos);
}

TEST_F(HiveFileTest, EmptyFileIsAnEmptyHive) {
  WriteFileText(Path(), "");
  EXPECT_EQ(MakeFile().Load().Root().SubkeyCount(), 0u);
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(folder_.List().size(), 1u);
}

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

}  // namespace
}  // namespace torvane
