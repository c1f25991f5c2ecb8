#include "host/platform/large_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace {

// The PPMd arena relies on it: zero-filled, writable to the last byte, owned by one object.
TEST(LargeMemory, ZeroFilledWritableAndMovable) {
    for (std::size_t size : {std::size_t{2}, std::size_t{3} * 1024 * 1024 + 5}) {
        SCOPED_TRACE(size);
        host::LargeMemory block(size);
        ASSERT_NE(block.data(), nullptr);
        EXPECT_EQ(block.size(), size);
        EXPECT_TRUE(
            std::all_of(block.data(), block.data() + size, [](std::uint8_t b) { return b == 0; }));
        block.data()[0] = 1;
        block.data()[size - 1] = 2;
        host::LargeMemory moved(std::move(block));
        EXPECT_EQ(block.data(), nullptr);
        ASSERT_NE(moved.data(), nullptr);
        EXPECT_EQ(moved.data()[size - 1], 2);
        host::LargeMemory other(16);
        other = std::move(moved);
        EXPECT_EQ(other.data()[0], 1);
    }
}

}  // namespace
