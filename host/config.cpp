#include "host/config.h"

#include <cstddef>
#include <cstdint>

#include "core/text.h"
#include "host/install_path.h"
#include "host/profile.h"

namespace host {
namespace {

// The password is XOR-ed per UTF-16 code unit, as the program that wrote it stored text in
// UTF-16; positions count code units and are never reduced to fewer bits.
std::string xorUnits(std::string_view utf8) {
    std::string units = core::utf8ToUtf16(utf8, core::Endian::Little);
    for (std::size_t k = 0; k + 1 < units.size(); k += 2) {
        auto position = static_cast<std::uint16_t>(k / 2 + 1);
        auto lo = static_cast<std::uint16_t>(static_cast<unsigned char>(units[k]));
        auto hi = static_cast<std::uint16_t>(static_cast<unsigned char>(units[k + 1]));
        auto code = static_cast<std::uint16_t>((lo | (hi << 8)) ^ position);
        units[k] = static_cast<char>(code & 0xFF);
        units[k + 1] = static_cast<char>(code >> 8);
    }
    return core::utf16ToUtf8(units, core::Endian::Little);
}

std::string markerUtf8() {
    std::string m;
    core::appendUtf8(m, kScrambleMarker);
    return m;
}

}  // namespace

DbSettings ReadConfig(std::string_view installPath) {
    ProfileFile ini = ProfileFile::Load(GetConfigFileName(installPath));
    DbSettings s;
    s.Server = ini.GetString(kConfigSection, kServerKey, kDefaultServer);
    s.RootPass = Descramble(ini.GetString(kConfigSection, kRootPassKey, kDefaultRootPass));
    return s;
}

std::string Descramble(std::string_view s) {
    static const std::string marker = markerUtf8();
    if (!s.starts_with(marker)) return std::string(s);
    return xorUnits(s.substr(marker.size()));
}

std::string Scramble(std::string_view plain) {
    return markerUtf8() + xorUnits(plain);
}

}  // namespace host
