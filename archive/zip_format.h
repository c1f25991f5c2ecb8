// The ZIP container records (APPNOTE 4.3): end of central directory, central directory headers,
// local headers and extra blocks, read from bytes without any I/O; errors come back as values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/byte_cursor.h"
#include "core/result.h"

namespace archive {

inline constexpr std::size_t kEndRecordSize = 22;      // APPNOTE 4.3.16, without the comment
inline constexpr std::size_t kCentralHeaderSize = 46;  // APPNOTE 4.3.12, without the variable parts
inline constexpr std::size_t kLocalHeaderSize = 30;    // APPNOTE 4.3.7
inline constexpr std::uint32_t kEndSignature = 0x06054b50;
inline constexpr std::uint32_t kCentralSignature = 0x02014b50;
inline constexpr std::uint32_t kLocalSignature = 0x04034b50;
inline constexpr std::uint32_t kSpanMarker = 0x08074b50;
// The central directory is read whole; no real package comes near this.
inline constexpr std::uint64_t kMaxCentralDirectory = 256ULL << 20;

struct FormatError {
    std::string message;
    std::uint64_t offset = 0;  // where in the input the fault was found
};

struct EndRecord {
    std::uint64_t offset = 0;  // of the signature, in the file
    std::uint16_t diskNumber = 0;
    std::uint16_t centralDirectoryDisk = 0;
    std::uint16_t entriesOnDisk = 0;
    std::uint16_t totalEntries = 0;
    std::uint32_t centralDirectorySize = 0;
    std::uint32_t centralDirectoryOffset = 0;
    std::uint16_t commentLength = 0;
};

struct CentralHeader {
    std::uint16_t versionMadeBy = 0;  // high byte: host system (0 MS-DOS, 3 Unix, ...)
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc32 = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t diskNumberStart = 0;
    std::uint16_t internalAttributes = 0;
    std::uint32_t externalAttributes = 0;
    std::uint32_t localHeaderOffset = 0;
    std::string rawName;
    std::string extra;
    std::string comment;

    std::uint8_t host() const { return static_cast<std::uint8_t>(versionMadeBy >> 8); }
    bool encrypted() const { return (flags & 0x0001) != 0; }
};

struct LocalHeader {
    std::uint16_t versionNeeded = 0;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
    std::uint32_t crc32 = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint16_t nameLength = 0;
    std::uint16_t extraLength = 0;

    bool sizesFollowData() const { return (flags & 0x0008) != 0; }  // APPNOTE 4.4.4 bit 3
};

// Finds the end record the way the extractor has always done it: the last 22 bytes first (an
// archive without a comment), then backward windows of 512 bytes doubling up to 65536, each
// ending 22 bytes after the start of the one before so that no record is split between two.
// Only the signature nearest a window's end is tested; it is accepted when its comment length
// fits between its fixed part and the end of the file.
//   EndRecordSearch s(size);
//   while (auto w = s.next()) if (auto at = s.test(read(w->start, w->length))) ...
class EndRecordSearch {
  public:
    struct Window {
        std::uint64_t start;
        std::size_t length;
    };
    explicit EndRecordSearch(std::uint64_t fileSize) : m_fileSize(fileSize) {}
    // The next range to read; nullopt once the start of the file was passed without a record.
    std::optional<Window> next();
    // Tests the bytes of the range next() gave; the file offset of the accepted record.
    std::optional<std::uint64_t> test(std::span<const std::byte> window);

  private:
    std::uint64_t m_fileSize;
    int m_step = 0;  // 0: the 22-byte fast path; then windows 1, 2, ...
    std::optional<Window> m_current;
    std::size_t m_size = 512;
};

// The fixed 22 bytes of an end record (the comment is not needed).
core::Result<EndRecord, FormatError> parseEndRecord(std::span<const std::byte> bytes,
                                                    std::uint64_t offset);
// One central directory header at the cursor, which is left after it; `base` is the file offset
// of the cursor's first byte (for messages).
core::Result<CentralHeader, FormatError> parseCentralHeader(core::ByteCursor& c,
                                                            std::uint64_t base);
// Central directory headers one after another until the bytes end.
core::Result<std::vector<CentralHeader>, FormatError> parseCentralDirectory(
    std::span<const std::byte> bytes, std::uint64_t base);
// The 30 fixed bytes of a local header.
core::Result<LocalHeader, FormatError> parseLocalHeader(std::span<const std::byte> bytes,
                                                        std::uint64_t offset);

// Calls fn(id, data) for each block of an extra field (2-byte id, 2-byte length, data); a block
// that runs past the end stops the walk.
void forEachExtraBlock(std::string_view extra,
                       const std::function<void(std::uint16_t, std::string_view)>& fn);

// The one-shot entry point tests and fuzzers call: the end record and directory of a whole
// archive held in memory, as the extractor reads them from a file.
struct ArchiveDirectory {
    EndRecord end;
    std::vector<CentralHeader> headers;
    std::int64_t shift = 0;  // bytes of data in front of the archive (self-extractor stubs)
};
core::Result<ArchiveDirectory, FormatError> readDirectory(std::span<const std::byte> whole);

// Where the directory really starts: at its recorded offset, or, when bytes were put in front
// of the archive, right before the end record; nullopt when neither holds a header.
std::optional<std::uint64_t> locateCentralDirectory(
    const EndRecord& end, const std::function<bool(std::uint64_t)>& hasHeaderAt);

}  // namespace archive
