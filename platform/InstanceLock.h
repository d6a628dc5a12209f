// One running copy of the program per settings folder. The lock is taken on a
// file before anything else is read, and the system drops it when the process
// ends, however it ends, so a crash leaves no stale lock behind.
#ifndef TORVANE_PLATFORM_INSTANCELOCK_H_
#define TORVANE_PLATFORM_INSTANCELOCK_H_

#include <cstdint>
#include <string>

#include "Prompter.h"

namespace torvane {

class InstanceLock {
 public:
  enum class Result { kTaken, kHeldElsewhere, kUnavailable };

  explicit InstanceLock(std::string path) : path_(std::move(path)) {}
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Creates the file (and its folder) when missing, then tries the lock once,
  // without waiting. kUnavailable, with the reason in *error, when the file
  // cannot be made or locked at all.
  Result Take(std::string* error);
  bool Held() const { return handle_ != kNone; }
  void Release();

 private:
  static constexpr intptr_t kNone = -1;
  // Opens the file, creating it, and locks it: the system's part of Take.
  Result LockFile(std::string* error);

  std::string path_;
  intptr_t handle_ = kNone;  // the locked file: a descriptor, or a HANDLE on Windows
};

// The program's start: true when this is the only running copy. Another copy
// running shows "A previous instance of TorvaneTX has been detected." and gives
// false. A lock that cannot be made at all must not keep the program from
// running: it is reported on stderr and the answer is true.
bool TakeInstanceLock(InstanceLock& lock, Prompter& prompter);

}  // namespace torvane

#endif  // TORVANE_PLATFORM_INSTANCELOCK_H_
