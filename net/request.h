// The request headers the client can send and the exact bytes of a request: the request line,
// then every non-empty header in the client's fixed order, then the cookie lines, CR LF each.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace net {

struct TIdHTTPRequest {
    std::string Connection;
    std::string ContentVersion;
    std::string ContentDisposition;
    std::string ContentEncoding;
    std::string ContentLanguage;
    std::string ContentType;
    std::int64_t ContentLength = -1;  // -1: no body, no header
    std::string CacheControl;
    std::string Date;
    std::string ETag;
    std::string Expires;
    std::string Pragma;
    std::string TransferEncoding;
    std::vector<std::pair<std::string, std::string>> CustomHeaders;
    std::string ProxyConnection;
    std::string Host;
    std::string Accept = "text/html, */*";
    std::string AcceptCharset;
    std::string AcceptEncoding;
    std::string AcceptLanguage;
    std::string From;
    std::string Referer;
    std::string UserAgent = "Mozilla/3.0 (compatible; qlupdate HTTP client)";
    std::string Range;
    std::string IfModifiedSince;
    std::string Authorization;
    std::string MethodOverride;  // X-HTTP-Method-Override
};

// "name: value" lines for cookies, sent after every other header.
using CookieLines = std::vector<std::pair<std::string, std::string>>;

// The whole request as it goes on the wire (US-ASCII, CR LF line ends, an empty line last).
std::string buildRequest(const std::string& method, const std::string& target,
                         const std::string& version, const TIdHTTPRequest& request,
                         const CookieLines& cookies);

}  // namespace net
