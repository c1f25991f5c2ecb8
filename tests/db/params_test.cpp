#include "db/params.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Params, PlaceholdersOutsideQuotesAndComments) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"none", "SELECT 1", {}},
        {"named", "SELECT * FROM t WHERE a = :a AND b = :B AND c = :A", {"a", "B"}},
        {"numbered and with @", "VALUES (:1, :@x)", {"1", "x"}},
        {"keyword as name", ":select", {"select"}},
        {"assignment is none", "SET @a := 1", {}},
        {"in quotes and comments", "':a' \":b\" `:c` /* :d */ -- :e\n", {}},
        {"colon before blank", "a : b", {}},
        {"backquoted name is none", ":`x`", {}},
    };
    for (const Case& c : cases) {
        auto r = db::findParams(c.text);
        ASSERT_TRUE(r.ok()) << c.name;
        EXPECT_EQ(*r, c.expected) << c.name;
    }
}

}  // namespace
