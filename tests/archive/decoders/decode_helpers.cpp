#include "tests/archive/decoders/decode_helpers.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>

#include "tests/support/temp_dir.h"

namespace testsupport {

core::Result<std::size_t, archive::DecodeError> PieceSource::read(std::span<std::byte> buf) {
    std::size_t n = std::min(buf.size(), m_data.size() - m_pos);
    if (m_random && n > 0) n = std::min(n, m_sizes.next());
    std::memcpy(buf.data(), m_data.data() + m_pos, n);
    m_pos += n;
    return n;
}

Decoded decodeAll(const DecoderMaker& make, const archive::DecoderParams& params,
                  const std::string& data, unsigned seed, std::size_t maxPiece) {
    PieceSource source(data, seed, maxPiece);
    auto decoder = make(params, source);
    Decoded result;
    if (!decoder) {
        result.error = "no decoder";
        return result;
    }
    std::mt19937 rng(seed);
    std::vector<std::byte> buf(64 * 1024);
    for (;;) {
        std::size_t ask = seed == 0 ? buf.size() : 1 + rng() % 5000;
        auto got = decoder->read(std::span(buf).first(ask));
        if (!got) {
            result.error = got.error().message;
            return result;
        }
        if (*got == 0) return result;
        if (*got > ask) {
            result.error = "decoder gave more than it was asked for";
            return result;
        }
        result.bytes.append(reinterpret_cast<const char*>(buf.data()), *got);
        // A decoder that hands out more than the entry's size is a fault the test must see,
        // but it must not run the test out of memory.
        if (result.bytes.size() > params.uncompressedSize) {
            result.error = "decoder gave more than the uncompressed size";
            return result;
        }
    }
}

Decoded decodeEntry(const DecoderMaker& make, const RawZipEntry& entry, unsigned seed) {
    archive::DecoderParams p;
    p.method = entry.method;
    p.flags = entry.flags;
    p.compressedSize = entry.compressedSize;
    p.uncompressedSize = entry.uncompressedSize;
    return decodeAll(make, p, entry.data, seed);
}

std::uint32_t crc32Of(const std::string& bytes) {
    uLong c = crc32(0L, Z_NULL, 0);
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        const std::size_t n = std::min<std::size_t>(bytes.size() - pos, 1u << 30);
        c = crc32(c, reinterpret_cast<const Bytef*>(bytes.data() + pos), static_cast<uInt>(n));
        pos += n;
    }
    return static_cast<std::uint32_t>(c);
}

std::string zipTestdataDir() {
    const std::string dir = testdataDir() + "/zip";
    return std::filesystem::is_regular_file(dir + "/expected.tsv") ? dir : std::string();
}

std::vector<RealEntry> realEntries(const std::vector<int>& methods) {
    std::vector<RealEntry> out;
    const std::string dir = zipTestdataDir();
    if (dir.empty()) return out;
    std::map<std::string, std::vector<RawZipEntry>> archives;
    for (const auto& row : readAnswerKey(dir + "/expected.tsv")) {
        if (row.expected != "ok" ||
            std::find(methods.begin(), methods.end(), row.method) == methods.end())
            continue;
        auto it = archives.find(row.archive);
        if (it == archives.end()) {
            auto raw = readRawZipEntries(readFile(dir + "/" + row.archive));
            it = archives.emplace(row.archive, raw ? *raw : std::vector<RawZipEntry>{}).first;
        }
        RealEntry e{row, {}};
        bool found = false;
        for (const auto& raw : it->second) {
            if (raw.method == row.method && raw.uncompressedSize == row.size &&
                raw.crc32 == row.crc32) {
                e.raw = raw;
                found = true;
                break;
            }
        }
        if (!found) e.raw.name = "(not found in the archive)";
        out.push_back(std::move(e));
    }
    return out;
}

}  // namespace testsupport
