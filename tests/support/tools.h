// Running the archivers other people use (Info-ZIP zip, 7z) from tests: a command line through
// the shell, its exit code, and whether a tool is installed at all.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

// Runs `command` with sh -c; its output goes to `output` when given, else is discarded.
int runShell(const std::string& command, std::string* output = nullptr);
// Runs a program with these arguments, each passed as it is (quoted for the shell); output
// discarded. Its exit code, or -1 when it could not run.
int runTool(const std::vector<std::string>& argv);
bool haveTool(std::string_view name);
// 'text' quoted for sh.
std::string shellQuote(std::string_view text);

}  // namespace testsupport
