#include "net/cookies.h"

#include <algorithm>
#include <cctype>

#include "core/text.h"

namespace net {

namespace {

bool hasControl(std::string_view s) {
    return std::any_of(s.begin(), s.end(), [](char c) {
        auto u = static_cast<unsigned char>(c);
        return (u < 0x20 && u != '\t') || u == 0x7F;
    });
}

bool isIpAddress(std::string_view host) {
    return host.find(':') != std::string_view::npos ||
           std::all_of(host.begin(), host.end(), [](char c) {
               return c == '.' || std::isdigit(static_cast<unsigned char>(c));
           });
}

// RFC 6265 5.1.3.
bool domainMatches(std::string_view host, std::string_view domain) {
    if (host == domain) return true;
    return host.size() > domain.size() && host.ends_with(domain) &&
           host[host.size() - domain.size() - 1] == '.' && !isIpAddress(host);
}

// RFC 6265 5.1.4: the directory of the request path.
std::string defaultPath(std::string_view requestPath) {
    if (requestPath.empty() || requestPath.front() != '/') return "/";
    auto last = requestPath.rfind('/');
    if (last == 0) return "/";
    return std::string(requestPath.substr(0, last));
}

bool pathMatches(std::string_view requestPath, std::string_view cookiePath) {
    if (requestPath == cookiePath) return true;
    if (!requestPath.starts_with(cookiePath)) return false;
    return cookiePath.back() == '/' || requestPath[cookiePath.size()] == '/';
}

std::string unquote(std::string v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') return v.substr(1, v.size() - 2);
    return v;
}

std::optional<long long> parseDeltaSeconds(std::string_view s) {
    bool negative = !s.empty() && s.front() == '-';
    if (negative) s.remove_prefix(1);
    if (s.empty() || s.size() > 12) return std::nullopt;
    long long v = 0;
    for (char c : s) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
        v = v * 10 + (c - '0');
    }
    return negative ? -v : v;
}

void applyAttribute(Cookie& c, const std::string& name, const std::string& value,
                    std::string_view requestPath, CookieClock::time_point now, bool& maxAgeSeen) {
    std::string key = core::asciiLower(name);
    if (key == "expires" && !maxAgeSeen) {
        if (auto t = parseCookieDate(value)) c.expires = t;
    } else if (key == "max-age") {
        if (auto d = parseDeltaSeconds(value)) {
            maxAgeSeen = true;
            c.expires = *d <= 0 ? CookieClock::time_point::min() : now + std::chrono::seconds(*d);
        }
    } else if (key == "domain") {
        std::string d = core::asciiLower(unquote(value));
        if (!d.empty() && d.front() == '.') d.erase(0, 1);
        if (!d.empty()) {
            c.domain = d;
            c.explicitDomain = true;
        }
    } else if (key == "path") {
        std::string p = unquote(value);
        c.explicitPath = !p.empty() && p.front() == '/';
        c.path = c.explicitPath ? p : defaultPath(requestPath);
    } else if (key == "secure") {
        c.secure = true;
    } else if (key == "version") {
        if (auto v = parseDeltaSeconds(unquote(value)); v && *v > 0 && *v < 100)
            c.version = int(*v);
    }
}

}  // namespace

std::optional<Cookie> parseCookie(std::string_view text, std::string_view host,
                                  std::string_view requestPath, CookieClock::time_point now) {
    if (text.size() > kMaxCookieBytes || hasControl(text)) return std::nullopt;
    std::string rest(text);
    std::string pair = core::SplitAt(rest, ';');
    if (pair.find('=') == std::string::npos) return std::nullopt;
    std::string value = pair;
    Cookie c;
    c.name = core::Trim(core::SplitAt(value, '='));
    c.value = core::Trim(value);
    if (c.name.empty()) return std::nullopt;
    c.path = defaultPath(requestPath);
    bool maxAgeSeen = false;
    while (!rest.empty()) {
        std::string attr = core::SplitAt(rest, ';');
        std::string attrValue = attr;
        std::string attrName = core::Trim(core::SplitAt(attrValue, '='));
        applyAttribute(c, attrName, core::Trim(attrValue), requestPath, now, maxAgeSeen);
    }
    std::string lowerHost = core::asciiLower(host);
    if (c.explicitDomain) {
        if (!domainMatches(lowerHost, c.domain)) return std::nullopt;
        c.hostOnly = false;
    } else {
        c.domain = lowerHost;
    }
    return c;
}

std::vector<std::string> splitCookie2List(std::string_view value) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char ch : value) {
        if (ch == '"') quoted = !quoted;
        if (ch == ',' && !quoted) {
            if (!core::Trim(cur).empty()) out.push_back(core::Trim(cur));
            cur.clear();
        } else {
            cur += ch;
        }
    }
    if (!core::Trim(cur).empty()) out.push_back(core::Trim(cur));
    return out;
}

void CookieStore::store(const std::vector<std::string>& setCookie,
                        const std::vector<std::string>& setCookie2, std::string_view host,
                        std::string_view requestPath, CookieClock::time_point now) {
    std::vector<Cookie> fresh;
    for (const auto& v : setCookie)
        if (auto c = parseCookie(v, host, requestPath, now)) fresh.push_back(std::move(*c));
    for (const auto& v : setCookie2) {
        for (const auto& one : splitCookie2List(v)) {
            auto c = parseCookie(one, host, requestPath, now);
            if (!c) continue;
            c->fromCookie2 = true;
            if (c->version == 0) c->version = 1;
            std::erase_if(fresh,
                          [&](const Cookie& o) { return !o.fromCookie2 && o.name == c->name; });
            fresh.push_back(std::move(*c));
        }
    }
    for (auto& c : fresh) {
        bool expired = c.expires && *c.expires <= now;
        std::erase_if(m_cookies, [&](const Cookie& o) {
            return o.name == c.name && o.domain == c.domain && o.path == c.path;
        });
        if (!expired) add(std::move(c));
    }
}

void CookieStore::add(Cookie c) {
    c.created = ++m_counter;
    if (m_cookies.size() == kMaxCookies) m_cookies.erase(m_cookies.begin());  // the oldest
    m_cookies.push_back(std::move(c));
}

CookieLines CookieStore::linesFor(std::string_view host, std::string_view path,
                                  CookieClock::time_point now) const {
    std::string lowerHost = core::asciiLower(host);
    std::vector<const Cookie*> chosen;
    for (const auto& c : m_cookies) {
        if (c.secure || (c.expires && *c.expires <= now)) continue;
        bool hostOk = c.hostOnly ? lowerHost == c.domain : domainMatches(lowerHost, c.domain);
        if (hostOk && pathMatches(path, c.path)) chosen.push_back(&c);
    }
    // RFC 6265 5.4: longer paths first, then the older cookie first.
    std::stable_sort(chosen.begin(), chosen.end(), [](const Cookie* a, const Cookie* b) {
        if (a->path.size() != b->path.size()) return a->path.size() > b->path.size();
        return a->created < b->created;
    });
    CookieLines lines;
    bool anyCookie2 = false;
    for (const Cookie* c : chosen) {
        std::string text = c->name + "=" + c->value;
        if (c->version > 0) {
            // RFC 2965 3.3.4: a version-1 cookie carries its version and explicit attributes.
            text = "$Version=\"" + std::to_string(c->version) + "\"; " + text;
            if (c->explicitPath) text += "; $Path=\"" + c->path + "\"";
            if (c->explicitDomain) text += "; $Domain=\"." + c->domain + "\"";
        }
        lines.emplace_back(c->fromCookie2 ? "Cookie2" : "Cookie", text);
        anyCookie2 = anyCookie2 || c->fromCookie2;
    }
    if (!lines.empty() && !anyCookie2) lines.emplace_back("Cookie2", "$Version=\"1\"");
    return lines;
}

}  // namespace net
