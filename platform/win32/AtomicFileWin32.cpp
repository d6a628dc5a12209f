// The settings files' few file operations on Windows: the same contracts as
// the POSIX ones, with the replace done by MoveFileEx.
#include <windows.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <system_error>

#include "AtomicFile.h"
#include "Win32Error.h"

namespace torvane {
namespace {

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  if (slash == std::string::npos) return ".";
  return path.substr(0, slash == 0 ? 1 : slash);
}

bool IsMissing(DWORD code) {
  return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
         code == ERROR_INVALID_NAME || code == ERROR_DIRECTORY;
}

bool WriteAll(HANDLE file, const std::string& contents) {
  size_t written = 0;
  while (written < contents.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(contents.size() - written, 1 << 20));
    DWORD n = 0;
    if (!WriteFile(file, contents.data() + written, chunk, &n, nullptr) || n == 0) return false;
    written += n;
  }
  return true;
}

}  // namespace

ReadStatus ReadWholeFile(const std::string& path, std::string* contents, std::string* error) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (IsMissing(code)) return ReadStatus::kMissing;
    *error = Win32ErrorText(code);
    return ReadStatus::kFailed;
  }
  contents->clear();
  char buffer[1 << 16];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(file, buffer, sizeof buffer, &n, nullptr)) {
      *error = Win32ErrorText(GetLastError());
      CloseHandle(file);
      return ReadStatus::kFailed;
    }
    if (n == 0) break;
    contents->append(buffer, n);
  }
  CloseHandle(file);
  return ReadStatus::kRead;
}

bool PathExists(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return !IsMissing(GetLastError());
}

int RenameOver(const char* from, const char* to) {
  if (MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
  errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
  return -1;
}

bool WriteFileAtomically(const std::string& path, const std::string& contents, std::string* error,
                         const RenameFunction& renameFile) {
  const std::string folder = FolderOf(path);
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec)) {
    *error = "cannot create folder " + folder;
    return false;
  }
  static unsigned counter = 0;
  const std::string temporary =
      path + ".tmp-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
  const HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *error = Win32ErrorText(GetLastError());
    return false;
  }
  bool ok = WriteAll(file, contents) && FlushFileBuffers(file);
  DWORD code = ok ? 0 : GetLastError();
  CloseHandle(file);
  if (ok && renameFile(temporary.c_str(), path.c_str()) != 0) {
    ok = false;
    code = GetLastError();
  }
  if (!ok) {
    *error = code != 0 ? Win32ErrorText(code) : std::string("the file could not be replaced");
    DeleteFileA(temporary.c_str());
    return false;
  }
  return true;
}

std::string MoveAside(const std::string& path, const std::string& suffix, std::string* error) {
  std::string aside = path + suffix;
  for (int n = 2; PathExists(aside); ++n) aside = path + suffix + "-" + std::to_string(n);
  if (!MoveFileExA(path.c_str(), aside.c_str(), MOVEFILE_WRITE_THROUGH)) {
    *error = Win32ErrorText(GetLastError());
    return "";
  }
  return aside;
}

std::string UtcTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_s(&utc, &now);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

}  // namespace torvane
