#include "db/script_reader.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using db::StatementKind;
constexpr StatementKind O = StatementKind::Ordinary;
constexpr StatementKind D = StatementKind::Delimiter;
constexpr StatementKind R = StatementKind::Routine;

struct Expected {
    std::string text;
    bool omit = false;
    StatementKind kind = O;
    bool operator==(const Expected&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Expected& e) {
    return os << "{" << (e.omit ? "omit " : "") << db::statementKindName(e.kind) << " [" << e.text
              << "]}";
}

std::vector<Expected> split(std::string_view text, std::string_view delimiter = ";") {
    auto r = db::splitStatements(text, delimiter);
    EXPECT_TRUE(r.ok()) << (r.ok() ? "" : r.error().message);
    std::vector<Expected> out;
    if (r)
        for (const auto& st : *r) out.push_back({std::string(st.text), st.omit, st.kind});
    return out;
}

struct Case {
    const char* name;
    std::string script;
    std::vector<Expected> expected;
};

void check(const std::vector<Case>& cases) {
    for (const Case& c : cases) EXPECT_EQ(split(c.script), c.expected) << c.name;
}

TEST(StatementReader, OrdinaryStatements) {
    check({
        {"three, the last without delimiter", "A;\r\nB;\r\nC", {{"A"}, {"B"}, {"C"}}},
        {"trailing blanks make no statement", "A;\r\n\r\n  \t", {{"A"}}},
        {"empty script", "", {}},
        {"only blanks and delimiters", " ;;\r\n; ", {}},
        {"two delimiters in a row", "A;;B", {{"A"}, {"B"}}},
        {"blank before the delimiter stays in the text", "SELECT 1 ;", {{"SELECT 1 "}}},
        {"semicolon in quotes",
         "SELECT ';', \";\", `;` FROM t; X",
         {{"SELECT ';', \";\", `;` FROM t"}, {"X"}}},
        {"escaped quote keeps the string open",
         R"(SELECT 'a\';b'; X)",
         {{R"(SELECT 'a\';b')"}, {"X"}}},
        {"semicolon in comments",
         "SELECT 1 /* ; */ # ;\r\n-- ;\r\n, 2; X",
         {{"SELECT 1 /* ; */ # ;\r\n-- ;\r\n, 2"}, {"X"}}},
        {"comment before belongs to the statement",
         "A;\r\n-- note\r\nB;",
         {{"A"}, {"-- note\r\nB"}}},
        {"bare -- line is a comment", "--\r\nSELECT 1;", {{"--\r\nSELECT 1"}}},
        {"comment after the last delimiter is a statement",
         "A;\r\n/* end */",
         {{"A"}, {"/* end */"}}},
        {"unterminated string hides every delimiter", "A; 'x; B; C", {{"A"}, {"'x; B; C"}}},
    });
}

TEST(StatementReader, DelimiterCommands) {
    const std::string trigger =
        "CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW\r\nBEGIN\r\n  SET @a = 1;\r\n  SET @b "
        "= 2;\r\nEND";
    check({
        {"dollar dollar around a trigger",
         "DELIMITER $$\r\n" + trigger + "$$\r\nDELIMITER ;\r\nSELECT 1;",
         {{"DELIMITER $$", true, D}, {trigger}, {"DELIMITER ;", true, D}, {"SELECT 1"}}},
        {"blank between the two halves",
         "DELIMITER $$\r\nA $ $ B $$",
         {{"DELIMITER $$", true, D}, {"A "}, {"B "}}},
        {"double slash",
         "DELIMITER //\r\nA; B//\r\nC//",
         {{"DELIMITER //", true, D}, {"A; B"}, {"C"}}},
        {"mariadb-dump's ;;",
         "DELIMITER ;;\r\nCREATE TRIGGER t BEGIN x; y; END */;;\r\nDELIMITER ;\r\nZ;",
         {{"DELIMITER ;;", true, D},
          {"CREATE TRIGGER t BEGIN x; y; END */"},
          {"DELIMITER ;", true, D},
          {"Z"}}},
        {"setting the delimiter in force again",
         "DELIMITER $$\r\nDELIMITER $$\r\nA;B$$",
         {{"DELIMITER $$", true, D}, {"DELIMITER $$", true, D}, {"A;B"}}},
        {"word delimiter",
         "DELIMITER GO\r\nA; B GO C",
         {{"DELIMITER GO", true, D}, {"A; B "}, {"C"}}},
        {"three-character delimiter",
         "DELIMITER $$$\r\nA;$$ $$$B",
         {{"DELIMITER $$$", true, D}, {"A;$$ "}, {"B"}}},
        {"a longer delimiter must be written without gaps",
         "DELIMITER $$$\r\nA$ $$ $$$",
         {{"DELIMITER $$$", true, D}, {"A$ $$ "}}},
        {"lower case and comments first",
         "/* c */ delimiter $$\r\nA$$",
         {{"/* c */ delimiter $$", true, D}, {"A"}}},
        {"nothing after it leaves the delimiter",
         "DELIMITER\r\nA;B",
         {{"DELIMITER", true, D}, {"A"}, {"B"}}},
        {"nothing after it at the end", "A;DELIMITER", {{"A"}, {"DELIMITER", true, D}}},
        {"directly followed by its value",
         "DELIMITER$$\r\nA;B$$",
         {{"DELIMITER$$", true, D}, {"A;B"}}},
        {"value ends at the first blank",
         "DELIMITER $$ x\r\nA$$",
         {{"DELIMITER $$", true, D}, {"x\r\nA"}}},
        {"only the first word is a command",
         "SELECT delimiter FROM t; DECLARE delimiter INT; X",
         {{"SELECT delimiter FROM t"}, {"DECLARE delimiter INT"}, {"X"}}},
        {"a quoted delimiter is no delimiter",
         "DELIMITER $$\r\nSELECT '$$'$$",
         {{"DELIMITER $$", true, D}, {"SELECT '$$'"}}},
        {"two DELIMITER lines in a row",
         "DELIMITER ;;\r\nDELIMITER ;\r\nA;B",
         {{"DELIMITER ;;", true, D}, {"DELIMITER ;", true, D}, {"A"}, {"B"}}},
    });
}

// The shapes mariadb-dump writes for triggers (inside versioned comments) and routines.
TEST(StatementReader, DumpShapes) {
    const std::string trigger =
        "/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`localhost`*/ /*!50003 TRIGGER `tri_TADIMA00` "
        "BEFORE INSERT ON `t` FOR EACH ROW BEGIN\n  SET NEW.a = ';;';\nEND */";
    const std::string procedure =
        "CREATE DEFINER=`root`@`localhost` PROCEDURE `p`(IN x INT)\nBEGIN\n  SELECT x;\n  "
        "SELECT 2;\nEND ";
    check({
        {"trigger",
         "/*!50003 SET @saved_cs_client = @@character_set_client */ ;\n"
         "DELIMITER ;;\n" +
             trigger +
             ";;\nDELIMITER ;\n"
             "/*!50003 SET sql_mode = @saved_sql_mode */ ;\n",
         {{"/*!50003 SET @saved_cs_client = @@character_set_client */ "},
          {"DELIMITER ;;", true, D},
          {trigger},
          {"DELIMITER ;", true, D},
          {"/*!50003 SET sql_mode = @saved_sql_mode */ "}}},
        {"procedure",
         "DELIMITER ;;\n" + procedure + ";;\nDELIMITER ;\nSELECT 3;",
         {{"DELIMITER ;;", true, D}, {procedure}, {"DELIMITER ;", true, D}, {"SELECT 3"}}},
    });
}

TEST(StatementReader, RoutinesUnderTheDefaultDelimiter) {
    check({
        {"procedure ends at a slash line",
         "CREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END\r\n/\r\nSELECT 3;",
         {{"CREATE PROCEDURE p() BEGIN SELECT 1; SELECT 2; END\r\n", false, R}, {"SELECT 3"}}},
        {"function ends at the end of the script",
         "create function f() returns int begin return 1; end;",
         {{"create function f() returns int begin return 1; end;", false, R}}},
        {"trigger, slash followed by blanks then break",
         "CREATE TRIGGER t x; y\r\n/  \r\nZ",
         {{"CREATE TRIGGER t x; y\r\n", false, R}, {"Z"}}},
        {"slash not first on its line",
         "CREATE PROCEDURE p() x; / \r\nZ",
         {{"CREATE PROCEDURE p() x; / \r\nZ", false, R}}},
        {"slash followed by more text",
         "CREATE PROCEDURE p() x;\r\n/ y\r\n/",
         {{"CREATE PROCEDURE p() x;\r\n/ y\r\n", false, R}}},
        {"slash line also ends an ordinary statement",
         "SELECT 1\r\n/\r\nSELECT 2",
         {{"SELECT 1\r\n"}, {"SELECT 2"}}},
        {"slash line at the very end", "SELECT 1\r\n/", {{"SELECT 1\r\n"}}},
        {"definer between CREATE and PROCEDURE is ordinary",
         "CREATE DEFINER=x PROCEDURE p() SELECT 1; X",
         {{"CREATE DEFINER=x PROCEDURE p() SELECT 1"}, {"X"}}},
        {"comment between CREATE and PROCEDURE",
         "CREATE /* c */ PROCEDURE p() a; b",
         {{"CREATE /* c */ PROCEDURE p() a; b", false, R}}},
        {"routine kind only under ;",
         "DELIMITER $$\r\nCREATE PROCEDURE p() a; b$$",
         {{"DELIMITER $$", true, D}, {"CREATE PROCEDURE p() a; b"}}},
    });
}

TEST(StatementReader, DefaultDelimiterOtherThanSemicolon) {
    EXPECT_EQ(split("A;B//C", "//"), (std::vector<Expected>{{"A;B"}, {"C"}}));
    EXPECT_EQ(split("A GO B", "GO"), (std::vector<Expected>{{"A "}, {"B"}}));
}

TEST(StatementReader, PlacesAreOneBasedLinesAndCharacterColumns) {
    const std::string script = "A;\r\n  SELECT 'caff\xC3\xA8'\r\n, 2;\nX\r\r\xC3\xA8 Y";
    auto r = db::splitStatements(script, ";");
    ASSERT_TRUE(r.ok());
    struct Place {
        int sl, sc, el, ec;
        bool operator==(const Place&) const = default;
    };
    std::vector<Place> got;
    for (const auto& st : *r)
        got.push_back({st.start.line, st.start.column, st.end.line, st.end.column});
    const std::vector<Place> expected = {{1, 1, 1, 1}, {2, 3, 3, 3}, {4, 1, 6, 3}};
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].sl, expected[i].sl) << i;
        EXPECT_EQ(got[i].sc, expected[i].sc) << i;
        EXPECT_EQ(got[i].el, expected[i].el) << i;
        EXPECT_EQ(got[i].ec, expected[i].ec) << i;
    }
}

TEST(StatementReader, FormFeedFailsTheParse) {
    auto r = db::splitStatements("SELECT 1;\r\nSELECT\f2;", ";");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "Parser: The unknown symbol '\f'  $000C");
    EXPECT_EQ(r.error().line, 2);
    // Inside quotes or a comment it is text like any other.
    EXPECT_EQ(split("SELECT '\f'; /*\f*/"), (std::vector<Expected>{{"SELECT '\f'"}, {"/*\f*/"}}));
}

TEST(StatementReader, ReaderGivesStatementsOneAtATime) {
    db::StatementReader reader("DELIMITER $$\r\nA$$\r\nB\f", ";");
    auto first = reader.next();
    ASSERT_TRUE(first.ok() && first->has_value());
    EXPECT_TRUE((*first)->omit);
    EXPECT_EQ(reader.currentDelimiter(), "$$");
    auto second = reader.next();
    ASSERT_TRUE(second.ok() && second->has_value());
    EXPECT_EQ((*second)->text, "A");
    EXPECT_FALSE(reader.next().ok());
}

// Over generated scripts: the reader ends, statements are ordered stretches of the script
// that never overlap, none is blank, each one's place is that of its first and last
// characters, and a script without delimiters, quotes, comments or
// slashes is one statement (its trimmed self).
TEST(StatementReader, GeneratedScripts) {
    const std::vector<std::string> pieces = {
        " ",      "\r\n", "\n",         ";",         ";",       "$",          "/",
        "/\r\n",  "'",    "\"",         "`",         "\\",      "/*",         "*/",
        "-- ",    "#",    "DELIMITER ", "DELIMITER", "create ", "PROCEDURE ", "TRIGGER",
        "SELECT", "x",    "1",          ";;",        "$$",      "//",         "END"};
    std::mt19937 rng(7);
    const std::vector<std::string> extra = {"\r", "caff\xC3\xA8", "'\r\n'", "/*\n*/"};
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int n = 1 + static_cast<int>(rng() % 30);
        for (int i = 0; i < n; ++i) {
            const std::size_t k = rng() % (pieces.size() + extra.size());
            text += k < pieces.size() ? pieces[k] : extra[k - pieces.size()];
        }
        auto r = db::splitStatements(text, ";");
        ASSERT_TRUE(r.ok()) << text;
        std::size_t after = 0;
        for (const auto& st : *r) {
            ASSERT_GE(st.offset, after) << text;
            ASSERT_EQ(st.text, std::string_view(text).substr(st.offset, st.text.size())) << text;
            ASSERT_NE(st.text.find_first_not_of(" \r\n\t"), std::string_view::npos) << text;
            // Places: the first character and the last one (where it starts).
            const db::TextPos start = db::placeOf(text, st.offset);
            std::size_t last = st.offset + st.text.size() - 1;
            while (last > st.offset && (static_cast<unsigned char>(text[last]) & 0xC0) == 0x80)
                --last;
            const db::TextPos end = db::placeOf(text, last);
            ASSERT_EQ(st.start.line, start.line) << text;
            ASSERT_EQ(st.start.column, start.column) << text;
            ASSERT_EQ(st.end.line, end.line) << text;
            ASSERT_EQ(st.end.column, end.column) << text;
            after = st.offset + st.text.size();
        }
    }
    EXPECT_EQ(split("  SELECT x 1\r\n"), (std::vector<Expected>{{"SELECT x 1\r\n"}}));
}

}  // namespace
