#include "host/platform/this_process.h"

#include <windows.h>

namespace host {

ProcessId thisProcessId() {
    return static_cast<ProcessId>(GetCurrentProcessId());
}

void killThisProcess() {
    // As a kill from outside: no clean-up of any kind, exit code 137 like the POSIX build.
    TerminateProcess(GetCurrentProcess(), 137);
    ExitProcess(137);  // not reached
}

}  // namespace host
