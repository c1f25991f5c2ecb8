#include "archive/zip_paths.h"

#include <vector>

namespace archive {

core::Result<std::string, std::string> relativeOutputPath(std::string_view entryName,
                                                          PathMode mode) {
    std::string name(entryName);
    for (char& c : name)
        if (c == '/') c = '\\';
    while (!name.empty() && name.back() == '\\') name.pop_back();
    // The operating system would end the name at a NUL: "x.txt\0.exe" must not become "x.txt".
    if (name.find('\0') != std::string::npos)
        return core::fail(std::string("name with a NUL character"));
    if (name.find(':') != std::string::npos)
        return core::fail(std::string("name with a drive or colon"));
    if (name.find("\\\\") != std::string::npos || (!name.empty() && name.front() == '\\'))
        return core::fail(std::string("absolute name"));

    std::vector<std::string_view> parts;
    std::string_view rest = name;
    while (!rest.empty()) {
        const std::size_t cut = rest.find('\\');
        const std::string_view part = rest.substr(0, cut);
        rest = cut == std::string_view::npos ? std::string_view{} : rest.substr(cut + 1);
        if (part == "..") return core::fail(std::string("name with a \"..\" part"));
        if (part != ".") parts.push_back(part);
    }
    if (parts.empty()) return core::fail(std::string("empty name"));
    if (mode == PathMode::NameOnly) return std::string(parts.back());
    std::string out;
    for (std::string_view p : parts) {
        if (!out.empty()) out += '/';
        out += p;
    }
    return out;
}

std::string normaliseBaseDirectory(std::string_view base) {
    std::string out(base);
    while (out.size() > 1 && (out.back() == '/' || out.back() == '\\') &&
           out[out.size() - 2] != ':')
        out.pop_back();
    return out;
}

}  // namespace archive
