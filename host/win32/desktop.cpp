#include "host/platform/desktop.h"

#include <windows.h>

namespace host {

// A service or a scheduled task runs in a window station that no one sees; the user's session
// runs in the visible one (WSF_VISIBLE).
bool haveDesktop() {
    HWINSTA station = GetProcessWindowStation();
    USEROBJECTFLAGS flags{};
    DWORD needed = 0;
    if (station == nullptr ||
        !GetUserObjectInformationW(station, UOI_FLAGS, &flags, sizeof flags, &needed))
        return false;
    return (flags.dwFlags & WSF_VISIBLE) != 0;
}

}  // namespace host
