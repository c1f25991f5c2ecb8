// File-system services that std::filesystem does not give: the program's own file, file
// times and attributes. Plain existence tests, folders and copies use std::filesystem.
#pragma once

#include <string>

namespace host {

// Full path of the running program's own file ("" when it cannot be found).
std::string programFilePath();

}  // namespace host
