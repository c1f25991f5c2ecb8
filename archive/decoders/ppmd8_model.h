// Ppmd8Model: the context model of PPMd var.I revision 1 (Dmitry Shkarin's "PPMd I", the model
// ZIP method 98 uses) together with its carry-less range decoder: one call decodes one byte.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "archive/decoders/input_buffer.h"
#include "host/platform.h"

namespace archive {

class Ppmd8Model {
  public:
    static constexpr unsigned kMinOrder = 2;
    static constexpr unsigned kMaxOrder = 16;
    enum class Restore { Restart = 0, CutOff = 1 };

    // memoryBytes is the model's whole arena (the parameter word's MiB count). When that much
    // memory cannot be had, ok() is false and nothing else may be called.
    Ppmd8Model(std::uint32_t memoryBytes, unsigned maxOrder, Restore restore);
    bool ok() const { return m_mem != nullptr; }

    // Reads the range coder's first four bytes; false when they cannot start a stream.
    bool startDecoding(InputBuffer& in);
    // Decodes up to out.size() bytes; fewer when the stream's end mark was decoded, the data is
    // corrupt or the input ran out (in.overrun()), which `stop` then tells.
    enum class Stop { None, EndMark, DataError, Overrun };
    std::size_t decode(InputBuffer& in, std::span<std::uint8_t> out, Stop& stop);

  private:
    // Offsets into the arena; 0 is "none" (the arena's first bytes are padding).
    using Ref = std::uint32_t;
    struct See {
        std::uint16_t summ = 0;
        std::uint8_t shift = 0;
        std::uint8_t count = 0;
    };
    struct StateValue {
        std::uint8_t symbol = 0;
        std::uint8_t freq = 0;
        Ref successor = 0;
    };

    // ---- arena fields. A context is 12 bytes: NumStats (symbols - 1), Flags, SummFreq (16),
    // Stats (32), Suffix (32); a context with one symbol keeps that state in place of SummFreq
    // and Stats. A state is 6 bytes: Symbol, Freq, Successor (32, unaligned). A free block
    // starts with Stamp (32), Next (32) and its size in units NU (32).
    std::uint8_t* at(Ref r) { return m_mem + r; }
    std::uint16_t get16(Ref r) const {
        std::uint16_t v;
        std::memcpy(&v, m_mem + r, 2);
        return v;
    }
    std::uint32_t get32(Ref r) const {
        std::uint32_t v;
        std::memcpy(&v, m_mem + r, 4);
        return v;
    }
    void set16(Ref r, std::uint32_t v) {
        const auto w = static_cast<std::uint16_t>(v);
        std::memcpy(m_mem + r, &w, 2);
    }
    void set32(Ref r, std::uint32_t v) { std::memcpy(m_mem + r, &v, 4); }

    std::uint8_t& numStats(Ref c) { return m_mem[c]; }
    std::uint8_t& flags(Ref c) { return m_mem[c + 1]; }
    std::uint16_t summFreq(Ref c) const { return get16(c + 2); }
    void setSummFreq(Ref c, std::uint32_t v) { set16(c + 2, v); }
    Ref stats(Ref c) const { return get32(c + 4); }
    void setStats(Ref c, Ref v) { set32(c + 4, v); }
    Ref suffix(Ref c) const { return get32(c + 8); }
    void setSuffix(Ref c, Ref v) { set32(c + 8, v); }
    static Ref oneState(Ref c) { return c + 2; }

    // The next context is usually not in the cache: ask for it while the range decoder works.
    void prefetch(Ref r) const {
#if defined(__GNUC__)
        __builtin_prefetch(m_mem + r);
#else
        (void)r;
#endif
    }
    std::uint8_t& symbol(Ref s) {
        return m_mem[s];
    }
    std::uint8_t& freq(Ref s) {
        return m_mem[s + 1];
    }
    Ref successor(Ref s) const {
        return get32(s + 2);
    }
    void setSuccessor(Ref s, Ref v) {
        set32(s + 2, v);
    }
    // The state of `sym` in the list that starts at `s`, which must hold it.
    Ref findState(Ref s, std::uint8_t sym) const {
        const std::uint8_t* p = m_mem + s;
        while (*p != sym) p += kStateSize;
        return static_cast<Ref>(p - m_mem);
    }
    StateValue loadState(Ref s) const {
        return {m_mem[s], m_mem[s + 1], get32(s + 2)};
    }
    void storeState(Ref s, const StateValue& v) {
        m_mem[s] = v.symbol;
        m_mem[s + 1] = v.freq;
        set32(s + 2, v.successor);
    }
    void copyState(Ref to, Ref from) {
        storeState(to, loadState(from));
    }
    void swapStates(Ref a, Ref b) {
        const StateValue t = loadState(a);
        copyState(a, b);
        storeState(b, t);
    }

    // ---- memory: units of 12 bytes, free lists per size index (PPMd's sub-allocator).
    static constexpr unsigned kUnitSize = 12;
    static constexpr unsigned kStateSize = 6;
    static constexpr unsigned kNumIndexes = 38;
    static constexpr std::uint32_t kEmptyNode = 0xFFFFFFFF;
    unsigned unitsToIndex(unsigned nu) const {
        return m_units2Index[nu - 1];
    }
    unsigned indexToUnits(unsigned i) const {
        return m_index2Units[i];
    }
    void insertNode(Ref node, unsigned index);
    Ref removeNode(unsigned index);
    void splitBlock(Ref ptr, unsigned oldIndex, unsigned newIndex);
    void glueFreeBlocks();
    Ref allocUnitsRare(unsigned index);
    Ref allocUnits(unsigned index);
    Ref shrinkUnits(Ref oldPtr, unsigned oldNU, unsigned newNU);
    void freeUnits(Ref ptr, unsigned nu) {
        insertNode(ptr, unitsToIndex(nu));
    }
    void specialFreeUnit(Ref ptr);
    Ref moveUnitsUp(Ref oldPtr, unsigned nu);
    void expandTextArea();
    std::uint32_t usedMemory() const;

    // ---- the model.
    void restartModel();
    void refresh(Ref ctx, unsigned oldNU, unsigned scale);
    Ref cutOff(Ref ctx, unsigned order);
    void restoreModel(Ref c1);
    Ref createSuccessors(bool skip, Ref s1, Ref c);
    Ref reduceOrder(Ref s1, Ref c);
    void updateModel();
    void rescale();
    See* makeEscFreq(unsigned numMasked, std::uint32_t& escFreq);
    void nextContext();
    void update1();
    void update1First();
    void updateBin();
    void update2();
    std::uint16_t& binSumm();

    // ---- decoding one symbol: the byte (0-255), kEndMark or kDataError.
    static constexpr int kEndMark = -1;
    static constexpr int kDataError = -2;
    int decodeSymbol(InputBuffer& in);
    // The rest of a symbol once the current context escaped: the shorter contexts in turn.
    int decodeEscaped(InputBuffer& in);

    // ---- range decoder (Subbotin's carry-less coder).
    std::uint32_t threshold(std::uint32_t total) {
        m_range /= total;
        return m_range == 0 ? 0xFFFFFFFF : m_code / m_range;
    }
    void decodeRange(InputBuffer& in, std::uint32_t start, std::uint32_t size);

    host::LargeMemory m_arena;
    std::uint8_t* m_mem = nullptr;  // m_arena's bytes
    std::uint32_t m_size;
    std::uint32_t m_alignOffset;
    unsigned m_maxOrder;
    Restore m_restore;

    Ref m_minContext = 0, m_maxContext = 0, m_foundState = 0;
    unsigned m_orderFall = 0, m_initEsc = 0, m_prevSuccess = 0;
    std::int32_t m_runLength = 0, m_initRL = 0;
    std::uint32_t m_glueCount = 0;
    Ref m_loUnit = 0, m_hiUnit = 0, m_text = 0, m_unitsStart = 0;

    std::uint32_t m_range = 0, m_code = 0, m_low = 0;

    std::array<std::uint8_t, kNumIndexes> m_index2Units{};
    std::array<std::uint8_t, 128> m_units2Index{};
    std::array<Ref, kNumIndexes> m_freeList{};
    std::array<std::uint32_t, kNumIndexes> m_stamps{};
    std::array<std::uint8_t, 256> m_ns2BSIndex{};
    std::array<std::uint8_t, 260> m_ns2Index{};
    See m_dummySee;
    std::array<std::array<See, 32>, 24> m_see{};
    std::array<std::array<std::uint16_t, 64>, 25> m_binSumm{};

    // Symbols already excluded while escaping to shorter contexts: 0 for an excluded symbol,
    // 0xFF for one still possible, so that a frequency and-ed with it counts only when possible.
    std::array<std::uint8_t, 256> m_charMask{};
    void newMask();
};

}  // namespace archive
