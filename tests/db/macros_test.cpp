#include "db/macros.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/errors.h"

namespace {

std::vector<std::string> names(const db::TMacros& m) {
    std::vector<std::string> out;
    for (int i = 0; i < m.Count(); ++i) out.push_back(m[i].Name);
    return out;
}

TEST(Macros, ScanFindsNamesOutsideQuotesAndComments) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"none", "SELECT 1", {}},
        {"one", "SELECT * FROM &database", {"database"}},
        {"keyword as name", "&select", {"select"}},
        {"first spelling kept, later cases merged", "&Db &DB &db &other", {"Db", "other"}},
        {"in single quotes", "'&a' &b", {"b"}},
        {"in double quotes and backquotes", "\"&a\" `&c` &b", {"b"}},
        {"in comments", "/* &a */ # &c\n-- &d\n&b", {"b"}},
        {"before a blank", "a & b", {}},
        {"before a number", "&1", {}},
        {"double ampersand", "a && &b", {"b"}},
        {"unterminated string hides the rest", "'x &a", {}},
        {"backquoted name is no macro", "a &`b`", {}},
    };
    for (const Case& c : cases) {
        db::TMacros m;
        ASSERT_TRUE(m.Scan(c.text).ok()) << c.name;
        EXPECT_EQ(names(m), c.expected) << c.name;
    }
}

TEST(Macros, RescanKeepsSurvivorsWithTheirValues) {
    db::TMacros m;
    ASSERT_TRUE(m.Scan("&a &b").ok());
    m.MacroByName("a").Value = "1";
    m.MacroByName("b").Value = "2";
    m.MacroByName("b").Active = false;
    db::TMacro* b = &m.MacroByName("b");

    ASSERT_TRUE(m.Scan("&B &c").ok());
    EXPECT_EQ(names(m), (std::vector<std::string>{"B", "c"}));
    EXPECT_EQ(&m.MacroByName("b"), b) << "a surviving macro stays the same object";
    EXPECT_EQ(m.MacroByName("b").Value, "2");
    EXPECT_FALSE(m.MacroByName("b").Active);
    EXPECT_EQ(m.MacroByName("c").Value, "");
    EXPECT_TRUE(m.MacroByName("c").Active);
    EXPECT_EQ(m.FindMacro("a"), nullptr);

    ASSERT_TRUE(m.Scan("no macros").ok());
    EXPECT_EQ(m.Count(), 0);
}

TEST(Macros, ScanReportsLexerFailureKeepingEarlierNames) {
    db::TMacros m;
    auto r = m.Scan("&a \f &b");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "Parser: The unknown symbol '\f'  $000C");
    EXPECT_EQ(names(m), (std::vector<std::string>{"a"}));
}

TEST(Macros, Expand) {
    struct Case {
        const char* name;
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"no ampersand", "SELECT 1 ", "SELECT 1 "},
        {"found and active", "SELECT * FROM &database", "SELECT * FROM OSF0101._versione"},
        {"any letter case", "SELECT * FROM &DataBase;", "SELECT * FROM OSF0101._versione;"},
        {"inactive gives nothing", "x &off y", "x  y"},
        {"unknown disappears with its name", "x &nosuch y", "x  y"},
        {"empty value keeps the blanks around", "USE &empty ;", "USE  ;"},
        {"before a blank", "a & b", "a & b"},
        {"before a number", "a &1", "a &1"},
        {"before a string", "&'x'", "&'x'"},
        {"before a symbol", "a &&database", "a &OSF0101._versione"},
        {"before a comment", "&/*x*/", "&/*x*/"},
        {"at the end", "a &", "a &"},
        {"in quotes and comments", "'&database' /* &database */ `&database`",
         "'&database' /* &database */ `&database`"},
        {"value inserted as it is", "&quote", "it's"},
        {"adjacent", "&database&database", "OSF0101._versioneOSF0101._versione"},
    };
    db::TMacros m;
    ASSERT_TRUE(m.Scan("&database &off &empty &quote").ok());
    m.MacroByName("database").Value = "OSF0101._versione";
    m.MacroByName("off").Value = "never";
    m.MacroByName("off").Active = false;
    m.MacroByName("quote").Value = "it's";
    for (const Case& c : cases) {
        auto r = m.Expand(c.text);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(*r, c.expected) << c.name;
    }
}

TEST(Macros, ExpandPassesLexerFailureOn) {
    db::TMacros m;
    auto r = m.Expand("&a\x01");
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().message, "Parser: The unknown symbol '\x01'  $0001");
}

TEST(Macros, MacroByNameMessages) {
    db::TMacros m;
    ASSERT_TRUE(m.Scan("&database").ok());
    EXPECT_EQ(&m.MacroByName("DATABASE"), &m.MacroByName("database"));
    struct Case {
        const char* component;
        const char* expected;
    };
    for (const Case& c : {Case{"", "Macro DatabaseName not found"},
                          Case{"qryVersione", "qryVersione: Macro DatabaseName not found"}}) {
        try {
            m.MacroByName("DatabaseName", c.component);
            ADD_FAILURE() << "no exception";
        } catch (const db::EDatabaseError& e) {
            EXPECT_STREQ(e.what(), c.expected);
            EXPECT_STREQ(e.className(), "EDatabaseError");
        }
    }
}

}  // namespace
