// Format notes (bzip2's block layout, every field most significant bit first):
// - after the block magic and CRC: 1 bit "randomised" (only very old bzip2 versions set it),
//   24 bits the origin pointer (the row of the sorted rotations that is the block itself);
// - the byte values in use: 16 bits, one per range of 16 values, then 16 bits for each range
//   marked; the values in use, in order, are the start of the move-to-front list;
// - 3 bits the number of coding tables (2-6), 15 bits the number of selectors (at least 1),
//   then each selector as a unary number (1 bits ended by a 0) coded by move-to-front over
//   the table numbers; a selector names the table of the next 50 symbols;
// - for each table a 5-bit start length, then per symbol: while the next bit is 1 the length
//   changes (next bit 0: +1, 1: -1); every length stays within 1-20;
// - the symbols: 0 and 1 (RUNA, RUNB) give the length of a run of the list's front value in
//   bijective base 2 (RUNA adds 1, RUNB 2, times 1, 2, 4, ... in order); symbol s from 2 up
//   moves list entry s - 1 to the front and emits it; the last symbol (number of values in
//   use + 1) ends the block;
// - the emitted bytes are the last column of the sorted rotations; counting them gives the
//   first column, which undoes the transform.
#include "archive/decoders/bzip2_block.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "archive/decoders/bzip2_huffman.h"

namespace archive {

namespace {

constexpr unsigned kMinTables = 2;
constexpr unsigned kMaxTables = 6;
constexpr unsigned kGroupSize = 50;                  // symbols per selector
constexpr unsigned kMaxSelectors = 2 + 900000 / 50;  // more are read and ignored

core::Unexpected<std::string> fail(std::string what) {
    return core::fail(std::move(what));
}

}  // namespace

struct Bzip2Block::Tables {
    std::array<std::uint8_t, 256> values{};  // the values in use, in order
    unsigned inUse = 0;
    unsigned count = 0;  // coding tables
    unsigned selectors = 0;
    std::array<std::uint8_t, kMaxSelectors> selector{};
    std::array<Bzip2Huffman, kMaxTables> code;
};

core::Result<void, std::string> Bzip2Block::read(MsbBitReader& in, unsigned blockSize) {
    const std::size_t capacity = std::size_t{blockSize} * 100000;
    if (capacity > m_capacity) {
        // Pages of it that a small block does not reach are never touched.
        m_bytes = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
        m_capacity = capacity;
    }
    m_size = 0;
    if (in.bit()) return fail("randomised blocks (bzip2 before 0.9.5) are not supported");
    m_origin = in.bits(24);

    auto tables = std::make_unique<Tables>();
    auto r = readTables(in, *tables);
    if (r) r = readSymbols(in, *tables);
    // Zeros read past the end make any kind of nonsense: the end is the cause.
    if (in.overrun()) return fail("the compressed data ends early");
    if (!r) return r;
    if (m_origin >= m_size)
        return fail("the origin pointer " + std::to_string(m_origin) + " is outside the block of " +
                    std::to_string(m_size) + " bytes");
    if (!undoTransform())
        return fail("cannot get the block's " + std::to_string(m_size * 8 >> 20) +
                    " MiB of memory");
    return core::Ok{};
}

core::Result<void, std::string> Bzip2Block::readTables(MsbBitReader& in, Tables& t) {
    const std::uint32_t ranges = in.bits(16);
    for (unsigned r = 0; r < 16; ++r) {
        if (!(ranges & (0x8000u >> r))) continue;
        const std::uint32_t used = in.bits(16);
        for (unsigned v = 0; v < 16; ++v)
            if (used & (0x8000u >> v)) t.values[t.inUse++] = static_cast<std::uint8_t>(r * 16 + v);
    }
    if (t.inUse == 0) return fail("the block uses no byte values");

    t.count = in.bits(3);
    if (t.count < kMinTables || t.count > kMaxTables)
        return fail("the number of coding tables is " + std::to_string(t.count) +
                    " (2 to 6 are allowed)");
    const std::uint32_t selectors = in.bits(15);
    if (selectors == 0) return fail("the block has no selectors");
    std::array<std::uint8_t, kMaxTables> order = {0, 1, 2, 3, 4, 5};
    for (std::uint32_t i = 0; i < selectors; ++i) {
        unsigned j = 0;
        while (in.bit()) {
            if (++j >= t.count) return fail("a selector names a table that does not exist");
        }
        if (in.overrun()) return fail("the compressed data ends early");
        if (i >= kMaxSelectors) continue;
        const std::uint8_t table = order[j];
        std::memmove(&order[1], &order[0], j);
        order[0] = table;
        t.selector[i] = table;
    }
    t.selectors = std::min(selectors, kMaxSelectors);

    const unsigned symbols = t.inUse + 2;
    std::array<std::uint8_t, Bzip2Huffman::kMaxSymbols> lengths{};
    for (unsigned k = 0; k < t.count; ++k) {
        unsigned len = in.bits(5);
        for (unsigned s = 0; s < symbols; ++s) {
            for (;;) {
                if (len < 1 || len > Bzip2Huffman::kMaxBits)
                    return fail("a code length is outside 1-20");
                if (!in.bit()) break;
                len = in.bit() ? len - 1 : len + 1;
            }
            lengths[s] = static_cast<std::uint8_t>(len);
        }
        if (in.overrun()) return fail("the compressed data ends early");
        if (!t.code[k].build(std::span(lengths).first(symbols)))
            return fail("a coding table has more codes than its lengths allow");
    }
    return core::Ok{};
}

namespace {

// Moves list entry pos to the front and gives it. Short moves shift one 8-byte word in a
// register; longer ones are a memmove, which copies through vector registers.
std::uint8_t moveToFront(std::uint8_t* list, unsigned pos) {
    const std::uint8_t b = list[pos];
    if constexpr (std::endian::native == std::endian::little) {
        if (pos < 8) {
            std::uint64_t w;
            std::memcpy(&w, list, 8);
            const std::uint64_t keep = ~std::uint64_t{0} << (8 * pos) << 8;  // bytes past pos
            w = (((w << 8) | b) & ~keep) | (w & keep);
            std::memcpy(list, &w, 8);
            return b;
        }
    }
    std::memmove(list + 1, list, pos);
    list[0] = b;
    return b;
}

}  // namespace

// The hot loop: one symbol per iteration, a run's bytes written as one fill. The bit reader
// is a local copy so that its fields stay in registers; it goes back to the caller at the end,
// also after a failure (which may be the data ending early).
core::Result<void, std::string> Bzip2Block::readSymbols(MsbBitReader& reader, const Tables& t) {
    MsbBitReader in = reader;
    const std::size_t capacity = m_capacity;
    const int endOfBlock = static_cast<int>(t.inUse) + 1;
    std::uint8_t* const out = m_bytes.get();
    std::uint32_t counts[256] = {};
    std::uint8_t mtf[256];
    std::memcpy(mtf, t.values.data(), 256);

    std::size_t n = 0;
    std::uint32_t run = 0, weight = 1;
    unsigned group = 0;
    unsigned left = 0;
    const Bzip2Huffman* code = nullptr;
    const char* problem = nullptr;
    for (;;) {
        if (left == 0) {
            if (group >= t.selectors || in.overrun()) {
                problem = "the block has more symbols than selectors";
                break;
            }
            code = &t.code[t.selector[group++]];
            left = kGroupSize;
        }
        --left;
        in.refill();
        const int sym = code->decode(in);
        if (sym <= 1) {
            if (sym < 0) {
                problem = "an invalid Huffman code";
                break;
            }
            run += weight << sym;  // RUNA adds the weight, RUNB twice the weight
            weight <<= 1;
            if (run > capacity) {
                problem = "a run goes past the block size";
                break;
            }
            continue;
        }
        if (run != 0) {
            if (n + run > capacity) {
                problem = "a run goes past the block size";
                break;
            }
            std::memset(out + n, mtf[0], run);
            counts[mtf[0]] += run;
            n += run;
            run = 0;
            weight = 1;
        }
        if (sym == endOfBlock) break;
        if (n >= capacity) {
            problem = "the block holds more bytes than its size allows";
            break;
        }
        const std::uint8_t b = moveToFront(mtf, static_cast<unsigned>(sym) - 1);
        out[n++] = b;
        ++counts[b];
    }
    reader = in;
    if (problem) return fail(problem);
    m_size = n;
    std::memcpy(m_counts, counts, sizeof counts);
    return core::Ok{};
}

// Row r of the sorted rotations starts with byte F[r] and ends with L[r] (the bytes read).
// Counting gives each row's first byte, and the row holding the i-th occurrence of a byte in
// F is the row holding its i-th occurrence in L rotated one step back. So each F row links to
// the row of the next rotation, and the block's bytes are the first bytes of the rows met
// walking those links from the origin row.
// One walk is a chain of dependent loads from a table far larger than the caches. So the
// links are first composed to kStride steps (each pass has independent loads, which the
// processor overlaps), and kStride walks, started from the first kStride rows, each take
// every kStride-th byte: their cache misses overlap too.
bool Bzip2Block::undoTransform() {
    if (!m_links.reserve(m_size * 2 * sizeof(std::uint32_t))) return false;
    std::uint32_t start[256];
    std::uint32_t sum = 0;
    for (unsigned c = 0; c < 256; ++c) {
        start[c] = sum;
        sum += m_counts[c];
    }
    std::uint8_t* const bytes = m_bytes.get();
    auto* link = reinterpret_cast<std::uint32_t*>(m_links.data());  // row: next row << 8 | byte
    std::uint32_t* spare = link + m_size;
    const auto n = static_cast<std::uint32_t>(m_size);
    for (std::uint32_t i = 0; i < n; ++i) {
        const std::uint32_t c = bytes[i];
        link[start[c]++] = i << 8 | c;
    }
    constexpr unsigned kStride = 8;
    std::uint32_t row[kStride];
    row[0] = m_origin;
    for (unsigned k = 1; k < kStride; ++k) row[k] = link[row[k - 1]] >> 8;
    for (unsigned steps = 1; steps < kStride; steps *= 2) {
        for (std::uint32_t r = 0; r < n; ++r) {
            const std::uint32_t e = link[r];
            spare[r] = (link[e >> 8] & ~0xFFu) | (e & 0xFFu);
        }
        std::swap(link, spare);
    }
    const std::uint32_t rounds = n / kStride;
    std::uint8_t* out = bytes;
    for (std::uint32_t j = 0; j < rounds; ++j, out += kStride) {
        for (unsigned k = 0; k < kStride; ++k) {
            const std::uint32_t e = link[row[k]];
            out[k] = static_cast<std::uint8_t>(e);
            row[k] = e >> 8;
        }
    }
    for (unsigned k = 0; k < n % kStride; ++k) out[k] = static_cast<std::uint8_t>(link[row[k]]);
    return true;
}

}  // namespace archive
