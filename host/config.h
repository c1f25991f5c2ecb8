// The installation's config.ini: the database settings the updater takes from section MySQL,
// and the descrambling of the stored root password.
#pragma once

#include <string>
#include <string_view>

namespace host {

// Server and plain root password from config.ini; both empty until read once.
struct DbSettings {
    std::string Server;
    std::string RootPass;
};

inline constexpr std::string_view kConfigSection = "MySQL";
inline constexpr std::string_view kServerKey = "SERVER";
inline constexpr std::string_view kRootPassKey = "RootPass";
inline constexpr std::string_view kDefaultServer = "localhost";
// A scrambled value starts with U+00FF ("ÿ").
inline constexpr char32_t kScrambleMarker = 0x00FF;
// The root password used when config.ini has no RootPass key, kept scrambled like a stored one.
inline constexpr std::string_view kDefaultRootPass =
    "\xC3\xBF"
    "pn Vjis%;::8";

// Reads section MySQL of installPath + "config.ini": SERVER (default "localhost") and RootPass
// (default kDefaultRootPass), the latter descrambled. A missing file gives both defaults.
DbSettings ReadConfig(std::string_view installPath);

// The plain text of a stored password: a text starting with the marker loses it, and each
// following 16-bit code is combined by exclusive-or with its full position (1, 2, ... 17, ...);
// any other text is plain already.
std::string Descramble(std::string_view s);
// The inverse, for tools and tests that write config.ini files.
std::string Scramble(std::string_view plain);

}  // namespace host
