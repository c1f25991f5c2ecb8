#include "archive/zip_names.h"

#include <optional>

#include <zlib.h>

#include "core/byte_cursor.h"
#include "core/text.h"

namespace archive {

namespace {

constexpr std::uint16_t kInfoZipUnicodePath = 0x7075;
constexpr std::uint16_t kXceedUnicode = 0x554E;

bool hasHighByte(std::string_view raw) {
    for (char c : raw)
        if (static_cast<unsigned char>(c) >= 0x80) return true;
    return false;
}

// Internal text is always valid UTF-8: anything else becomes U+FFFD.
std::string cleanUtf8(std::string_view s) {
    if (core::isValidUtf8(s)) return std::string(s);
    std::string out;
    for (char32_t cp : core::utf8ToCodePoints(s)) core::appendUtf8(out, cp);
    return out;
}

// Info-ZIP Unicode Path: version 1, the CRC-32 of the raw name it stands for, UTF-8 text. A
// block whose CRC does not match was left behind by a tool that renamed the entry.
std::optional<std::string> infoZipName(std::string_view data, std::string_view raw) {
    if (data.size() <= 6 || data[0] != 1) return std::nullopt;
    core::ByteCursor c(data.data(), data.size());
    c.skip(1);
    const std::uint32_t crc = c.u32le();
    const auto actual = static_cast<std::uint32_t>(
        ::crc32(0L, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uInt>(raw.size())));
    if (crc != actual) return std::nullopt;
    return cleanUtf8(data.substr(5));
}

// Xceed Unicode: "NUCX", a 32-bit character count, that many UTF-16LE code units.
std::optional<std::string> xceedName(std::string_view data) {
    if (data.size() <= 10 || data.substr(0, 4) != "NUCX") return std::nullopt;
    core::ByteCursor c(data.data(), data.size());
    c.skip(4);
    const std::uint64_t count = c.u32le();
    if (data.size() != 8 + 2 * count) return std::nullopt;
    return core::utf16ToUtf8(data.substr(8), core::Endian::Little);
}

}  // namespace

bool isLooseUtf8(std::string_view raw) {
    for (std::size_t i = 0; i < raw.size();) {
        const auto b = static_cast<unsigned char>(raw[i]);
        std::size_t follow = 0;
        if (b < 0x80)
            follow = 0;
        else if (b >= 0xC2 && b <= 0xDF)
            follow = 1;
        else if (b >= 0xE0 && b <= 0xEF)
            follow = 2;
        else if (b >= 0xF0 && b <= 0xF4)
            follow = 3;
        else
            return false;
        if (raw.size() - i - 1 < follow) return false;
        for (std::size_t k = 1; k <= follow; ++k) {
            const auto cb = static_cast<unsigned char>(raw[i + k]);
            if (cb < 0x80 || cb > 0xBF) return false;
        }
        i += follow + 1;
    }
    return true;
}

bool looksOemEncoded(std::string_view raw, const NameCodePages& pages) {
    switch (pages.oem) {
        case 437:
        case 720:
        case 737:
        case 775:
        case 850:
        case 852:
        case 855:
        case 857:
        case 862:
        case 866:
            break;
        default:
            return false;
    }
    const int oemLetters = pages.oem == 862 ? 437 : pages.oem;
    const int ansi = core::ansiPairOf(pages.oem);
    bool any = false;
    bool allAnsi = true;
    for (char ch : raw) {
        const auto b = static_cast<std::uint8_t>(ch);
        if (b < 0x80) continue;
        any = true;
        if (!core::isCodePageLetter(oemLetters, b)) return false;
        if (!core::isCodePageLetter(ansi, b)) allAnsi = false;
    }
    return any && !allAnsi;
}

std::string decodeEntryName(const CentralHeader& h, const NameCodePages& pages) {
    const std::string_view raw = h.rawName;
    if ((h.flags & 0x0800) != 0 || (hasHighByte(raw) && isLooseUtf8(raw))) return cleanUtf8(raw);

    std::optional<std::string> fromExtra;
    forEachExtraBlock(h.extra, [&](std::uint16_t id, std::string_view data) {
        if (!fromExtra && id == kInfoZipUnicodePath) fromExtra = infoZipName(data, raw);
    });
    if (fromExtra) return *fromExtra;
    forEachExtraBlock(h.extra, [&](std::uint16_t id, std::string_view data) {
        if (!fromExtra && id == kXceedUnicode) fromExtra = xceedName(data);
    });
    if (fromExtra) return *fromExtra;

    const bool ansi = pages.ansi == pages.oem || (h.host() != 0 && !looksOemEncoded(raw, pages));
    return core::singleByteToUtf8(ansi ? pages.ansi : pages.oem, raw);
}

}  // namespace archive
