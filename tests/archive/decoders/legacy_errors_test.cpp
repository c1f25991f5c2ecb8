// Exact messages for damaged shrink, reduce and implode data, built bit by bit.
#include <gtest/gtest.h>

#include "archive/decoders/implode.h"
#include "archive/decoders/reduce.h"
#include "archive/decoders/shrink.h"
#include "tests/archive/decoders/decode_helpers.h"

namespace {

using namespace testsupport;

// Values packed least significant bit first, as the three methods pack them.
class Bits {
  public:
    Bits& put(unsigned value, unsigned n) {
        for (unsigned i = 0; i < n; ++i, ++m_count) {
            if (m_count % 8 == 0) m_bytes += '\0';
            if ((value >> i) & 1)
                m_bytes.back() = static_cast<char>(m_bytes.back() | (1 << (m_count % 8)));
        }
        return *this;
    }
    Bits& repeat(unsigned value, unsigned n, unsigned times) {
        for (unsigned i = 0; i < times; ++i) put(value, n);
        return *this;
    }
    const std::string& bytes() const { return m_bytes; }

  private:
    std::string m_bytes;
    unsigned m_count = 0;
};

struct Case {
    const char* name;
    DecoderMaker make;
    std::uint16_t method;
    std::uint16_t flags;
    std::string data;
    const char* message;
};

// Reduce data whose follower sets are all empty except the one of byte 0 (listed last).
std::string reduceWithSetOfZero(unsigned count) {
    Bits b;
    b.repeat(0, 6, 255).put(count, 6).repeat('a', 8, count);
    return b.bytes();
}

TEST(LegacyErrors, DamagedDataFailsWithAClearMessage) {
    const DecoderMaker shrink = archive::makeShrinkDecoder, reduce = archive::makeReduceDecoder,
                       implode = archive::makeImplodeDecoder;
    Bits twoTrees;  // implode: length and distance trees of 64 six-bit codes each
    for (int t = 0; t < 2; ++t) twoTrees.put(3, 8).repeat(0xF5, 8, 4);
    const Case cases[] = {
        {"shrink: empty", shrink, 1, 0, "", "shrink: the compressed data ends early"},
        {"shrink: first code", shrink, 1, 0, Bits().put(300, 9).bytes(),
         "shrink: the first code is not a byte"},
        {"shrink: escape 3", shrink, 1, 0, Bits().put('a', 9).put(256, 9).put(3, 9).bytes(),
         "shrink: invalid escape code 3"},
        {"shrink: 14-bit codes", shrink, 1, 0,
         Bits()
             .put('a', 9)
             .put(256, 9)
             .put(1, 9)
             .put(256, 10)
             .put(1, 10)
             .put(256, 11)
             .put(1, 11)
             .put(256, 12)
             .put(1, 12)
             .put(256, 13)
             .put(1, 13)
             .bytes(),
         "shrink: the code size grows beyond 13 bits"},
        {"shrink: unknown code", shrink, 1, 0, Bits().put('a', 9).put(300, 9).bytes(),
         "shrink: code 300 is not in the table"},
        {"reduce: set of 33", reduce, 2, 0, Bits().put(33, 6).bytes(),
         "reduce: follower set of byte 255 has 33 entries"},
        {"reduce: index past the set", reduce, 2, 0,
         reduceWithSetOfZero(3) + Bits().put(0, 1).put(3, 2).bytes(),
         "reduce: a follower index lies past the end of its set"},
        {"reduce: cut in the sets", reduce, 5, 0, Bits().repeat(0, 6, 100).bytes(),
         "reduce: the compressed data ends early"},
        {"implode: tree too long", implode, 6, 0, Bits().put(4, 8).repeat(0xF5, 8, 5).bytes(),
         "implode: the length tree describes more than 64 values"},
        {"implode: tree too short", implode, 6, 0, Bits().put(2, 8).repeat(0xF5, 8, 3).bytes(),
         "implode: the length tree describes 48 of 64 values"},
        {"implode: no literal tree", implode, 6, 4, Bits().put(0, 8).put(0xF7, 8).bytes(),
         "implode: the literal tree describes 16 of 256 values"},
        {"implode: cut after the trees", implode, 6, 0, twoTrees.bytes(),
         "implode: the compressed data ends early"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        archive::DecoderParams p;
        p.method = c.method;
        p.flags = c.flags;
        p.uncompressedSize = 100;
        auto out = decodeAll(c.make, p, c.data);
        ASSERT_TRUE(out.error);
        EXPECT_EQ(*out.error, c.message);
    }
}

}  // namespace
