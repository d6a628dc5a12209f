#include "ProgramFolder.h"

#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>

namespace torvane {

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, static_cast<size_t>(n));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? std::string(".") : exe.substr(0, slash);
}

std::string FindProgramLibrary(const std::string& programFolder, const std::string& fileName) {
  for (const std::string& candidate :
       {programFolder + "/" + fileName,
        programFolder + "/" + kInstalledLibraryFolder + "/" + fileName}) {
    char resolved[PATH_MAX];
    if (realpath(candidate.c_str(), resolved) != nullptr && access(resolved, R_OK) == 0) {
      return resolved;
    }
  }
  return {};
}

std::string ProgramLibrary(const std::string& fileName) {
  return FindProgramLibrary(ProgramFolder(), fileName);
}

std::string SettingsFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && *xdg != '\0') return std::string(xdg) + "/TorvaneTX";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : ".") + "/.config/TorvaneTX";
}

}  // namespace torvane
