#include "host/install_state.h"

#include <filesystem>

#include "host/paths.h"
#include "host/platform/file_names.h"

namespace host {

std::string StateFolder(std::string_view installPath) {
    return IncludeTrailingPathDelimiter(installPath) + std::string(kStateFolderName) + kPathDelim;
}

bool EnsureStateFolder(std::string_view installPath, std::error_code& error) {
    error.clear();
    const std::filesystem::path folder =
        fsPath(ExcludeTrailingPathDelimiter(StateFolder(installPath)));
    std::filesystem::create_directory(folder, error);
    if (error) return false;
    return std::filesystem::is_directory(std::filesystem::symlink_status(folder, error));
}

std::string LockFilePath(std::string_view installPath) {
    return StateFolder(installPath) + "lock";
}

std::string JournalPath(std::string_view installPath) {
    return StateFolder(installPath) + "journal";
}

std::string StagingFolder(std::string_view installPath) {
    return StateFolder(installPath) + "staging" + kPathDelim;
}

std::string PackageFolder(std::string_view installPath) {
    return StateFolder(installPath) + "packages" + kPathDelim;
}

std::string InstalledRecordPath(std::string_view installPath) {
    return StateFolder(installPath) + "installed";
}

std::string BackupFolder(std::string_view installPath, std::string_view version) {
    return StateFolder(installPath) + std::string(kBackupPrefix) + std::string(version) +
           kPathDelim;
}

}  // namespace host
