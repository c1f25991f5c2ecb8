// ZipBuilder: hand-built ZIP archives for what no tool writes (Unicode extras, names from MS-DOS
// hosts, version 6.4, bad local signatures, odd end records). Data is stored as given.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

struct ZipEntrySpec {
    std::string name;  // raw name bytes
    std::string data;  // written as the entry's data, whatever the method says
    std::uint16_t method = 0;
    std::uint16_t flags = 0;
    std::uint16_t versionMadeBy = 20;  // MS-DOS host, version 2.0
    std::uint16_t versionNeeded = 20;
    std::uint16_t dosTime = 0x6000;  // 12:00:00
    std::uint16_t dosDate = 0x5A21;  // 2025-01-01
    std::uint32_t externalAttributes = 0x20;
    std::string extra;                              // central and local extra field
    std::optional<std::uint32_t> crc;               // defaults to the CRC-32 of data
    std::optional<std::uint32_t> uncompressedSize;  // defaults to data.size()
    std::optional<std::uint32_t> compressedSize;    // defaults to data.size()
    bool badLocalSignature = false;
    // A local header that disagrees with the central one (each defaults to the central value).
    std::optional<std::string> localName;
    std::optional<std::uint16_t> localMethod;
    std::optional<std::uint32_t> localUncompressedSize;
    // No local header or data of its own: the central entry points at entry N's.
    std::optional<std::size_t> sameDataAs;
};

struct ZipEndSpec {
    std::optional<std::uint16_t> totalEntries;  // defaults to the number of entries
    std::string comment;
    std::string prefix;  // bytes in front of the first local header (offsets not adjusted)
};

std::string buildZip(const std::vector<ZipEntrySpec>& entries, const ZipEndSpec& end = {});

// An extra block: 2-byte id, 2-byte length, data.
std::string extraBlock(std::uint16_t id, std::string_view data);
// Info-ZIP Unicode Path (0x7075) for `rawName`: version 1, CRC-32 of the raw name, UTF-8 name.
std::string infoZipUnicodePath(std::string_view rawName, std::string_view utf8,
                               bool staleCrc = false);
// Xceed Unicode (0x554E): "NUCX", character count, UTF-16LE name.
std::string xceedUnicode(std::string_view utf16le, std::uint32_t characters);

std::string le16(std::uint16_t v);
std::string le32(std::uint32_t v);

}  // namespace testsupport
