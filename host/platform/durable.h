// Writes that are on stable storage once they return, for the journal of the staged install:
// a crash or a power loss afterwards finds either the whole new file or the old one.
#pragma once

#include <string>
#include <string_view>

#include "host/platform/files.h"

namespace host {

// Replaces `path` with `bytes`: written to a new file beside it, flushed, renamed over it and
// the folder flushed, so that the name holds the old or the new bytes at every moment.
IoFailure writeFileDurably(const std::string& path, std::string_view bytes);
// Adds `bytes` at the end of `path` (which must exist) and flushes the file.
IoFailure appendDurably(const std::string& path, std::string_view bytes);
// Flushes a folder's entries (names added, renamed or removed in it).
IoFailure syncFolder(const std::string& folder);

}  // namespace host
