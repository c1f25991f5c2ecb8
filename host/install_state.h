// The updater's own folder inside an installation, ".qlupdate/": the installation lock, the
// journal of an install or rollback in progress, the backup of the version last replaced and
// the package cache. It lives in the installation so that it is on the installation's volume
// (backups are hard links, restores are renames) and goes wherever the installation goes.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace host {

inline constexpr std::string_view kStateFolderName = ".qlupdate";

// installPath (with its trailing separator) + ".qlupdate/".
std::string StateFolder(std::string_view installPath);
// Creates the state folder (one level: the installation must exist); true when it is there.
bool EnsureStateFolder(std::string_view installPath, std::error_code& error);

// The places inside the state folder.
std::string LockFilePath(std::string_view installPath);         // "lock"
std::string JournalPath(std::string_view installPath);          // "journal"
std::string StagingFolder(std::string_view installPath);        // "staging/": a backup being made
std::string PackageFolder(std::string_view installPath);        // "packages/": the package cache
std::string InstalledRecordPath(std::string_view installPath);  // "installed": the version
// The folder of the last backup, "backup-" + the version it holds.
std::string BackupFolder(std::string_view installPath, std::string_view version);
inline constexpr std::string_view kBackupPrefix = "backup-";

}  // namespace host
