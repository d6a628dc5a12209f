#include <windows.h>

#include <cstdio>

#include "InstanceLock.h"
#include "Win32Error.h"

namespace torvane {

// The system drops the lock with the handle.
InstanceLock::Result InstanceLock::LockFile(std::string* error) {
  const HANDLE file = CreateFileA(path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = "cannot create " + path_ + ": " + Win32ErrorText(GetLastError());
    return Result::kUnavailable;
  }
  OVERLAPPED whole{};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
    const DWORD code = GetLastError();
    CloseHandle(file);
    if (code == ERROR_LOCK_VIOLATION || code == ERROR_IO_PENDING) return Result::kHeldElsewhere;
    *error = "cannot lock " + path_ + ": " + Win32ErrorText(code);
    return Result::kUnavailable;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  return Result::kTaken;
}

void InstanceLock::Release() {
  if (!Held()) return;
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = kNone;
}

}  // namespace torvane
