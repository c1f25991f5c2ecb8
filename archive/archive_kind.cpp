#include "archive/archive_kind.h"

#include <zlib.h>

#include <algorithm>
#include <string>

#include "archive/decoders/decoder.h"
#include "archive/zip_format.h"
#include "core/byte_cursor.h"
#include "core/text.h"

namespace archive {

namespace {

constexpr std::size_t kTarBlock = 512;
constexpr std::size_t kProbeInput = 64 * 1024;  // compressed bytes inflated to find a tar header

bool startsWith(const std::vector<std::byte>& head, std::string_view magic) {
    if (head.size() < magic.size()) return false;
    for (std::size_t i = 0; i < magic.size(); ++i)
        if (head[i] != static_cast<std::byte>(magic[i])) return false;
    return true;
}

std::string upperExtension(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of("/\\");
    const std::string_view base =
        slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const std::size_t dot = base.rfind('.');
    return dot == std::string_view::npos ? std::string() : core::asciiUpper(base.substr(dot));
}

// Whether the file holds a ZIP end record, and whether it belongs to a set of volumes.
enum class ZipTest { None, Single, Spanned };

ZipTest testZip(const FileProbe& file, const std::vector<std::byte>& head) {
    const auto at = findEndRecord(file);
    if (!at) return ZipTest::None;
    auto end = parseEndRecord(file.read(*at, kEndRecordSize), *at);
    if (!end) return ZipTest::None;
    if (end->diskNumber != 0 || startsWith(head, "PK\x07\x08")) return ZipTest::Spanned;
    return ZipTest::Single;
}

// The first 512 bytes that a zlib (gzip) or bzip2 stream at the start of the file decode to.
std::vector<std::byte> gunzipHead(const FileProbe& file) {
    std::vector<std::byte> in = file.read(0, kProbeInput);
    std::vector<std::byte> out(kTarBlock);
    z_stream z{};
    if (inflateInit2(&z, 16 + MAX_WBITS) != Z_OK) return {};
    z.next_in = reinterpret_cast<Bytef*>(in.data());
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    while (z.avail_out > 0 && inflate(&z, Z_NO_FLUSH) == Z_OK) {
    }
    out.resize(out.size() - z.avail_out);
    inflateEnd(&z);
    return out;
}

// The bytes of a buffer, for the method-12 decoder.
class BufferSource final : public ByteSource {
  public:
    explicit BufferSource(std::span<const std::byte> data) : m_data(data) {}
    core::Result<std::size_t, DecodeError> read(std::span<std::byte> buf) override {
        const std::size_t n = std::min(buf.size(), m_data.size() - m_pos);
        std::copy_n(m_data.begin() + static_cast<std::ptrdiff_t>(m_pos), n, buf.begin());
        m_pos += n;
        return n;
    }

  private:
    std::span<const std::byte> m_data;
    std::size_t m_pos = 0;
};

std::vector<std::byte> bunzipHead(const FileProbe& file) {
    const std::vector<std::byte> in = file.read(0, kProbeInput);
    BufferSource source(in);
    DecoderParams params;
    params.method = 12;
    params.compressedSize = in.size();
    params.uncompressedSize = kTarBlock;
    const auto decoder = makeDecoder(params, source);
    std::vector<std::byte> out(kTarBlock);
    std::size_t n = 0;
    while (n < out.size()) {
        auto got = decoder->read(std::span(out).subspan(n));
        if (!got || *got == 0) break;
        n += *got;
    }
    out.resize(n);
    return out;
}

std::optional<ArchiveKind> byContent(const FileProbe& file, const std::vector<std::byte>& head,
                                     std::optional<ArchiveKind> only) {
    auto wants = [&](ArchiveKind k) { return !only || *only == k; };
    if (wants(ArchiveKind::SelfExtractingZip) &&
        (startsWith(head, "MZ") || startsWith(head,
                                              "\x7F"
                                              "ELF")) &&
        testZip(file, head) == ZipTest::Single)
        return ArchiveKind::SelfExtractingZip;
    if (wants(ArchiveKind::Zip)) {
        const ZipTest z = testZip(file, head);
        if (z == ZipTest::Single) return ArchiveKind::Zip;
        if (z == ZipTest::Spanned) return ArchiveKind::SpannedZip;
    }
    if (wants(ArchiveKind::Tar) && head.size() >= kTarBlock &&
        isTarHeader(std::span(head).first(kTarBlock)))
        return ArchiveKind::Tar;
    if ((wants(ArchiveKind::Gzip) || wants(ArchiveKind::GzippedTar)) &&
        startsWith(head, "\x1F\x8B")) {
        const auto inner = gunzipHead(file);
        return inner.size() == kTarBlock && isTarHeader(inner) ? ArchiveKind::GzippedTar
                                                               : ArchiveKind::Gzip;
    }
    if ((wants(ArchiveKind::Bzip2) || wants(ArchiveKind::BzippedTar)) && startsWith(head, "BZh")) {
        const auto inner = bunzipHead(file);
        return inner.size() == kTarBlock && isTarHeader(inner) ? ArchiveKind::BzippedTar
                                                               : ArchiveKind::Bzip2;
    }
    if (wants(ArchiveKind::Cabinet) && startsWith(head, "MSCF")) return ArchiveKind::Cabinet;
    return std::nullopt;
}

std::optional<ArchiveKind> kindOfExtension(const std::string& ext) {
    if (ext == ".ZIP" || ext == ".JAR") return ArchiveKind::Zip;
    if (ext == ".EXE") return ArchiveKind::SelfExtractingZip;
    if (ext == ".TAR") return ArchiveKind::Tar;
    if (ext == ".GZ") return ArchiveKind::Gzip;
    if (ext == ".TGZ") return ArchiveKind::GzippedTar;
    if (ext == ".CAB") return ArchiveKind::Cabinet;
    if (ext == ".BZ2") return ArchiveKind::Bzip2;
    if (ext == ".TBZ") return ArchiveKind::BzippedTar;
    return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> findEndRecord(const FileProbe& file) {
    EndRecordSearch search(file.size);
    while (auto w = search.next()) {
        const std::vector<std::byte> bytes = file.read(w->start, w->length);
        if (bytes.size() != w->length) return std::nullopt;
        if (auto at = search.test(bytes)) return at;
    }
    return std::nullopt;
}

bool isTarHeader(std::span<const std::byte> block) {
    if (block.size() < kTarBlock) return false;
    unsigned sum = 0;
    for (std::size_t i = 0; i < kTarBlock; ++i)
        sum += (i >= 148 && i < 156) ? 0x20U : std::to_integer<unsigned>(block[i]);
    unsigned recorded = 0;
    bool digits = false;
    for (std::size_t i = 148; i < 156; ++i) {
        const auto c = std::to_integer<unsigned char>(block[i]);
        if (c >= '0' && c <= '7') {
            recorded = recorded * 8 + (c - '0');
            digits = true;
        } else if (c == ' ' || c == 0) {
            if (digits) break;
        } else {
            return false;
        }
    }
    return digits && recorded == sum;
}

ArchiveKind detectArchiveKind(std::string_view fileName, const FileProbe& file) {
    const std::vector<std::byte> head = file.read(0, kTarBlock);
    const std::optional<ArchiveKind> byExt = kindOfExtension(upperExtension(fileName));
    if (!byExt) return byContent(file, head, std::nullopt).value_or(ArchiveKind::Unknown);
    // A known extension decides the kind; its own test only tells the variants apart.
    switch (*byExt) {
        case ArchiveKind::Zip:
        case ArchiveKind::SelfExtractingZip:
            return testZip(file, head) == ZipTest::Spanned ? ArchiveKind::SpannedZip : *byExt;
        case ArchiveKind::Gzip:
        case ArchiveKind::Bzip2:
            return byContent(file, head, byExt).value_or(*byExt);
        case ArchiveKind::Unknown:
        case ArchiveKind::SpannedZip:
        case ArchiveKind::Tar:
        case ArchiveKind::GzippedTar:
        case ArchiveKind::BzippedTar:
        case ArchiveKind::Cabinet:
            return *byExt;
    }
    return *byExt;
}

}  // namespace archive
