#include "db/text_position.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "db/lexer.h"

namespace {

TEST(ColumnCounter, Examples) {
    const std::string t = "ab\r\ncd\re\n\xC3\xA8x\r";
    struct Case {
        std::size_t offset;
        int line, column;
    };
    const Case cases[] = {
        {0, 1, 1}, {2, 1, 3}, {3, 1, 4},  // the LF of CR LF stays on its line
        {4, 2, 1}, {6, 2, 3}, {7, 3, 1}, {9, 4, 1}, {11, 4, 2}, {12, 4, 3}, {13, 5, 1},
    };
    db::ColumnCounter columns(t);
    int line = 1;
    std::size_t lineStart = 0, from = 0;
    for (const Case& c : cases) {
        db::advanceLine(t, from, c.offset, line, lineStart);
        from = c.offset;
        const db::TextPos want{c.line, c.column};
        EXPECT_EQ(db::placeOf(t, c.offset), want) << c.offset;
        EXPECT_EQ(columns.at(c.offset, line, lineStart), want) << c.offset;
    }
}

// Increasing offsets, with repeats and long jumps, asked for by `at` and by `before` (the
// character before an offset, across a line break too), agree with the plain definition; so do
// the lexer's lines and line starts.
TEST(ColumnCounter, AgreesWithThePlainWalk) {
    const char* pieces[] = {"a", " ", "\r", "\n", "\r\n", "\xC3\xA8", "\xE2\x82\xAC", "xyz"};
    std::mt19937 rng(3);
    for (int round = 0; round < 500; ++round) {
        std::string t;
        const int n = static_cast<int>(rng() % 60);
        for (int i = 0; i < n; ++i) t += pieces[rng() % 8];
        auto lexemes = db::lexAll(t);
        ASSERT_TRUE(lexemes.ok());
        for (const db::Lexeme& lx : *lexemes)
            ASSERT_EQ((db::TextPos{lx.line, db::columnOf(t, lx.lineStart, lx.offset)}),
                      db::placeOf(t, lx.offset))
                << round << " @" << lx.offset;
        db::ColumnCounter columns(t);
        int line = 1;
        std::size_t lineStart = 0, from = 0, offset = 0;
        while (offset <= t.size()) {
            // Only offsets at character boundaries are asked for.
            if (offset == t.size() || (static_cast<unsigned char>(t[offset]) & 0xC0) != 0x80) {
                db::advanceLine(t, from, offset, line, lineStart);
                from = offset;
                const bool askBefore = offset > 0 && rng() % 2 == 0;
                db::TextPos got = askBefore ? columns.before(offset, line, lineStart)
                                            : columns.at(offset, line, lineStart);
                std::size_t place = offset;
                if (askBefore)  // the first byte of the character before
                    for (--place;
                         place > 0 && (static_cast<unsigned char>(t[place]) & 0xC0) == 0x80;)
                        --place;
                const db::TextPos want = db::placeOf(t, place);
                ASSERT_EQ(got.line, want.line) << round << " @" << offset << " " << askBefore;
                ASSERT_EQ(got.column, want.column) << round << " @" << offset << " " << askBefore;
            }
            offset += rng() % 7;
        }
    }
}

}  // namespace
