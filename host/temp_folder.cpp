#include "host/temp_folder.h"

#include <filesystem>
#include <system_error>

#include "core/md5.h"
#include "host/paths.h"
#include "host/platform/file_names.h"
#include "host/platform/files.h"

namespace host {

std::string TmpDirPath(std::string_view latestVid, const HostSettings& settings) {
    std::string base = settings.tempRoot ? *settings.tempRoot : DriveOf(programFilePath());
    return IncludeTrailingPathDelimiter(base) + core::Md5Hex(latestVid) + kPathDelim;
}

std::string GetTmpDir(std::string_view latestVid, const HostSettings& settings) {
    std::string path = TmpDirPath(latestVid, settings);
    std::error_code ec;
    const std::filesystem::path folder = fsPath(path);
    if (!std::filesystem::is_directory(folder, ec)) std::filesystem::create_directory(folder, ec);
    return path;
}

std::string GetPackageFileName(std::string_view latestVid, const HostSettings& settings) {
    // The identifier is checked when it is read; the join refuses it again should a separator
    // have come through, so the package file is always inside the temporary folder.
    return JoinUnder(GetTmpDir(latestVid, settings), std::string(latestVid) + ".qlzip");
}

}  // namespace host
