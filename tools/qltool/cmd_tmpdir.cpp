// qltool tmpdir VID: the temporary folder the updater uses for version VID, on the default
// base; nothing is created.
#include <cstdio>

#include "host/temp_folder.h"

extern const char* const qltool_tmpdir_usage =
    "tmpdir VID          the temporary folder for version VID (not created)";

int qltool_tmpdir(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_tmpdir_usage);
        return 64;
    }
    std::printf("%s\n", host::TmpDirPath(argv[1], host::HostSettings{}).c_str());
    return 0;
}
