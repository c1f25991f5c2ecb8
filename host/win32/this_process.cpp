#include "host/platform/this_process.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <shellapi.h>

#include "host/win32/wide.h"

namespace host {

ProcessId thisProcessId() {
    return static_cast<ProcessId>(GetCurrentProcessId());
}

void killThisProcess() {
    // As a kill from outside: no clean-up of any kind, exit code 137 like the POSIX build.
    TerminateProcess(GetCurrentProcess(), 137);
    ExitProcess(137);  // not reached
}

std::vector<std::string> programArguments(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    if (wide == nullptr) return args;
    // argv[0] stays as the C runtime read it: the two take a program name apart differently.
    if (n == argc)
        for (int i = 1; i < n; ++i) args[static_cast<std::size_t>(i)] = win32::fromWide(wide[i]);
    LocalFree(wide);
    return args;
}

}  // namespace host
