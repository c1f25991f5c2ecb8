// What kind of archive a file is: by its extension when it has a known one, otherwise by
// content tests in a fixed order (self-extracting ZIP, ZIP, tar, gzip, bzip2, cabinet).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace archive {

enum class ArchiveKind {
    Unknown,
    Zip,
    SelfExtractingZip,
    SpannedZip,
    Tar,
    Gzip,
    GzippedTar,
    Bzip2,
    BzippedTar,
    Cabinet
};

// How the content tests see the file: its size and reads at offsets.
struct FileProbe {
    std::uint64_t size = 0;
    std::function<std::vector<std::byte>(std::uint64_t offset, std::size_t length)>
        read;  // may return fewer
};

ArchiveKind detectArchiveKind(std::string_view fileName, const FileProbe& file);

// The offset of the end of central directory record, searched as the extractor always has.
std::optional<std::uint64_t> findEndRecord(const FileProbe& file);

// A 512-byte block whose checksum field (octal, offset 148) equals the sum of its bytes with
// that field counted as spaces.
bool isTarHeader(std::span<const std::byte> block);

}  // namespace archive
