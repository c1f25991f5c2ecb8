#include "net/request.h"

namespace net {

namespace {

void addLine(std::string& out, const char* name, const std::string& value) {
    if (value.empty()) return;
    out.append(name).append(": ").append(value).append("\r\n");
}

}  // namespace

std::string buildRequest(const std::string& method, const std::string& target,
                         const std::string& version, const TIdHTTPRequest& r,
                         const CookieLines& cookies) {
    std::string out = method + " " + target + " HTTP/" + version + "\r\n";
    addLine(out, "Connection", r.Connection);
    addLine(out, "Content-Version", r.ContentVersion);
    addLine(out, "Content-Disposition", r.ContentDisposition);
    addLine(out, "Content-Encoding", r.ContentEncoding);
    addLine(out, "Content-Language", r.ContentLanguage);
    addLine(out, "Content-Type", r.ContentType);
    if (r.ContentLength >= 0) addLine(out, "Content-Length", std::to_string(r.ContentLength));
    addLine(out, "Cache-control", r.CacheControl);
    addLine(out, "Date", r.Date);
    addLine(out, "ETag", r.ETag);
    addLine(out, "Expires", r.Expires);
    addLine(out, "Pragma", r.Pragma);
    addLine(out, "Transfer-Encoding", r.TransferEncoding);
    for (const auto& [name, value] : r.CustomHeaders) addLine(out, name.c_str(), value);
    addLine(out, "Proxy-Connection", r.ProxyConnection);
    addLine(out, "Host", r.Host);
    addLine(out, "Accept", r.Accept);
    addLine(out, "Accept-Charset", r.AcceptCharset);
    addLine(out, "Accept-Encoding", r.AcceptEncoding);
    addLine(out, "Accept-Language", r.AcceptLanguage);
    addLine(out, "From", r.From);
    addLine(out, "Referer", r.Referer);
    addLine(out, "User-Agent", r.UserAgent);
    addLine(out, "Range", r.Range);
    addLine(out, "If-Modified-Since", r.IfModifiedSince);
    addLine(out, "Authorization", r.Authorization);
    addLine(out, "X-HTTP-Method-Override", r.MethodOverride);
    for (const auto& [name, value] : cookies) addLine(out, name.c_str(), value);
    out += "\r\n";
    return out;
}

}  // namespace net
