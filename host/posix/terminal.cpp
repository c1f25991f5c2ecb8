#include "host/platform/terminal.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace host {

namespace {
int descriptor(StdStream stream) {
    return stream == StdStream::Output ? STDOUT_FILENO : STDERR_FILENO;
}
}  // namespace

bool isTerminal(StdStream stream) {
    return isatty(descriptor(stream)) == 1;
}

int terminalColumns(StdStream stream) {
    winsize size{};
    if (!isTerminal(stream) || ioctl(descriptor(stream), TIOCGWINSZ, &size) != 0) return 0;
    return size.ws_col;
}

}  // namespace host
