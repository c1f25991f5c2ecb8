// Where the operating system keeps the folders the updater starts from.
#pragma once

#include <string>

namespace host {

// The Program Files folder as the system names it ("" when it has none); Windows reads the
// registry value "ProgramFilesDir", POSIX answers "/opt/".
std::string programFilesFolder();

}  // namespace host
