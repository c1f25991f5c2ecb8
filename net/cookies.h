// The client's cookie store: cookies from "Set-Cookie" (RFC 6265) and "Set-Cookie2"
// (RFC 2965) responses, and the cookie lines a later request to a matching host and path sends.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/request.h"

namespace net {

using CookieClock = std::chrono::system_clock;

struct Cookie {
    std::string name;
    std::string value;   // as received (quotes kept)
    std::string domain;  // lower case, no leading "."
    bool hostOnly = true;
    std::string path;
    bool explicitPath = false;
    bool explicitDomain = false;
    std::optional<CookieClock::time_point> expires;  // none: lives as long as the client
    bool secure = false;
    int version = 0;           // the "Version" attribute
    bool fromCookie2 = false;  // came by "Set-Cookie2"
    std::uint64_t created = 0;
};

// Limits on what servers can make the store hold (RFC 6265 6.1 asks for at least these).
inline constexpr std::size_t kMaxCookies = 3000;
inline constexpr std::size_t kMaxCookieBytes = 4096;

class CookieStore {
  public:
    // Takes the cookies of one response's "Set-Cookie" and "Set-Cookie2" values for a request
    // to `host` and `path`; a "Set-Cookie2" cookie replaces a "Set-Cookie" one of the same name.
    void store(const std::vector<std::string>& setCookie,
               const std::vector<std::string>& setCookie2, std::string_view host,
               std::string_view requestPath, CookieClock::time_point now);

    // "Cookie"/"Cookie2" lines for a request, one per cookie, then "Cookie2: $Version="1""
    // when none of them came by "Set-Cookie2". Secure cookies are never sent over plain HTTP.
    CookieLines linesFor(std::string_view host, std::string_view path,
                         CookieClock::time_point now) const;

    const std::vector<Cookie>& cookies() const { return m_cookies; }

  private:
    void add(Cookie c);
    std::vector<Cookie> m_cookies;
    std::uint64_t m_counter = 0;
};

// RFC 6265 5.1.1: the cookie date of an "Expires" attribute, nullopt when it is not one.
std::optional<CookieClock::time_point> parseCookieDate(std::string_view text);

// One "Set-Cookie" value (RFC 6265 5.2) or one cookie of a "Set-Cookie2" list; nullopt when
// it must be ignored (no "=", empty name, control characters, too long, foreign domain).
std::optional<Cookie> parseCookie(std::string_view text, std::string_view host,
                                  std::string_view requestPath, CookieClock::time_point now);

// Splits a "Set-Cookie2" value at the commas that separate cookies (not inside quotes).
std::vector<std::string> splitCookie2List(std::string_view value);

}  // namespace net
