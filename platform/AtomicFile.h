// The few file operations the settings files need, kept in one place because
// they are the only operating-system calls of the settings store.
#ifndef TORVANE_PLATFORM_ATOMICFILE_H_
#define TORVANE_PLATFORM_ATOMICFILE_H_

#include <functional>
#include <string>

namespace torvane {

enum class ReadStatus { kRead, kMissing, kFailed };

// Reads the whole file into *contents. kMissing when it does not exist (nor can,
// a folder on the way being a file); kFailed
// (with the reason in *error) when it exists but cannot be read.
ReadStatus ReadWholeFile(const std::string& path, std::string* contents, std::string* error);

// False only when nothing is at path (nor can be, a folder on the way being a
// file); a symbolic link counts as there even when dangling, and a path that
// cannot be looked at counts as there too.
bool PathExists(const std::string& path);

// Renames from to to, as rename(2): 0 on success, else -1 with errno set.
using RenameFunction = std::function<int(const char* from, const char* to)>;
// The system's rename over an existing file (Windows' rename refuses one).
int RenameOver(const char* from, const char* to);

// Replaces path with contents so that a reader sees either the old file or the
// new one, never a mix: the bytes go to a temporary file in the same folder
// (created with missing parent folders), which is flushed to disk and renamed over
// path. A symbolic link at path is followed, so the file it names is replaced.
// The file keeps the permissions of the one it replaces (0644 for a new one). On
// failure returns false with the reason in *error and leaves no temporary file.
bool WriteFileAtomically(const std::string& path, const std::string& contents, std::string* error,
                         const RenameFunction& renameFile);

// Renames path to path + suffix (adding "-2", "-3" ... when that name is
// taken). Returns the new name, or "" with the reason in *error.
std::string MoveAside(const std::string& path, const std::string& suffix, std::string* error);

// "YYYYMMDDTHHMMSSZ" for the current time, in UTC.
std::string UtcTimestamp();

}  // namespace torvane

#endif  // TORVANE_PLATFORM_ATOMICFILE_H_
