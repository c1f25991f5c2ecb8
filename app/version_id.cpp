#include "app/version_id.h"

#include <array>

#include "core/text.h"

namespace app {
namespace {

// Windows opens these as devices whatever follows their first "." ("NUL.qlzip" is NUL).
bool isDeviceName(std::string_view stem) {
    static constexpr std::array<std::string_view, 7> kDevices = {
        "CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"};
    for (std::string_view d : kDevices)
        if (core::equalsNoCaseAscii(stem, d)) return true;
    // COM1..COM9 and LPT1..LPT9.
    if (stem.size() != 4 || stem[3] < '1' || stem[3] > '9') return false;
    return core::equalsNoCaseAscii(stem.substr(0, 3), "COM") ||
           core::equalsNoCaseAscii(stem.substr(0, 3), "LPT");
}

}  // namespace

bool IsSafeVersionId(std::string_view vid) {
    if (vid.size() > kMaxVersionIdLength) return false;
    for (char ch : vid) {
        const auto c = static_cast<unsigned char>(ch);
        // Control characters, DEL and bytes beyond ASCII.
        if (c < 0x20 || c >= 0x7F) return false;
    }
    // Separators, drives and streams, wildcards and the characters a URL path gives a meaning
    // of its own (query, fragment, escape).
    if (vid.find_first_of("/\\:*?\"<>|#%") != std::string_view::npos) return false;
    if (vid.find("..") != std::string_view::npos || vid == ".") return false;
    return vid.empty() || !isDeviceName(vid.substr(0, vid.find('.')));
}

}  // namespace app
