// File-system services that std::filesystem does not give: the program's own file, file
// times and attributes. Plain existence tests, folders and copies use std::filesystem.
#pragma once

#include <string>

namespace host {

// Full path of the running program's own file ("" when it cannot be found).
std::string programFilePath();

// A calendar date and time of day as the local clock shows it.
struct LocalDateTime {
    int year = 1980;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Sets the file's last-write time (and its access time, which POSIX sets together) from a
// local time; false when the time does not exist or the file refuses it.
bool setFileTimeLocal(const std::string& path, const LocalDateTime& t);
// The file's last-write time as local time; false when it cannot be read.
bool fileTimeLocal(const std::string& path, LocalDateTime& out);
// The read-only attribute: on POSIX no one may write the file (every write bit clear). A
// write-protected file is one whose owner may not write it, whoever the process runs as.
bool setReadOnly(const std::string& path);
bool isWriteProtected(const std::string& path);

}  // namespace host
