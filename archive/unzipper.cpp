#include "archive/unzipper.h"

#include <array>
#include <filesystem>
#include <optional>
#include <system_error>

#include "archive/decoders/decoder.h"
#include "archive/entry_writer.h"
#include "archive/zip_crypto.h"
#include "archive/zip_mask.h"
#include "archive/zip_paths.h"
#include "host/platform.h"

namespace archive {

namespace fs = std::filesystem;

namespace {

// APPNOTE 4.4.3: the low byte of "version needed" is the ZIP version times ten.
constexpr unsigned kNewestReadableVersion = 63;

ErrorClass classify(const std::exception& e, int& code) {
    code = 0;
    if (const auto* io = dynamic_cast<const EInOutError*>(&e)) {
        code = io->code();
        return ErrorClass::InOut;
    }
    if (dynamic_cast<const EFCreateError*>(&e)) return ErrorClass::FileCreate;
    if (dynamic_cast<const EAbDecodeError*>(&e) || dynamic_cast<const EAbInvalidDateTime*>(&e) ||
        dynamic_cast<const EAbUnsafePath*>(&e))
        return ErrorClass::Other;
    if (const auto* ab = dynamic_cast<const EAbException*>(&e)) {
        code = ab->code();
        return ErrorClass::Archive;
    }
    return ErrorClass::Other;
}

// The entry's compressed bytes, decrypted as they are read when the entry is encrypted (its
// 12-byte encryption header skipped).
class EntryBytes {
  public:
    EntryBytes(const ArchiveFile& file, std::uint64_t offset, const CentralHeader& h,
               const std::string& password)
        : m_raw(file, offset, h.compressedSize), m_packed(h.compressedSize) {
        if (!h.encrypted()) return;
        ZipCryptoKeys keys(password);
        std::array<std::byte, 12> header{};
        (void)m_raw.read(header);
        for (std::byte b : header) keys.decrypt(std::to_integer<std::uint8_t>(b));
        m_decrypted.emplace(m_raw, keys);
        m_packed -= header.size();
    }
    ByteSource& source() { return m_decrypted ? static_cast<ByteSource&>(*m_decrypted) : m_raw; }
    std::uint64_t packedSize() const { return m_packed; }

  private:
    EntryDataSource m_raw;
    std::optional<ZipCryptoSource> m_decrypted;
    std::uint64_t m_packed;
};

}  // namespace

// Names without the UTF-8 flag are read in the system's code pages, as Windows' own tools read
// them (GetACP/GetOEMCP; the POSIX build's fixed pair is a Western European Windows's).
TAbUnZipper::TAbUnZipper() : CodePages{host::systemAnsiCodePage(), host::systemOemCodePage()} {}
TAbUnZipper::~TAbUnZipper() = default;

void TAbUnZipper::SetBaseDirectory(const std::string& dir) {
    m_baseDirectory = dir;
    if (m_archive) m_archive->SetBaseDirectory(dir);
}

void TAbUnZipper::SetFileName(const std::string& fileName) {
    m_archive.reset();
    m_fileName = fileName;
    m_failed.clear();
    if (fileName.empty()) return;
    m_archive = std::make_unique<TAbZipArchive>(fileName, m_baseDirectory, CodePages);
}

void TAbUnZipper::CloseArchive() {
    if (!m_fileName.empty()) SetFileName("");
}

bool TAbUnZipper::selected(const TAbZipItem& item, const std::string& mask) const {
    if (!matchesMask(item.FileName, mask)) return false;
    return !item.IsDirectory() || ExtractOptions.has(TAbExtractOption::eoCreateDirs);
}

void TAbUnZipper::checkFreeSpace(const std::string& mask, const std::filesystem::path& root) {
    // Only entries whose bytes are their own count: several entries sharing one stream are
    // refused anyway, and would otherwise make a small archive claim the whole disk.
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < m_archive->Count(); ++i) {
        const TAbZipItem item = m_archive->Item(i);
        if (item.IsDirectory() || m_archive->layout(i) != EntryLayout::Sound) continue;
        if (selected(item, mask)) total += item.header.uncompressedSize;
    }
    const auto free = host::freeDiskSpace(host::pathText(root));
    if (!free || total <= *free) return;
    throw EInOutError("Not enough free space to extract: the files need " + std::to_string(total) +
                          " bytes, the destination has " + std::to_string(*free) + " bytes free",
                      static_cast<int>(std::errc::no_space_on_device));
}

void TAbUnZipper::ExtractFiles(const std::string& mask) {
    if (!m_archive) raise(ZipFailure::NoArchive);
    const std::string& base = m_archive->BaseDirectory();
    const fs::path root = host::fsPath(base.empty() ? std::string(".") : base);
    // Every local header is read and every size added up before the first byte is written.
    m_archive->checkLayout();
    checkFreeSpace(mask, root);
    m_folders.emplace(root);
    for (std::size_t i = 0; i < m_archive->Count(); ++i) {
        const TAbZipItem item = m_archive->Item(i);
        if (!selected(item, mask)) continue;
        bool confirm = true;
        if (OnConfirmProcessItem) OnConfirmProcessItem(*this, item, ProcessType::Extract, confirm);
        if (confirm) extractItem(item);
    }
}

void TAbUnZipper::extractItem(const TAbZipItem& item) {
    fs::path path;
    try {
        path = outputPath(item);
    } catch (const std::exception& e) {
        report(item, e);
        return;
    }
    // A folder that cannot be made stops the whole extraction.
    m_folders->make(path.parent_path());
    try {
        if (item.IsDirectory()) {
            // A folder keeps its own time, and read-only would stop its files being made on POSIX.
            m_folders->makeEntryFolder(path);
        } else {
            extractFile(item, host::pathText(path));
        }
    } catch (const std::exception& e) {
        report(item, e);
    }
}

std::filesystem::path TAbUnZipper::outputPath(const TAbZipItem& item) {
    const PathMode mode = ExtractOptions.has(TAbExtractOption::eoRestorePath)
                              ? PathMode::RestorePath
                              : PathMode::NameOnly;
    auto rel = relativeOutputPath(item.FileName, mode);
    if (!rel) throw EAbUnsafePath("Unsafe entry name - " + rel.error(), 0);
    const std::string& base = m_archive->BaseDirectory();
    const fs::path root = host::fsPath(base.empty() ? std::string(".") : base);
    fs::path path = root / host::fsPath(*rel);
    if (!m_folders->staysBelow(path))
        throw EAbUnsafePath("Unsafe entry name - outside the base directory", 0);
    return path;
}

bool TAbUnZipper::confirmOverwrite(const TAbZipItem& item, const std::string& out) {
    std::error_code ec;
    if (!OnConfirmOverwrite || !fs::is_regular_file(host::fsPath(out), ec)) return true;
    std::string name = item.FileName;
    bool confirm = true;
    OnConfirmOverwrite(*this, item, name, confirm);
    return confirm;
}

void TAbUnZipper::extractFile(const TAbZipItem& item, const std::string& out) {
    const CentralHeader& h = item.header;
    if (!confirmOverwrite(item, out)) return;
    if ((h.versionNeeded & 0xFF) > kNewestReadableVersion) raise(ZipFailure::ZipVersion);
    const auto data = m_archive->entryData(item);
    std::string password;
    if (h.encrypted()) {
        password = findPassword(item, data);
        if (password.empty()) raise(ZipFailure::ZipInvalidPassword);
    }
    EntryBytes bytes(m_archive->file(), data.offset, h, password);
    std::unique_ptr<Decoder> decoder;
    if (h.uncompressedSize != 0) {
        decoder =
            makeDecoder(DecoderParams{h.method, h.flags, bytes.packedSize(), h.uncompressedSize},
                        bytes.source());
        if (!decoder) raise(ZipFailure::ZipInvalidMethod);
    }
    writeEntryFile(h, decoder.get(), out);
    applyTimeAndAttributes(h, out);
}

std::string TAbUnZipper::findPassword(const TAbZipItem& item,
                                      const TAbZipArchive::EntryData& data) {
    const CentralHeader& h = item.header;
    const std::vector<std::byte> head = m_archive->file().readExact(data.offset, 12);
    if (head.size() != 12 || h.compressedSize < 12) return {};
    std::array<std::uint8_t, 12> header{};
    for (std::size_t i = 0; i < 12; ++i) header[i] = std::to_integer<std::uint8_t>(head[i]);
    const auto check = static_cast<std::uint8_t>((h.flags & 0x0008) != 0 ? data.local.dosTime >> 8
                                                                         : h.crc32 >> 24);
    std::string candidate = Password;
    for (int attempt = 0; attempt <= PasswordRetries; ++attempt) {
        if (!candidate.empty()) {
            ZipCryptoKeys keys(candidate);
            if (checkZipCryptoHeader(keys, header, check)) return candidate;
        }
        if (!OnNeedPassword || attempt == PasswordRetries) break;
        candidate.clear();
        OnNeedPassword(*this, candidate);
        if (candidate.empty()) break;
    }
    return {};
}

void TAbUnZipper::report(const TAbZipItem& item, const std::exception& e) {
    int code = 0;
    const ErrorClass cls = classify(e, code);
    const auto* ql = dynamic_cast<const core::Exception*>(&e);
    m_failed.push_back(
        FailedEntry{item.FileName, ql ? ql->className() : "Exception", cls, code, e.what()});
    if (OnProcessItemFailure) OnProcessItemFailure(*this, item, ProcessType::Extract, cls, code);
}

}  // namespace archive
