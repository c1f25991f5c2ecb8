// qltool unzip ARCHIVE DIR [MASK]: extracts like the updater does (mask "*.*" by default) and
// lists the entries that failed. Exit 0: all extracted; 1: some failed; 2: not opened.
#include <cstdio>
#include <exception>
#include <string>

#include "archive/unzipper.h"
#include "core/exception.h"

namespace {

// Texts go out whole: an entry name may hold a NUL, which a C string would cut.
void print(const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

void printFailure(const std::exception& e) {
    const auto* named = dynamic_cast<const core::Exception*>(&e);
    print(std::string(named ? named->className() : "Exception") + ": " + e.what() + "\n");
}

}  // namespace

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
    } catch (const std::exception& e) {
        printFailure(e);
        return 2;
    }
    int rc = 0;
    try {
        unzipper.ExtractFiles(argc == 4 ? argv[3] : "*.*");
    } catch (const std::exception& e) {
        // The extraction stopped before it began (not enough free space) or part-way (a folder
        // could not be made).
        printFailure(e);
        rc = 2;
    }
    for (const archive::FailedEntry& f : unzipper.FailedEntries())
        print("FAILED " + f.name + ": " + f.className + " " + std::to_string(f.code) + " " +
              f.message + "\n");
    if (rc == 0 && !unzipper.FailedEntries().empty()) rc = 1;
    unzipper.CloseArchive();
    return rc;
}
