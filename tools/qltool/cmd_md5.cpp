// qltool md5 TEXT: the 32 lower-case hex digits of Md5Hex(TEXT).
#include <cstdio>

#include "core/md5.h"

extern const char* const qltool_md5_usage = "md5 TEXT            MD5 of TEXT as 32 lower-case hex digits";

int qltool_md5(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_md5_usage);
        return 64;
    }
    std::printf("%s\n", core::Md5Hex(argv[1]).c_str());
    return 0;
}
