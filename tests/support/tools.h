// Running programs from tests: our own (qltool, qlupdate) and the archivers other people use
// (Info-ZIP zip, 7z). runTool passes each word as one argument, so no test builds a command
// line for a shell; runShell is for the few that want one.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/platform/process.h"

namespace testsupport {

// Where the build put our programs.
std::string qltoolPath();
std::string qlupdatePath();

struct ToolRun {
    int status = -1;  // the exit code; -1 when the program could not be run
    std::string out;  // standard output (with standard error when merged)
    std::string err;  // standard error, when kept apart
};

enum class Stderr { Apart, WithStdout };

// Runs argv[0] (through PATH unless it names a folder) with the other words as its arguments,
// `input` on its standard input, and collects what it writes.
ToolRun runTool(const std::vector<std::string>& argv, Stderr stderrMode = Stderr::Apart,
                std::string_view input = {});

// Starts argv[0] with the other words as its arguments and returns at once: standard output and
// standard error go to `outFile`. The process id as the system numbers it, 0 when it could not
// start. End it with host::KillProcess.
host::ProcessId startInBackground(const std::vector<std::string>& argv, const std::string& outFile);

// Runs `command` with sh -c; its output goes to `output` when given, else is discarded.
int runShell(const std::string& command, std::string* output = nullptr);
bool haveTool(std::string_view name);
// 'text' quoted for sh.
std::string shellQuote(std::string_view text);

}  // namespace testsupport
