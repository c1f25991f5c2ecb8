#include "fuzz/cookie_body.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/text.h"
#include "net/cookies.h"

namespace fuzzing {

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

bool hasControl(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

using namespace std::chrono;

// RFC 6265 5.1.1: a year below 1601 fails and a year has at most four digits; the clock holds
// the years it cannot count (before 1678, after 2262) inside its range.
void checkDate(std::string_view text) {
    constexpr long long kYear1601 = -11644473600;   // 1601-01-01, seconds from 1970
    constexpr long long kYear10000 = 253402300800;  // 10000-01-01
    const auto t = net::parseCookieDate(text);
    if (!t) return;
    const long long secs = duration_cast<seconds>(t->time_since_epoch()).count();
    check(secs >= kYear1601 && secs < kYear10000);
    check(net::parseCookieDate(text) == t);
}

void checkCookie(const net::Cookie& c, std::string_view host) {
    check(!c.name.empty() && !hasControl(c.name) && !hasControl(c.value));
    check(c.name.find('=') == std::string::npos);
    check(core::asciiLower(c.domain) == c.domain);
    check(c.domain.empty() || c.domain.front() != '.');
    if (c.hostOnly) check(c.domain == core::asciiLower(host));
    check(!c.explicitPath || c.path.front() == '/');
}

}  // namespace

void checkCookieText(std::string_view text) {
    static constexpr std::string_view kHost = "Update.Example.it";
    static constexpr std::string_view kPath = "/public/qlupdate/version.txt";
    const auto now = net::CookieClock::time_point{} + hours(24 * 365 * 55);
    checkDate(text);
    if (auto c = net::parseCookie(text, kHost, kPath, now)) checkCookie(*c, kHost);
    for (const std::string& one : net::splitCookie2List(text)) {
        check(!one.empty());
        check(core::Trim(one) == one);
    }
    net::CookieStore store;
    store.store({std::string(text)}, {std::string(text)}, kHost, kPath, now);
    check(store.cookies().size() <= net::kMaxCookies);
    for (const net::Cookie& c : store.cookies()) {
        checkCookie(c, kHost);
        check(!c.expires || *c.expires > now);
    }
    (void)store.linesFor(kHost, kPath, now);
}

}  // namespace fuzzing
