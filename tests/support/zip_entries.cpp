#include "tests/support/zip_entries.h"

#include <fstream>
#include <sstream>

#include "core/byte_cursor.h"

namespace testsupport {

std::optional<std::vector<RawZipEntry>> readRawZipEntries(std::string_view archive) {
    // APPNOTE 4.3.16: the end record is 22 bytes plus a comment of up to 65535 bytes.
    if (archive.size() < 22) return std::nullopt;
    std::size_t eocd = std::string_view::npos;
    const std::size_t lowest = archive.size() > 22 + 65535 ? archive.size() - 22 - 65535 : 0;
    for (std::size_t p = archive.size() - 22 + 1; p-- > lowest;) {
        if (archive.compare(p, 4, "PK\x05\x06") == 0) {
            eocd = p;
            break;
        }
    }
    if (eocd == std::string_view::npos) return std::nullopt;
    core::ByteCursor end(archive.data() + eocd, archive.size() - eocd);
    end.skip(10);
    const std::uint16_t count = end.u16le();
    end.skip(4);
    const std::uint32_t cdOffset = end.u32le();
    if (!end.ok() || cdOffset == 0xFFFFFFFF) return std::nullopt;

    core::ByteCursor cd(archive.data(), archive.size());
    cd.seek(cdOffset);
    std::vector<RawZipEntry> entries;
    for (unsigned i = 0; i < count; ++i) {
        if (cd.u32le() != 0x02014b50) return std::nullopt;
        RawZipEntry e;
        cd.skip(4);  // versions
        e.flags = cd.u16le();
        e.method = cd.u16le();
        cd.skip(4);  // time, date
        e.crc32 = cd.u32le();
        e.compressedSize = cd.u32le();
        e.uncompressedSize = cd.u32le();
        const std::uint16_t nameLen = cd.u16le();
        const std::uint16_t extraLen = cd.u16le();
        const std::uint16_t commentLen = cd.u16le();
        cd.skip(8);  // disk, internal and external attributes
        const std::uint32_t localOffset = cd.u32le();
        e.name = std::string(cd.text(nameLen));
        cd.skip(std::size_t{extraLen} + commentLen);
        if (!cd.ok() || e.compressedSize == 0xFFFFFFFF || localOffset == 0xFFFFFFFF)
            return std::nullopt;

        core::ByteCursor local(archive.data(), archive.size());
        local.seek(localOffset);
        if (local.u32le() != 0x04034b50) return std::nullopt;
        local.skip(22);
        const std::uint16_t localName = local.u16le();
        const std::uint16_t localExtra = local.u16le();
        local.skip(std::size_t{localName} + localExtra);
        e.data = std::string(local.text(e.compressedSize));
        if (!local.ok()) return std::nullopt;
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<ExpectedEntry> readAnswerKey(const std::string& tsvPath) {
    std::ifstream in(tsvPath);
    std::vector<ExpectedEntry> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f;
        std::stringstream ss(line);
        std::string field;
        while (std::getline(ss, field, '\t')) f.push_back(field);
        f.resize(9);
        ExpectedEntry e;
        e.archive = f[0];
        e.entry = f[1];
        e.method = f[2] == "-" || f[2].empty() ? -1 : std::stoi(f[2]);
        e.size = f[3].empty() ? 0 : std::stoull(f[3]);
        e.crc32 = f[4] == "-" || f[4].empty()
                      ? 0
                      : static_cast<std::uint32_t>(std::stoul(f[4], nullptr, 16));
        e.expected = f[5];
        std::stringstream alts(f[6]);
        for (std::string alt; std::getline(alts, alt, '|');)
            if (!alt.empty()) e.alternatives.push_back(alt);
        e.unixMode = f[7];
        e.notes = f[8];
        rows.push_back(std::move(e));
    }
    return rows;
}

}  // namespace testsupport
