#include "tests/support/tools.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/temp_dir.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace testsupport {

namespace {

// Each word quoted for the one that reads the line: sh on POSIX (std::system), the C runtime's
// argument parser of the started program on Windows (CreateProcessW).
#if defined(_WIN32)
// The C runtime's rules for one argument: inside double quotes, backslashes count only before
// a quote, so those are doubled, and a quote is escaped with a backslash.
std::string quoteWord(std::string_view word) {
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') backslashes = backslashes * 2 + 1;
        out.append(backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}
#else
std::string quoteWord(std::string_view word) {
    return shellQuote(word);
}
#endif

int exitCodeOf(int rc) {
#if defined(_WIN32)
    return rc;
#else
    return rc == -1 ? -1 : (rc >> 8) & 0xFF;
#endif
}

std::string nativePath(std::filesystem::path p) {
    return p.make_preferred().string();
}

}  // namespace

std::string qltoolPath() {
    return QL_QLTOOL;
}

std::string qlupdatePath() {
    return QL_QLUPDATE;
}

#if !defined(_WIN32)
ToolRun runTool(const std::vector<std::string>& argv, Stderr stderrMode, std::string_view input) {
    ToolRun run;
    if (argv.empty()) return run;
    TempDir tmp;
    const std::string in = nativePath(tmp.write("in", input));
    const std::string out = nativePath(tmp.path() / "out");
    const std::string err = nativePath(tmp.path() / "err");
    std::string line;
    for (const std::string& word : argv) line += quoteWord(word) + " ";
    line += "<" + quoteWord(in) + " >" + quoteWord(out) + " 2>";
    line += stderrMode == Stderr::WithStdout ? std::string("&1") : quoteWord(err);
    run.status = exitCodeOf(std::system(line.c_str()));
    run.out = readFile(out);
    if (stderrMode == Stderr::Apart) run.err = readFile(err);
    return run;
}
#endif

#if defined(_WIN32)
namespace {
std::wstring wide(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}
}  // namespace

host::ProcessId startInBackground(const std::vector<std::string>& argv,
                                  const std::string& outFile) {
    if (argv.empty()) return 0;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const HANDLE out = CreateFileW(wide(outFile).c_str(), GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) return 0;
    std::string line;
    for (const std::string& word : argv) line += quoteWord(word) + " ";
    std::wstring wline = wide(line);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = out;
    si.hStdError = out;
    PROCESS_INFORMATION pi{};
    const bool started = CreateProcessW(nullptr, wline.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi) != 0;
    CloseHandle(out);
    if (!started) return 0;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return pi.dwProcessId;
}

// The program is started directly, its standard handles on files: a cmd.exe between (as
// std::system would put there) doubles the processes wine starts for every run.
ToolRun runTool(const std::vector<std::string>& argv, Stderr stderrMode, std::string_view input) {
    ToolRun run;
    if (argv.empty()) return run;
    TempDir tmp;
    const std::string in = nativePath(tmp.write("in", input));
    const std::string out = nativePath(tmp.path() / "out");
    const std::string err = nativePath(tmp.path() / "err");
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const auto open = [&](const std::string& file, DWORD access, DWORD disposition) {
        return CreateFileW(wide(file).c_str(), access,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                           disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    const HANDLE hIn = open(in, GENERIC_READ, OPEN_EXISTING);
    const HANDLE hOut = open(out, GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE hErr =
        stderrMode == Stderr::WithStdout ? hOut : open(err, GENERIC_WRITE, CREATE_ALWAYS);
    std::string line;
    for (const std::string& word : argv) line += quoteWord(word) + " ";
    std::wstring wline = wide(line);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = hIn;
    si.hStdOutput = hOut;
    si.hStdError = hErr;
    PROCESS_INFORMATION pi{};
    const bool started = hIn != INVALID_HANDLE_VALUE && hOut != INVALID_HANDLE_VALUE &&
                         hErr != INVALID_HANDLE_VALUE &&
                         CreateProcessW(nullptr, wline.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi) != 0;
    for (HANDLE h : {hIn, hOut, hErr == hOut ? INVALID_HANDLE_VALUE : hErr})
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    if (started) {
        DWORD code = 0;
        WaitForSingleObject(pi.hProcess, INFINITE);
        if (GetExitCodeProcess(pi.hProcess, &code)) run.status = static_cast<int>(code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    run.out = readFile(out);
    if (stderrMode == Stderr::Apart) run.err = readFile(err);
    return run;
}
#else
host::ProcessId startInBackground(const std::vector<std::string>& argv,
                                  const std::string& outFile) {
    if (argv.empty()) return 0;
    std::string line;
    for (const std::string& word : argv) line += shellQuote(word) + " ";
    std::string pid;
    if (runShell(line + ">" + shellQuote(outFile) + " 2>&1 </dev/null & echo $!", &pid) != 0)
        return 0;
    return static_cast<host::ProcessId>(std::strtoul(pid.c_str(), nullptr, 10));
}
#endif

std::string shellQuote(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

int runShell(const std::string& command, std::string* output) {
    if (output == nullptr) {
        const int rc = std::system(("(" + command + ") >/dev/null 2>&1").c_str());
        return exitCodeOf(rc);
    }
    TempDir tmp;
    const std::string file = (tmp.path() / "out").string();
    const int rc = std::system(("(" + command + ") >" + shellQuote(file) + " 2>&1").c_str());
    std::ifstream in(file, std::ios::binary);
    output->assign(std::istreambuf_iterator<char>(in), {});
    return exitCodeOf(rc);
}

bool haveTool(std::string_view name) {
    return runShell("command -v " + shellQuote(name)) == 0;
}

}  // namespace testsupport
