#include "archive/entry_writer.h"

#include <zlib.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/zip_errors.h"

namespace archive {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

// Closes and deletes a half-written output unless it was kept.
class OutputFile {
  public:
    explicit OutputFile(std::string path) : m_path(std::move(path)) {}
    ~OutputFile() { discard(); }

    bool open() {
        m_file = std::fopen(m_path.c_str(), "wb");
        return m_file != nullptr;
    }
    bool write(const std::byte* data, std::size_t n) {
        return std::fwrite(data, 1, n, m_file) == n;
    }
    // Closes the finished file; false when the last buffered bytes could not be written.
    bool keep() {
        const bool ok = std::fclose(m_file) == 0;
        m_file = nullptr;
        m_kept = ok;
        return ok;
    }
    void discard() {
        if (m_file != nullptr) std::fclose(m_file);
        m_file = nullptr;
        if (!m_kept) std::remove(m_path.c_str());
        m_kept = true;
    }

  private:
    std::string m_path;
    std::FILE* m_file = nullptr;
    bool m_kept = false;
};

[[noreturn]] void raiseErrno(int err) {
    throw EInOutError(std::strerror(err), err);
}

}  // namespace

void writeEntryFile(const CentralHeader& h, Decoder* decoder, const std::string& path) {
    // The read-only attribute protects a file even from a process that could write it anyway.
    if (host::isWriteProtected(path))
        throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(EACCES), 0);
    OutputFile out(path);
    if (!out.open())
        throw EFCreateError("Cannot create file \"" + path + "\". " + std::strerror(errno), 0);
    if (h.uncompressedSize == 0) {
        if (!out.keep()) raiseErrno(errno);
        return;
    }
    std::vector<std::byte> buf(kChunk);
    std::uint64_t total = 0;
    uLong crc = ::crc32(0L, Z_NULL, 0);
    for (;;) {
        auto n = decoder->read(buf);
        if (!n) throw EAbDecodeError(n.error().message, 0);
        if (*n == 0) break;
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(buf.data()), static_cast<uInt>(*n));
        total += *n;
        if (!out.write(buf.data(), *n)) raiseErrno(errno);
    }
    if (total != h.uncompressedSize) throw EAbDecodeError("Decoded data shorter than its size", 0);
    if (static_cast<std::uint32_t>(crc) != h.crc32) raise(ZipFailure::ZipBadCrc);
    if (!out.keep()) raiseErrno(errno);
}

std::optional<host::LocalDateTime> dosDateTime(std::uint16_t date, std::uint16_t time) {
    host::LocalDateTime t;
    t.year = 1980 + (date >> 9);
    t.month = (date >> 5) & 0x0F;
    t.day = date & 0x1F;
    t.hour = time >> 11;
    t.minute = (time >> 5) & 0x3F;
    t.second = (time & 0x1F) * 2;
    static constexpr std::array<int, 12> kDays = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > kDays[static_cast<std::size_t>(t.month - 1)])
        return std::nullopt;
    const bool leap = (t.year % 4 == 0 && t.year % 100 != 0) || t.year % 400 == 0;
    if (t.month == 2 && t.day == 29 && !leap) return std::nullopt;
    if (t.hour > 23 || t.minute > 59 || t.second > 59) return std::nullopt;
    return t;
}

bool isReadOnlyEntry(const CentralHeader& h) {
    const std::uint32_t mode = h.externalAttributes >> 16;
    // A Unix entry without any mode carries no information; its MS-DOS byte still may.
    if ((h.host() != 3 && h.externalAttributes < 0x20000) || mode == 0)
        return (h.externalAttributes & 0x01) != 0;
    return (mode & 0200) == 0;
}

void applyTimeAndAttributes(const CentralHeader& h, const std::string& path) {
    const auto when = dosDateTime(h.dosDate, h.dosTime);
    if (!when) throw EAbInvalidDateTime("Invalid MS-DOS date or time", 0);
    host::setFileTimeLocal(path, *when);  // a refusal is not the entry's failure
    if (isReadOnlyEntry(h)) host::setReadOnly(path);
}

}  // namespace archive
