// Processes: a snapshot of the running programs with their image names, finding and
// terminating a process, running a command and waiting for it, and pauses of whole seconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace host {

// A process id as the system numbers it; 0 is "no process" (and the idle entry of a snapshot).
using ProcessId = std::uint32_t;

struct ProcessInfo {
    ProcessId id = 0;
    // The program file name without folder: the base name of the executable (of argv[0] for a
    // program run by Wine), else of argv[0].
    std::string imageName;
};

// The running processes in ascending id order. The first entry is always the idle entry
// (id 0, the kernel's idle task, which /proc does not list), as a Windows snapshot starts with
// the idle process. Dead processes waiting to be reaped (zombies) are not listed. Empty when
// the process list cannot be read.
std::vector<ProcessInfo> processSnapshot();

// The base name of the process's program file, or "unknown" when the process cannot be read
// (it is gone, it belongs to someone we may not inspect, it is the idle entry).
std::string moduleBaseName(ProcessId id);

// True when a process of that image name runs: image names compare with ASCII letters folded,
// and the snapshot's first entry is never compared.
bool IsProcessRunning(std::string_view imageName);
// The same rule over a given list (the first entry skipped).
bool imageListed(std::span<const ProcessInfo> processes, std::string_view imageName);

// The id of the first process, in snapshot order, whose module base name equals `name` with
// ASCII letters folded; 0 when none does.
ProcessId FindProcessByModule(std::string_view name);

// Terminates the process at once (SIGKILL). False for the id 0, an id the system cannot name,
// or a process that cannot be signalled. It does not reap: the process's parent does.
bool KillProcess(ProcessId id);

// The longest command line RunAndWait accepts, in characters.
inline constexpr std::size_t kMaxCommandLine = 512;

// Splits a command line into words at blanks (space, tab); a double-quoted part may hold
// blanks and the quotes themselves are dropped. No shell: no variables, globs or escapes.
std::vector<std::string> splitCommandLine(std::string_view commandLine);

// Runs the command line's first word, found through PATH, with the other words as its
// arguments, in our environment and folder; waits without limit and gives its exit code
// (128 + the signal number when a signal ended it), or -1 when it could not be started
// (empty line, longer than kMaxCommandLine characters, program not found or not runnable) or
// could not be waited for (a host program that sets SIGCHLD to SIG_IGN gives up exit codes).
int RunAndWait(std::string_view commandLine);

// A millisecond tick counter that wraps at 2^32 and a sleep, injectable so that a test can put
// the counter just before its wrap or run pauses without spending the time.
struct TickSource {
    std::function<std::uint32_t()> now;
    std::function<void(std::uint32_t milliseconds)> sleep;
};
// Milliseconds of the system's monotonic clock, truncated to 32 bits, and a real sleep.
const TickSource& systemTicks();

// Sleeps in 1-millisecond steps until `seconds` * 1000 milliseconds of ticks have passed,
// measured as (now - start) in unsigned 32-bit arithmetic so a counter wrap neither ends nor
// stretches the pause. Each second is measured on its own, so no pause outgrows the counter.
void WaitSeconds(std::uint32_t seconds, const TickSource& ticks = systemTicks());

}  // namespace host
