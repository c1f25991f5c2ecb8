#include "archive/zip_archive.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "archive/zip_errors.h"
#include "archive/zip_paths.h"

namespace archive {

namespace fs = std::filesystem;

bool TAbZipItem::IsDirectory() const {
    if ((header.externalAttributes & 0x10) != 0) return true;
    return !FileName.empty() && (FileName.back() == '/' || FileName.back() == '\\');
}

TAbZipArchive::TAbZipArchive(const std::string& fileName, const std::string& baseDirectory,
                             const NameCodePages& pages)
    : m_fileName(fileName) {
    std::error_code ec;
    if (!fs::is_regular_file(fileName, ec)) raise(ZipFailure::FileNotFound);
    if (fs::file_size(fileName, ec) == 0 || ec) raise(ZipFailure::BadStream);
    if (!m_file.open(fileName)) {
        const int err = errno;
        throw EInOutError(std::strerror(err), err);
    }
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
    if (!base.empty() && !fs::is_directory(base, ec)) raise(ZipFailure::NoSuchDirectory);
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
    const std::vector<std::byte> bytes =
        m_file.readExact(*cd, static_cast<std::size_t>(m_end.offset - *cd));
    auto headers = parseCentralDirectory(bytes, *cd);
    if (!headers) raise(ZipFailure::ZipInvalid);
    m_items.reserve(headers->size());
    for (CentralHeader& h : *headers) {
        TAbZipItem item;
        item.FileName = decodeEntryName(h, pages);
        item.header = std::move(h);
        m_items.push_back(std::move(item));
    }
}

TAbZipArchive::EntryData TAbZipArchive::entryData(const TAbZipItem& item) {
    const std::int64_t local = static_cast<std::int64_t>(item.header.localHeaderOffset) + m_shift;
    if (local < 0) raise(ZipFailure::ZipInvalid);
    const auto at = static_cast<std::uint64_t>(local);
    auto header = parseLocalHeader(m_file.readExact(at, kLocalHeaderSize), at);
    if (!header) raise(ZipFailure::ZipInvalid);
    return {at + kLocalHeaderSize + header->nameLength + header->extraLength, *header};
}

}  // namespace archive
