#include "db/connection_charset.h"

#include <gtest/gtest.h>

#include <string>

#include "db/errors.h"

namespace {

const char* const kTail = ", which the connection's character set (latin1) cannot represent";

TEST(ConnectionText, ConvertsOrNamesTheCharacterAndItsPlace) {
    struct Case {
        const char* name;
        std::string utf8;
        std::string bytes;    // when it converts
        std::string refusal;  // otherwise: the message without its common tail
    };
    const Case cases[] = {
        {"ASCII", "SELECT 1", "SELECT 1", ""},
        {"Latin-1 and the Windows-1252 extras", "caff\xC3\xA8 \xE2\x82\xAC \xC5\xA0",
         "caff\xE8 \x80 \x8A", ""},
        {"Hungarian double acute", "INSERT 'Erd\xC5\x91s'", "",
         "The statement holds \"\xC5\x91\" (U+0151) at line 1, column 12"},
        {"on a later line, after wide characters", "A;\r\n\xE2\x82\xAC\xC3\xA8 \xE6\x97\xA5", "",
         "The statement holds \"\xE6\x97\xA5\" (U+65E5) at line 2, column 4"},
        {"beyond the basic plane", "x\n\xF0\x9F\x98\x80", "",
         "The statement holds \"\xF0\x9F\x98\x80\" (U+1F600) at line 2, column 1"},
        {"a byte that is no UTF-8", "ab\xFF", "",
         "The statement holds \"\xEF\xBF\xBD\" (U+FFFD) at line 1, column 3"},
    };
    for (const Case& c : cases) {
        auto r = db::toConnectionText(c.utf8, "The statement");
        if (c.refusal.empty()) {
            ASSERT_TRUE(r.ok()) << c.name << ": " << r.error();
            EXPECT_EQ(*r, c.bytes) << c.name;
        } else {
            ASSERT_FALSE(r.ok()) << c.name;
            EXPECT_EQ(r.error(), c.refusal + kTail) << c.name;
        }
    }
}

TEST(ConnectionText, ASecretIsNeverQuotedAndRaisingNamesTheComponent) {
    auto r = db::toConnectionText("pa\xC5\x91", "The password", db::Secret::Yes);
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error(), std::string("The password holds a character at line 1, column 3") + kTail);
    try {
        db::toConnectionTextOrRaise("MyLibs", "g\xC5\x91z", "The user name");
        ADD_FAILURE() << "no exception";
    } catch (const db::EDatabaseError& e) {
        EXPECT_EQ(e.message(), std::string("MyLibs: The user name holds \"\xC5\x91\" (U+0151) at "
                                           "line 1, column 2") +
                                   kTail);
    }
    EXPECT_EQ(db::fromConnectionText("caff\xE8 \x80"), "caff\xC3\xA8 \xE2\x82\xAC");
}

}  // namespace
