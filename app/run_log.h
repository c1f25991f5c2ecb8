// The run log file: the lines of the log, newest first, each followed by CR LF, in the
// Windows-1252 code page without byte-order mark.
#pragma once

#include <string>
#include <vector>

namespace app {

// Replaces `fileName` with the lines; false when the file could not be written whole.
bool WriteRunLogFile(const std::string& fileName, const std::vector<std::string>& lines);

// The run log file's time stamp: local year, month, day, hour and minute, "yyyymmddhhnn".
std::string RunLogStamp();

}  // namespace app
