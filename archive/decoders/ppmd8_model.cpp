// PPMd var.I revision 1. The model is a tree of contexts (the last 1 to MaxOrder bytes), each
// holding the symbols seen after it with their frequencies; a byte is coded in the longest
// context that knows it, escaping to shorter suffix contexts (with SEE-estimated escape
// frequencies) until one does. The encoder and the decoder update the model identically, so
// every rule below, including the sub-allocator's, decides the output: memory exhaustion
// restarts the model or cuts it down (the restoration method), and where blocks are placed
// decides when that happens.
#include "archive/decoders/ppmd8_model.h"

#include <algorithm>

namespace archive {
namespace {

constexpr unsigned kMaxFreq = 124;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kBinScale = 1u << (kIntBits + kPeriodBits);
constexpr std::uint32_t kTop = 1u << 24;
constexpr std::uint32_t kBot = 1u << 15;
constexpr std::array<std::uint8_t, 16> kExpEscape = {25, 14, 9, 7, 5, 5, 4, 4,
                                                     4,  3,  3, 3, 2, 2, 2, 2};
constexpr std::array<std::uint16_t, 8> kInitBinEsc = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3,
                                                      0x64A1, 0x5ABC, 0x6632, 0x6051};

// The adaptive binary probability's mean step (a 1/128 share, rounded).
unsigned probMean(unsigned prob) {
    return (prob + (1u << (kPeriodBits - 2))) >> kPeriodBits;
}

// A link to a 32-bit reference: a free-list head outside the arena or a Next field inside it.
std::uint32_t loadLink(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void storeLink(std::uint8_t* p, std::uint32_t v) {
    std::memcpy(p, &v, 4);
}

// The frequencies of a context's states whose symbols the mask has not excluded (a masked one
// is and-ed away, so no branch depends on the mask), summed in blocks of 8 states: `sums` gets
// the running total after each whole block, so that finding the state where the total passes a
// count takes a walk over the blocks and at most 8 states.
constexpr unsigned kBlock = 8;
struct UnmaskedSums {
    std::uint32_t total = 0;
    unsigned blocks = 0;
    std::array<std::uint32_t, 256 / kBlock> sums;
};

[[gnu::always_inline]] inline std::uint32_t maskedFreq(const std::uint8_t* state,
                                                       const std::uint8_t* mask) {
    return state[1] & mask[state[0]];
}

[[gnu::always_inline]] inline void sumUnmasked(const std::uint8_t* p, unsigned n,
                                               const std::uint8_t* mask, UnmaskedSums& out) {
    std::uint32_t total = 0;
    unsigned b = 0;
    for (; n >= kBlock; n -= kBlock, p += kBlock * 6) {
        // Two sums side by side: each state costs two dependent loads.
        std::uint32_t x = 0, y = 0;
        for (unsigned k = 0; k < kBlock; k += 2) {
            x += maskedFreq(p + k * 6, mask);
            y += maskedFreq(p + k * 6 + 6, mask);
        }
        total += x + y;
        out.sums[b++] = total;
    }
    for (; n != 0; --n, p += 6) total += maskedFreq(p, mask);
    out.total = total;
    out.blocks = b;
}

// The first state, from `p`, at which the running total of unmasked frequencies exceeds
// `count` (< sums.total), and the total up to and including it.
[[gnu::always_inline]] inline const std::uint8_t* findUnmasked(const std::uint8_t* p,
                                                               const std::uint8_t* mask,
                                                               const UnmaskedSums& sums,
                                                               std::uint32_t count,
                                                               std::uint32_t& hi) {
    unsigned b = 0;
    while (b < sums.blocks && sums.sums[b] <= count) ++b;
    hi = b == 0 ? 0 : sums.sums[b - 1];
    p += b * kBlock * 6;
    hi += maskedFreq(p, mask);
    while (hi <= count) {
        p += 6;
        hi += maskedFreq(p, mask);
    }
    return p;
}

}  // namespace

Ppmd8Model::Ppmd8Model(std::uint32_t memoryBytes, unsigned maxOrder, Restore restore)
    : m_size(memoryBytes),
      m_alignOffset(4 - (memoryBytes & 3)),
      m_maxOrder(maxOrder),
      m_restore(restore) {
    // The arena, plus a zeroed guard unit after its end.
    m_arena = host::LargeMemory(std::size_t{m_alignOffset} + m_size + 2 * kUnitSize);
    m_mem = m_arena.data();
    if (m_mem == nullptr) return;

    // Block sizes in units for each free-list index: 1-4 by 1, then by 2, 3 and 4 up to 128.
    unsigned k = 0;
    for (unsigned i = 0; i < kNumIndexes; ++i) {
        unsigned step = i >= 12 ? 4 : (i >> 2) + 1;
        for (; step > 0; --step) m_units2Index[k++] = static_cast<std::uint8_t>(i);
        m_index2Units[i] = static_cast<std::uint8_t>(k);
    }
    m_ns2BSIndex[0] = 0;
    m_ns2BSIndex[1] = 2;
    std::fill(m_ns2BSIndex.begin() + 2, m_ns2BSIndex.begin() + 11, std::uint8_t{4});
    std::fill(m_ns2BSIndex.begin() + 11, m_ns2BSIndex.end(), std::uint8_t{6});
    unsigned i = 0;
    for (; i < 5; ++i) m_ns2Index[i] = static_cast<std::uint8_t>(i);
    for (unsigned m = i, left = 1; i < 260; ++i) {
        m_ns2Index[i] = static_cast<std::uint8_t>(m);
        if (--left == 0) left = (++m) - 4;
    }

    restartModel();
    m_dummySee.shift = kPeriodBits;
    m_dummySee.summ = 0;
    m_dummySee.count = 64;
}

// ---------------------------------------------------------------- sub-allocator

void Ppmd8Model::insertNode(Ref node, unsigned index) {
    set32(node, kEmptyNode);
    set32(node + 4, m_freeList[index]);
    set32(node + 8, indexToUnits(index));
    m_freeList[index] = node;
    ++m_stamps[index];
}

Ppmd8Model::Ref Ppmd8Model::removeNode(unsigned index) {
    const Ref node = m_freeList[index];
    m_freeList[index] = get32(node + 4);
    --m_stamps[index];
    return node;
}

void Ppmd8Model::splitBlock(Ref ptr, unsigned oldIndex, unsigned newIndex) {
    const unsigned nu = indexToUnits(oldIndex) - indexToUnits(newIndex);
    ptr += indexToUnits(newIndex) * kUnitSize;
    unsigned i = unitsToIndex(nu);
    if (indexToUnits(i) != nu) {
        const unsigned k = indexToUnits(--i);
        insertNode(ptr + k * kUnitSize, nu - k - 1);
    }
    insertNode(ptr, i);
}

void Ppmd8Model::glueFreeBlocks() {
    // Joins every free block with the free blocks that follow it in memory, then sorts the
    // joined blocks back into the lists. A free block is recognised by its Stamp.
    std::uint8_t headBytes[4] = {0, 0, 0, 0};
    std::uint8_t* prev = headBytes;
    m_glueCount = 1u << 13;
    m_stamps.fill(0);
    // Everything below LoUnit may be free: a zero stamp there stops a join.
    if (m_loUnit != m_hiUnit) set32(m_loUnit, 0);

    for (unsigned i = 0; i < kNumIndexes; ++i) {
        Ref next = m_freeList[i];
        m_freeList[i] = 0;
        while (next != 0) {
            const Ref node = next;
            if (get32(node + 8) != 0) {
                storeLink(prev, next);
                prev = at(node + 4);
                for (;;) {
                    const Ref node2 = node + get32(node + 8) * kUnitSize;
                    if (get32(node2) != kEmptyNode) break;
                    set32(node + 8, get32(node + 8) + get32(node2 + 8));
                    set32(node2 + 8, 0);
                }
            }
            next = get32(node + 4);
        }
    }
    storeLink(prev, 0);

    Ref head = loadLink(headBytes);
    while (head != 0) {
        Ref node = head;
        head = get32(node + 4);
        unsigned nu = get32(node + 8);
        if (nu == 0) continue;
        for (; nu > 128; nu -= 128, node += 128 * kUnitSize) insertNode(node, kNumIndexes - 1);
        unsigned i = unitsToIndex(nu);
        if (indexToUnits(i) != nu) {
            const unsigned k = indexToUnits(--i);
            insertNode(node + k * kUnitSize, nu - k - 1);
        }
        insertNode(node, i);
    }
}

Ppmd8Model::Ref Ppmd8Model::allocUnitsRare(unsigned index) {
    if (m_glueCount == 0) {
        glueFreeBlocks();
        if (m_freeList[index] != 0) return removeNode(index);
    }
    unsigned i = index;
    do {
        if (++i == kNumIndexes) {
            // No larger block either: take the units from the top of the text area.
            const std::uint32_t numBytes = indexToUnits(index) * kUnitSize;
            --m_glueCount;
            if (m_unitsStart - m_text > numBytes) return m_unitsStart -= numBytes;
            return 0;
        }
    } while (m_freeList[i] == 0);
    const Ref block = removeNode(i);
    splitBlock(block, i, index);
    return block;
}

Ppmd8Model::Ref Ppmd8Model::allocUnits(unsigned index) {
    if (m_freeList[index] != 0) return removeNode(index);
    const std::uint32_t numBytes = indexToUnits(index) * kUnitSize;
    if (numBytes <= m_hiUnit - m_loUnit) {
        const Ref block = m_loUnit;
        m_loUnit += numBytes;
        return block;
    }
    return allocUnitsRare(index);
}

Ppmd8Model::Ref Ppmd8Model::shrinkUnits(Ref oldPtr, unsigned oldNU, unsigned newNU) {
    const unsigned i0 = unitsToIndex(oldNU);
    const unsigned i1 = unitsToIndex(newNU);
    if (i0 == i1) return oldPtr;
    if (m_freeList[i1] != 0) {
        const Ref ptr = removeNode(i1);
        std::memmove(at(ptr), at(oldPtr), std::size_t{newNU} * kUnitSize);
        insertNode(oldPtr, i0);
        return ptr;
    }
    splitBlock(oldPtr, i0, i1);
    return oldPtr;
}

void Ppmd8Model::specialFreeUnit(Ref ptr) {
    if (ptr != m_unitsStart)
        insertNode(ptr, 0);
    else
        m_unitsStart += kUnitSize;
}

Ppmd8Model::Ref Ppmd8Model::moveUnitsUp(Ref oldPtr, unsigned nu) {
    const unsigned index = unitsToIndex(nu);
    if (oldPtr > m_unitsStart + 16 * 1024 || oldPtr > m_freeList[index]) return oldPtr;
    const Ref ptr = removeNode(index);
    std::memmove(at(ptr), at(oldPtr), std::size_t{nu} * kUnitSize);
    if (oldPtr != m_unitsStart)
        insertNode(oldPtr, index);
    else
        m_unitsStart += indexToUnits(index) * kUnitSize;
    return ptr;
}

void Ppmd8Model::expandTextArea() {
    // Free blocks right at the bottom of the units area go back to the text area.
    std::array<std::uint32_t, kNumIndexes> count{};
    if (m_loUnit != m_hiUnit) set32(m_loUnit, 0);
    Ref node = m_unitsStart;
    while (get32(node) == kEmptyNode) {
        set32(node, 0);
        ++count[unitsToIndex(get32(node + 8))];
        node += get32(node + 8) * kUnitSize;
    }
    m_unitsStart = node;

    for (unsigned i = 0; i < kNumIndexes; ++i) {
        std::uint8_t* next = reinterpret_cast<std::uint8_t*>(&m_freeList[i]);
        while (count[i] != 0) {
            Ref n = loadLink(next);
            while (n != 0 && get32(n) == 0) {
                storeLink(next, get32(n + 4));
                n = loadLink(next);
                --m_stamps[i];
                if (--count[i] == 0) break;
            }
            if (n == 0) break;
            next = at(n + 4);
        }
    }
}

std::uint32_t Ppmd8Model::usedMemory() const {
    std::uint32_t units = 0;
    for (unsigned i = 0; i < kNumIndexes; ++i) units += m_stamps[i] * m_index2Units[i];
    return m_size - (m_hiUnit - m_loUnit) - (m_unitsStart - m_text) - units * kUnitSize;
}

// ---------------------------------------------------------------- model

void Ppmd8Model::restartModel() {
    m_freeList.fill(0);
    m_stamps.fill(0);
    m_text = m_alignOffset;
    m_hiUnit = m_text + m_size;
    m_loUnit = m_unitsStart = m_hiUnit - m_size / 8 / kUnitSize * 7 * kUnitSize;
    m_glueCount = 0;

    m_orderFall = m_maxOrder;
    m_runLength = m_initRL = -static_cast<std::int32_t>(std::min(m_maxOrder, 12u)) - 1;
    m_prevSuccess = 0;

    // The order-0 context with all 256 symbols at frequency 1, in the top unit.
    m_hiUnit -= kUnitSize;
    m_minContext = m_maxContext = m_hiUnit;
    setSuffix(m_minContext, 0);
    numStats(m_minContext) = 255;
    flags(m_minContext) = 0;
    setSummFreq(m_minContext, 256 + 1);
    m_foundState = m_loUnit;
    m_loUnit += 256 / 2 * kUnitSize;
    setStats(m_minContext, m_foundState);
    for (unsigned i = 0; i < 256; ++i)
        storeState(m_foundState + i * kStateSize, {static_cast<std::uint8_t>(i), 1, 0});

    for (unsigned i = 0, m = 0; m < 25; ++m) {
        while (m_ns2Index[i] == m) ++i;
        for (unsigned k = 0; k < 8; ++k) {
            const auto val = static_cast<std::uint16_t>(kBinScale - kInitBinEsc[k] / (i + 1));
            for (unsigned r = 0; r < 64; r += 8) m_binSumm[m][k + r] = val;
        }
    }
    for (unsigned i = 0, m = 0; m < 24; ++m) {
        while (m_ns2Index[i + 3] == m + 3) ++i;
        for (auto& see : m_see[m]) {
            see.shift = kPeriodBits - 4;
            see.summ = static_cast<std::uint16_t>((2 * i + 5) << see.shift);
            see.count = 7;
        }
    }
}

void Ppmd8Model::refresh(Ref ctx, unsigned oldNU, unsigned scale) {
    // Halves (scale 1) or keeps the frequencies of a context whose symbol list changed size.
    unsigned i = numStats(ctx);
    Ref s = shrinkUnits(stats(ctx), oldNU, (i + 2) >> 1);
    setStats(ctx, s);
    unsigned fl = (flags(ctx) & (0x10 + 0x04 * scale)) + 0x08 * (symbol(s) >= 0x40);
    unsigned escFreq = summFreq(ctx) - freq(s);
    freq(s) = static_cast<std::uint8_t>((freq(s) + scale) >> scale);
    unsigned sumFreq = freq(s);
    do {
        s += kStateSize;
        escFreq -= freq(s);
        freq(s) = static_cast<std::uint8_t>((freq(s) + scale) >> scale);
        sumFreq += freq(s);
        fl |= 0x08 * (symbol(s) >= 0x40);
    } while (--i);
    setSummFreq(ctx, sumFreq + ((escFreq + scale) >> scale));
    flags(ctx) = static_cast<std::uint8_t>(fl);
}

Ppmd8Model::Ref Ppmd8Model::cutOff(Ref ctx, unsigned order) {
    // Drops the branches that point into the text area (no context of their own yet) below
    // this context and returns the context, or 0 when nothing of it is left.
    if (numStats(ctx) == 0) {
        const Ref s = oneState(ctx);
        if (successor(s) >= m_unitsStart) {
            setSuccessor(s, order < m_maxOrder ? cutOff(successor(s), order + 1) : 0);
            if (successor(s) != 0 || order <= 9) return ctx;
        }
        specialFreeUnit(ctx);
        return 0;
    }
    const unsigned nu = (numStats(ctx) + 2u) >> 1;
    setStats(ctx, moveUnitsUp(stats(ctx), nu));
    const Ref first = stats(ctx);
    int last = numStats(ctx);
    for (int k = numStats(ctx); k >= 0; --k) {
        const Ref s = first + static_cast<unsigned>(k) * kStateSize;
        if (successor(s) < m_unitsStart) {
            const Ref s2 = first + static_cast<unsigned>(last--) * kStateSize;
            setSuccessor(s, 0);
            swapStates(s, s2);
        } else {
            setSuccessor(s, order < m_maxOrder ? cutOff(successor(s), order + 1) : 0);
        }
    }
    if (last != numStats(ctx) && order != 0) {
        numStats(ctx) = static_cast<std::uint8_t>(last);
        const Ref s = stats(ctx);
        if (last < 0) {
            freeUnits(s, nu);
            specialFreeUnit(ctx);
            return 0;
        }
        if (last == 0) {
            flags(ctx) =
                static_cast<std::uint8_t>((flags(ctx) & 0x10) + 0x08 * (symbol(s) >= 0x40));
            copyState(oneState(ctx), s);
            freeUnits(s, nu);
            freq(oneState(ctx)) = static_cast<std::uint8_t>((freq(oneState(ctx)) + 11u) >> 3);
        } else {
            refresh(ctx, nu, summFreq(ctx) > 16u * static_cast<unsigned>(last));
        }
    }
    return ctx;
}

void Ppmd8Model::restoreModel(Ref c1) {
    // Memory ran out: undo the half-made update of the contexts above c1, then restart the
    // model or cut it down to three quarters of the memory, as the restoration method says.
    m_text = m_alignOffset;
    Ref c = m_maxContext;
    for (; c != c1; c = suffix(c)) {
        if (--numStats(c) == 0) {
            const Ref s = stats(c);
            flags(c) = static_cast<std::uint8_t>((flags(c) & 0x10) + 0x08 * (symbol(s) >= 0x40));
            copyState(oneState(c), s);
            specialFreeUnit(s);
            freq(oneState(c)) = static_cast<std::uint8_t>((freq(oneState(c)) + 11u) >> 3);
        } else {
            refresh(c, (numStats(c) + 3u) >> 1, 0);
        }
    }
    for (; c != m_minContext; c = suffix(c)) {
        if (numStats(c) == 0) {
            freq(oneState(c)) =
                static_cast<std::uint8_t>(freq(oneState(c)) - (freq(oneState(c)) >> 1));
        } else {
            setSummFreq(c, summFreq(c) + 4u);
            if (summFreq(c) > 128u + 4u * numStats(c)) refresh(c, (numStats(c) + 2u) >> 1, 1);
        }
    }
    if (m_restore == Restore::Restart || usedMemory() < (m_size >> 1)) {
        restartModel();
        return;
    }
    while (suffix(m_maxContext) != 0) m_maxContext = suffix(m_maxContext);
    do {
        cutOff(m_maxContext, 0);
        expandTextArea();
    } while (usedMemory() > 3 * (m_size >> 2));
    m_glueCount = 0;
    m_orderFall = m_maxOrder;
}

Ppmd8Model::Ref Ppmd8Model::createSuccessors(bool skip, Ref s1, Ref c) {
    // Gives the found symbol's branch real contexts, from the deepest suffix that has one
    // down to the current context; the branch so far points into the text area.
    const Ref upBranch = successor(m_foundState);
    std::array<Ref, kMaxOrder + 1> ps{};
    unsigned numPs = 0;
    if (!skip) ps[numPs++] = m_foundState;
    const std::uint8_t fSymbol = symbol(m_foundState);
    while (suffix(c) != 0) {
        c = suffix(c);
        Ref s;
        if (s1 != 0) {
            s = s1;
            s1 = 0;
        } else if (numStats(c) != 0) {
            s = findState(stats(c), fSymbol);
            if (freq(s) < kMaxFreq - 9) {
                ++freq(s);
                setSummFreq(c, summFreq(c) + 1u);
            }
        } else {
            s = oneState(c);
            freq(s) = static_cast<std::uint8_t>(freq(s) +
                                                (numStats(suffix(c)) == 0 && freq(s) < 24 ? 1 : 0));
        }
        const Ref succ = successor(s);
        if (succ != upBranch) {
            c = succ;
            if (numPs == 0) return c;
            break;
        }
        if (numPs == ps.size()) return 0;
        ps[numPs++] = s;
    }

    StateValue up;
    up.symbol = m_mem[upBranch];
    up.successor = upBranch + 1;
    const auto fl =
        static_cast<std::uint8_t>(0x10 * (fSymbol >= 0x40) + 0x08 * (up.symbol >= 0x40));
    if (numStats(c) == 0) {
        up.freq = freq(oneState(c));
    } else {
        const Ref s = findState(stats(c), up.symbol);
        const std::uint32_t cf = freq(s) - 1u;
        const std::uint32_t s0 = summFreq(c) - numStats(c) - cf;
        std::uint32_t extra;
        if (2 * cf <= s0)
            extra = 5 * cf > s0;
        else
            extra = s0 == 0 ? 0 : (cf + 2 * s0 - 3) / s0;
        up.freq = static_cast<std::uint8_t>(1 + extra);
    }
    do {
        Ref c1;
        if (m_hiUnit != m_loUnit) {
            c1 = m_hiUnit -= kUnitSize;
        } else if (m_freeList[0] != 0) {
            c1 = removeNode(0);
        } else {
            c1 = allocUnitsRare(0);
            if (c1 == 0) return 0;
        }
        numStats(c1) = 0;
        flags(c1) = fl;
        storeState(oneState(c1), up);
        setSuffix(c1, c);
        setSuccessor(ps[--numPs], c1);
        c = c1;
    } while (numPs != 0);
    return c;
}

Ppmd8Model::Ref Ppmd8Model::reduceOrder(Ref s1, Ref c) {
    // The found symbol's branch has no context yet: point the branches of the suffixes that
    // lack one at the text, and find the first suffix that has one.
    Ref s = 0;
    const Ref c1 = c;
    const Ref upBranch = m_text;
    const std::uint8_t fSymbol = symbol(m_foundState);
    setSuccessor(m_foundState, upBranch);
    ++m_orderFall;
    for (;;) {
        if (s1 != 0) {
            c = suffix(c);
            s = s1;
            s1 = 0;
        } else {
            if (suffix(c) == 0) return c;
            c = suffix(c);
            if (numStats(c) != 0) {
                s = findState(stats(c), fSymbol);
                if (freq(s) < kMaxFreq - 9) {
                    freq(s) = static_cast<std::uint8_t>(freq(s) + 2);
                    setSummFreq(c, summFreq(c) + 2u);
                }
            } else {
                s = oneState(c);
                freq(s) = static_cast<std::uint8_t>(freq(s) + (freq(s) < 32));
            }
        }
        if (successor(s) != 0) break;
        setSuccessor(s, upBranch);
        ++m_orderFall;
    }
    if (successor(s) <= upBranch) {
        const Ref saved = m_foundState;
        m_foundState = s;
        setSuccessor(s, createSuccessors(false, 0, c));
        m_foundState = saved;
    }
    if (m_orderFall == 1 && c1 == m_maxContext) {
        setSuccessor(m_foundState, successor(s));
        --m_text;
    }
    return successor(s);
}

void Ppmd8Model::updateModel() {
    const StateValue found = loadState(m_foundState);
    Ref fSuccessor = found.successor;
    Ref s = 0;
    if (found.freq < kMaxFreq / 4 && suffix(m_minContext) != 0) {
        const Ref c = suffix(m_minContext);
        if (numStats(c) == 0) {
            s = oneState(c);
            if (freq(s) < 32) ++freq(s);
        } else {
            s = stats(c);
            if (symbol(s) != found.symbol) {
                s = findState(s + kStateSize, found.symbol);
                if (freq(s) >= freq(s - kStateSize)) {
                    swapStates(s, s - kStateSize);
                    s -= kStateSize;
                }
            }
            if (freq(s) < kMaxFreq - 9) {
                freq(s) = static_cast<std::uint8_t>(freq(s) + 2);
                setSummFreq(c, summFreq(c) + 2u);
            }
        }
    }

    Ref c = m_maxContext;
    if (m_orderFall == 0 && fSuccessor != 0) {
        const Ref cs = createSuccessors(true, s, m_minContext);
        if (cs == 0) {
            setSuccessor(m_foundState, 0);
            restoreModel(c);
        } else {
            setSuccessor(m_foundState, cs);
            m_maxContext = cs;
        }
        return;
    }

    m_mem[m_text++] = found.symbol;
    Ref succ = m_text;
    if (m_text >= m_unitsStart) {
        restoreModel(c);
        return;
    }
    if (fSuccessor == 0) {
        const Ref cs = reduceOrder(s, m_minContext);
        if (cs == 0) {
            restoreModel(c);
            return;
        }
        fSuccessor = cs;
    } else if (fSuccessor < m_unitsStart) {
        const Ref cs = createSuccessors(false, s, m_minContext);
        if (cs == 0) {
            restoreModel(c);
            return;
        }
        fSuccessor = cs;
    }
    if (--m_orderFall == 0) {
        succ = fSuccessor;
        m_text -= (m_maxContext != m_minContext);
    }

    // Add the symbol to every context from the longest down to (not including) the one it
    // was found in.
    const unsigned ns = numStats(m_minContext);
    const unsigned s0 = summFreq(m_minContext) - ns - found.freq;
    const auto flag = static_cast<std::uint8_t>(0x08 * (found.symbol >= 0x40));
    for (; c != m_minContext; c = suffix(c)) {
        const unsigned ns1 = numStats(c);
        if (ns1 != 0) {
            if ((ns1 & 1) != 0) {
                // The list fills its last unit: grow it by one unit when the size class changes.
                const unsigned oldNU = (ns1 + 1) >> 1;
                const unsigned i = unitsToIndex(oldNU);
                if (i != unitsToIndex(oldNU + 1)) {
                    const Ref ptr = allocUnits(i + 1);
                    if (ptr == 0) {
                        restoreModel(c);
                        return;
                    }
                    const Ref oldPtr = stats(c);
                    std::memmove(at(ptr), at(oldPtr), std::size_t{oldNU} * kUnitSize);
                    insertNode(oldPtr, i);
                    setStats(c, ptr);
                }
            }
            setSummFreq(c, summFreq(c) + (3 * ns1 + 1 < ns));
        } else {
            const Ref s2 = allocUnits(0);
            if (s2 == 0) {
                restoreModel(c);
                return;
            }
            copyState(s2, oneState(c));
            setStats(c, s2);
            if (freq(s2) < kMaxFreq / 4 - 1)
                freq(s2) = static_cast<std::uint8_t>(freq(s2) << 1);
            else
                freq(s2) = kMaxFreq - 4;
            setSummFreq(c, freq(s2) + m_initEsc + (ns > 2));
        }
        std::uint32_t cf = 2 * found.freq * (summFreq(c) + 6u);
        const std::uint32_t sf = s0 + summFreq(c);
        if (cf < 6 * sf) {
            cf = 1 + (cf > sf) + (cf >= 4 * sf);
            setSummFreq(c, summFreq(c) + 4u);
        } else {
            cf = 4 + (cf > 9 * sf) + (cf > 12 * sf) + (cf > 15 * sf);
            setSummFreq(c, summFreq(c) + cf);
        }
        const Ref s2 = stats(c) + (ns1 + 1) * kStateSize;
        storeState(s2, {found.symbol, static_cast<std::uint8_t>(cf), succ});
        flags(c) |= flag;
        numStats(c) = static_cast<std::uint8_t>(ns1 + 1);
    }
    m_maxContext = m_minContext = fSuccessor;
}

void Ppmd8Model::rescale() {
    // Halves the frequencies of the current context, keeps its list sorted by frequency and
    // drops the symbols that reach zero.
    const Ref first = stats(m_minContext);
    Ref s = m_foundState;
    {
        const StateValue t = loadState(s);
        for (; s != first; s -= kStateSize) copyState(s, s - kStateSize);
        storeState(s, t);
    }
    unsigned escFreq = summFreq(m_minContext) - freq(s);
    freq(s) = static_cast<std::uint8_t>(freq(s) + 4);
    const unsigned adder = m_orderFall != 0;
    freq(s) = static_cast<std::uint8_t>((freq(s) + adder) >> 1);
    unsigned sumFreq = freq(s);
    unsigned i = numStats(m_minContext);
    do {
        s += kStateSize;
        escFreq -= freq(s);
        freq(s) = static_cast<std::uint8_t>((freq(s) + adder) >> 1);
        sumFreq += freq(s);
        if (freq(s) > freq(s - kStateSize)) {
            const StateValue t = loadState(s);
            Ref s1 = s;
            do {
                copyState(s1, s1 - kStateSize);
                s1 -= kStateSize;
            } while (s1 != first && t.freq > freq(s1 - kStateSize));
            storeState(s1, t);
        }
    } while (--i);

    if (freq(s) == 0) {
        const unsigned oldNumStats = numStats(m_minContext);
        i = 0;
        do {
            ++i;
            s -= kStateSize;
        } while (freq(s) == 0);
        escFreq += i;
        numStats(m_minContext) = static_cast<std::uint8_t>(numStats(m_minContext) - i);
        if (numStats(m_minContext) == 0) {
            StateValue t = loadState(first);
            const unsigned f = escFreq == 0 ? kMaxFreq / 3 : (2 * t.freq + escFreq - 1) / escFreq;
            t.freq = static_cast<std::uint8_t>(std::min(f, kMaxFreq / 3));
            insertNode(first, unitsToIndex((oldNumStats + 2) >> 1));
            flags(m_minContext) =
                static_cast<std::uint8_t>((flags(m_minContext) & 0x10) + 0x08 * (t.symbol >= 0x40));
            m_foundState = oneState(m_minContext);
            storeState(m_foundState, t);
            return;
        }
        const unsigned n0 = (oldNumStats + 2) >> 1;
        const unsigned n1 = (numStats(m_minContext) + 2u) >> 1;
        if (n0 != n1) setStats(m_minContext, shrinkUnits(first, n0, n1));
        flags(m_minContext) &= static_cast<std::uint8_t>(~0x08);
        Ref t = stats(m_minContext);
        unsigned fl = flags(m_minContext) | 0x08 * (symbol(t) >= 0x40);
        for (unsigned k = numStats(m_minContext); k > 0; --k) {
            t += kStateSize;
            fl |= 0x08 * (symbol(t) >= 0x40);
        }
        flags(m_minContext) = static_cast<std::uint8_t>(fl);
    }
    setSummFreq(m_minContext, sumFreq + escFreq - (escFreq >> 1));
    flags(m_minContext) |= 0x04;
    m_foundState = stats(m_minContext);
}

Ppmd8Model::See* Ppmd8Model::makeEscFreq(unsigned numMasked, std::uint32_t& escFreq) {
    const unsigned ns = numStats(m_minContext);
    if (ns == 0xFF) {
        escFreq = 1;
        return &m_dummySee;
    }
    See* see =
        &m_see[m_ns2Index[ns + 2] - 3u]
              [(summFreq(m_minContext) > 11 * (ns + 1)) +
               2 * (2 * ns < static_cast<unsigned>(numStats(suffix(m_minContext))) + numMasked) +
               flags(m_minContext)];
    const unsigned r = see->summ >> see->shift;
    see->summ = static_cast<std::uint16_t>(see->summ - r);
    escFreq = r + (r == 0);
    return see;
}

void Ppmd8Model::nextContext() {
    const Ref c = successor(m_foundState);
    if (m_orderFall == 0 && c >= m_unitsStart) {
        m_minContext = m_maxContext = c;
    } else {
        updateModel();
        m_minContext = m_maxContext;
    }
}

[[gnu::always_inline]] inline void Ppmd8Model::update1() {
    Ref s = m_foundState;
    freq(s) = static_cast<std::uint8_t>(freq(s) + 4);
    setSummFreq(m_minContext, summFreq(m_minContext) + 4u);
    if (freq(s) > freq(s - kStateSize)) {
        swapStates(s, s - kStateSize);
        m_foundState = s -= kStateSize;
        if (freq(s) > kMaxFreq) rescale();
    }
    nextContext();
}

[[gnu::always_inline]] inline void Ppmd8Model::update1First() {
    m_prevSuccess = 2u * freq(m_foundState) >= summFreq(m_minContext);
    m_runLength += static_cast<std::int32_t>(m_prevSuccess);
    setSummFreq(m_minContext, summFreq(m_minContext) + 4u);
    freq(m_foundState) = static_cast<std::uint8_t>(freq(m_foundState) + 4);
    if (freq(m_foundState) > kMaxFreq) rescale();
    nextContext();
}

[[gnu::always_inline]] inline void Ppmd8Model::updateBin() {
    freq(m_foundState) = static_cast<std::uint8_t>(freq(m_foundState) + (freq(m_foundState) < 196));
    m_prevSuccess = 1;
    ++m_runLength;
    nextContext();
}

void Ppmd8Model::update2() {
    setSummFreq(m_minContext, summFreq(m_minContext) + 4u);
    freq(m_foundState) = static_cast<std::uint8_t>(freq(m_foundState) + 4);
    if (freq(m_foundState) > kMaxFreq) rescale();
    m_runLength = m_initRL;
    updateModel();
    m_minContext = m_maxContext;
}

[[gnu::always_inline]] inline std::uint16_t& Ppmd8Model::binSumm() {
    const unsigned f = std::max<unsigned>(freq(oneState(m_minContext)), 1);
    const unsigned col = m_ns2BSIndex[numStats(suffix(m_minContext))] + m_prevSuccess +
                         flags(m_minContext) + ((m_runLength >> 26) & 0x20);
    return m_binSumm[m_ns2Index[f - 1]][col & 63];
}

// ---------------------------------------------------------------- decoding

bool Ppmd8Model::startDecoding(InputBuffer& in) {
    m_low = 0;
    m_range = 0xFFFFFFFF;
    m_code = 0;
    for (int i = 0; i < 4; ++i) m_code = (m_code << 8) | in.byte();
    return m_code < 0xFFFFFFFF;
}

[[gnu::always_inline]] inline void Ppmd8Model::decodeRange(InputBuffer& in, std::uint32_t start,
                                                           std::uint32_t size) {
    start *= m_range;
    m_low += start;
    m_code -= start;
    m_range *= size;
    // Carry-less normalisation: shift out a byte while the top byte of the interval is
    // settled, or force the range down to the next 2^15 boundary when it got too small.
    for (;;) {
        if ((m_low ^ (m_low + m_range)) >= kTop) {
            if (m_range >= kBot) break;
            m_range = (0 - m_low) & (kBot - 1);
        }
        m_code = (m_code << 8) | in.byte();
        m_range <<= 8;
        m_low <<= 8;
    }
}

void Ppmd8Model::newMask() {
    m_charMask.fill(0xFF);
}

[[gnu::always_inline]] inline int Ppmd8Model::decodeSymbol(InputBuffer& in) {
    if (numStats(m_minContext) != 0) {
        Ref s = stats(m_minContext);
        const std::uint32_t count = threshold(summFreq(m_minContext));
        std::uint32_t hiCnt = freq(s);
        if (count < hiCnt) {
            prefetch(successor(s));
            decodeRange(in, 0, freq(s));
            m_foundState = s;
            const int sym = symbol(s);
            update1First();
            return sym;
        }
        m_prevSuccess = 0;
        for (unsigned i = numStats(m_minContext); i > 0; --i) {
            s += kStateSize;
            hiCnt += freq(s);
            if (hiCnt > count) {
                prefetch(successor(s));
                decodeRange(in, hiCnt - freq(s), freq(s));
                m_foundState = s;
                const int sym = symbol(s);
                update1();
                return sym;
            }
        }
        if (count >= summFreq(m_minContext)) return kDataError;
        decodeRange(in, hiCnt, summFreq(m_minContext) - hiCnt);
        newMask();
        for (Ref t = stats(m_minContext); t <= s; t += kStateSize) m_charMask[symbol(t)] = 0;
    } else {
        std::uint16_t& prob = binSumm();
        m_range >>= 14;
        if (m_range == 0) return kDataError;
        // code / range < prob, without the division: range < 2^18 and prob < 2^14.
        if (m_code < prob * m_range) {
            prefetch(successor(oneState(m_minContext)));
            decodeRange(in, 0, prob);
            prob = static_cast<std::uint16_t>(prob + (1u << kIntBits) - probMean(prob));
            m_foundState = oneState(m_minContext);
            const int sym = symbol(m_foundState);
            updateBin();
            return sym;
        }
        decodeRange(in, prob, kBinScale - prob);
        prob = static_cast<std::uint16_t>(prob - probMean(prob));
        m_initEsc = kExpEscape[prob >> 10];
        newMask();
        m_charMask[symbol(oneState(m_minContext))] = 0;
        m_prevSuccess = 0;
    }

    return decodeEscaped(in);
}

[[gnu::noinline]] int Ppmd8Model::decodeEscaped(InputBuffer& in) {
    for (;;) {
        const unsigned numMasked = numStats(m_minContext);
        do {
            ++m_orderFall;
            if (suffix(m_minContext) == 0) return kEndMark;
            m_minContext = suffix(m_minContext);
        } while (numStats(m_minContext) == numMasked);

        // The frequencies of the symbols not yet excluded; a masked symbol's is and-ed away, so
        // the loop has no branch that depends on the mask.
        const std::uint8_t* mask = m_charMask.data();
        const Ref first = stats(m_minContext);
        const unsigned total = numStats(m_minContext) + 1u;
        const Ref end = first + total * kStateSize;
        UnmaskedSums sums;
        sumUnmasked(m_mem + first, total, mask, sums);
        const std::uint32_t hiCnt = sums.total;

        std::uint32_t freqSum;
        See* see = makeEscFreq(numMasked, freqSum);
        freqSum += hiCnt;
        const std::uint32_t count = threshold(freqSum);
        if (count < hiCnt) {
            // The sum passes count within the list, at an unmasked symbol.
            std::uint32_t hi;
            const Ref s =
                static_cast<Ref>(findUnmasked(m_mem + first, mask, sums, count, hi) - m_mem);
            prefetch(successor(s));
            decodeRange(in, hi - freq(s), freq(s));
            if (see->shift < kPeriodBits && --see->count == 0) {
                see->summ = static_cast<std::uint16_t>(see->summ << 1);
                see->count = static_cast<std::uint8_t>(3u << see->shift++);
            }
            m_foundState = s;
            const int sym = symbol(s);
            update2();
            return sym;
        }
        if (count >= freqSum) return kDataError;
        decodeRange(in, hiCnt, freqSum - hiCnt);
        see->summ = static_cast<std::uint16_t>(see->summ + freqSum);
        for (const std::uint8_t* p = m_mem + first; p != m_mem + end; p += kStateSize)
            m_charMask[p[0]] = 0;
    }
}

std::size_t Ppmd8Model::decode(InputBuffer& in, std::span<std::uint8_t> out, Stop& stop) {
    // One loop for many symbols: the model's hot fields stay close, and the common symbol
    // (found in the first context) costs no call.
    stop = Stop::None;
    std::size_t n = 0;
    for (; n < out.size(); ++n) {
        const int sym = decodeSymbol(in);
        if (in.overrun()) {
            stop = Stop::Overrun;
            break;
        }
        if (sym < 0) {
            stop = sym == kEndMark ? Stop::EndMark : Stop::DataError;
            break;
        }
        out[n] = static_cast<std::uint8_t>(sym);
    }
    return n;
}

}  // namespace archive
