#include "InstanceLock.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace torvane {

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Take(std::string* error) {
  if (Held()) return Result::kTaken;
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  std::error_code ec;
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  return LockFile(error);
}

bool TakeInstanceLock(InstanceLock& lock, Prompter& prompter) {
  std::string error;
  switch (lock.Take(&error)) {
    case InstanceLock::Result::kTaken:
      return true;
    case InstanceLock::Result::kUnavailable:
      std::fprintf(stderr, "TorvaneTX: no instance lock: %s\n", error.c_str());
      return true;
    case InstanceLock::Result::kHeldElsewhere:
      break;
  }
  prompter.Show({"A previous instance of TorvaneTX has been detected.", "TorvaneTX",
                 PromptIcon::kInformation, PromptButtons::kOkCancel});
  return false;
}

}  // namespace torvane
