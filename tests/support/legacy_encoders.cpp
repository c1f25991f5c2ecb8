#include "tests/support/legacy_encoders.h"

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <numeric>
#include <queue>
#include <vector>

namespace testsupport {
namespace {

// Bits least significant first, as all three methods pack them.
class BitWriter {
  public:
    void put(std::uint32_t value, unsigned bits) {
        for (unsigned i = 0; i < bits; ++i) bit((value >> i) & 1u);
    }
    // A prefix code: its most significant bit goes first.
    void putCode(std::uint32_t code, unsigned bits) {
        for (unsigned i = bits; i-- > 0;) bit((code >> i) & 1u);
    }
    std::string finish() {
        if (m_count > 0) m_out += static_cast<char>(m_acc);
        m_acc = m_count = 0;
        return m_out;
    }

  private:
    void bit(unsigned b) {
        m_acc |= b << m_count;
        if (++m_count == 8) {
            m_out += static_cast<char>(m_acc);
            m_acc = m_count = 0;
        }
    }
    std::string m_out;
    unsigned m_acc = 0, m_count = 0;
};

// ------------------------------------------------------------------ shrink

class ShrinkEncoder {
  public:
    explicit ShrinkEncoder(const ShrinkOptions& o)
        : m_options(o), m_prefix(8192, -1), m_suffix(8192, 0) {}

    std::string encode(const std::string& data) {
        if (data.empty()) return {};
        int w = static_cast<unsigned char>(data[0]);
        for (std::size_t i = 1; i < data.size(); ++i) {
            const auto k = static_cast<unsigned char>(data[i]);
            const int child = find(w, k);
            if (child >= 0) {
                w = child;
                continue;
            }
            emit(static_cast<unsigned>(w));
            // The clear comes before this step's new string, so that the decoder (one string
            // behind) clears the same table.
            if ((m_nextFree >= 8192 && m_bits == 13) ||
                (m_options.clearEvery != 0 && ++m_sinceClear >= m_options.clearEvery)) {
                escape(2);
                partialClear();
                m_sinceClear = 0;
            }
            add(w, k);
            w = k;
        }
        emit(static_cast<unsigned>(w));
        return m_out.finish();
    }

  private:
    int find(int prefix, unsigned char k) const {
        auto it = m_children.find({prefix, k});
        return it == m_children.end() ? -1 : it->second;
    }
    void add(int prefix, unsigned char k) {
        if (m_nextFree >= 8192) return;
        const unsigned code = m_nextFree;
        m_prefix[code] = prefix;
        m_suffix[code] = k;
        m_children[{prefix, k}] = static_cast<int>(code);
        while (m_nextFree < 8192 && m_prefix[m_nextFree] != -1) ++m_nextFree;
    }
    void escape(unsigned what) {
        m_out.put(256, m_bits);
        m_out.put(what, m_bits);
    }
    void emit(unsigned code) {
        while (code >= (1u << m_bits)) {
            escape(1);
            ++m_bits;
        }
        m_out.put(code, m_bits);
    }
    void partialClear() {
        std::vector<bool> isPrefix(8192, false);
        for (unsigned c = 257; c < 8192; ++c)
            if (m_prefix[c] != -1) isPrefix[static_cast<unsigned>(m_prefix[c])] = true;
        for (unsigned c = 257; c < 8192; ++c) {
            if (m_prefix[c] != -1 && !isPrefix[c]) {
                auto it = m_children.find({m_prefix[c], m_suffix[c]});
                if (it != m_children.end() && it->second == static_cast<int>(c))
                    m_children.erase(it);
                m_prefix[c] = -1;
            }
        }
        m_nextFree = 257;
        while (m_nextFree < 8192 && m_prefix[m_nextFree] != -1) ++m_nextFree;
    }

    ShrinkOptions m_options;
    BitWriter m_out;
    std::vector<int> m_prefix;
    std::vector<unsigned char> m_suffix;
    std::map<std::pair<int, unsigned char>, int> m_children;
    unsigned m_nextFree = 257;
    unsigned m_bits = 9;
    unsigned m_sinceClear = 0;
};

// ------------------------------------------------------------------ shared LZ77 search

struct Match {
    std::size_t length = 0;
    std::size_t distance = 0;
};

// Greedy longest match within the window (brute force over hashed candidates).
class MatchFinder {
  public:
    MatchFinder(const std::string& data, std::size_t window, std::size_t minLen, std::size_t maxLen)
        : m_data(data), m_window(window), m_min(minLen), m_max(maxLen) {}

    Match find(std::size_t pos) {
        Match best;
        if (pos + m_min > m_data.size()) return best;
        const auto key = hash(pos);
        auto& chain = m_heads[key];
        unsigned tries = 0;
        for (auto it = chain.rbegin(); it != chain.rend() && tries < 64; ++it, ++tries) {
            const std::size_t cand = *it;
            if (pos - cand > m_window) break;
            std::size_t len = 0;
            while (len < m_max && pos + len < m_data.size() &&
                   m_data[cand + len] == m_data[pos + len])
                ++len;
            if (len > best.length) best = {len, pos - cand};
        }
        return best.length >= m_min ? best : Match{};
    }
    void insert(std::size_t pos) {
        if (pos + m_min <= m_data.size()) m_heads[hash(pos)].push_back(pos);
    }

  private:
    std::uint32_t hash(std::size_t pos) const {
        std::uint32_t h = 0;
        for (std::size_t i = 0; i < m_min; ++i)
            h = h * 257 + static_cast<unsigned char>(m_data[pos + i]);
        return h;
    }
    const std::string& m_data;
    std::size_t m_window, m_min, m_max;
    std::map<std::uint32_t, std::vector<std::size_t>> m_heads;
};

// ------------------------------------------------------------------ reduce

unsigned indexBits(unsigned n) {
    unsigned bits = 1;
    while ((1u << bits) < n) ++bits;
    return bits;
}

std::string reduceBytes(const std::string& data, unsigned factor) {
    // The expansion stage in reverse: DLE escapes and DLE V [length] distance copies.
    const unsigned lengthMask = 0xFFu >> factor;
    const std::size_t window = std::size_t{256} << factor;
    MatchFinder finder(data, window, 3, lengthMask + 255 + 3);
    std::string out;
    for (std::size_t pos = 0; pos < data.size();) {
        Match m = finder.find(pos);
        const std::size_t distHigh = m.length ? (m.distance - 1) >> 8 : 0;
        // V = 0 would read as a literal DLE: a 3-byte copy from the nearest 256 bytes has no code.
        if (m.length == 3 && distHigh == 0) m.length = 0;
        if (m.length == 0) {
            out += data[pos];
            if (static_cast<unsigned char>(data[pos]) == 144) out += '\0';
            finder.insert(pos++);
            continue;
        }
        const unsigned len = static_cast<unsigned>(m.length - 3);
        const unsigned low = std::min(len, lengthMask);
        out += static_cast<char>(144);
        out += static_cast<char>((distHigh << (8 - factor)) | low);
        if (low == lengthMask) out += static_cast<char>(len - lengthMask);
        out += static_cast<char>((m.distance - 1) & 0xFF);
        for (std::size_t k = 0; k < m.length; ++k) finder.insert(pos + k);
        pos += m.length;
    }
    return out;
}

// ------------------------------------------------------------------ implode

// Huffman code lengths of 1 to 16 bits for every value (all weights at least 1).
std::vector<std::uint8_t> codeLengths(std::vector<std::uint64_t> freq) {
    for (auto& f : freq) f += 1;
    for (;;) {
        using Node = std::pair<std::uint64_t, int>;
        std::priority_queue<Node, std::vector<Node>, std::greater<Node>> q;
        std::vector<int> parent(freq.size() * 2, -1);
        for (std::size_t i = 0; i < freq.size(); ++i) q.push({freq[i], static_cast<int>(i)});
        int next = static_cast<int>(freq.size());
        while (q.size() > 1) {
            const Node a = q.top();
            q.pop();
            const Node b = q.top();
            q.pop();
            parent[static_cast<std::size_t>(a.second)] =
                parent[static_cast<std::size_t>(b.second)] = next;
            q.push({a.first + b.first, next++});
        }
        std::vector<std::uint8_t> lengths(freq.size());
        unsigned longest = 0;
        for (std::size_t i = 0; i < freq.size(); ++i) {
            unsigned d = 0;
            for (int p = parent[i]; p != -1; p = parent[static_cast<std::size_t>(p)]) ++d;
            lengths[i] = static_cast<std::uint8_t>(std::max(d, 1u));
            longest = std::max(longest, d);
        }
        if (longest <= 16) return lengths;
        for (auto& f : freq) f = (f + 1) / 2;
    }
}

// APPNOTE 5.3.8: sort the lengths (stable), give the longest the smallest 16-bit codes.
std::vector<std::uint32_t> shannonFanoCodes(const std::vector<std::uint8_t>& lengths) {
    std::vector<std::size_t> order(lengths.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return lengths[a] < lengths[b]; });
    std::vector<std::uint32_t> codes(lengths.size());
    std::uint32_t code = 0, increment = 0;
    unsigned last = 0;
    for (std::size_t k = order.size(); k-- > 0;) {
        code = (code + increment) & 0xFFFF;
        if (lengths[order[k]] != last) {
            last = lengths[order[k]];
            increment = 1u << (16 - last);
        }
        codes[order[k]] = code >> (16 - last);
    }
    return codes;
}

void writeTree(BitWriter& out, const std::vector<std::uint8_t>& lengths) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < lengths.size();) {
        std::size_t run = 1;
        while (run < 16 && i + run < lengths.size() && lengths[i + run] == lengths[i]) ++run;
        bytes.push_back(static_cast<std::uint8_t>(((run - 1) << 4) | (lengths[i] - 1u)));
        i += run;
    }
    out.put(static_cast<std::uint32_t>(bytes.size() - 1), 8);
    for (auto b : bytes) out.put(b, 8);
}

struct ImplodeToken {
    bool literal;
    unsigned value;     // the literal
    unsigned length;    // of a copy
    unsigned distance;  // of a copy (1-based)
};

}  // namespace

std::string shrinkEncode(const std::string& data, const ShrinkOptions& options) {
    return ShrinkEncoder(options).encode(data);
}

std::string reduceEncode(const std::string& data, unsigned factor, unsigned setSizeShift) {
    const std::string bytes = reduceBytes(data, factor);
    // Follower sets: the most frequent successors of each byte, as many as its size allows.
    std::array<std::array<std::uint64_t, 256>, 256> pairs{};
    unsigned char prev = 0;
    for (char c : bytes) {
        ++pairs[prev][static_cast<unsigned char>(c)];
        prev = static_cast<unsigned char>(c);
    }
    std::array<std::vector<unsigned char>, 256> sets;
    for (unsigned c = 0; c < 256; ++c) {
        std::vector<unsigned> order(256);
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](unsigned a, unsigned b) { return pairs[c][a] > pairs[c][b]; });
        const unsigned size = (c + setSizeShift) % 33;
        for (unsigned k = 0; k < size; ++k) sets[c].push_back(static_cast<unsigned char>(order[k]));
    }
    BitWriter out;
    for (int c = 255; c >= 0; --c) {
        out.put(static_cast<std::uint32_t>(sets[static_cast<unsigned>(c)].size()), 6);
        for (auto f : sets[static_cast<unsigned>(c)]) out.put(f, 8);
    }
    prev = 0;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        const auto& set = sets[prev];
        const auto it = std::find(set.begin(), set.end(), c);
        if (set.empty()) {
            out.put(c, 8);
        } else if (it == set.end()) {
            out.put(1, 1);
            out.put(c, 8);
        } else {
            out.put(0, 1);
            out.put(static_cast<std::uint32_t>(it - set.begin()),
                    indexBits(static_cast<unsigned>(set.size())));
        }
        prev = c;
    }
    return out.finish();
}

std::string implodeEncode(const std::string& data, std::uint16_t flags) {
    const bool bigWindow = (flags & 0x02) != 0;
    const bool literalTree = (flags & 0x04) != 0;
    const unsigned lowBits = bigWindow ? 7 : 6;
    const std::size_t window = std::size_t{64} << lowBits;
    const unsigned minMatch = literalTree ? 3 : 2;
    MatchFinder finder(data, window, minMatch, minMatch + 63 + 255);
    std::vector<ImplodeToken> tokens;
    std::vector<std::uint64_t> litFreq(256), lenFreq(64), distFreq(64);
    for (std::size_t pos = 0; pos < data.size();) {
        const Match m = finder.find(pos);
        if (m.length == 0) {
            const auto c = static_cast<unsigned char>(data[pos]);
            tokens.push_back({true, c, 0, 0});
            ++litFreq[c];
            finder.insert(pos++);
            continue;
        }
        tokens.push_back(
            {false, 0, static_cast<unsigned>(m.length), static_cast<unsigned>(m.distance)});
        ++lenFreq[std::min<std::size_t>(m.length - minMatch, 63)];
        ++distFreq[(m.distance - 1) >> lowBits];
        for (std::size_t k = 0; k < m.length; ++k) finder.insert(pos + k);
        pos += m.length;
    }
    const auto litLen = codeLengths(litFreq), lenLen = codeLengths(lenFreq),
               distLen = codeLengths(distFreq);
    const auto litCode = shannonFanoCodes(litLen), lenCode = shannonFanoCodes(lenLen),
               distCode = shannonFanoCodes(distLen);
    BitWriter out;
    if (literalTree) writeTree(out, litLen);
    writeTree(out, lenLen);
    writeTree(out, distLen);
    for (const auto& t : tokens) {
        if (t.literal) {
            out.put(1, 1);
            if (literalTree)
                out.putCode(litCode[t.value], litLen[t.value]);
            else
                out.put(t.value, 8);
            continue;
        }
        out.put(0, 1);
        const unsigned d = t.distance - 1;
        out.put(d & ((1u << lowBits) - 1), lowBits);
        out.putCode(distCode[d >> lowBits], distLen[d >> lowBits]);
        const unsigned l = std::min(t.length - minMatch, 63u);
        out.putCode(lenCode[l], lenLen[l]);
        if (l == 63) out.put(t.length - minMatch - 63, 8);
    }
    return out.finish();
}

}  // namespace testsupport
