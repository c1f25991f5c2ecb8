#include "host/platform/paths.h"

#include <windows.h>

#include <vector>

#include "host/win32/wide.h"

namespace host {

// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion, value "ProgramFilesDir", read in the view of a
// 32-bit program (KEY_WOW64_32KEY: this build is 64-bit, and the product it keeps current
// installs as a 32-bit program, under "Program Files (x86)" on 64-bit Windows). REG_SZ and
// REG_EXPAND_SZ are taken as stored, up to the first NUL, with no variable expanded; any other
// type, a missing key or a missing value gives "".
std::string programFilesFolder() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                      KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
        return {};
    DWORD type = 0;
    DWORD bytes = 0;
    std::vector<wchar_t> buf;
    LSTATUS rc = RegQueryValueExW(key, L"ProgramFilesDir", nullptr, &type, nullptr, &bytes);
    if (rc == ERROR_SUCCESS) {
        buf.resize(bytes / sizeof(wchar_t) + 1, L'\0');
        rc = RegQueryValueExW(key, L"ProgramFilesDir", nullptr, &type,
                              reinterpret_cast<BYTE*>(buf.data()), &bytes);
    }
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
    buf.resize(bytes / sizeof(wchar_t));
    std::wstring value(buf.begin(), buf.end());
    if (auto nul = value.find(L'\0'); nul != std::wstring::npos) value.resize(nul);
    return win32::fromWide(value);
}

}  // namespace host
