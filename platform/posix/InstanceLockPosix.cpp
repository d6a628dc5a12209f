#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "InstanceLock.h"

namespace torvane {

InstanceLock::Result InstanceLock::LockFile(std::string* error) {
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
  handle_ = fd;
  return Result::kTaken;
}

void InstanceLock::Release() {
  if (!Held()) return;
  ::close(static_cast<int>(handle_));  // drops the lock
  handle_ = kNone;
}

}  // namespace torvane
