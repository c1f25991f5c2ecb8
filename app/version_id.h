// The latest version identifier names the package on the server, the temporary package file,
// the unpacked folder and the run log file: it must be a plain file name, never a path.
#pragma once

#include <cstddef>
#include <string_view>

namespace app {

// Longer identifiers are not version identifiers (the company table holds 20 characters).
inline constexpr std::size_t kMaxVersionIdLength = 64;

// True for the empty identifier and for one that every file system we run on, and the update
// server's URL, take as one plain name: printable ASCII only, at most kMaxVersionIdLength
// bytes, none of / \ : * ? " < > | # %, no "..", and not a Windows device name (CON, NUL, COM1,
// ...) before its first ".".
bool IsSafeVersionId(std::string_view vid);

}  // namespace app
