#include "db/result_rows.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Values = std::vector<std::optional<std::string_view>>;

TEST(ResultRows, ValuesAndNullsComeBackAsStored) {
    const std::vector<Values> rows = {
        {"a", std::nullopt, "", "longer value"},
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
        {"", "", "x", std::string_view("\0z", 2)},
    };
    db::ResultRows r(4);
    for (const Values& v : rows) ASSERT_TRUE(r.add(v));
    ASSERT_EQ(r.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        for (std::size_t c = 0; c < 4; ++c) {
            EXPECT_EQ(r.isNull(i, c), !rows[i][c].has_value()) << i << "," << c;
            EXPECT_EQ(r.value(i, c), rows[i][c].value_or("")) << i << "," << c;
        }
    // A NULL costs its offset only.
    EXPECT_EQ(r.bytesHeld(), db::ResultRows::rowCost(4, 13) + db::ResultRows::rowCost(4, 0) +
                                 db::ResultRows::rowCost(4, 3));
}

TEST(ResultRows, ConvertedValuesAndTheLimit) {
    auto twice = [](std::string& out, std::string_view v) {
        out += v;
        out += v;
    };
    const std::size_t one = db::ResultRows::rowCost(2, 6);
    db::ResultRows r(2, 2 * one);
    EXPECT_TRUE(r.add({"ab", "c"}, twice));
    EXPECT_TRUE(r.add({"c", "ab"}, twice));
    EXPECT_EQ(r.value(0, 0), "abab");
    EXPECT_EQ(r.value(1, 1), "abab");
    // Exactly at the limit; one more row, however small, is refused and nothing is stored.
    EXPECT_EQ(r.bytesHeld(), 2 * one);
    EXPECT_FALSE(r.add({std::nullopt, std::nullopt}, twice));
    EXPECT_EQ(r.size(), 2u);
    EXPECT_EQ(r.bytesHeld(), 2 * one);
    db::ResultRows small(1, 10);
    EXPECT_FALSE(small.add({std::string_view(std::string(100, 'v'))}));
    EXPECT_TRUE(small.empty());
}

}  // namespace
