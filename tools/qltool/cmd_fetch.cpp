// qltool fetch URL FILE [--attempts N] [--idle-timeout S]: the updater's resumable download by
// hand. The bytes go to FILE.part (their validator in FILE.part.tag), going on from what an
// earlier run left there; when the file is whole, FILE.part becomes FILE. Standard output:
//   interrupted: TEXT (attempt 2 of 5 in 1000 ms)   a connection failure, tried again
//   resumed at N                  the first 206 that went on from byte N of FILE.part
//   started over                  bytes of FILE.part dropped (Range ignored, the file changed,
//                                 a range from elsewhere, no validator kept)
//   complete: N bytes, status S   S the status of the last answer (416: FILE.part already held
//                                 the whole file)
// Exit 0 done; 1 failed, with "CLASS: message" on stderr and "kept FILE.part (N bytes)" on
// stdout when bytes stay for the next run; 64 wrong arguments. --attempts defaults to 5 and
// --idle-timeout to 300 s (0: none) as for a console qlupdate; QLUPDATE_RETRY_PAUSE_MS sets the
// first pause as it does there.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/exception.h"
#include "error_output.h"
#include "host/platform/file_names.h"
#include "net/id_http.h"
#include "net/resumable_get.h"
#include "net/update_server.h"

extern const char* const qltool_fetch_usage =
    "fetch URL FILE [--attempts N] [--idle-timeout S]   resumable download (via FILE.part)";

namespace {

// A whole number of at most nine decimal digits, `low` or more.
std::optional<int> parseCount(std::string_view text, int low) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < low) return std::nullopt;
    return n;
}

// A connection's text on one line ("Socket Error # 111" LF "Connection refused.").
std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

int usage() {
    std::fprintf(stderr, "usage: qltool %s\n", qltool_fetch_usage);
    return 64;
}

}  // namespace

int qltool_fetch(int argc, char** argv) {
    std::vector<std::string> positional;
    net::ResumeSettings settings;
    int idleSeconds = 300;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "--attempts" || a == "--idle-timeout") {
            const bool attempts = a == "--attempts";
            const std::optional<int> n =
                i + 1 < argc ? parseCount(argv[++i], attempts ? 1 : 0) : std::nullopt;
            if (!n) return usage();
            (attempts ? settings.attempts : idleSeconds) = *n;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage();
        } else {
            positional.emplace_back(a);
        }
    }
    if (positional.size() != 2 || positional[1].empty()) return usage();
    const std::string& url = positional[0];
    const std::string& file = positional[1];
    if (const char* ms = std::getenv("QLUPDATE_RETRY_PAUSE_MS"); ms && *ms)
        if (const std::optional<int> n = parseCount(ms, 0))
            settings.firstPause = std::chrono::milliseconds(*n);
    settings.onRetry = [](const std::string& why, int next, int attempts,
                          std::chrono::milliseconds pause) {
        std::printf("interrupted: %s (attempt %d of %d in %lld ms)\n", oneLine(why).c_str(), next,
                    attempts, static_cast<long long>(pause.count()));
        std::fflush(stdout);
    };
    try {
        net::TIdHTTP http;
        net::applyUpdaterSettings(http);
        http.ReadTimeout = idleSeconds * 1000;
        const net::ResumeOutcome out = net::GetResumable(http, url, file, settings);
        if (out.resumedAt >= 0)
            std::printf("resumed at %lld\n", static_cast<long long>(out.resumedAt));
        if (out.restarts > 0) std::printf("started over\n");
        std::filesystem::rename(host::fsPath(net::PartFileOf(file)), host::fsPath(file));
        std::printf("complete: %lld bytes, status %d\n", static_cast<long long>(out.size),
                    out.status);
        return 0;
    } catch (const core::Exception& e) {
        writeFailure(stderr, e);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "Exception: %s\n", e.what());
    }
    std::error_code ec;
    const std::uintmax_t kept = std::filesystem::file_size(host::fsPath(net::PartFileOf(file)), ec);
    if (!ec && kept > 0)
        std::printf("kept %s (%llu bytes)\n", net::PartFileOf(file).c_str(),
                    static_cast<unsigned long long>(kept));
    return 1;
}
