#include "host/paths.h"

#include <cctype>

namespace host {

std::string IncludeTrailingPathDelimiter(std::string_view path) {
    std::string out(path);
    if (out.empty() || out.back() != kPathDelim) out += kPathDelim;
    return out;
}

std::string ExcludeTrailingPathDelimiter(std::string_view path) {
    std::string out(path);
    if (out.size() > 1 && out.back() == kPathDelim) out.pop_back();
    return out;
}

std::string DriveOf(std::string_view path) {
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0])))
        return std::string(path.substr(0, 2));
    if (path.starts_with("\\\\")) {
        // Server and share: up to, not including, the separator after the share name.
        auto shareStart = path.find('\\', 2);
        if (shareStart == std::string_view::npos) return std::string(path);
        auto shareEnd = path.find('\\', shareStart + 1);
        return std::string(path.substr(0, shareEnd));
    }
    // POSIX has one root: every absolute path lies on "/".
    if (path.starts_with("/")) return "/";
    return {};
}

std::string JoinUnder(std::string_view base, std::string_view name) {
    // A separator of either system, a drive or stream (":") and NUL (which ends an operating
    // system path early) could all make the joined text name a place outside base.
    if (name.find_first_of(std::string_view("/\\:\0", 4)) != std::string_view::npos) return {};
    if (name == "." || name == "..") return {};
    return std::string(base) + std::string(name);
}

}  // namespace host
