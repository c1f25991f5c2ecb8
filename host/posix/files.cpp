#include "host/platform/files.h"

#include <climits>
#include <unistd.h>

namespace host {

std::string programFilePath() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace host
