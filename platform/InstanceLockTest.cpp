#include "InstanceLock.h"

#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "ProgramFolder.h"

namespace torvane {
namespace {

class InstanceLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("instance-lock-" + std::to_string(std::random_device()()));
    ASSERT_TRUE(std::filesystem::create_directory(folder_));
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Path(const std::string& name) const { return (folder_ / name).string(); }

  std::filesystem::path folder_;
};

TEST_F(InstanceLockTest, SecondHolderIsRefusedUntilTheFirstReleases) {
  const std::string path = Path("sub/folder/TorvaneTX.lock");  // folders made on the way
  std::string error;
  InstanceLock first(path);
  ASSERT_EQ(first.Take(&error), InstanceLock::Result::kTaken) << error;
  EXPECT_TRUE(first.Held());
  InstanceLock second(path);
  EXPECT_EQ(second.Take(&error), InstanceLock::Result::kHeldElsewhere);
  EXPECT_FALSE(second.Held());
  first.Release();
  EXPECT_EQ(second.Take(&error), InstanceLock::Result::kTaken);
}

#ifdef _WIN32
// Another process holds the lock (the helper beside this program), then is
// killed without releasing it, as a crashed copy of the program would be.
TEST_F(InstanceLockTest, ProcessThatDiesWithoutReleasingLeavesNoStaleLock) {
  const std::string path = Path("TorvaneTX.lock");
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  std::string command = "\"" + ProgramFolder() + "\\lock_holder.exe\" \"" + path + "\"";
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &process))
      << GetLastError();
  CloseHandle(writeEnd);
  char said[128] = {};
  DWORD n = 0;
  ReadFile(readEnd, said, sizeof said - 1, &n, nullptr);
  CloseHandle(readEnd);
  EXPECT_EQ(std::string(said, n).substr(0, 4), "held") << said;

  InstanceLock lock(path);
  std::string error;
  EXPECT_EQ(lock.Take(&error), InstanceLock::Result::kHeldElsewhere) << error;
  TerminateProcess(process.hProcess, 9);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  EXPECT_EQ(lock.Take(&error), InstanceLock::Result::kTaken) << error;
}
#else
TEST_F(InstanceLockTest, ProcessThatDiesWithoutReleasingLeavesNoStaleLock) {
  const std::string path = Path("TorvaneTX.lock");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    InstanceLock lock(path);
    std::string error;
    const bool taken = lock.Take(&error) == InstanceLock::Result::kTaken;
    _exit(taken ? 0 : 1);  // no destructor runs, as in a crash
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  InstanceLock lock(path);
  std::string error;
  EXPECT_EQ(lock.Take(&error), InstanceLock::Result::kTaken) << error;
}
#endif

struct StartCase {
  const char* name;
  bool heldElsewhere;
  bool lockCannotBeMade;
  bool expectStart;
  size_t expectPrompts;
};

class TakeInstanceLockTest : public InstanceLockTest,
                             public ::testing::WithParamInterface<StartCase> {};

TEST_P(TakeInstanceLockTest, StartsOnlyWhenNoOtherCopyRuns) {
  const StartCase& c = GetParam();
  std::string path = Path("TorvaneTX.lock");
  if (c.lockCannotBeMade) {
    std::ofstream(Path("plain-file")) << "x";
    path = Path("plain-file/TorvaneTX.lock");  // a folder on the way is a file
  }
  InstanceLock other(path);
  std::string error;
  if (c.heldElsewhere) {
    ASSERT_EQ(other.Take(&error), InstanceLock::Result::kTaken);
  }
  InstanceLock lock(path);
  ScriptedPrompter prompter;
  EXPECT_EQ(TakeInstanceLock(lock, prompter), c.expectStart);
  ASSERT_EQ(prompter.Shown().size(), c.expectPrompts);
  if (c.expectPrompts > 0) {
    EXPECT_EQ(prompter.Shown()[0].text, "A previous instance of TorvaneTX has been detected.");
    EXPECT_EQ(prompter.Shown()[0].title, "TorvaneTX");
    EXPECT_EQ(prompter.Shown()[0].icon, PromptIcon::kInformation);
    EXPECT_EQ(prompter.Shown()[0].buttons, PromptButtons::kOkCancel);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TakeInstanceLockTest,
                         ::testing::Values(StartCase{"OnlyCopy", false, false, true, 0},
                                           StartCase{"AnotherCopyRuns", true, false, false, 1},
                                           StartCase{"LockCannotBeMade", false, true, true, 0}),
                         [](const ::testing::TestParamInfo<StartCase>& info) {
                           return info.param.name;
                         });

}  // namespace
}  // namespace torvane
