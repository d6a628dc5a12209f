// Where the program keeps its settings on this system, chosen in one place for
// the window and the command-line station alike: on Windows the registry
// (HKEY_CURRENT_USER\SOFTWARE\TorvaneTX and the classes of
// HKEY_CLASSES_ROOT), elsewhere the REGEDIT4 files of the settings folder.
#ifndef TORVANE_APP_SETTINGS_PROGRAMSETTINGS_H_
#define TORVANE_APP_SETTINGS_PROGRAMSETTINGS_H_

#include <memory>
#include <string>

#include "SettingsStore.h"

namespace torvane {

struct ProgramSettings {
  std::unique_ptr<SettingsStore> store;
  // For the operator: "the registry", or the current user's settings file.
  std::string where;
};

// currentUserFile, when not empty, keeps the current user's hive in that file
// instead (a tool's --registry); on Windows it is not used.
ProgramSettings OpenProgramSettings(const std::string& currentUserFile = {});

}  // namespace torvane

#endif  // TORVANE_APP_SETTINGS_PROGRAMSETTINGS_H_
