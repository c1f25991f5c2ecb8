// host/win32 against the real Windows API (under wine in CI): the registry value, processes
// started, found and terminated, refused connections, the copy over a read-only file, the
// system's code pages.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "host/install_path.h"
#include "host/paths.h"
#include "host/platform.h"
#include "host/tree_ops.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion in the 32-bit view, put back as it was when
// the test ends.
class ProgramFilesValue {
  public:
    ProgramFilesValue() {
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion", 0,
                        nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &m_key, nullptr);
        DWORD size = sizeof m_saved;
        m_had = RegQueryValueExW(m_key, L"ProgramFilesDir", nullptr, &m_type,
                                 reinterpret_cast<BYTE*>(m_saved), &size) == ERROR_SUCCESS;
        m_size = size;
    }
    ~ProgramFilesValue() {
        if (m_had)
            RegSetValueExW(m_key, L"ProgramFilesDir", 0, m_type,
                           reinterpret_cast<const BYTE*>(m_saved), m_size);
        else
            RegDeleteValueW(m_key, L"ProgramFilesDir");
        RegCloseKey(m_key);
    }
    void set(DWORD type, const std::wstring& value) {
        RegSetValueExW(m_key, L"ProgramFilesDir", 0, type,
                       reinterpret_cast<const BYTE*>(value.data()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    }
    void setNumber(DWORD n) {
        RegSetValueExW(m_key, L"ProgramFilesDir", 0, REG_DWORD, reinterpret_cast<BYTE*>(&n),
                       sizeof n);
    }
    void remove() { RegDeleteValueW(m_key, L"ProgramFilesDir"); }

  private:
    HKEY m_key = nullptr;
    bool m_had = false;
    DWORD m_type = 0;
    DWORD m_size = 0;
    wchar_t m_saved[1024] = {};
};

TEST(Win32Registry, ProgramFilesDirAsStoredInThe32BitView) {
    ProgramFilesValue reg;
    struct Case {
        const char* name;
        DWORD type;
        std::wstring value;
        std::string folder, installPath;
    } cases[] = {
        {"REG_SZ", REG_SZ, L"C:\\Program Files (x86)", "C:\\Program Files (x86)",
         "C:\\Program Files (x86)\\Ostrel\\"},
        {"trailing separator kept single", REG_SZ, L"D:\\Apps\\", "D:\\Apps\\",
         "D:\\Apps\\Ostrel\\"},
        {"REG_EXPAND_SZ not expanded", REG_EXPAND_SZ, L"%SystemDrive%\\PF", "%SystemDrive%\\PF",
         "%SystemDrive%\\PF\\Ostrel\\"},
        {"cut at the first NUL", REG_SZ, std::wstring(L"C:\\A\0B", 6), "C:\\A", "C:\\A\\Ostrel\\"},
        {"not Unicode-only", REG_SZ, L"C:\\Programmi \u00e8", "C:\\Programmi \xc3\xa8",
         "C:\\Programmi \xc3\xa8\\Ostrel\\"},
    };
    for (const Case& c : cases) {
        reg.set(c.type, c.value);
        EXPECT_EQ(host::programFilesFolder(), c.folder) << c.name;
        EXPECT_EQ(host::DefaultInstallPath({}), c.installPath) << c.name;
    }
    reg.setNumber(7);
    EXPECT_EQ(host::programFilesFolder(), "") << "REG_DWORD";
    reg.remove();
    EXPECT_EQ(host::programFilesFolder(), "") << "absent";
    EXPECT_EQ(host::DefaultInstallPath({}), "\\Ostrel\\") << "absent";
}

TEST(Win32Paths, ProgramFileAndItsDrive) {
    const std::string self = host::programFilePath();
    EXPECT_EQ(fs::path(self).filename().string(), "test_host.exe");
    const std::string drive = host::DriveOf(self);
    ASSERT_EQ(drive.size(), 2u) << self;
    EXPECT_EQ(drive[1], ':');
    EXPECT_EQ(host::kPathDelim, '\\');
    EXPECT_EQ(host::IncludeTrailingPathDelimiter("C:\\Ostrel"), "C:\\Ostrel\\");
}

// A copy of the idle program under an image name, started with CreateProcessW.
class IdleProcess {
  public:
    IdleProcess(const testsupport::TempDir& dir, const std::string& image) {
        const fs::path exe = dir.path() / image;
        fs::copy_file(QL_WIN32_IDLE_PROGRAM, exe);
        std::wstring line = L"\"" + exe.wstring() + L"\"";
        STARTUPINFOW si{};
        si.cb = sizeof si;
        // Without a console: under wine, the console host made for a CREATE_NO_WINDOW child
        // outlives the child when it is terminated, holding our standard error open, and
        // ctest waits for that to close until its time-out.
        m_ok = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS,
                              nullptr, nullptr, &si, &m_info) != 0;
    }
    ~IdleProcess() {
        if (!m_ok) return;
        TerminateProcess(m_info.hProcess, 1);
        WaitForSingleObject(m_info.hProcess, 5000);
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
    }
    bool ok() const { return m_ok; }
    host::ProcessId id() const { return m_info.dwProcessId; }
    bool endsWithin(DWORD ms) const { return WaitForSingleObject(m_info.hProcess, ms) == 0; }
    DWORD exitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(m_info.hProcess, &code);
        return code;
    }

  private:
    PROCESS_INFORMATION m_info{};
    bool m_ok = false;
};

TEST(Win32Processes, StartedFoundAndTerminated) {
    testsupport::TempDir dir;
    EXPECT_FALSE(host::IsProcessRunning("OsReceiveSrv.exe"));
    IdleProcess p(dir, "OsReceiveSrv.exe");
    ASSERT_TRUE(p.ok());
    const auto snapshot = host::processSnapshot();
    ASSERT_FALSE(snapshot.empty());
    EXPECT_EQ(snapshot.front().id, 0u) << "the idle entry comes first";
    EXPECT_TRUE(host::IsProcessRunning("osreceivesrv.EXE"));
    EXPECT_EQ(host::moduleBaseName(p.id()), "OsReceiveSrv.exe");
    EXPECT_EQ(host::FindProcessByModule("OsReceiveSrv.exe"), p.id());
    EXPECT_TRUE(host::KillProcess(p.id()));
    ASSERT_TRUE(p.endsWithin(5000));
    EXPECT_EQ(p.exitCode(), 0u) << "TerminateProcess with the exit code 0";
    EXPECT_FALSE(host::IsProcessRunning("OsReceiveSrv.exe"));
    EXPECT_FALSE(host::KillProcess(0));
    EXPECT_EQ(host::moduleBaseName(0), "unknown");
}

TEST(Win32Processes, RunAndWaitGivesTheExitCode) {
    struct Case {
        const char* name;
        std::string line;
        int code;
    } cases[] = {
        {"exit code", "cmd /c exit 7", 7},
        {"success", "cmd /c exit 0", 0},
        {"no such program", "ql-no-such-program-here", -1},
        {"empty line", "", -1},
        {"longer than 512 characters", "cmd /c exit 3 " + std::string(500, ' '), -1},
    };
    for (const Case& c : cases) EXPECT_EQ(host::RunAndWait(c.line), c.code) << c.name;
}

TEST(Win32Sockets, RefusedConnectionAndUnknownHost) {
    // A port that was just free: nobody listens there.
    auto l = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
    ASSERT_TRUE(l.ok());
    const std::uint16_t port = l->port();
    l->close();
    auto s = host::Socket::connect({host::AddressFamily::IPv4, "127.0.0.1", port});
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().code, 10061);
    EXPECT_EQ(s.error().text, "Connection refused.");
    auto r = host::resolve("ql-no-such-host.invalid", 80, host::AddressFamily::IPv4);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().op, host::SocketOp::Resolve);
    EXPECT_EQ(r.error().code, 11001);
    EXPECT_EQ(r.error().text, "Host not found.");
    EXPECT_EQ(host::systemErrorText(10060), "Connection timed out.");
}

TEST(Win32Files, CopyReplacesAReadOnlyFile) {
    testsupport::TempDir dir;
    dir.write("src/pkg/a.txt", "new");
    dir.write("dst/pkg/a.txt", "old");
    const std::string target = (dir.path() / "dst/pkg/a.txt").string();
    ASSERT_TRUE(host::setReadOnly(target));
    ASSERT_TRUE(host::isWriteProtected(target));
    std::string error = "x";
    EXPECT_TRUE(
        host::CopyTree((dir.path() / "src/pkg").string(), (dir.path() / "dst").string(), error));
    EXPECT_EQ(error, "");
    EXPECT_EQ(testsupport::readFile(target), "new");
    EXPECT_FALSE(host::isWriteProtected(target));
    for (const auto& e : fs::directory_iterator(dir.path() / "dst/pkg"))
        EXPECT_EQ(e.path().filename().string(), "a.txt") << "no staged file left";
}

TEST(Win32Text, TheSystemsCodePages) {
    EXPECT_EQ(host::systemAnsiCodePage(), static_cast<int>(GetACP()));
    EXPECT_EQ(host::systemOemCodePage(), static_cast<int>(GetOEMCP()));
}

}  // namespace
