// Folder-path text rules shared by the host operations: every folder path is carried with a
// trailing separator, and the tree delete takes its folder without it.
#pragma once

#include <string>
#include <string_view>

namespace host {

// The system's path separator.
#if defined(_WIN32)
inline constexpr char kPathDelim = '\\';
#else
inline constexpr char kPathDelim = '/';
#endif

// Appends the separator unless the text already ends with it (so "" becomes "/" on POSIX).
std::string IncludeTrailingPathDelimiter(std::string_view path);
// Removes one trailing separator, except from a root ("/" stays "/").
std::string ExcludeTrailingPathDelimiter(std::string_view path);

// The "drive" of a program file, the base of the temporary folder: "C:" for a path with a drive
// letter, "\\server\share" for a network path, "/" for an absolute POSIX path, else "".
std::string DriveOf(std::string_view path);

// `base` (a folder path with its trailing separator) followed by `name`, provided the result
// cannot leave base: `name` is empty (base itself) or one path component of every system we
// run on (no "/", "\\", ":" or NUL, not "." or ".."). "" when it could leave base.
std::string JoinUnder(std::string_view base, std::string_view name);

}  // namespace host
