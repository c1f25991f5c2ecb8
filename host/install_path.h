// The installation folder's defaults and its configuration file's place: the Program Files
// folder, "config.ini" directly inside the installation path.
#pragma once

#include <string>
#include <string_view>

#include "host/host_settings.h"

namespace host {

inline constexpr std::string_view kInstallFolderName = "Ostrel";
inline constexpr std::string_view kConfigFileName = "config.ini";

// The Program Files folder with a trailing separator; the separator alone when the system
// names none.
std::string GetProgramFilesDir(const HostSettings& settings);
// The default installation path: GetProgramFilesDir followed by "Ostrel/".
std::string DefaultInstallPath(const HostSettings& settings);
// installPath (which ends with the separator) followed directly by "config.ini".
std::string GetConfigFileName(std::string_view installPath);
// True when that file exists (links followed) and is not a folder.
bool ConfigFileExists(std::string_view installPath);

}  // namespace host
