// qltool get URL FILE: downloads URL into FILE with the updater's client settings; progress on
// stderr; on failure one line "CLASS: message" on stderr and exit status 1.
#include <cstdint>
#include <cstdio>
#include <exception>

#include "core/exception.h"
#include "error_output.h"
#include "net/id_http.h"
#include "net/update_server.h"

extern const char* const qltool_get_usage =
    "get URL FILE        download URL into FILE as the updater does (progress on stderr)";

namespace {

// Progress is shown at most once per this many bytes and at the end, on one rewritten line.
constexpr std::int64_t kProgressStep = 4 * 1024 * 1024;

struct Progress {
    std::int64_t max = 0;
    std::int64_t shown = -kProgressStep;
    bool open = false;

    void show(std::int64_t count, bool last) {
        if (count == shown || (!last && count - shown < kProgressStep)) return;
        shown = count;
        open = true;
        if (max > 0)
            std::fprintf(stderr, "\r%lld of %lld bytes (%lld%%)", static_cast<long long>(count),
                         static_cast<long long>(max), static_cast<long long>(count * 100 / max));
        else
            std::fprintf(stderr, "\r%lld bytes", static_cast<long long>(count));
    }
    // Ends the progress line so that whatever follows starts a line of its own.
    void close() {
        if (open) std::fputc('\n', stderr);
        open = false;
    }
};

}  // namespace

int qltool_get(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: qltool %s\n", qltool_get_usage);
        return 64;
    }
    Progress progress;
    std::int64_t last = 0;
    try {
        net::TIdHTTP http;
        net::applyUpdaterSettings(http);
        http.OnWorkBegin = [&](net::TIdHTTP&, net::TWorkMode, std::int64_t max) {
            progress.max = max;
        };
        http.OnWork = [&](net::TIdHTTP&, net::TWorkMode, std::int64_t count) {
            last = count;
            progress.show(count, false);
        };
        http.OnWorkEnd = [&](net::TIdHTTP&, net::TWorkMode) { progress.show(last, true); };
        net::FileStream file(argv[2]);
        http.Get(argv[1], file);
        progress.close();
        return 0;
    } catch (const core::Exception& e) {
        progress.close();
        writeFailure(stderr, e);
    } catch (const std::exception& e) {
        progress.close();
        std::fprintf(stderr, "Exception: %s\n", e.what());
    }
    return 1;
}
