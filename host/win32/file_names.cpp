#include "host/platform/file_names.h"

#include "host/win32/wide.h"

namespace host {

std::filesystem::path fsPath(std::string_view utf8) {
    return std::filesystem::path(win32::toWide(utf8));
}

std::string pathText(const std::filesystem::path& path) {
    return win32::fromWide(path.native());
}

std::string genericPathText(const std::filesystem::path& path) {
    return win32::fromWide(path.generic_wstring());
}

std::FILE* openFile(const std::string& name, const char* mode) {
    return _wfopen(win32::toWide(name).c_str(), win32::toWide(mode).c_str());
}

}  // namespace host
