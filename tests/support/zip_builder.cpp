#include "tests/support/zip_builder.h"

#include <zlib.h>

namespace testsupport {

std::string le16(std::uint16_t v) {
    return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string le32(std::uint32_t v) {
    return le16(static_cast<std::uint16_t>(v)) + le16(static_cast<std::uint16_t>(v >> 16));
}

namespace {

std::uint32_t crcOf(std::string_view s) {
    return static_cast<std::uint32_t>(
        ::crc32(0L, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size())));
}

}  // namespace

std::string extraBlock(std::uint16_t id, std::string_view data) {
    return le16(id) + le16(static_cast<std::uint16_t>(data.size())) + std::string(data);
}

std::string infoZipUnicodePath(std::string_view rawName, std::string_view utf8, bool staleCrc) {
    const std::uint32_t crc = crcOf(rawName) ^ (staleCrc ? 1U : 0U);
    return extraBlock(0x7075, std::string(1, '\x01') + le32(crc) + std::string(utf8));
}

std::string xceedUnicode(std::string_view utf16le, std::uint32_t characters) {
    return extraBlock(0x554E, "NUCX" + le32(characters) + std::string(utf16le));
}

std::string buildZip(const std::vector<ZipEntrySpec>& entries, const ZipEndSpec& end) {
    std::string out = end.prefix;
    std::string central;
    std::vector<std::uint32_t> offsets;
    for (const ZipEntrySpec& e : entries) {
        std::uint32_t offset = static_cast<std::uint32_t>(out.size() - end.prefix.size());
        const std::uint32_t crc = e.crc.value_or(crcOf(e.data));
        const std::uint32_t usize =
            e.uncompressedSize.value_or(static_cast<std::uint32_t>(e.data.size()));
        const auto csize = e.compressedSize.value_or(static_cast<std::uint32_t>(e.data.size()));
        auto common = [&](std::uint16_t method, std::uint32_t uncompressed, std::size_t nameSize) {
            return le16(e.versionNeeded) + le16(e.flags) + le16(method) + le16(e.dosTime) +
                   le16(e.dosDate) + le32(crc) + le32(csize) + le32(uncompressed) +
                   le16(static_cast<std::uint16_t>(nameSize)) +
                   le16(static_cast<std::uint16_t>(e.extra.size()));
        };
        if (e.sameDataAs) {
            offset = offsets.at(*e.sameDataAs);
        } else {
            const std::string localName = e.localName.value_or(e.name);
            out += (e.badLocalSignature ? std::string("PK\x05\x05", 4)
                                        : std::string("PK\x03\x04", 4)) +
                   common(e.localMethod.value_or(e.method), e.localUncompressedSize.value_or(usize),
                          localName.size()) +
                   localName + e.extra + e.data;
        }
        offsets.push_back(offset);
        central += std::string("PK\x01\x02", 4) + le16(e.versionMadeBy) +
                   common(e.method, usize, e.name.size()) + le16(0) + le16(0) + le16(0) +
                   le32(e.externalAttributes) + le32(offset) + e.name + e.extra;
    }
    const auto cdOffset = static_cast<std::uint32_t>(out.size() - end.prefix.size());
    const auto count = end.totalEntries.value_or(static_cast<std::uint16_t>(entries.size()));
    out += central;
    out += std::string("PK\x05\x06", 4) + le16(0) + le16(0) + le16(count) + le16(count) +
           le32(static_cast<std::uint32_t>(central.size())) + le32(cdOffset) +
           le16(static_cast<std::uint16_t>(end.comment.size())) + end.comment;
    return out;
}

}  // namespace testsupport
