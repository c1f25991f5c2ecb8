// qltool unzip ARCHIVE DIR [MASK]: extracts like the updater does (mask "*.*" by default) and
// lists the entries that failed. Exit 0: all extracted; 1: some failed; 2: not opened.
#include <cstdio>
#include <exception>
#include <string>

#include "archive/unzipper.h"
#include "core/exception.h"

extern const char* const qltool_unzip_usage =
    "unzip ARCHIVE DIR [MASK]  extract like the updater; one FAILED line per failed entry";

int qltool_unzip(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_unzip_usage);
        return 64;
    }
    archive::TAbUnZipper unzipper;
    try {
        unzipper.SetBaseDirectory(argv[2]);
        unzipper.SetFileName(argv[1]);
    } catch (const core::Exception& e) {
        std::printf("%s: %s\n", e.className(), e.what());
        return 2;
    }
    int rc = 0;
    try {
        unzipper.ExtractFiles(argc == 4 ? argv[3] : "*.*");
    } catch (const core::Exception& e) {
        // The extraction stopped part-way (a folder could not be made).
        std::printf("%s: %s\n", e.className(), e.what());
        rc = 2;
    }
    for (const archive::FailedEntry& f : unzipper.FailedEntries())
        std::printf("FAILED %s: %s %d %s\n", f.name.c_str(), f.className.c_str(), f.code,
                    f.message.c_str());
    if (rc == 0 && !unzipper.FailedEntries().empty()) rc = 1;
    unzipper.CloseArchive();
    return rc;
}
