#include "host/platform/file_names.h"

#include <algorithm>
#include <memory>

namespace host {

namespace {

struct Closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, Closer>;

}  // namespace

std::optional<std::string> readWholeFile(const std::string& name, std::size_t limit) {
    File f(openFile(name, "rb"));
    if (!f) return std::nullopt;
    std::string bytes;
    char buf[8192];
    while (bytes.size() < limit) {
        const std::size_t want = std::min(sizeof buf, limit - bytes.size());
        const std::size_t n = std::fread(buf, 1, want, f.get());
        bytes.append(buf, n);
        if (n < want) break;
    }
    // On POSIX a folder opens and its first read fails (EISDIR).
    if (std::ferror(f.get()) != 0) return std::nullopt;
    return bytes;
}

bool writeWholeFile(const std::string& name, std::string_view bytes) {
    File f(openFile(name, "wb"));
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
    return std::fclose(f.release()) == 0 && written;
}

}  // namespace host
