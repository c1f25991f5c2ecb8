// A child process started by a test, killed and reaped when the test ends, so that a failing
// test leaves nothing running.
#pragma once

#include <string>
#include <vector>

#include "host/platform/process.h"

namespace servicetest {

struct ChildEnd {
    bool signaled = false;
    int code = 0;  // exit code, or the signal number when signaled
};

class ChildProcess {
  public:
    // Starts `program` with `args`; argv[0] is `argv0`, or the program path when empty.
    // Throws when it cannot start.
    ChildProcess(const std::string& program, const std::vector<std::string>& args = {},
                 const std::string& argv0 = {});
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    host::ProcessId id() const { return m_pid; }
    // Waits for the child's end and reaps it.
    ChildEnd wait();
    // True once the child is a zombie (ended, not yet reaped); polls up to `ms` milliseconds.
    bool becameZombie(int ms = 5000) const;

  private:
    host::ProcessId m_pid = 0;
    bool m_reaped = false;
};

// The state letter of /proc/PID/stat ('R', 'S', 'Z', ...), or 0 when the process is gone.
char processState(host::ProcessId id);

}  // namespace servicetest
