// Format notes (the LZMA format as its SDK's documentation describes it):
// - the range decoder keeps a 32-bit range and code; whenever the range drops below 2^24 it
//   shifts both by 8 bits and takes the next input byte into the code. A bit with probability
//   p (11 bits, of 2048 that the bit is 0) splits the range at (range >> 11) * p; the
//   probability then moves 1/32 of the way towards the bit seen. "Direct" bits halve the
//   range with no probability;
// - bit trees: an n-bit number is n bits each decoded with the probability of the path so
//   far (index 1, then 2 + b, ...); reverse trees send the low bit first;
// - every symbol starts with "is match" (by state and position bits). A literal is an 8-bit
//   tree chosen by the literal position bits and the previous byte's high bits; after a
//   match, the byte at the last distance steers the tree until its first differing bit;
// - a match: "is rep" 0 is a new distance (the length, then a 6-bit slot by length, then
//   extra bits: a reverse tree below slot 14, direct bits and a 4-bit reverse "align" tree
//   from 14); "is rep" 1 reuses one of the last four distances ("rep0 long" 0 under rep0 is
//   a single byte, the "short rep"). Lengths are 2 + a choice of 3, 3 or 8 bits;
// - the distance 0xFFFFFFFF is the end-of-stream marker;
// - the state (0-11) remembers the kinds of the last symbols: 0-6 after a literal, 7-11
//   after a match, rep or short rep; the table after each kind is below.
#include "archive/decoders/lzma_core.h"

#include <algorithm>
#include <cstring>

namespace archive {

namespace {

constexpr std::uint32_t kTop = 1u << 24;
constexpr unsigned kProbBits = 11;
constexpr std::uint16_t kProbHalf = 1u << (kProbBits - 1);
constexpr unsigned kMoveBits = 5;
constexpr std::uint32_t kMinDictionary = 1u << 12;
constexpr std::uint32_t kEndMark = 0xFFFFFFFFu;

constexpr unsigned kStates = 12;
constexpr unsigned kFirstMatchState = 7;  // states from here follow a match of some kind
constexpr unsigned kPosStatesMax = 16;

// Where each group of probabilities sits in the one array.
constexpr std::size_t kIsMatch = 0;                                      // [state][posState]
constexpr std::size_t kIsRep = kIsMatch + kStates * kPosStatesMax;       // [state]
constexpr std::size_t kIsRepG0 = kIsRep + kStates;                       // [state]
constexpr std::size_t kIsRepG1 = kIsRepG0 + kStates;                     // [state]
constexpr std::size_t kIsRepG2 = kIsRepG1 + kStates;                     // [state]
constexpr std::size_t kIsRep0Long = kIsRepG2 + kStates;                  // [state][posState]
constexpr std::size_t kPosSlot = kIsRep0Long + kStates * kPosStatesMax;  // [lenState][64]
constexpr std::size_t kSpecialPos = kPosSlot + 4 * 64;  // reverse trees of slots 4-13
constexpr std::size_t kAlign = kSpecialPos + 115;
constexpr std::size_t kMatchLen = kAlign + 16;
// A length coder: choice, choice2, low[posState][8], mid[posState][8], high[256].
constexpr std::size_t kLenChoice2 = 1;
constexpr std::size_t kLenLow = 2;
constexpr std::size_t kLenMid = kLenLow + kPosStatesMax * 8;
constexpr std::size_t kLenHigh = kLenMid + kPosStatesMax * 8;
constexpr std::size_t kLenCoderSize = kLenHigh + 256;
constexpr std::size_t kRepLen = kMatchLen + kLenCoderSize;
constexpr std::size_t kLiterals = kRepLen + kLenCoderSize;  // 0x300 per literal context

// The next state after a literal, a match, a rep and a short rep.
constexpr unsigned afterLiteral(unsigned s) {
    return s < 4 ? 0 : s < 10 ? s - 3 : s - 6;
}
constexpr unsigned afterMatch(unsigned s) {
    return s < kFirstMatchState ? 7 : 10;
}
constexpr unsigned afterRep(unsigned s) {
    return s < kFirstMatchState ? 8 : 11;
}
constexpr unsigned afterShortRep(unsigned s) {
    return s < kFirstMatchState ? 9 : 11;
}

// The range decoder's registers, held in locals by decode() so that they live in registers.
struct Range {
    std::uint32_t range;
    std::uint32_t code;
    const std::uint8_t* in;

    void normalize() {
        if (range < kTop) {
            range <<= 8;
            code = (code << 8) | *in++;
        }
    }
    unsigned bit(std::uint16_t& p) {
        normalize();
        const std::uint32_t bound = (range >> kProbBits) * p;
        if (code < bound) {
            range = bound;
            p = static_cast<std::uint16_t>(p + (((1u << kProbBits) - p) >> kMoveBits));
            return 0;
        }
        range -= bound;
        code -= bound;
        p = static_cast<std::uint16_t>(p - (p >> kMoveBits));
        return 1;
    }
    unsigned tree(std::uint16_t* probs, unsigned bits) {
        unsigned m = 1;
        for (unsigned i = 0; i < bits; ++i) m = (m << 1) | bit(probs[m]);
        return m - (1u << bits);
    }
    unsigned reverseTree(std::uint16_t* probs, unsigned bits) {
        unsigned m = 1, value = 0;
        for (unsigned i = 0; i < bits; ++i) {
            const unsigned b = bit(probs[m]);
            m = (m << 1) | b;
            value |= b << i;
        }
        return value;
    }
    // A literal: an 8-bit tree. After a match the byte at the last distance (`match`) picks
    // the tree's upper two thirds (0x100 + its bit << 8) until the first bit that differs.
    unsigned literal(std::uint16_t* probs) {
        unsigned sym = 1;
        sym = (sym << 1) | bit(probs[sym]);
        sym = (sym << 1) | bit(probs[sym]);
        sym = (sym << 1) | bit(probs[sym]);
        sym = (sym << 1) | bit(probs[sym]);
        sym = (sym << 1) | bit(probs[sym]);
        sym = (sym << 1) | bit(probs[sym]);
        sym = (sym << 1) | bit(probs[sym]);
        sym = (sym << 1) | bit(probs[sym]);
        return sym & 0xFFu;
    }
    unsigned matchedLiteral(std::uint16_t* probs, unsigned match) {
        unsigned sym = 1;
        do {
            const unsigned mb = (match >> 7) & 1u;
            match <<= 1;
            const unsigned b = bit(probs[((1 + mb) << 8) + sym]);
            sym = (sym << 1) | b;
            if (mb != b) break;
        } while (sym < 0x100);
        while (sym < 0x100) sym = (sym << 1) | bit(probs[sym]);
        return sym & 0xFFu;
    }
    std::uint32_t direct(unsigned bits) {
        std::uint32_t value = 0;
        for (unsigned i = 0; i < bits; ++i) {
            normalize();
            range >>= 1;
            code -= range;
            const std::uint32_t t = 0u - (code >> 31);  // all ones when the bit is 0
            code += range & t;
            value = (value << 1) + (t + 1);
        }
        return value;
    }
    // Lengths 0-271 (a match is 2 longer).
    unsigned length(std::uint16_t* coder, unsigned posState) {
        if (!bit(coder[0])) return tree(coder + kLenLow + posState * 8, 3);
        if (!bit(coder[kLenChoice2])) return 8 + tree(coder + kLenMid + posState * 8, 3);
        return 16 + tree(coder + kLenHigh, 8);
    }
    std::uint32_t distance(std::uint16_t* probs, unsigned len) {
        const unsigned lenState = std::min(len, 3u);
        const unsigned slot = tree(probs + kPosSlot + lenState * 64, 6);
        if (slot < 4) return slot;
        const unsigned extra = (slot >> 1) - 1;
        std::uint32_t dist = (2u | (slot & 1u)) << extra;
        if (slot < 14) return dist + reverseTree(probs + kSpecialPos + dist - slot, extra);
        dist += direct(extra - 4) << 4;
        return dist + reverseTree(probs + kAlign, 4);
    }
};

// Copies `count` bytes from `back` bytes behind pos to pos (count <= size - pos, back <= size).
// The copy may overlap itself (back < count), repeating the bytes as it goes.
inline void copyMatch(std::uint8_t* w, std::size_t size, std::size_t pos, std::size_t back,
                      std::size_t count) {
    std::uint8_t* d = w + pos;
    if (back <= pos) {  // the source does not wrap around the window's end
        const std::uint8_t* s = d - back;
        if (back == 1) {
            std::memset(d, *s, count);
        } else if (back >= 8) {  // 8 bytes at a time never read what they write
            for (; count >= 8; count -= 8, d += 8, s += 8) std::memcpy(d, s, 8);
            for (; count > 0; --count) *d++ = *s++;
        } else {
            for (; count > 0; --count) *d++ = *s++;
        }
        return;
    }
    for (std::size_t src = pos + size - back; count > 0; --count) {
        *d++ = w[src++];
        if (src == size) src = 0;
    }
}

}  // namespace

std::optional<LzmaProperties> LzmaProperties::parse(const std::uint8_t* bytes) {
    unsigned d = bytes[0];
    if (d >= 9 * 5 * 5) return std::nullopt;
    LzmaProperties p;
    p.lc = d % 9;
    d /= 9;
    p.lp = d % 5;
    p.pb = d / 5;
    p.dictionary = std::uint32_t{bytes[1]} | std::uint32_t{bytes[2]} << 8 |
                   std::uint32_t{bytes[3]} << 16 | std::uint32_t{bytes[4]} << 24;
    return p;
}

LzmaCore::LzmaCore(const LzmaProperties& props, std::size_t windowSize)
    : m_props(props),
      m_dictionary(std::max(props.dictionary, kMinDictionary)),
      m_probs(kLiterals + (std::size_t{0x300} << (props.lc + props.lp)), kProbHalf),
      m_windowSize(windowSize),
      m_ok(m_window.reserve(windowSize)) {}

bool LzmaCore::start(const std::uint8_t* in) {
    m_code =
        std::uint32_t{in[1]} << 24 | std::uint32_t{in[2]} << 16 | std::uint32_t{in[3]} << 8 | in[4];
    m_range = 0xFFFFFFFFu;
    return in[0] == 0 && m_code != m_range;
}

// One symbol per iteration. The registers, the window position and the count of bytes are
// locals for the loop and go back to the members at its end.
LzmaCore::Status LzmaCore::decode(std::size_t limit, const std::uint8_t*& in,
                                  const std::uint8_t* inLimit) {
    if (m_pending != 0 && m_pos < limit) {
        const auto k = static_cast<std::uint32_t>(std::min<std::size_t>(m_pending, limit - m_pos));
        copyMatch(m_window.data(), m_windowSize, m_pos, std::size_t{m_rep[0]} + 1, k);
        m_pos += k;
        m_total += k;
        m_pending -= k;
    }
    Range rc{m_range, m_code, in};
    std::uint16_t* const probs = m_probs.data();
    std::uint8_t* const w = m_window.data();
    const std::size_t size = m_windowSize;
    const unsigned lc = m_props.lc;
    const std::uint32_t lpMask = (1u << m_props.lp) - 1;
    const std::uint32_t pbMask = (1u << m_props.pb) - 1;
    const std::uint32_t dictionary = m_dictionary;
    std::size_t pos = m_pos;
    std::uint64_t total = m_total;
    unsigned state = m_state;
    std::uint32_t rep0 = m_rep[0], rep1 = m_rep[1], rep2 = m_rep[2], rep3 = m_rep[3];
    unsigned prev = total == 0 ? 0u : w[pos > 0 ? pos - 1 : size - 1];
    std::uint32_t pending = m_pending;
    Status status = Status::Ok;
    // The window index of the byte `back` bytes before pos (1 <= back <= the bytes held).
    auto at = [&](std::size_t back) { return pos >= back ? pos - back : pos + size - back; };

    while (pos < limit && rc.in < inLimit) {
        const auto low = static_cast<std::uint32_t>(total);
        const unsigned posState = low & pbMask;
        if (!rc.bit(probs[kIsMatch + state * kPosStatesMax + posState])) {
            std::uint16_t* const lit =
                probs + kLiterals + 0x300 * (((low & lpMask) << lc) + (prev >> (8 - lc)));
            prev = state < kFirstMatchState ? rc.literal(lit)
                                            : rc.matchedLiteral(lit, w[at(std::size_t{rep0} + 1)]);
            w[pos++] = static_cast<std::uint8_t>(prev);
            ++total;
            state = afterLiteral(state);
            continue;
        }
        unsigned len;
        if (rc.bit(probs[kIsRep + state])) {
            if (!rc.bit(probs[kIsRepG0 + state])) {
                if (!rc.bit(probs[kIsRep0Long + state * kPosStatesMax + posState])) {
                    if (rep0 >= std::min<std::uint64_t>(total, dictionary)) {
                        m_problem = "a repeated byte reaches before the start of the data";
                        status = Status::Corrupt;
                        break;
                    }
                    prev = w[at(std::size_t{rep0} + 1)];
                    w[pos++] = static_cast<std::uint8_t>(prev);
                    ++total;
                    state = afterShortRep(state);
                    continue;
                }
            } else {
                std::uint32_t dist;
                if (!rc.bit(probs[kIsRepG1 + state])) {
                    dist = rep1;
                } else {
                    if (!rc.bit(probs[kIsRepG2 + state])) {
                        dist = rep2;
                    } else {
                        dist = rep3;
                        rep3 = rep2;
                    }
                    rep2 = rep1;
                }
                rep1 = rep0;
                rep0 = dist;
            }
            len = rc.length(probs + kRepLen, posState);
            state = afterRep(state);
        } else {
            rep3 = rep2;
            rep2 = rep1;
            rep1 = rep0;
            len = rc.length(probs + kMatchLen, posState);
            state = afterMatch(state);
            rep0 = rc.distance(probs, len);
            if (rep0 == kEndMark) {
                status = Status::EndMark;
                break;
            }
        }
        if (rep0 >= std::min<std::uint64_t>(total, dictionary)) {
            m_problem = rep0 >= dictionary ? "a match reaches beyond the dictionary"
                                           : "a match reaches before the start of the data";
            status = Status::Corrupt;
            break;
        }
        const std::uint32_t count = len + 2;
        const auto now = static_cast<std::uint32_t>(std::min<std::size_t>(count, limit - pos));
        pending = count - now;
        copyMatch(w, size, pos, std::size_t{rep0} + 1, now);
        pos += now;
        total += now;
        prev = w[pos - 1];
        if (pending != 0) break;
    }

    in = rc.in;
    m_range = rc.range;
    m_code = rc.code;
    m_pos = pos;
    m_total = total;
    m_state = state;
    m_rep[0] = rep0;
    m_rep[1] = rep1;
    m_rep[2] = rep2;
    m_rep[3] = rep3;
    m_pending = pending;
    return status;
}

}  // namespace archive
