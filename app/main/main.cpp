// qlupdate: the updater's program entry.
#include <cstdio>
#include <cstring>
#include <string_view>

#include "app/version.h"

namespace {

void printHelp() {
    std::printf(
        "Usage: qlupdate [OPTIONS]\n"
        "%s: brings a Quillora installation and its company databases up to the latest version.\n"
        "\n"
        "Options:\n"
        "  --help       show this text and exit\n"
        "  --version    show the version and exit\n",
        app::kProductName);
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i];
        if (a == "--help" || a == "-h") {
            printHelp();
            return 0;
        }
        if (a == "--version") {
            std::printf("qlupdate %s\n", app::kVersion);
            return 0;
        }
        std::fprintf(stderr, "qlupdate: unknown option '%s' (try --help)\n", argv[i]);
        return 64;
    }
    std::fprintf(stderr, "qlupdate: the update run is not available in this build yet (try --help)\n");
    return 64;
}
