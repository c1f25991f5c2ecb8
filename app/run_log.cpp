#include "app/run_log.h"

#include <cstdio>
#include <fstream>

#include "core/text.h"
#include "host/platform/files.h"

namespace app {

bool WriteRunLogFile(const std::string& fileName, const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += core::utf8ToCp1252(line);
        bytes += "\r\n";
    }
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

std::string RunLogStamp() {
    const host::LocalDateTime t = host::localNow();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d%02d%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return buf;
}

}  // namespace app
