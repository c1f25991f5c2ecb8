// Folder-path text rules shared by the host operations: every folder path is carried with a
// trailing separator, and the tree delete takes its folder without it.
#pragma once

#include <string>
#include <string_view>

namespace host {

inline constexpr char kPathDelim = '/';

// Appends the separator unless the text already ends with it (so "" becomes "/").
std::string IncludeTrailingPathDelimiter(std::string_view path);
// Removes one trailing separator, except from a root ("/" stays "/").
std::string ExcludeTrailingPathDelimiter(std::string_view path);

// The "drive" of a program file, the base of the temporary folder: "C:" for a path with a drive
// letter, "\\server\share" for a network path, "/" for an absolute POSIX path, else "".
std::string DriveOf(std::string_view path);

}  // namespace host
