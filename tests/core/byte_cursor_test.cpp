#include "core/byte_cursor.h"

#include <gtest/gtest.h>

#include <string>

namespace {

core::ByteCursor cursorOf(const std::string& s) { return core::ByteCursor(s.data(), s.size()); }

TEST(ByteCursor, LittleEndianReads) {
    std::string b("\x01\x02\x03\x04\x05\x06\x07\x08\x09", 9);
    auto c = cursorOf(b);
    EXPECT_EQ(c.u8(), 0x01);
    EXPECT_EQ(c.u16le(), 0x0302);
    EXPECT_EQ(c.u32le(), 0x07060504u);
    EXPECT_EQ(c.remaining(), 2u);
    EXPECT_TRUE(c.ok());
}

TEST(ByteCursor, FailedReadDoesNotAdvanceAndIsSticky) {
    std::string b("\x01\x02\x03", 3);
    auto c = cursorOf(b);
    EXPECT_EQ(c.u16le(), 0x0201);
    EXPECT_EQ(c.u32le(), 0u);
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(c.offset(), 2u);
    EXPECT_EQ(c.error(), "short read at offset 2 (wanted 4 bytes, have 1)");
    EXPECT_EQ(c.u8(), 0);  // sticky: even a read that would fit fails now
    EXPECT_EQ(c.offset(), 2u);
}

TEST(ByteCursor, LengthCodedIntegers) {
    struct Case { std::string bytes; std::uint64_t value; bool ok; };
    const Case cases[] = {
        {std::string("\xFA", 1), 250, true},
        {std::string("\xFC\x34\x12", 3), 0x1234, true},
        {std::string("\xFD\x56\x34\x12", 4), 0x123456, true},
        {std::string("\xFE\x01\0\0\0\0\0\0\x80", 9), 0x8000000000000001ull, true},
        {std::string("\xFC\x34", 2), 0, false},  // truncated
        {std::string("\xFB", 1), 0, false},      // NULL marker is not an integer
    };
    for (const Case& k : cases) {
        auto c = cursorOf(k.bytes);
        EXPECT_EQ(c.lenencInt(), k.value);
        EXPECT_EQ(c.ok(), k.ok);
        if (!k.ok) {
            EXPECT_EQ(c.offset(), 0u);
        }
    }
}

TEST(ByteCursor, LengthCodedStringMustFit) {
    std::string good("\x03" "abcd", 5);
    auto c = cursorOf(good);
    EXPECT_EQ(c.lenencString(), "abc");
    std::string bad("\x05" "abc", 4);
    auto d = cursorOf(bad);
    EXPECT_EQ(d.lenencString(), "");
    EXPECT_FALSE(d.ok());
    EXPECT_EQ(d.offset(), 0u);
}

TEST(ByteCursor, ReadUntil) {
    std::string b("5.5.5\0rest", 10);
    auto c = cursorOf(b);
    EXPECT_EQ(c.readUntil(std::byte{0}), "5.5.5");
    EXPECT_EQ(c.readUntilOrEnd(std::byte{0}), "rest");
    EXPECT_TRUE(c.atEnd());
    std::string unterminated = "no terminator";  // must outlive the cursor
    auto d = cursorOf(unterminated);
    EXPECT_EQ(d.readUntil(std::byte{0}), "");
    EXPECT_FALSE(d.ok());
}

}  // namespace
