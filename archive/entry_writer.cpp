#include "archive/entry_writer.h"

#include <zlib.h>

#include <array>
#include <filesystem>
#include <system_error>
#include <vector>

#include "archive/zip_errors.h"
#include "host/platform/file_names.h"

namespace archive {

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kChunk = 256 * 1024;

[[noreturn]] void cannotCreate(const std::string& path, const std::string& why) {
    throw EFCreateError("Cannot create file \"" + path + "\". " + why, 0);
}

[[noreturn]] void raiseIo(const host::FileError& e) {
    throw EInOutError(e.text, e.code.value());
}

// Clears the entry's place: nothing at all may stand where its new file is created.
void clearTheWay(const std::string& path) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(host::fsPath(path), ec);
    switch (st.type()) {
        case fs::file_type::not_found:
            return;
        case fs::file_type::directory:
            cannotCreate(path, std::make_error_code(std::errc::is_a_directory).message());
        case fs::file_type::regular:
            // The read-only attribute protects a file even from a process that could write it.
            if (host::isWriteProtected(path))
                cannotCreate(path, std::make_error_code(std::errc::permission_denied).message());
            break;
        case fs::file_type::none:
        case fs::file_type::symlink:
        case fs::file_type::block:
        case fs::file_type::character:
        case fs::file_type::fifo:
        case fs::file_type::socket:
        case fs::file_type::unknown:
            break;
    }
    if (!fs::remove(host::fsPath(path), ec) && ec) cannotCreate(path, ec.message());
}

// The new file, deleted again unless it was kept.
class OutputFile {
  public:
    explicit OutputFile(std::string path) : m_path(std::move(path)) {}
    ~OutputFile() { discard(); }

    void create() {
        clearTheWay(m_path);
        // CreateNew: had anything appeared in the place meanwhile, the open fails rather than
        // follow it.
        auto f = host::DataFile::open(m_path, host::FileMode::CreateNew);
        if (!f) cannotCreate(m_path, f.error().text);
        m_file = std::move(*f);
    }
    void write(std::span<const std::byte> data) {
        auto w = m_file.writeAt(m_size, data);
        if (!w) raiseIo(w.error());
        m_size += static_cast<std::int64_t>(data.size());
    }
    void keep() {
        m_file.close();
        m_kept = true;
    }
    void discard() {
        if (m_kept) return;
        const bool created = m_file.isOpen();
        m_file.close();
        std::error_code ec;
        if (created) fs::remove(host::fsPath(m_path), ec);
        m_kept = true;
    }

  private:
    std::string m_path;
    host::DataFile m_file;
    std::int64_t m_size = 0;
    bool m_kept = false;
};

}  // namespace

void writeEntryFile(const CentralHeader& h, Decoder* decoder, const std::string& path) {
    OutputFile out(path);
    out.create();
    if (h.uncompressedSize == 0) {
        out.keep();
        return;
    }
    // Decoded bytes are gathered into whole chunks, so that the file is written in few calls
    // whatever sizes the decoder hands out.
    std::vector<std::byte> buf(kChunk);
    std::size_t filled = 0;
    std::uint64_t total = 0;
    uLong crc = ::crc32(0L, Z_NULL, 0);
    for (;;) {
        auto n = decoder->read(std::span(buf).subspan(filled));
        if (!n) throw EAbDecodeError(n.error().message, 0);
        crc = ::crc32(crc, reinterpret_cast<const Bytef*>(buf.data() + filled),
                      static_cast<uInt>(*n));
        filled += *n;
        total += *n;
        if (filled == buf.size() || (*n == 0 && filled > 0)) {
            out.write(std::span(buf).first(filled));
            filled = 0;
        }
        if (*n == 0) break;
    }
    if (total != h.uncompressedSize) throw EAbDecodeError("Decoded data shorter than its size", 0);
    if (static_cast<std::uint32_t>(crc) != h.crc32) raise(ZipFailure::ZipBadCrc);
    out.keep();
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
    // MS-DOS attributes, unless the entry was made on Unix or carries a mode in the high half;
    // then the owner-write bit decides (a mode of 0 has it clear).
    if (h.host() != 3 && h.externalAttributes < 0x20000) return (h.externalAttributes & 0x01) != 0;
    const std::uint32_t mode = h.externalAttributes >> 16;
    return (mode & 0200) == 0;
}

void applyTimeAndAttributes(const CentralHeader& h, const std::string& path) {
    const auto when = dosDateTime(h.dosDate, h.dosTime);
    if (!when) throw EAbInvalidDateTime("Invalid MS-DOS date or time", 0);
    host::setFileTimeLocal(path, *when);  // a refusal is not the entry's failure
    if (isReadOnlyEntry(h)) host::setReadOnly(path);
}

}  // namespace archive
