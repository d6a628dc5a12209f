#include "AtomicFile.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace torvane {
namespace {

std::string ErrnoText(int error) { return std::strerror(error); }

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// mkdir -p; true when the folder exists afterwards.
bool MakeFolders(const std::string& folder, std::string* error) {
  struct stat info {};
  if (stat(folder.c_str(), &info) == 0) {
    if (S_ISDIR(info.st_mode)) return true;
    *error = folder + " is not a folder";
    return false;
  }
  const std::string parent = FolderOf(folder);
  if (parent != folder && !MakeFolders(parent, error)) return false;
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) {
    *error = "cannot create folder " + folder + ": " + ErrnoText(errno);
    return false;
  }
  return true;
}

// The file that path stands for: the target of a symbolic link, else path itself.
std::string ResolveLink(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) return resolved;
  // A dangling link: write where it points.
  char target[PATH_MAX];
  const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
  if (n <= 0) return path;
  const std::string link(target, static_cast<size_t>(n));
  return link.front() == '/' ? link : FolderOf(path) + "/" + link;
}

bool WriteAll(int fd, const std::string& contents) {
  size_t written = 0;
  while (written < contents.size()) {
    const ssize_t n = write(fd, contents.data() + written, contents.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    written += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

ReadStatus ReadWholeFile(const std::string& path, std::string* contents, std::string* error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    // ENOTDIR: some folder on the way is a file, so this file cannot exist either.
    if (errno == ENOENT || errno == ENOTDIR) return ReadStatus::kMissing;
    *error = ErrnoText(errno);
    return ReadStatus::kFailed;
  }
  contents->clear();
  struct stat info {};
  if (fstat(fd, &info) == 0 && info.st_size > 0)
    contents->reserve(static_cast<size_t>(info.st_size));
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = ErrnoText(errno);
      close(fd);
      return ReadStatus::kFailed;
    }
    if (n == 0) break;
    contents->append(buffer, static_cast<size_t>(n));
  }
  close(fd);
  return ReadStatus::kRead;
}

bool PathExists(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) == 0) return true;
  return errno != ENOENT && errno != ENOTDIR;
}

int RenameOver(const char* from, const char* to) { return std::rename(from, to); }

bool WriteFileAtomically(const std::string& path, const std::string& contents, std::string* error,
                         const RenameFunction& renameFile) {
  const std::string target = ResolveLink(path);
  const std::string folder = FolderOf(target);
  if (!MakeFolders(folder, error)) return false;

  mode_t mode = 0644;
  struct stat existing {};
  if (stat(target.c_str(), &existing) == 0) mode = existing.st_mode & 07777;

  std::string temporary = target + ".tmp-XXXXXX";
  const int fd = mkstemp(temporary.data());
  if (fd < 0) {
    *error = ErrnoText(errno);
    return false;
  }
  bool ok = fchmod(fd, mode) == 0 && WriteAll(fd, contents) && fsync(fd) == 0;
  int savedErrno = errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    savedErrno = errno;
  }
  if (ok && renameFile(temporary.c_str(), target.c_str()) != 0) {
    ok = false;
    savedErrno = errno;
  }
  if (!ok) {
    *error = ErrnoText(savedErrno);
    unlink(temporary.c_str());
    return false;
  }
  // Make the rename itself durable.
  const int folderFd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    fsync(folderFd);
    close(folderFd);
  }
  return true;
}

std::string MoveAside(const std::string& path, const std::string& suffix, std::string* error) {
  std::string aside = path + suffix;
  struct stat info {};
  for (int n = 2; lstat(aside.c_str(), &info) == 0; ++n) {
    aside = path + suffix + "-" + std::to_string(n);
  }
  if (rename(path.c_str(), aside.c_str()) != 0) {
    *error = ErrnoText(errno);
    return "";
  }
  return aside;
}

std::string UtcTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
  return text;
}

}  // namespace torvane
