#ifndef TORVANE_PLATFORM_PROGRAMFOLDER_H_
#define TORVANE_PLATFORM_PROGRAMFOLDER_H_

#include <string>

namespace torvane {

// The folder that holds the running executable, without a trailing slash;
// "." when it cannot be determined.
std::string ProgramFolder();

// $XDG_CONFIG_HOME/TorvaneTX, or ~/.config/TorvaneTX when that is unset.
std::string SettingsFolder();

}  // namespace torvane

#endif  // TORVANE_PLATFORM_PROGRAMFOLDER_H_
