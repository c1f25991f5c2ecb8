// A URL split into the parts the HTTP client works with. Nothing is percent-encoded or
// decoded: the parts are exactly the characters of the URL (backslashes read as "/").
#pragma once

#include <string>
#include <string_view>

namespace net {

struct Url {
    std::string protocol;  // before "://", as written ("" when there is none)
    std::string username;  // user information before the at sign: before ":"
    std::string password;  //                                       after ":"
    std::string host;      // without the brackets of an IPv6 literal
    bool ipv6 = false;     // the host was written in "[" "]"
    std::string port;      // as written, else "80" for http and "443" for https
    std::string path;      // "/" up to and including the last "/"
    std::string document;  // after the last "/"
    std::string params;    // after "?"
    std::string bookmark;  // the fragment: after the first "#" of the URL, never sent

    // path + document, then "?" + params when there are params.
    std::string target() const;
    // The "Host" header: the host alone on the protocol's default port, else host ":" port.
    std::string hostHeader() const;
};

Url parseUrl(std::string_view text);

// The port every protocol gets when the URL names none ("" for unknown protocols).
std::string defaultPort(std::string_view protocol);

}  // namespace net
