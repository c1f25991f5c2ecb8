// Processes on Windows: Toolhelp snapshots, the process's program module, TerminateProcess,
// CreateProcessW, GetTickCount and Sleep.
#include "host/platform/process.h"

#include <windows.h>
// After windows.h, whose types they use.
#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

#include "core/text.h"
#include "host/win32/wide.h"

namespace host {

namespace {

constexpr std::string_view kIdleName = "[System Process]";
constexpr std::string_view kUnknownModule = "unknown";

}  // namespace

// CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0) and Process32FirstW/NextW: every process with its
// image file name (szExeFile). Windows lists its idle process (id 0) first; a system that does
// not (wine) gets the entry put in front, so the first entry is the idle one everywhere.
std::vector<ProcessInfo> processSnapshot() {
    std::vector<ProcessInfo> out;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0);
    if (snap == INVALID_HANDLE_VALUE) return out;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snap, &entry); more; more = Process32NextW(snap, &entry)) {
        entry.szExeFile[MAX_PATH - 1] = L'\0';
        out.push_back({entry.th32ProcessID, win32::fromWide(entry.szExeFile)});
    }
    CloseHandle(snap);
    if (!out.empty() && out.front().id != 0)
        out.insert(out.begin(), ProcessInfo{0, std::string(kIdleName)});
    return out;
}

// OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ), EnumProcessModules for one module
// (the program's own), GetModuleBaseNameW into 1024 characters and a NUL.
std::string moduleBaseName(ProcessId id) {
    std::string name(kUnknownModule);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
    if (process == nullptr) return name;
    HMODULE module = nullptr;
    DWORD needed = 0;
    if (EnumProcessModules(process, &module, sizeof module, &needed)) {
        std::vector<wchar_t> buf(1025, L'\0');
        const DWORD n = GetModuleBaseNameW(process, module, buf.data(), 1024);
        if (n > 0) name = win32::fromWide(std::wstring_view(buf.data(), n));
    }
    CloseHandle(process);
    return name;
}

// OpenProcess(PROCESS_ALL_ACCESS) and TerminateProcess with the exit code 0.
bool KillProcess(ProcessId id) {
    if (id == 0) return false;
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, TRUE, id);
    if (process == nullptr) return false;
    const bool ok = TerminateProcess(process, 0) != 0;
    CloseHandle(process);
    return ok;
}

// CreateProcessW with no program name (the line's first word names the program, found through
// the search path), the line in a writable buffer of kMaxCommandLine + 1 characters, shown
// normally in a new console, our environment and folder; then a wait without limit.
int RunAndWait(std::string_view commandLine) {
    std::wstring line = win32::toWide(commandLine);
    if (line.empty() || line.size() > kMaxCommandLine) return -1;
    std::vector<wchar_t> buf(kMaxCommandLine + 1, L'\0');
    std::copy(line.begin(), line.end(), buf.begin());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup,
                        &info))
        return -1;
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = 0;
    const bool read = GetExitCodeProcess(info.hProcess, &code) != 0;
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return read ? static_cast<int>(code) : -1;
}

namespace {

std::uint32_t tickCount() {
    return GetTickCount();
}

void sleepMilliseconds(std::uint32_t ms) {
    Sleep(ms);
}

}  // namespace

const TickSource& systemTicks() {
    static const TickSource ticks{tickCount, sleepMilliseconds};
    return ticks;
}

}  // namespace host
