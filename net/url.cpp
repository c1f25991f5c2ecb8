#include "net/url.h"

#include <algorithm>

#include "core/text.h"

namespace net {

namespace {

// Splits "user:password@host:port" (the authority) into the Url's fields.
void splitAuthority(std::string_view auth, Url& url) {
    if (auto at = auth.rfind('@'); at != std::string_view::npos) {
        std::string_view info = auth.substr(0, at);
        auto colon = info.find(':');
        url.username = std::string(info.substr(0, colon));
        if (colon != std::string_view::npos) url.password = std::string(info.substr(colon + 1));
        auth.remove_prefix(at + 1);
    }
    std::string_view afterHost;
    if (!auth.empty() && auth.front() == '[') {
        auto close = auth.find(']');
        url.ipv6 = true;
        url.host =
            std::string(auth.substr(1, close == std::string_view::npos ? auth.npos : close - 1));
        afterHost = close == std::string_view::npos ? std::string_view{} : auth.substr(close + 1);
    } else {
        auto colon = auth.find(':');
        url.host = std::string(auth.substr(0, colon));
        afterHost = colon == std::string_view::npos ? std::string_view{} : auth.substr(colon);
    }
    if (!afterHost.empty() && afterHost.front() == ':') url.port = std::string(afterHost.substr(1));
}

}  // namespace

std::string defaultPort(std::string_view protocol) {
    std::string p = core::asciiLower(protocol);
    if (p == "http") return "80";
    if (p == "https") return "443";
    return "";
}

Url parseUrl(std::string_view text) {
    std::string s(text);
    std::replace(s.begin(), s.end(), '\\', '/');
    Url url;
    std::string_view rest = s;
    // RFC 3986 3.5: the fragment starts at the first "#" wherever it stands (in the query or
    // the path too) and is never part of the request.
    if (auto hash = rest.find('#'); hash != std::string_view::npos) {
        url.bookmark = std::string(rest.substr(hash + 1));
        rest = rest.substr(0, hash);
    }
    bool hasAuthority = false;
    if (auto sep = rest.find("://"); sep != std::string_view::npos) {
        url.protocol = std::string(rest.substr(0, sep));
        rest.remove_prefix(sep + 3);
        hasAuthority = true;
    }
    if (auto q = rest.find('?'); q != std::string_view::npos) {
        url.params = std::string(rest.substr(q + 1));
        rest = rest.substr(0, q);
    }
    if (hasAuthority) {
        auto slash = rest.find('/');
        splitAuthority(rest.substr(0, slash), url);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
    }
    // What follows the host: the leading "/" separates it, the rest up to the last "/" is the path.
    if (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    auto last = rest.rfind('/');
    url.path.push_back('/');
    if (last != std::string_view::npos) url.path.append(rest.substr(0, last + 1));
    url.document = std::string(last == std::string_view::npos ? rest : rest.substr(last + 1));
    if (url.port.empty()) url.port = defaultPort(url.protocol);
    return url;
}

std::string Url::target() const {
    std::string t = path;
    t.append(document);
    if (!params.empty()) t.append("?").append(params);
    return t;
}

std::string Url::hostHeader() const {
    std::string h;
    if (ipv6)
        h.append("[").append(host).append("]");
    else
        h = host;
    if (!port.empty() && port != defaultPort(protocol)) h.append(":").append(port);
    return h;
}

}  // namespace net
