#include "host/platform/terminal.h"

#include <windows.h>

namespace host {

namespace {
HANDLE handleOf(StdStream stream) {
    return GetStdHandle(stream == StdStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
}
}  // namespace

// A console answers GetConsoleMode; a file, a pipe or no handle at all does not.
bool isTerminal(StdStream stream) {
    DWORD mode = 0;
    HANDLE handle = handleOf(stream);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

int terminalColumns(StdStream stream) {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!isTerminal(stream) || !GetConsoleScreenBufferInfo(handleOf(stream), &info)) return 0;
    return info.srWindow.Right - info.srWindow.Left + 1;
}

}  // namespace host
