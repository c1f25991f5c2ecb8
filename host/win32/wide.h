// Text at the Windows API: the program's UTF-8 strings to and from the UTF-16 the W functions
// take, and the system's text for an error number. For host/win32 only.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>
#include <system_error>

namespace host::win32 {

std::wstring toWide(std::string_view utf8);
std::string fromWide(std::wstring_view utf16);
// FormatMessageW's text for a Win32 or Winsock error number, without the trailing line break;
// "" when the system has none.
std::string systemMessage(DWORD code);
// GetLastError as a std::error_code of the system category (Win32 error numbers).
std::error_code lastError();

}  // namespace host::win32
