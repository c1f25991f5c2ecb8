// File names cross into the file system here. Names are UTF-8 throughout the program; on
// Windows the C library's narrow calls and a std::filesystem::path made from a char string read
// a name in the ANSI code page (or byte for byte), so a folder "Ostrèl" would not be found.
// Every open by name and every path handed to std::filesystem goes through these.
#pragma once

#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace host {

// The path of a UTF-8 name, and the UTF-8 name of a path (with the system's separators, or
// with "/" for the generic form).
std::filesystem::path fsPath(std::string_view utf8);
std::string pathText(const std::filesystem::path& path);
std::string genericPathText(const std::filesystem::path& path);

// std::fopen for a UTF-8 name (_wfopen on Windows); nullptr when it cannot be opened.
std::FILE* openFile(const std::string& name, const char* mode);

// The file's bytes, at most `limit` of them (a caller that refuses larger files asks for one
// more than it takes); nothing when it cannot be opened or read. A folder reads as missing.
std::optional<std::string> readWholeFile(
    const std::string& name, std::size_t limit = std::numeric_limits<std::size_t>::max());
// Creates the file, or empties it, and writes `bytes`; false when any step fails (what was
// written of a failed file stays; callers that need all or nothing write beside and rename).
bool writeWholeFile(const std::string& name, std::string_view bytes);

}  // namespace host
