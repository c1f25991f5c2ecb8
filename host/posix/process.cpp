// Processes on Linux through /proc, posix_spawnp and kill.
#include "host/platform/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "core/text.h"

extern char** environ;

namespace host {

namespace {

constexpr std::string_view kIdleName = "[idle]";
constexpr std::string_view kUnknownModule = "unknown";
constexpr std::string_view kDeletedSuffix = " (deleted)";

// The most we read of a /proc file: stat is a few hundred bytes, and of cmdline (up to the
// whole argument list, which the process chooses) only argv[0] is wanted, at most a path.
constexpr std::size_t kMaxProcFileBytes = PATH_MAX + 1;

// /proc files report a size of 0, so read until the end or the limit.
std::string readSmallFile(const std::string& path) {
    std::string out;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    char buf[kMaxProcFileBytes];
    while (out.size() < kMaxProcFileBytes) {
        ssize_t n = ::read(fd, buf, kMaxProcFileBytes - out.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return out;
}

std::string baseName(std::string_view path, std::string_view separators = "/") {
    std::size_t slash = path.find_last_of(separators);
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

// argv[0] of a Windows program run by Wine is a Windows path, so "\\" separates there too.
std::string argvZeroBaseName(const std::string& dir) {
    const std::string cmdline = readSmallFile(dir + "/cmdline");
    return baseName(std::string_view(cmdline.c_str()), "/\\");
}

// Wine runs every Windows program in its own loader and puts the program's Windows path in
// argv[0]: the program file name is found there, not in the executable link.
bool isWineLoader(std::string_view exeName) {
    return exeName == "wine" || exeName == "wine64" || exeName == "wine-preloader" ||
           exeName == "wine64-preloader";
}

// The executable's base name, "" when the link cannot be read (a kernel thread, a process of
// another user when we lack the right, a process that has just ended). A program whose file
// was deleted or replaced while it runs still carries its name; the kernel marks the link.
std::string exeBaseName(const std::string& dir) {
    char buf[PATH_MAX];
    ssize_t n = ::readlink((dir + "/exe").c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf) return {};
    std::string_view target(buf, static_cast<std::size_t>(n));
    if (target.ends_with(kDeletedSuffix)) target.remove_suffix(kDeletedSuffix.size());
    return baseName(target);
}

// The program file's base name as a Windows module name would give it; "" when unreadable.
std::string programBaseName(const std::string& dir) {
    std::string name = exeBaseName(dir);
    if (isWineLoader(name)) {
        std::string windowsName = argvZeroBaseName(dir);
        if (!windowsName.empty()) return windowsName;
    }
    return name;
}

// What /proc/PID/stat says of a task: "PID (NAME) STATE ..." with the thread count as the
// 20th field. The name is the program's to choose and may hold blanks and parentheses, so the
// fields are counted from the last ')'.
struct TaskStat {
    std::string name;
    char state = 0;  // 0: unreadable
    long threads = 0;
};

TaskStat readTaskStat(const std::string& dir) {
    TaskStat t;
    const std::string stat = readSmallFile(dir + "/stat");
    const std::size_t open = stat.find('(');
    const std::size_t close = stat.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) return t;
    t.name = stat.substr(open + 1, close - open - 1);
    std::size_t pos = close + 1;
    for (int field = 3; field <= 20; ++field) {
        pos = stat.find_first_not_of(' ', pos);
        if (pos == std::string::npos) return t;
        if (field == 3) t.state = stat[pos];
        if (field == 20) t.threads = std::strtol(stat.c_str() + pos, nullptr, 10);
        pos = stat.find(' ', pos);
    }
    return t;
}

// The folder to read a process's image from, "" when the process is dead. A zombie thread
// group leader is dead only when it is the last thread: a program whose main thread called
// pthread_exit keeps running in its other threads, and its leader's exe link is gone, so a
// live thread's folder stands in.
std::string liveProcessDir(ProcessId id) {
    const std::string dir = "/proc/" + std::to_string(id);
    const TaskStat stat = readTaskStat(dir);
    if (stat.state == 0) return {};
    if (stat.state != 'Z' && stat.state != 'X') return dir;
    if (stat.threads <= 1) return {};
    DIR* tasks = ::opendir((dir + "/task").c_str());
    if (!tasks) return {};
    std::string live;
    const std::string leader = std::to_string(id);
    while (dirent* e = ::readdir(tasks)) {
        if (e->d_name[0] == '.' || leader == e->d_name) continue;
        live = dir + "/task/" + e->d_name;
        break;
    }
    ::closedir(tasks);
    return live;
}

// Image name: the program file's base name; else argv[0]'s base name; else the kernel's name for
// the task in brackets, as ps shows kernel threads.
std::string imageNameAt(const std::string& dir) {
    std::string name = programBaseName(dir);
    if (!name.empty()) return name;
    name = argvZeroBaseName(dir);
    if (!name.empty()) return name;
    std::string bracketed = "[";
    bracketed += readTaskStat(dir).name;
    bracketed += ']';
    return bracketed;
}

std::vector<ProcessId> listedIds() {
    std::vector<ProcessId> ids;
    DIR* proc = ::opendir("/proc");
    if (!proc) return ids;
    while (dirent* e = ::readdir(proc)) {
        char* end = nullptr;
        unsigned long v = std::strtoul(e->d_name, &end, 10);
        if (end != e->d_name && *end == '\0' && v > 0 && v <= INT_MAX)
            ids.push_back(static_cast<ProcessId>(v));
    }
    ::closedir(proc);
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace

std::vector<ProcessInfo> processSnapshot() {
    std::vector<ProcessId> ids = listedIds();
    if (ids.empty()) return {};
    std::vector<ProcessInfo> out;
    out.reserve(ids.size() + 1);
    out.push_back({0, std::string(kIdleName)});
    for (ProcessId id : ids) {
        std::string dir = liveProcessDir(id);
        if (!dir.empty()) out.push_back({id, imageNameAt(dir)});
    }
    return out;
}

std::string moduleBaseName(ProcessId id) {
    if (id == 0) return std::string(kUnknownModule);
    std::string dir = liveProcessDir(id);
    std::string name = dir.empty() ? std::string() : programBaseName(dir);
    return name.empty() ? std::string(kUnknownModule) : name;
}

bool KillProcess(ProcessId id) {
    // kill() reads 0 as "our process group" and negative ids as groups; none of them is a process.
    if (id == 0 || id > static_cast<ProcessId>(INT_MAX)) return false;
    return ::kill(static_cast<pid_t>(id), SIGKILL) == 0;
}

namespace {

// What the child starts from: its own input (/dev/null, as a new console has its own), the
// default action for the signals a host program commonly ignores or handles, and no blocked
// signals; output goes where ours goes.
class SpawnSetup {
public:
    SpawnSetup() {
        m_ok = ::posix_spawn_file_actions_init(&m_actions) == 0 &&
               ::posix_spawn_file_actions_addopen(&m_actions, 0, "/dev/null", O_RDONLY, 0) == 0 &&
               ::posix_spawnattr_init(&m_attr) == 0;
        if (!m_ok) return;
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (int s : {SIGPIPE, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGCHLD}) sigaddset(&defaults, s);
        m_ok = ::posix_spawnattr_setsigmask(&m_attr, &none) == 0 &&
               ::posix_spawnattr_setsigdefault(&m_attr, &defaults) == 0 &&
               ::posix_spawnattr_setflags(&m_attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) == 0;
    }
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&m_actions);
        ::posix_spawnattr_destroy(&m_attr);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;

    bool ok() const { return m_ok; }
    const posix_spawn_file_actions_t* actions() const { return &m_actions; }
    const posix_spawnattr_t* attr() const { return &m_attr; }

private:
    posix_spawn_file_actions_t m_actions{};
    posix_spawnattr_t m_attr{};
    bool m_ok = false;
};

int waitForExit(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

int RunAndWait(std::string_view commandLine) {
    if (core::utf8ToCodePoints(commandLine).size() > kMaxCommandLine) return -1;
    std::vector<std::string> words = splitCommandLine(commandLine);
    if (words.empty() || words[0].empty()) return -1;
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    SpawnSetup setup;
    if (!setup.ok()) return -1;
    pid_t pid = 0;
    // glibc's posix_spawnp reports a failed exec (program not found, not executable) here.
    if (::posix_spawnp(&pid, argv[0], setup.actions(), setup.attr(), argv.data(), environ) != 0)
        return -1;
    return waitForExit(pid);
}

namespace {

std::uint32_t monotonicMilliseconds() {
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);  // wraps every 49.7 days, as the Windows tick count
}

void sleepMilliseconds(std::uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

}  // namespace

const TickSource& systemTicks() {
    static const TickSource ticks{monotonicMilliseconds, sleepMilliseconds};
    return ticks;
}

}  // namespace host
