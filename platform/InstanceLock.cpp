#include "InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace torvane {

InstanceLock::~InstanceLock() { Release(); }

InstanceLock::Result InstanceLock::Take(std::string* error) {
  if (fd_ >= 0) return Result::kTaken;
  const std::filesystem::path folder = std::filesystem::path(path_).parent_path();
  std::error_code ec;
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    *error = "cannot create " + path_ + ": " + std::strerror(errno);
    return Result::kUnavailable;
  }
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0) {
    const int cause = errno;
    ::close(fd);
    if (cause == EWOULDBLOCK) return Result::kHeldElsewhere;
    *error = "cannot lock " + path_ + ": " + std::strerror(cause);
    return Result::kUnavailable;
  }
  fd_ = fd;
  return Result::kTaken;
}

void InstanceLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // drops the lock
  fd_ = -1;
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
