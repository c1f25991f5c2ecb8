// qltool: diagnostics, one subcommand per component, so each can be run by hand and checked
// from outside.
#include <cstdio>
#include <string_view>

#include "host/platform/std_streams.h"

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
