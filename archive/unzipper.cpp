#include "archive/unzipper.h"

#include <array>
#include <filesystem>
#include <system_error>

#include "archive/decoders/decoder.h"
#include "archive/entry_writer.h"
#include "archive/zip_crypto.h"
#include "archive/zip_mask.h"
#include "archive/zip_paths.h"

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

// True when `path`, once every link in the part that exists is followed, stays below `base`.
bool staysBelow(const fs::path& base, const fs::path& path) {
    std::error_code ec;
    const fs::path b = fs::weakly_canonical(base, ec);
    if (ec) return false;
    const fs::path p = fs::weakly_canonical(path, ec);
    if (ec) return false;
    auto bi = b.begin();
    auto pi = p.begin();
    for (; bi != b.end(); ++bi, ++pi) {
        if (bi->empty()) continue;  // the trailing "" of a path ending in a separator
        if (pi == p.end() || *bi != *pi) return false;
    }
    return true;
}

}  // namespace

TAbUnZipper::TAbUnZipper() = default;
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

void TAbUnZipper::ExtractFiles(const std::string& mask) {
    if (!m_archive) raise(ZipFailure::NoArchive);
    for (const TAbZipItem& item : m_archive->Items()) {
        if (!matchesMask(item.FileName, mask)) continue;
        if (item.IsDirectory() && !ExtractOptions.has(TAbExtractOption::eoCreateDirs)) continue;
        bool confirm = true;
        if (OnConfirmProcessItem) OnConfirmProcessItem(*this, item, ProcessType::Extract, confirm);
        if (confirm) extractItem(item);
    }
}

void TAbUnZipper::extractItem(const TAbZipItem& item) {
    const std::string& base = m_archive->BaseDirectory();
    fs::path path;
    try {
        const PathMode mode = ExtractOptions.has(TAbExtractOption::eoRestorePath) ? PathMode::RestorePath
                                                                                  : PathMode::NameOnly;
        auto rel = relativeOutputPath(item.FileName, mode);
        if (!rel) throw EAbUnsafePath("Unsafe entry name - " + rel.error(), 0);
        path = (base.empty() ? fs::path(".") : fs::path(base)) / *rel;
        if (!staysBelow(base.empty() ? fs::path(".") : fs::path(base), path))
            throw EAbUnsafePath("Unsafe entry name - outside the base directory", 0);
    } catch (const std::exception& e) {
        report(item, e);
        return;
    }

    // A folder that cannot be made stops the whole extraction.
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) throw EInOutError(ec.message(), ec.value());

    const std::string out = path.string();
    try {
        const CentralHeader& h = item.header;
        if (item.IsDirectory()) {
            fs::create_directories(path, ec);
            if (ec) throw EInOutError(ec.message(), ec.value());
            return;  // a folder keeps its own time, and read-only would stop its files on POSIX
        }
        if ((h.versionNeeded & 0xFF) > kNewestReadableVersion) raise(ZipFailure::ZipVersion);
        const auto data = m_archive->entryData(item);
        const std::uint64_t dataAt = data.offset;
        const std::uint64_t dataSize = h.compressedSize;
        std::string password;
        if (h.encrypted()) {
            password = findPassword(item, data);
            if (password.empty()) raise(ZipFailure::ZipInvalidPassword);
        }
        if (fs::is_regular_file(path, ec) && OnConfirmOverwrite) {
            std::string name = item.FileName;
            bool confirm = true;
            OnConfirmOverwrite(*this, item, name, confirm);
            if (!confirm) return;
        }
        EntryDataSource raw(m_archive->file(), dataAt, dataSize);
        std::unique_ptr<ZipCryptoSource> decrypted;
        ByteSource* source = &raw;
        if (h.encrypted()) {
            ZipCryptoKeys keys(password);
            std::array<std::byte, 12> skip{};
            (void)raw.read(skip);
            for (std::byte b : skip) keys.decrypt(std::to_integer<std::uint8_t>(b));
            decrypted = std::make_unique<ZipCryptoSource>(raw, keys);
            source = decrypted.get();
        }
        std::unique_ptr<Decoder> decoder;
        if (h.uncompressedSize != 0) {
            const std::uint64_t packed = h.encrypted() ? dataSize - 12 : dataSize;
            decoder = makeDecoder(DecoderParams{h.method, h.flags, packed, h.uncompressedSize}, *source);
            if (!decoder) raise(ZipFailure::ZipInvalidMethod);
        }
        writeEntryFile(h, decoder.get(), out);
        applyTimeAndAttributes(h, out);
    } catch (const std::exception& e) {
        report(item, e);
    }
}

std::string TAbUnZipper::findPassword(const TAbZipItem& item, const TAbZipArchive::EntryData& data) {
    const CentralHeader& h = item.header;
    const std::vector<std::byte> head = m_archive->file().readExact(data.offset, 12);
    if (head.size() != 12 || h.compressedSize < 12) return {};
    std::array<std::uint8_t, 12> header{};
    for (std::size_t i = 0; i < 12; ++i) header[i] = std::to_integer<std::uint8_t>(head[i]);
    const auto check = static_cast<std::uint8_t>((h.flags & 0x0008) != 0 ? data.local.dosTime >> 8 : h.crc32 >> 24);
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
    m_failed.push_back(FailedEntry{item.FileName, ql ? ql->className() : "Exception", cls, code, e.what()});
    if (OnProcessItemFailure) OnProcessItemFailure(*this, item, ProcessType::Extract, cls, code);
}

}  // namespace archive
