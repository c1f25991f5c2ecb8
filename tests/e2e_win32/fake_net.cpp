// "net" for the whole update under wine, put in the folder qlupdate.exe starts in (Windows
// looks for a program there before its own system folder, which has wine's net.exe). Each
// command line is added to net.log in the folder above this program's; "stop NAME" ends the
// process whose image images\NAME names, "start NAME" starts bin\IMAGE again. Exit 0 when done,
// 1 for an unknown verb, 2 for an unknown service.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "host/platform/process.h"

namespace fs = std::filesystem;

namespace {

fs::path worldFolder() {
    std::wstring self(MAX_PATH, L'\0');
    self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
    return fs::path(self).parent_path().parent_path();
}

std::string imageOf(const fs::path& world, const std::string& service) {
    std::ifstream in(world / "images" / service);
    std::string image;
    std::getline(in, image);
    return image;
}

bool startDetached(const fs::path& program) {
    std::wstring line = L"\"" + program.wstring() + L"\"";
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr,
                        nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path world = worldFolder();
    {
        std::ofstream log(world / "net.log", std::ios::app | std::ios::binary);
        for (int i = 1; i < argc; ++i) log << (i > 1 ? " " : "") << argv[i];
        log << "\n";
    }
    if (argc != 3) return 1;
    const std::string verb = argv[1];
    const std::string image = imageOf(world, argv[2]);
    if (image.empty()) return 2;
    if (verb == "stop") {
        const host::ProcessId id = host::FindProcessByModule(image);
        if (id == 0 || !host::KillProcess(id)) return 2;
        for (int i = 0; i < 500 && host::IsProcessRunning(image); ++i) Sleep(10);
        return host::IsProcessRunning(image) ? 1 : 0;
    }
    if (verb == "start") return startDetached(world / "bin" / image) ? 0 : 2;
    return 1;
}
