// File-system services that std::filesystem does not give: the program's own file and a file
// copy that replaces its destination atomically. Existence tests and folders use std::filesystem.
#pragma once

#include <string>

namespace host {

// Full path of the running program's own file ("" when it cannot be found).
std::string programFilePath();

// Which end of a copy an error belongs to, so that it can be reported as the shell would.
enum class IoSide { Source, Destination };
struct IoFailure {
    int error = 0;  // errno-style code; 0 on success
    IoSide side = IoSide::Source;
    explicit operator bool() const { return error != 0; }
};

// Copies the regular file `from` to `to`: the bytes, permission bits and modification time go
// to a new file beside `to`, which is flushed and then renamed over `to`. A failure at any point
// removes the new file and leaves `to` as it was.
IoFailure replaceFileAtomically(const std::string& from, const std::string& to);

}  // namespace host
