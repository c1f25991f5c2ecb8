#include "host/platform/text.h"

#include <windows.h>

#include "host/win32/wide.h"

namespace host {

int systemAnsiCodePage() {
    return static_cast<int>(GetACP());
}

int systemOemCodePage() {
    return static_cast<int>(GetOEMCP());
}

int compareNamesNoCase(std::string_view a, std::string_view b) {
    const std::wstring x = win32::toWide(a);
    const std::wstring y = win32::toWide(b);
    const int rc = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, x.data(),
                                  static_cast<int>(x.size()), y.data(), static_cast<int>(y.size()));
    // CSTR_LESS_THAN (1), CSTR_EQUAL (2), CSTR_GREATER_THAN (3); 0 when the call fails, which
    // falls back on the order of the code units.
    if (rc == 0) return x < y ? -1 : (x == y ? 0 : 1);
    return rc - CSTR_EQUAL;
}

}  // namespace host
