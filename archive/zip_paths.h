// Where an entry is written: its stored folders kept below the base directory, or only its last
// name part; names that would leave the base directory are refused.
#pragma once

#include <string>
#include <string_view>

#include "core/result.h"

namespace archive {

enum class PathMode { RestorePath, NameOnly };

// The entry's path relative to the base directory with "/" separators, no trailing separator;
// an error text when the name is unsafe (a NUL character, a drive or any ":", a leading
// separator or "\\", a ".." part) or empty.
core::Result<std::string, std::string> relativeOutputPath(std::string_view entryName,
                                                          PathMode mode);

// The base directory as applied to an archive: without its trailing separator (a root keeps it).
std::string normaliseBaseDirectory(std::string_view base);

}  // namespace archive
