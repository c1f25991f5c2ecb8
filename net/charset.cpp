#include "net/charset.h"

#include "core/text.h"

namespace net {

std::string decodeCharset(std::string_view bytes, std::string_view charset) {
    const std::string cs = core::asciiLower(core::Trim(charset));
    if (cs == "utf-8" || cs == "utf8")
        return core::isValidUtf8(bytes) ? std::string(bytes) : core::latin1ToUtf8(bytes);
    if (cs == "windows-1252" || cs == "cp1252") return core::cp1252ToUtf8(bytes);
    if (cs == "utf-16le") return core::utf16ToUtf8(bytes, core::Endian::Little);
    if (cs == "utf-16be") return core::utf16ToUtf8(bytes, core::Endian::Big);
    if (cs == "utf-16") {
        // RFC 2781 4.3: a BOM decides, big-endian without one.
        if (bytes.starts_with("\xFF\xFE"))
            return core::utf16ToUtf8(bytes.substr(2), core::Endian::Little);
        if (bytes.starts_with("\xFE\xFF")) bytes.remove_prefix(2);
        return core::utf16ToUtf8(bytes, core::Endian::Big);
    }
    return core::latin1ToUtf8(bytes);
}

}  // namespace net
