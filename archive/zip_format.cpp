#include "archive/zip_format.h"

#include <algorithm>

#include "core/byte_cursor.h"

namespace archive {

namespace {

std::uint32_t le32(std::span<const std::byte> b, std::size_t at) {
    core::ByteCursor c(b.subspan(at, 4));
    return c.u32le();
}

std::string str(std::string_view v) {
    return std::string(v);
}

// APPNOTE 4.3.7 and 4.3.12: local and central headers share these fields, in this order.
template <typename Header>
void readSharedFields(core::ByteCursor& c, Header& h) {
    h.versionNeeded = c.u16le();
    h.flags = c.u16le();
    h.method = c.u16le();
    h.dosTime = c.u16le();
    h.dosDate = c.u16le();
    h.crc32 = c.u32le();
    h.compressedSize = c.u32le();
    h.uncompressedSize = c.u32le();
}

FormatError cursorError(const core::ByteCursor& c, std::uint64_t base, const char* what) {
    return {std::string(what) + ": " + c.error(), base + c.offset()};
}

}  // namespace

std::optional<EndRecordSearch::Window> EndRecordSearch::next() {
    if (m_fileSize < kEndRecordSize) return std::nullopt;
    if (m_step == 0) {
        m_current = Window{m_fileSize - kEndRecordSize, kEndRecordSize};
    } else {
        std::uint64_t end = m_fileSize;
        if (m_step > 1) {
            if (m_current->start == 0) return std::nullopt;
            end = m_current->start + kEndRecordSize;
            m_size = std::min<std::size_t>(m_size * 2, 65536);
        }
        std::uint64_t start = end > m_size ? end - m_size : 0;
        m_current = Window{start, static_cast<std::size_t>(end - start)};
    }
    ++m_step;
    return m_current;
}

std::optional<std::uint64_t> EndRecordSearch::test(std::span<const std::byte> window) {
    if (m_step == 1) {
        // Fast path: the record with an empty comment fills the last 22 bytes.
        if (window.size() == kEndRecordSize && le32(window, 0) == kEndSignature &&
            window[20] == std::byte{0} && window[21] == std::byte{0})
            return m_current->start;
        return std::nullopt;
    }
    if (window.size() < kEndRecordSize) return std::nullopt;
    for (std::size_t i = window.size() - kEndRecordSize + 1; i-- > 0;) {
        if (le32(window, i) != kEndSignature) continue;
        const std::uint64_t at = m_current->start + i;
        const auto commentLength =
            static_cast<std::uint16_t>(std::to_integer<unsigned>(window[i + 20]) |
                                       (std::to_integer<unsigned>(window[i + 21]) << 8));
        if (commentLength <= m_fileSize - (at + kEndRecordSize)) return at;
        return std::nullopt;  // only the nearest signature of a window is tried
    }
    return std::nullopt;
}

core::Result<EndRecord, FormatError> parseEndRecord(std::span<const std::byte> bytes,
                                                    std::uint64_t offset) {
    core::ByteCursor c(bytes);
    EndRecord r;
    r.offset = offset;
    if (c.u32le() != kEndSignature)
        return core::fail(FormatError{"bad end record signature", offset});
    r.diskNumber = c.u16le();
    r.centralDirectoryDisk = c.u16le();
    r.entriesOnDisk = c.u16le();
    r.totalEntries = c.u16le();
    r.centralDirectorySize = c.u32le();
    r.centralDirectoryOffset = c.u32le();
    r.commentLength = c.u16le();
    if (!c.ok()) return core::fail(cursorError(c, offset, "end record"));
    return r;
}

core::Result<CentralHeader, FormatError> parseCentralHeader(core::ByteCursor& c,
                                                            std::uint64_t base) {
    const std::size_t start = c.offset();
    if (c.u32le() != kCentralSignature) {
        if (!c.ok()) return core::fail(cursorError(c, base, "central directory"));
        return core::fail(FormatError{"bad central directory header signature", base + start});
    }
    CentralHeader h;
    h.versionMadeBy = c.u16le();
    readSharedFields(c, h);
    const std::uint16_t nameLength = c.u16le();
    const std::uint16_t extraLength = c.u16le();
    const std::uint16_t commentLength = c.u16le();
    h.diskNumberStart = c.u16le();
    h.internalAttributes = c.u16le();
    h.externalAttributes = c.u32le();
    h.localHeaderOffset = c.u32le();
    h.rawName = str(c.text(nameLength));
    h.extra = str(c.text(extraLength));
    h.comment = str(c.text(commentLength));
    if (!c.ok()) return core::fail(cursorError(c, base, "central directory"));
    return h;
}

core::Result<std::vector<CentralHeader>, FormatError> parseCentralDirectory(
    std::span<const std::byte> bytes, std::uint64_t base) {
    core::ByteCursor c(bytes);
    std::vector<CentralHeader> out;
    while (!c.atEnd()) {
        auto h = parseCentralHeader(c, base);
        if (!h) return core::fail(h.error());
        out.push_back(std::move(*h));
    }
    return out;
}

core::Result<LocalHeader, FormatError> parseLocalHeader(std::span<const std::byte> bytes,
                                                        std::uint64_t offset) {
    core::ByteCursor c(bytes);
    if (c.u32le() != kLocalSignature || !c.ok())
        return core::fail(FormatError{"bad local header signature", offset});
    LocalHeader h;
    readSharedFields(c, h);
    h.nameLength = c.u16le();
    h.extraLength = c.u16le();
    if (!c.ok()) return core::fail(cursorError(c, offset, "local header"));
    return h;
}

void forEachExtraBlock(std::string_view extra,
                       const std::function<void(std::uint16_t, std::string_view)>& fn) {
    core::ByteCursor c(extra.data(), extra.size());
    while (c.remaining() >= 4) {
        const std::uint16_t id = c.u16le();
        const std::uint16_t length = c.u16le();
        const std::string_view data = c.text(length);
        if (!c.ok()) return;
        fn(id, data);
    }
}

std::optional<std::uint64_t> locateCentralDirectory(
    const EndRecord& end, const std::function<bool(std::uint64_t)>& hasHeaderAt) {
    if (end.totalEntries == 0 && end.centralDirectorySize == 0) return end.offset;
    if (end.centralDirectoryOffset <= end.offset && hasHeaderAt(end.centralDirectoryOffset))
        return end.centralDirectoryOffset;
    // A stub in front of the archive moves everything by its size; the directory still ends
    // where the end record begins.
    if (end.centralDirectorySize <= end.offset) {
        const std::uint64_t actual = end.offset - end.centralDirectorySize;
        if (actual > end.centralDirectoryOffset && hasHeaderAt(actual)) return actual;
    }
    return std::nullopt;
}

core::Result<ArchiveDirectory, FormatError> readDirectory(std::span<const std::byte> whole) {
    EndRecordSearch search(whole.size());
    std::optional<std::uint64_t> at;
    while (auto w = search.next()) {
        if ((at = search.test(whole.subspan(w->start, w->length)))) break;
    }
    if (!at) return core::fail(FormatError{"no end of central directory record", whole.size()});
    auto end = parseEndRecord(whole.subspan(*at, kEndRecordSize), *at);
    if (!end) return core::fail(end.error());
    auto hasHeader = [&](std::uint64_t off) {
        return off + 4 <= whole.size() && le32(whole, off) == kCentralSignature;
    };
    auto cd = locateCentralDirectory(*end, hasHeader);
    if (!cd)
        return core::fail(
            FormatError{"no central directory header at its offset", end->centralDirectoryOffset});
    auto headers = parseCentralDirectory(whole.subspan(*cd, *at - *cd), *cd);
    if (!headers) return core::fail(headers.error());
    ArchiveDirectory d{*end, std::move(*headers),
                       static_cast<std::int64_t>(*cd) - end->centralDirectoryOffset};
    return d;
}

}  // namespace archive
