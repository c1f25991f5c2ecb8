#include "tests/host/child_process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace servicetest {

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& args,
                           const std::string& argv0) {
    std::vector<std::string> words{argv0.empty() ? program : argv0};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    // glibc's posix_spawn returns once the exec has replaced the child's memory, which is
    // before the kernel has laid out the new argument list: until then /proc/PID/cmdline reads
    // empty, so wait for it (a Windows program's name under Wine is read from there).
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
        throw std::runtime_error("cannot start " + program);
    m_pid = static_cast<host::ProcessId>(pid);
    const std::string cmdline = "/proc/" + std::to_string(pid) + "/cmdline";
    for (int i = 0; i < 1000 && testsupport::readFile(cmdline).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

ChildProcess::~ChildProcess() {
    if (m_reaped) return;
    ::kill(static_cast<pid_t>(m_pid), SIGKILL);
    wait();
}

ChildEnd ChildProcess::wait() {
    int status = 0;
    while (::waitpid(static_cast<pid_t>(m_pid), &status, 0) < 0)
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    m_reaped = true;
    if (WIFSIGNALED(status)) return {true, WTERMSIG(status)};
    return {false, WEXITSTATUS(status)};
}

bool ChildProcess::becameZombie(int ms) const {
    for (int i = 0; i < ms; ++i) {
        if (processState(m_pid) == 'Z') return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

char processState(host::ProcessId id) {
    std::string stat;
    try {
        stat = testsupport::readFile("/proc/" + std::to_string(id) + "/stat");
    } catch (const std::runtime_error&) {
        return 0;
    }
    // "PID (comm) S ...": the name may hold blanks and parentheses, so look after the last ')'.
    std::size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() ? stat[close + 2] : 0;
}

}  // namespace servicetest
