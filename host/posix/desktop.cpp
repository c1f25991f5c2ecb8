#include "host/platform/desktop.h"

#include <cstdlib>

namespace host {

bool haveDesktop() {
    const char* x = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (x && *x) || (w && *w);
}

}  // namespace host
