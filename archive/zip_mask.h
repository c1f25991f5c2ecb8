// Which entries a mask such as "*.*" or "bin\*.exe;*.sql" selects: parts split at ";", ASCII
// case ignored, "*" and "?" wildcards, and "*.*" matching names with or without a dot.
#pragma once

#include <string_view>

namespace archive {

// `entryName` is the decoded name with "/" or "\" separators; a directory's trailing separator
// is ignored.
bool matchesMask(std::string_view entryName, std::string_view mask);
// "*" any run of characters, "?" any one; both texts already upper-cased.
bool wildcardMatch(std::string_view text, std::string_view pattern);

}  // namespace archive
