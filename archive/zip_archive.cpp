#include "archive/zip_archive.h"

#include <filesystem>
#include <limits>

#include "archive/entry_checks.h"
#include "archive/zip_errors.h"
#include "archive/zip_paths.h"
#include "host/platform/file_names.h"

namespace archive {

namespace fs = std::filesystem;

bool TAbZipItem::IsDirectory() const {
    if ((header.externalAttributes & 0x10) != 0) return true;
    return !FileName.empty() && (FileName.back() == '/' || FileName.back() == '\\');
}

TAbZipArchive::TAbZipArchive(const std::string& fileName, const std::string& baseDirectory,
                             const NameCodePages& pages)
    : m_fileName(fileName), m_pages(pages) {
    std::error_code ec;
    const fs::path file = host::fsPath(fileName);
    if (!fs::is_regular_file(file, ec)) raise(ZipFailure::FileNotFound);
    if (fs::file_size(file, ec) == 0 || ec) raise(ZipFailure::BadStream);
    if (auto opened = m_file.open(fileName); !opened)
        throw EInOutError(opened.error().text, opened.error().code.value());
    SetBaseDirectory(baseDirectory);

    m_kind = detectArchiveKind(fileName, probe());
    switch (m_kind) {
        case ArchiveKind::Zip:
        case ArchiveKind::SelfExtractingZip:
            readDirectory(pages);
            return;
        case ArchiveKind::SpannedZip:
            // Packages are single files; the other volumes of a set are not looked for.
            raise(ZipFailure::ZipInvalid);
        case ArchiveKind::Unknown:
        case ArchiveKind::Tar:
        case ArchiveKind::Gzip:
        case ArchiveKind::GzippedTar:
        case ArchiveKind::Bzip2:
        case ArchiveKind::BzippedTar:
        case ArchiveKind::Cabinet:
            raise(ZipFailure::UnhandledType);
    }
}

FileProbe TAbZipArchive::probe() {
    return {m_file.size(), [this](std::uint64_t offset, std::size_t length) {
                std::vector<std::byte> out(length);
                out.resize(m_file.readAt(offset, out));
                return out;
            }};
}

void TAbZipArchive::SetBaseDirectory(const std::string& dir) {
    std::string base = normaliseBaseDirectory(dir);
    std::error_code ec;
    if (!base.empty() && !fs::is_directory(host::fsPath(base), ec))
        raise(ZipFailure::NoSuchDirectory);
    m_baseDirectory = std::move(base);
}

void TAbZipArchive::readDirectory(const NameCodePages& pages) {
    const auto at = findEndRecord(probe());
    if (!at) raise(ZipFailure::ZipInvalid);
    auto end = parseEndRecord(m_file.readExact(*at, kEndRecordSize), *at);
    if (!end) raise(ZipFailure::ZipInvalid);
    m_end = *end;
    auto hasHeaderAt = [this](std::uint64_t off) {
        const auto sig = m_file.readExact(off, 4);
        return sig.size() == 4 && sig[0] == std::byte{'P'} && sig[1] == std::byte{'K'} &&
               sig[2] == std::byte{1} && sig[3] == std::byte{2};
    };
    const auto cd = locateCentralDirectory(m_end, hasHeaderAt);
    if (!cd || m_end.offset - *cd > kMaxCentralDirectory) raise(ZipFailure::ZipInvalid);
    m_shift =
        static_cast<std::int64_t>(*cd) - static_cast<std::int64_t>(m_end.centralDirectoryOffset);
    if (*cd == m_end.offset) m_shift = 0;
    m_directoryStart = *cd;
    m_directory = m_file.readExact(*cd, static_cast<std::size_t>(m_end.offset - *cd));
    if (m_directory.size() != m_end.offset - *cd) raise(ZipFailure::ZipInvalid);

    // One pass over the headers, keeping only where each starts and its decoded name: the
    // directory's own bytes are the store, so memory follows the directory's size.
    core::ByteCursor c(m_directory);
    m_items.reserve(m_directory.size() / kCentralHeaderSize);  // at most this many headers fit
    while (!c.atEnd()) {
        const std::size_t start = c.offset();
        auto h = parseCentralHeader(c, *cd);
        if (!h) raise(ZipFailure::ZipInvalid);
        const std::string name = decodeEntryName(*h, pages);
        m_items.push_back({static_cast<std::uint32_t>(start),
                           static_cast<std::uint32_t>(m_names.size()),
                           static_cast<std::uint32_t>(name.size()), EntryLayout::Unchecked});
        m_names += name;
    }
    m_names.shrink_to_fit();
}

TAbZipItem TAbZipArchive::Item(std::size_t index) const {
    const ItemRecord& r = m_items[index];
    core::ByteCursor c(std::span<const std::byte>(m_directory).subspan(r.header));
    auto h = parseCentralHeader(c, m_directoryStart + r.header);  // read whole once already
    return {std::move(*h), m_names.substr(r.nameAt, r.nameLength), index};
}

std::uint64_t TAbZipArchive::localHeaderAt(const CentralHeader& h) const {
    const std::int64_t local = static_cast<std::int64_t>(h.localHeaderOffset) + m_shift;
    return local < 0 ? std::numeric_limits<std::uint64_t>::max()
                     : static_cast<std::uint64_t>(local);
}

EntryLayout TAbZipArchive::readLocalHeader(const CentralHeader& h, LocalHeader& local,
                                           std::uint64_t& dataOffset) const {
    const std::uint64_t at = localHeaderAt(h);
    // The fixed part and as many name bytes as the central entry has: all there is to read
    // unless the names differ or ZIP64 sizes must be taken from the extra field.
    std::vector<std::byte> head = m_file.readExact(at, kLocalHeaderSize + h.rawName.size());
    auto parsed = parseLocalHeader(head, at);
    if (!parsed) {
        // A header cut short by the end of the file still may hold a shorter name.
        parsed = parseLocalHeader(m_file.readExact(at, kLocalHeaderSize), at);
        if (!parsed) return EntryLayout::BadLocalSignature;
        head.clear();
    }
    local = *parsed;
    dataOffset = at + kLocalHeaderSize + local.nameLength + local.extraLength;
    auto text = [](const std::vector<std::byte>& b, std::size_t from = 0) {
        return std::string_view(reinterpret_cast<const char*>(b.data()) + from, b.size() - from);
    };
    const bool sameBytes = local.nameLength == h.rawName.size() && !head.empty() &&
                           text(head, kLocalHeaderSize) == h.rawName;
    const bool zip64 = local.compressedSize == 0xFFFFFFFF || local.uncompressedSize == 0xFFFFFFFF;
    std::vector<std::byte> name, extra;
    if (!sameBytes) {
        name = m_file.readExact(at + kLocalHeaderSize, local.nameLength);
        if (name.size() != local.nameLength) return EntryLayout::LocalMismatch;
    }
    if (!sameBytes || zip64) {
        extra = m_file.readExact(at + kLocalHeaderSize + local.nameLength, local.extraLength);
        if (extra.size() != local.extraLength) return EntryLayout::LocalMismatch;
    }
    const std::string_view localName = sameBytes ? std::string_view(h.rawName) : text(name);
    return localHeaderMismatch(local, localName, text(extra), h, m_pages)
               ? EntryLayout::LocalMismatch
               : EntryLayout::Sound;
}

void TAbZipArchive::checkLayout() {
    if (m_checked) return;
    std::vector<EntrySpan> spans(m_items.size());  // entries without a local header claim none
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        const CentralHeader h = Item(i).header;
        LocalHeader local;
        std::uint64_t data = 0;
        m_items[i].layout = readLocalHeader(h, local, data);
        if (m_items[i].layout != EntryLayout::BadLocalSignature)
            spans[i] = {localHeaderAt(h), data + h.compressedSize};
    }
    const std::vector<bool> overlaps = overlappingSpans(spans, m_directoryStart);
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (overlaps[i] && m_items[i].layout == EntryLayout::Sound)
            m_items[i].layout = EntryLayout::Overlap;
    m_checked = true;
}

TAbZipArchive::EntryData TAbZipArchive::entryData(const TAbZipItem& item) const {
    LocalHeader local;
    std::uint64_t data = 0;
    // Read again even after the check: the file is what counts when the data is read.
    if (readLocalHeader(item.header, local, data) != EntryLayout::Sound ||
        (m_checked && m_items[item.index].layout != EntryLayout::Sound))
        raise(ZipFailure::ZipInvalid);
    return {data, local};
}

}  // namespace archive
