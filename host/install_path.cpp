#include "host/install_path.h"

#include <filesystem>
#include <system_error>

#include "host/paths.h"
#include "host/platform/file_names.h"
#include "host/platform/paths.h"

namespace host {

std::string GetProgramFilesDir(const HostSettings& settings) {
    return IncludeTrailingPathDelimiter(settings.programFilesDir ? *settings.programFilesDir
                                                                 : programFilesFolder());
}

std::string DefaultInstallPath(const HostSettings& settings) {
    return GetProgramFilesDir(settings) + std::string(kInstallFolderName) + kPathDelim;
}

std::string GetConfigFileName(std::string_view installPath) {
    return std::string(installPath) + std::string(kConfigFileName);
}

bool ConfigFileExists(std::string_view installPath) {
    std::error_code ec;
    auto st = std::filesystem::status(fsPath(GetConfigFileName(installPath)), ec);
    return !ec && std::filesystem::exists(st) && !std::filesystem::is_directory(st);
}

}  // namespace host
