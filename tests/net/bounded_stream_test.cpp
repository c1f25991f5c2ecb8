// The package download of a signed release takes no byte beyond the signed size, whether the
// server announces a longer body (SetSize from Content-Length) or just sends it (chunked).
#include "net/bounded_stream.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(BoundedStream, TakesUpToTheLimitAndRefusesBeyondIt) {
    const std::vector<std::byte> four(4, std::byte{'x'});
    const struct {
        const char* name;
        std::int64_t claim;  // -1: no SetSize
        int writes;          // of four bytes each
        bool exceeded;
        std::int64_t kept;
    } cases[] = {
        {"exactly the limit, announced", 8, 2, false, 8},
        {"exactly the limit, not announced", -1, 2, false, 8},
        {"announced one byte longer", 9, 0, true, 0},
        {"sent one write too many", -1, 3, true, 8},
    };
    for (const auto& c : cases) {
        net::MemoryStream inner;
        net::BoundedStream s(inner, 8);
        bool threw = false;
        try {
            if (c.claim >= 0) s.SetSize(c.claim);
            for (int i = 0; i < c.writes; ++i) s.Write(four);
        } catch (const net::EStreamError&) {
            threw = true;
        }
        EXPECT_EQ(threw, c.exceeded) << c.name;
        EXPECT_EQ(s.exceeded(), c.exceeded) << c.name;
        EXPECT_EQ(static_cast<std::int64_t>(inner.bytes().size()), c.kept) << c.name;
    }
}

}  // namespace
