// qltool: diagnostics, one subcommand per component, so each can be run by hand and checked
// from outside.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "host/platform/std_streams.h"
#include "host/platform/this_process.h"

struct Command {
    const char* name;
    int (*run)(int argc, char** argv);
    const char* const* usage;
};
#include "commands.inc"

namespace {

void printUsage(std::FILE* out) {
    std::fprintf(out, "Usage: qltool COMMAND [ARGS...]\n\nCommands:\n");
    for (const Command& c : kCommands) std::fprintf(out, "  %s\n", *c.usage);
}
}  // namespace

int main(int argc, char** argv) {
    // The same bytes on every system: outside checks compare this output across builds.
    host::useBinaryStandardStreams();
    std::vector<std::string> args = host::programArguments(argc, argv);
    std::vector<char*> utf8;
    for (std::string& a : args) utf8.push_back(a.data());
    utf8.push_back(nullptr);
    argv = utf8.data();
    if (argc < 2) {
        printUsage(stderr);
        return 64;
    }
    std::string_view name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(stdout);
        return 0;
    }
    for (const Command& c : kCommands)
        if (name == c.name) return c.run(argc - 1, argv + 1);
    std::fprintf(stderr, "qltool: unknown command '%s'\n", argv[1]);
    printUsage(stderr);
    return 64;
}
