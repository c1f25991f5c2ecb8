#include "db/errors.h"

#include <gtest/gtest.h>

namespace {

TEST(EMyError, LineNumberOnlyFor1064) {
    struct Case {
        int code;
        const char* message;
        int line;
    };
    const Case cases[] = {
        {1064,
         "\r\n#42000You have an error in your SQL syntax; check the manual that corresponds to "
         "your MariaDB server version for the right syntax to use near '' at line 1",
         1},
        {1064, "... near 'x' at line 27", 27},
        {1064, "no number at the end", 0},
        {1064, "", 0},
        {1064, "absurdly long 12345678901234567890", 0},
        {1146, "\r\n#42S02Table 'x.y' doesn't exist at line 3", 0},
    };
    for (const Case& c : cases) {
        db::EMyError e(c.code, c.message);
        EXPECT_EQ(e.LineNumber(), c.line) << c.message;
        EXPECT_EQ(e.ErrorCode(), c.code);
        EXPECT_STREQ(e.what(), c.message);
    }
}

TEST(EMyError, FatalCodesAndClass) {
    for (int code : {1053, 2003, 2006, 2013})
        EXPECT_TRUE(db::EMyError(code, "x").IsFatalError()) << code;
    for (int code : {0, 1045, 1049, 1064, 1146, 2002, 2005, 2014})
        EXPECT_FALSE(db::EMyError(code, "x").IsFatalError()) << code;
    try {
        throw db::EMyError(1049, "\r\n#42000Unknown database 'x'");
    } catch (const db::EDatabaseError& e) {
        EXPECT_STREQ(e.className(), "EMyError");
    }
}

TEST(EDatabaseError, ComponentForm) {
    EXPECT_EQ(db::componentMessage("qryDitte", "Field 'x' not found"),
              "qryDitte: Field 'x' not found");
    EXPECT_EQ(db::componentMessage("", "Macro x not found"), "Macro x not found");
    EXPECT_THROW(db::raiseDatabaseError("q", "t"), db::EDatabaseError);
}

// The SQL state and the message of what the session records: the client table's text, CR LF,
// then "#" and the state before the server's message under protocol 4.1.
TEST(ErrorMessageParts, StateAndOneLineText) {
    struct Case {
        const char* message;
        const char* state;
        const char* text;
    };
    const Case cases[] = {
        {"\r\n#42S02Table 'osf0101.x' doesn't exist", "42S02", "Table 'osf0101.x' doesn't exist"},
        {"\r\n#HY000Lost\r\nline", "HY000", "Lost line"},
        // A pre-4.1 server sends no state; the text after CR LF is all message.
        {"\r\nUnknown table 'x'", "", "Unknown table 'x'"},
        {"\r\n#42s02lower case is not a state", "", "#42s02lower case is not a state"},
        {"\r\n#4200", "", "#4200"},
        {"Lost connection to MySQL server during query", "",
         "Lost connection to MySQL server during query"},
        {"Can't connect to MySQL server on 'h' (111)\r\n#HY000x", "HY000",
         "Can't connect to MySQL server on 'h' (111) x"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(db::SqlStateOf(c.message), c.state) << c.message;
        EXPECT_EQ(db::MessageText(c.message), c.text) << c.message;
    }
}

}  // namespace
