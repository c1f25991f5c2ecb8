#include "tests/support/tools.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/temp_dir.h"

namespace testsupport {

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
        return rc == -1 ? -1 : (rc >> 8) & 0xFF;
    }
    TempDir tmp;
    const std::string file = (tmp.path() / "out").string();
    const int rc = std::system(("(" + command + ") >" + shellQuote(file) + " 2>&1").c_str());
    std::ifstream in(file, std::ios::binary);
    output->assign(std::istreambuf_iterator<char>(in), {});
    return rc == -1 ? -1 : (rc >> 8) & 0xFF;
}

int runTool(const std::vector<std::string>& argv) {
    std::string command;
    for (const auto& a : argv) command += shellQuote(a) + " ";
    return runShell(command);
}

bool haveTool(std::string_view name) {
    return runShell("command -v " + shellQuote(name)) == 0;
}

}  // namespace testsupport
