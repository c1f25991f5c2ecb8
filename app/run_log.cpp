#include "app/run_log.h"

#include <cstdio>

#include "core/text.h"
#include "host/platform/file_names.h"
#include "host/platform/files.h"

namespace app {

bool WriteRunLogFile(const std::string& fileName, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += core::utf8ToCp1252(line);
        bytes += "\r\n";
    }
    return host::writeWholeFile(fileName, bytes);
}

std::string RunLogStamp() {
    const host::LocalDateTime t = host::localNow();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return buf;
}

}  // namespace app
