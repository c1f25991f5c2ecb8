// The running process itself: its id, and an immediate end without any clean-up (what a kill
// or a power loss does to a run; the fault-injection hook of the staged install uses it).
#pragma once

#include <string>
#include <vector>

#include "host/platform/process.h"

namespace host {

ProcessId thisProcessId();
// Ends the process at once, as SIGKILL does: no destructors, no buffers flushed.
[[noreturn]] void killThisProcess();
// The program's arguments (argv[0] first) in UTF-8. POSIX gives main() the bytes as they are;
// Windows gives it the ANSI code page's bytes, so there they come from the UTF-16 command line
// (argv as given when the two do not count the same words).
std::vector<std::string> programArguments(int argc, char** argv);

}  // namespace host
