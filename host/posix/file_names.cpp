#include "host/platform/file_names.h"

namespace host {

std::filesystem::path fsPath(std::string_view utf8) {
    return std::filesystem::path(std::string(utf8));
}

std::string pathText(const std::filesystem::path& path) {
    return path.string();
}

std::string genericPathText(const std::filesystem::path& path) {
    return path.generic_string();
}

std::FILE* openFile(const std::string& name, const char* mode) {
    return std::fopen(name.c_str(), mode);
}

}  // namespace host
