// The updater's temporary folder and package file: named after the MD5 of the latest version
// identifier, on the base of the program file (POSIX "/"), injectable through HostSettings.
#pragma once

#include <string>
#include <string_view>

#include "host/host_settings.h"

namespace host {

// Base + lower-case Md5Hex(latestVid) + "/", without touching the file system.
std::string TmpDirPath(std::string_view latestVid, const HostSettings& settings);
// TmpDirPath, after creating that one folder when it does not exist (the outcome is not
// examined: a folder that cannot be created shows when the package is written).
std::string GetTmpDir(std::string_view latestVid, const HostSettings& settings);
// GetTmpDir (creating the folder), then latestVid, then ".qlzip"; "" when latestVid would make
// that name leave the temporary folder (see JoinUnder).
std::string GetPackageFileName(std::string_view latestVid, const HostSettings& settings);

}  // namespace host
