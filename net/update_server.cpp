#include "net/update_server.h"

#include "net/id_http.h"

namespace net {

UpdateServer::UpdateServer(std::string_view base) : m_base(base) {
    while (!m_base.empty() && m_base.back() == '/') m_base.pop_back();
}

std::string UpdateServer::versionFileUrl() const {
    return m_base + "/public/qlupdate/UPDATEQL.txt";
}

std::string UpdateServer::packageUrl(std::string_view vid) const {
    return m_base + "/public/qlupdate/" + std::string(vid) + ".zip";
}

void applyUpdaterSettings(TIdHTTP& http) {
    http.ProtocolVersion = TIdHTTPProtocolVersion::pv1_1;
    http.Request.UserAgent = kUpdaterUserAgent;
    http.Request.Accept = kUpdaterAccept;
    http.AllowCookies = true;
}

}  // namespace net
