#include "ProgramSettings.h"

#include "ProgramFolder.h"

#ifdef _WIN32
#include "SystemRegistryHive.h"
#endif

namespace torvane {

ProgramSettings OpenProgramSettings([[maybe_unused]] const std::string& currentUserFile) {
#ifdef _WIN32
  return {OpenSystemRegistryStore(), "the registry"};
#else
  HiveFiles files = HiveFiles::InFolder(SettingsFolder());
  if (!currentUserFile.empty()) files.currentUser = currentUserFile;
  std::string where = files.currentUser;
  return {std::make_unique<SettingsStore>(std::move(files)), std::move(where)};
#endif
}

}  // namespace torvane
