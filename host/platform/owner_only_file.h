// A new file that only its owner may read or write, for secrets such as the publisher's private
// key: it is created with those rights (never widened first and narrowed later) and never
// replaces an existing file.
#pragma once

#include <string>
#include <string_view>
#include <system_error>

namespace host {

// Writes `bytes` to the new file `path` and flushes it. Fails with file_exists when the path is
// taken; on any failure nothing stays behind.
std::error_code writeNewOwnerOnlyFile(const std::string& path, std::string_view bytes);

}  // namespace host
