// Where the updater finds its version file and packages: one base URL, built in and
// overridable (tests and demos point it at a server of their own).
#pragma once

#include <string>
#include <string_view>

namespace net {

class TIdHTTP;

inline constexpr const char* kDefaultUpdateServer = "http://update.quillora.it";
inline constexpr const char* kUpdaterUserAgent =
    "Mozilla/5.0 (Windows; U; Windows NT 6.0; it; rv:1.8.1.12)";
inline constexpr const char* kUpdaterAccept = "text/html, */*";

class UpdateServer {
  public:
    UpdateServer() = default;
    // `base` is "http://host[:port]" with or without a path; a trailing "/" is dropped.
    explicit UpdateServer(std::string_view base);

    const std::string& base() const { return m_base; }
    // base + "/public/qlupdate/UPDATEQL.txt"
    std::string versionFileUrl() const;
    // base + "/public/qlupdate/" + vid + ".zip" (an empty vid gives ".../.zip").
    std::string packageUrl(std::string_view vid) const;

  private:
    std::string m_base = kDefaultUpdateServer;
};

// The client settings the updater runs with: its user agent and accepted types; everything
// else stays at the client's defaults.
void applyUpdaterSettings(TIdHTTP& http);

}  // namespace net
