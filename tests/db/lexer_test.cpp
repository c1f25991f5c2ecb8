#include "db/lexer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "db/keywords.h"

namespace {

using db::LexemeKind;
using K = LexemeKind;

struct Piece {
    K kind;
    std::string text;
    bool operator==(const Piece&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Piece& p) {
    return os << db::lexemeKindName(p.kind) << "[" << p.text << "]";
}

std::vector<Piece> lexPieces(std::string_view text) {
    auto r = db::lexAll(text);
    EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().message);
    std::vector<Piece> out;
    if (r)
        for (const auto& lx : *r) out.push_back({lx.kind, std::string(lx.text)});
    return out;
}

TEST(Lexer, RulesInOrder) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<Piece> expected;
    };
    const std::vector<Case> cases = {
        {"empty", "", {}},
        {"blank run of all four", " \t\r\n x", {{K::Blank, " \t\r\n "}, {K::Identifier, "x"}}},
        {"hash comment to line end",
         "a#c;d\nb",
         {{K::Identifier, "a"}, {K::Comment, "#c;d"}, {K::Blank, "\n"}, {K::Identifier, "b"}}},
        {"dash comment with space",
         "-- x;\r\ny",
         {{K::Comment, "-- x;"}, {K::Blank, "\r\n"}, {K::Identifier, "y"}}},
        {"dash comment with tab", "--\tx", {{K::Comment, "--\tx"}}},
        {"bare dash dash before LF",
         "--\nx",
         {{K::Comment, "--"}, {K::Blank, "\n"}, {K::Identifier, "x"}}},
        {"bare dash dash before CR", "--\r", {{K::Comment, "--"}, {K::Blank, "\r"}}},
        {"dash dash at the end", "a--", {{K::Identifier, "a"}, {K::Comment, "--"}}},
        {"minus minus one is no comment",
         "5--1",
         {{K::Number, "5"}, {K::Symbol, "-"}, {K::Symbol, "-"}, {K::Number, "1"}}},
        {"block comment",
         "a/* ; \n */b",
         {{K::Identifier, "a"}, {K::Comment, "/* ; \n */"}, {K::Identifier, "b"}}},
        {"block comments do not nest",
         "/* /* */ */",
         {{K::Comment, "/* /* */"}, {K::Blank, " "}, {K::Symbol, "*"}, {K::Symbol, "/"}}},
        {"unterminated block comment", "/* open ;", {{K::Comment, "/* open ;"}}},
        {"slash star star slash", "/**/", {{K::Comment, "/**/"}}},
        {"slash alone", "/*", {{K::Comment, "/*"}}},
        {"single quoted with escapes",
         R"('a\'b;' x)",
         {{K::String, R"('a\'b;')"}, {K::Blank, " "}, {K::Identifier, "x"}}},
        {"double quoted", "\"a'b\"", {{K::String, "\"a'b\""}}},
        {"doubled quote is two strings", "'a''b'", {{K::String, "'a'"}, {K::String, "'b'"}}},
        {"backslash before line break", "'a\\\nb'", {{K::String, "'a\\\nb'"}}},
        {"unterminated string hides the rest", "'abc; &x -- y", {{K::String, "'abc; &x -- y"}}},
        {"string ending in a lone backslash", "'ab\\", {{K::String, "'ab\\"}}},
        {"backquoted identifier", "`a;b``c`", {{K::Identifier, "`a;b`"}, {K::Identifier, "`c`"}}},
        {"multi-character operators are single symbols",
         "<=$$//",
         {{K::Symbol, "<"},
          {K::Symbol, "="},
          {K::Symbol, "$"},
          {K::Symbol, "$"},
          {K::Symbol, "/"},
          {K::Symbol, "/"}}},
        {"identifiers take digits, underscore and high codes",
         "_a1 caff\xC3\xA8 \xE4\xB8\xAD",
         {{K::Identifier, "_a1"},
          {K::Blank, " "},
          {K::Identifier, "caff\xC3\xA8"},
          {K::Blank, " "},
          {K::Identifier, "\xE4\xB8\xAD"}}},
        {"dollar and hash end an identifier",
         "a$b#c",
         {{K::Identifier, "a"}, {K::Symbol, "$"}, {K::Identifier, "b"}, {K::Comment, "#c"}}},
        {"keywords keep their case",
         "select From",
         {{K::Keyword, "select"}, {K::Blank, " "}, {K::Keyword, "From"}}},
        {"decimal number", "3.14", {{K::Number, "3.14"}}},
        {"dot without digit after",
         "3.x",
         {{K::Number, "3"}, {K::Symbol, "."}, {K::Identifier, "x"}}},
        {"leading dot", ".5", {{K::Symbol, "."}, {K::Number, "5"}}},
        {"exponent is an identifier", "1e5", {{K::Number, "1"}, {K::Identifier, "e5"}}},
        {"second dot", "1.2.3", {{K::Number, "1.2"}, {K::Symbol, "."}, {K::Number, "3"}}},
        {"ampersand before name",
         "&DatabaseName",
         {{K::Symbol, "&"}, {K::Identifier, "DatabaseName"}}},
    };
    for (const Case& c : cases) EXPECT_EQ(lexPieces(c.input), c.expected) << c.name;
}

TEST(Lexer, KeywordCodesOfTheStatementReader) {
    auto r = db::lexAll("Create delimiter PROCEDURE function Trigger notaword");
    ASSERT_TRUE(r.ok());
    const db::KeywordCodes& kw = db::scriptKeywords();
    std::vector<int> codes;
    for (const auto& lx : *r)
        if (lx.kind != K::Blank) codes.push_back(lx.keyword);
    EXPECT_EQ(codes, (std::vector<int>{kw.create, kw.delimiter, kw.procedure, kw.function,
                                       kw.trigger, 0}));
    for (int c : codes) EXPECT_GE(c, 0);
    EXPECT_NE(kw.create, 0);
    EXPECT_NE(kw.delimiter, 0);
}

TEST(Keywords, EveryTableWordIsFoundInAnyCaseAndOnlyOnce) {
    for (int code = 1; code <= db::keywordCount(); ++code) {
        const std::string word(db::keywordText(code));
        std::string lower;
        for (char c : word) lower += (c >= 'A' && c <= 'Z') ? char(c + 32) : c;
        EXPECT_EQ(db::keywordCode(word), code) << word << " is listed twice or not found";
        EXPECT_EQ(db::keywordCode(lower), code) << lower;
    }
    EXPECT_GT(db::keywordCount(), 600);
    for (const char* notKeyword : {"", "librerie", "SELECTX", "SELEC", "nome", "_versione"})
        EXPECT_EQ(db::keywordCode(notKeyword), 0) << notKeyword;
}

TEST(Lexer, UnknownSymbolMessage) {
    struct Case {
        const char* name;
        std::string input;
        std::string message;
        int line, column;
    };
    const std::vector<Case> cases = {
        {"form feed", "SELECT\f1", "Parser: The unknown symbol '\f'  $000C", 1, 7},
        {"NUL", std::string("a\0b", 3), std::string("Parser: The unknown symbol '\0'  $0000", 37),
         1, 2},
        {"DEL", "x = \x7F", "Parser: The unknown symbol '\x7F'  $007F", 1, 5},
        {"escape on line three", "a\r\nb\n\xC3\xA8\x1B", "Parser: The unknown symbol '\x1B'  $001B",
         3, 2},
        {"vertical tab after CR", "\r\x0B", "Parser: The unknown symbol '\x0B'  $000B", 2, 1},
    };
    for (const Case& c : cases) {
        auto r = db::lexAll(c.input);
        ASSERT_FALSE(r.ok()) << c.name;
        EXPECT_EQ(r.error().message, c.message) << c.name;
        EXPECT_EQ(r.error().line, c.line) << c.name;
        EXPECT_EQ(r.error().column, c.column) << c.name;
    }
}

TEST(Lexer, ControlCharactersInsideQuotesAndCommentsAreAccepted) {
    for (const char* text : {"'\f'", "/*\f*/", "#\f", "-- \f", "`\f`", "\"\x01\""}) {
        auto r = db::lexAll(text);
        ASSERT_TRUE(r.ok()) << text;
        EXPECT_EQ(r->size(), 1u) << text;
    }
}

TEST(Lexer, EndIsRepeatedAndFailureDoesNotAdvance) {
    db::TMyParser p("a\f");
    ASSERT_TRUE(p.next().ok());
    EXPECT_FALSE(p.next().ok());
    EXPECT_EQ(p.position(), 1u);
    EXPECT_FALSE(p.next().ok());

    db::TMyParser q("");
    for (int i = 0; i < 3; ++i) {
        auto r = q.next();
        ASSERT_TRUE(r.ok());
        EXPECT_EQ(r->kind, K::End);
        EXPECT_TRUE(r->text.empty());
    }
}

// CR, LF and CR LF are one line break each, wherever they stand: in blanks, strings,
// backquoted names and block comments.
TEST(Lexer, LineCounting) {
    struct Case {
        const char* name;
        std::string input;
        std::vector<int> linesOfSignificant;  // start line of each non-blank lexeme
        int finalLine;
    };
    const std::vector<Case> cases = {
        {"LF", "a\nb\n\nc", {1, 2, 4}, 4},
        {"CR", "a\rb\r\rc", {1, 2, 4}, 4},
        {"CR LF", "a\r\nb\r\n\r\nc", {1, 2, 4}, 4},
        {"LF CR is two breaks", "a\n\rb", {1, 3}, 3},
        {"mixed", "a\r\n\rb\nc", {1, 3, 4}, 4},
        {"inside a string", "'x\r\ny\rz\n' b", {1, 4}, 4},
        {"inside a block comment", "/*\r\n\r\n*/b", {1, 3}, 3},
        {"inside a backquoted name", "`a\nb` c", {1, 2}, 2},
        {"line comment then break", "# x\r\ny", {1, 2}, 2},
        {"trailing break", "a\r\n", {1}, 2},
    };
    for (const Case& c : cases) {
        db::TMyParser p(c.input);
        std::vector<int> lines;
        for (;;) {
            auto r = p.next();
            ASSERT_TRUE(r.ok()) << c.name;
            if (r->kind == K::End) break;
            if (r->kind != K::Blank) lines.push_back(r->line);
        }
        EXPECT_EQ(lines, c.linesOfSignificant) << c.name;
        EXPECT_EQ(p.line(), c.finalLine) << c.name;
    }
}

TEST(Lexer, OffsetsAndTextsTileTheInput) {
    const std::string text = "SELECT `a`, 'b\\'', 1.5 /* c */ -- d\r\nFROM t # e\n";
    auto r = db::lexAll(text);
    ASSERT_TRUE(r.ok());
    std::size_t at = 0;
    for (const auto& lx : *r) {
        EXPECT_EQ(lx.offset, at);
        EXPECT_EQ(lx.text, std::string_view(text).substr(at, lx.text.size()));
        at += lx.text.size();
    }
    EXPECT_EQ(at, text.size());
}

// Joined lexemes give back any text the lexer accepts. Inputs are made of pieces chosen to
// meet at awkward places: quotes, escapes, comment openers and line breaks.
TEST(Lexer, RoundTripOverGeneratedInputs) {
    const std::vector<std::string> pieces = {
        " ",  "\t",  "\r", "\n",     "\r\n",      "'",  "\"",       "`",
        "\\", "/",   "*",  "/*",     "*/",        "-",  "--",       "-- ",
        "#",  ";",   "$",  "&",      ":",         "@",  ".",        "1",
        "23", "4.5", "a",  "Select", "DELIMITER", "_x", "\xC3\xA8", "\xE2\x82\xAC",
        "(",  ")",   ",",  "=",      "<",         ">",  "!",        "~",
        "{",  "}",   "|",  "^",      "?",         "[",  "]",        "+",
        "%",  "\f"};
    std::mt19937 rng(20240611);
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string text;
        const int n = 1 + static_cast<int>(rng() % 40);
        for (int i = 0; i < n; ++i) text += pieces[rng() % pieces.size()];
        auto r = db::lexAll(text);
        const bool hasFormFeed = text.find('\f') != std::string::npos;
        if (!r) {
            // Only a control character outside quotes and comments may fail the lexer.
            ASSERT_TRUE(hasFormFeed) << text;
            EXPECT_EQ(text[r.error().offset], '\f');
            continue;
        }
        ++accepted;
        std::string joined;
        for (const auto& lx : *r) {
            ASSERT_FALSE(lx.text.empty());
            joined += lx.text;
        }
        ASSERT_EQ(joined, text);
    }
    EXPECT_GT(accepted, 1000);
}

}  // namespace
