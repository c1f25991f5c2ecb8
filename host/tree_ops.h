// Whole-tree operations as the Windows shell does them: a recursive permanent delete, and a
// recursive copy that merges into existing folders and replaces files of the same name.
#pragma once

#include <string>
#include <string_view>

#include "host/platform/files.h"

namespace host {

// Removes the folder (given without its trailing separator) with everything in it, for good.
// True on success; false for a missing path, an empty path, a root, or a failed removal.
bool DeleteTree(std::string_view folder);

// Copies `source` into the existing folder `dest` under its own name (or, when `dest` does not
// exist, to `dest` itself), merging into folders that exist and replacing files of the same
// name. Each file is replaced atomically, and the files are replaced only once every new one
// is written and flushed: a failure leaves every old file as it was (new folders may stay).
// True on success; on failure errorText holds the shell's text for the condition ("" when the
// code has none).
bool CopyTree(std::string_view source, std::string_view dest, std::string& errorText);

// The shell result code for the same copy (0 on success), for callers that log the code.
int CopyTreeCode(std::string_view source, std::string_view dest);

// Copies what the folder `source` holds into the folder `dest` itself (created with the folders
// above it when missing), whatever the two folders are called; merging, replacing and failing
// as CopyTree does. The installation takes the package's tree this way.
bool MergeTree(std::string_view source, std::string_view dest, std::string& errorText);
int MergeTreeCode(std::string_view source, std::string_view dest);

// The shell result code that stands for a failure on one side of a copy.
int ShellCodeForFailure(IoFailure failure);

}  // namespace host
