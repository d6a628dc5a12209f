#ifndef TORVANE_PLATFORM_PROGRAMFOLDER_H_
#define TORVANE_PLATFORM_PROGRAMFOLDER_H_

#include <string>

namespace torvane {

// The folder that holds the running executable, without a trailing slash;
// "." when it cannot be determined.
std::string ProgramFolder();

// The folder an installed program keeps its own libraries in, relative to the
// folder of its executables (/usr/bin -> /usr/lib/torvanetx).
constexpr const char* kInstalledLibraryFolder = "../lib/torvanetx";

// The full path of the program's own copy of a library in programFolder: the
// file beside the executable (a build folder), else the one in the installed
// library folder; empty when neither exists. Symbolic links and ".." are
// resolved, so two ways of naming one file give the same path.
std::string FindProgramLibrary(const std::string& programFolder, const std::string& fileName);

// FindProgramLibrary for the running executable.
std::string ProgramLibrary(const std::string& fileName);

// $XDG_CONFIG_HOME/TorvaneTX, or ~/.config/TorvaneTX when that is unset.
std::string SettingsFolder();

}  // namespace torvane

#endif  // TORVANE_PLATFORM_PROGRAMFOLDER_H_
