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

}  // namespace
