// The system's text settings the Parts name: its ANSI and OEM code pages, and the user's
// collation of names (the order of the script list).
#pragma once

#include <string_view>

namespace host {

// The system's 8-bit (ANSI) and OEM code pages: Windows' GetACP and GetOEMCP; on POSIX the
// fixed pair of a Western European Windows, 1252 and 850.
int systemAnsiCodePage();
int systemOemCodePage();

// Orders two names (UTF-8) as the user's locale does, without regard to letter case: below 0,
// 0 or above 0. Windows: CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE). POSIX: "."
// before digits before letters, letters without regard to ASCII case, other punctuation before
// the dot and bytes beyond ASCII after the letters, by code.
int compareNamesNoCase(std::string_view a, std::string_view b);

}  // namespace host
