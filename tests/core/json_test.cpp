#include "core/json.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "fuzz/json_fuzz.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace {

namespace json = core::json;

TEST(Json, ReadsRfcExamplesAndEscapes) {
    // RFC 8259 13, the first example (shortened), and the escapes of section 7.
    const auto doc = json::parse(R"({
      "Image": {"Width": 800, "Height": 600, "Title": "View from 15th Floor",
                "Thumbnail": {"Url": "http://www.example.com/image/481989943", "Width": 100},
                "Animated" : false, "IDs": [116, 943, 234, 38793]}})");
    ASSERT_TRUE(doc) << doc.error().text();
    const json::Value& image = (*doc)["Image"];
    EXPECT_EQ(image["Width"].asInt(), 800);
    EXPECT_EQ(image["Thumbnail"]["Url"].asString(), "http://www.example.com/image/481989943");
    EXPECT_FALSE(image["Animated"].asBool(true));
    ASSERT_EQ(image["IDs"].items().size(), 4u);
    EXPECT_EQ(image["IDs"].items()[3].asInt(), 38793);
    EXPECT_TRUE(image["missing"].isNull());

    const struct {
        const char* name;
        const char* input;
        std::string expected;
    } strings[] = {
        {"G clef as a surrogate pair", R"("\uD834\uDD1E")", "\xF0\x9D\x84\x9E"},
        {"short escapes", R"("\"\\\/\b\f\n\r\t")", "\"\\/\b\f\n\r\t"},
        {"raw UTF-8", "\"caf\xC3\xA9\"", "caf\xC3\xA9"},
        {"NUL by escape", R"("a\u0000b")", std::string("a\0b", 3)},
    };
    for (const auto& c : strings) {
        const auto v = json::parse(c.input);
        ASSERT_TRUE(v) << c.name << ": " << v.error().text();
        EXPECT_EQ(v->asString(), c.expected) << c.name;
    }
}

TEST(Json, NumbersKeepTheirKind) {
    const struct {
        const char* input;
        json::Type type;
        double value;
    } cases[] = {
        {"0", json::Type::Integer, 0},
        {"-0", json::Type::Integer, 0},
        {"9223372036854775807", json::Type::Integer, 9223372036854775807.0},
        {"9223372036854775808", json::Type::Real, 9223372036854775808.0},  // beyond int64
        {"-12.5e-1", json::Type::Real, -1.25},
        {"1E2", json::Type::Real, 100},
    };
    for (const auto& c : cases) {
        const auto v = json::parse(c.input);
        ASSERT_TRUE(v) << c.input;
        EXPECT_EQ(v->type(), c.type) << c.input;
        EXPECT_DOUBLE_EQ(v->asReal(), c.value) << c.input;
    }
}

TEST(Json, RefusesWhatTheGrammarDoesNotAllow) {
    const std::string deep(json::kMaxDepth + 1, '[');
    const struct {
        const char* name;
        std::string input;
        std::size_t offset;
        const char* message;
    } cases[] = {
        {"empty", "", 0, "a value is missing"},
        {"trailing comma", "[1,]", 3, "unexpected character"},
        {"leading zero", "01", 1, "text after the value"},
        {"bare fraction", "1.", 2, "a digit is expected after \".\""},
        {"plus sign", "+1", 0, "unexpected character"},
        {"lone minus", "-", 0, "a digit is expected"},
        {"exponent without digits", "1e+", 3, "a digit is expected in the exponent"},
        {"beyond a double", "[-1e999]", 1, "number out of range"},
        {"single quotes", "'a'", 0, "unexpected character"},
        {"NaN", "NaN", 0, "unexpected character"},
        {"truncated word", "tru", 0, "unknown word"},
        {"two values", "1 2", 2, "text after the value"},
        {"unclosed string", "\"abc", 0, "a string is not closed"},
        {"raw line break in a string", "\"a\nb\"", 2, "a control character inside a string"},
        {"unknown escape", R"("\x41")", 1, "unknown escape"},
        {"short \\u", R"("\u12")", 1, "\\u needs four hexadecimal digits"},
        {"lone low surrogate", R"("\uDC00")", 1, "a low surrogate without a high one"},
        {"high surrogate alone", R"("\uD800x")", 1, "a high surrogate without a low one"},
        {"high then not low", R"("\uD800\u0041")", 1, "a high surrogate without a low one"},
        {"Latin-1 byte", "\"caf\xE9\"", 0, "a string is not UTF-8"},
        {"duplicate member", R"({"a": 1, "a": 2})", 9, "member \"a\" appears twice"},
        {"member name not a string", "{a: 1}", 1, "a member name (a string) is expected"},
        {"missing colon", R"({"a" 1})", 5, "\":\" is expected after a member name"},
        {"unclosed object", R"({"a": 1)", 7, "\",\" or \"}\" is expected"},
        {"unclosed array", "[1 2]", 3, "\",\" or \"]\" is expected"},
        {"too deep", deep, json::kMaxDepth, "nested deeper than 64 levels"},
    };
    for (const auto& c : cases) {
        const auto v = json::parse(c.input);
        ASSERT_FALSE(v) << c.name;
        EXPECT_EQ(v.error().offset, c.offset) << c.name;
        EXPECT_EQ(v.error().message, c.message) << c.name;
    }
    // Exactly the limit is fine.
    EXPECT_TRUE(json::parse(std::string(json::kMaxDepth, '[') + std::string(json::kMaxDepth, ']')));
}

TEST(Json, WritesStableIndentedTextThatReadsBack) {
    json::Value v;
    v.set("format", 1);
    v.set("name", "a\"b\\c\n\x01");
    v.set("empty", json::Value::array());
    json::Value& list = v.set("list", json::Value::array());
    list.push(true);
    list.push(nullptr);
    list.push(0.5);
    list.push(2.0);
    v.set("format", 2);  // replaces, keeps the place
    EXPECT_EQ(json::write(v),
              "{\n"
              "  \"format\": 2,\n"
              "  \"name\": \"a\\\"b\\\\c\\n\\u0001\",\n"
              "  \"empty\": [],\n"
              "  \"list\": [\n"
              "    true,\n"
              "    null,\n"
              "    0.5,\n"
              "    2.0\n"
              "  ]\n"
              "}\n");
    const auto back = json::parse(json::write(v));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, v);
    // Bytes that are not UTF-8 never reach the output as they are.
    EXPECT_EQ(json::write(json::Value("x\xE9y")), "\"x\xEF\xBF\xBDy\"\n");
    EXPECT_EQ(json::write(json::Value(1.0 / 0.0)), "null\n");
}

// Python's json module as the independent reader and writer.
TEST(Json, AgreesWithPython) {
    if (!testsupport::haveTool("python3")) GTEST_SKIP() << "python3 not installed";
    testsupport::TempDir dir;
    json::Value v;
    v.set("text", "Aggiornameto \xC3\xA8 \xF0\x9D\x84\x9E \t\"q\"");
    v.set("n", std::int64_t{-9007199254740993});
    v.set("r", 0.1);
    v.set("nested", json::Value::array()).push(json::Value::object());
    dir.write("ours.json", json::write(v));
    std::string out;
    const int rc = testsupport::runShell(
        "cd " + testsupport::shellQuote(dir.str()) +
            " && python3 -c 'import json,sys; d=json.load(open(\"ours.json\", encoding=\"utf-8\"));"
            " assert d[\"text\"] == \"Aggiornameto \\u00e8 \\U0001D11E \\t\\\"q\\\"\", d;"
            " assert d[\"n\"] == -9007199254740993 and d[\"r\"] == 0.1 and d[\"nested\"] == [{}];"
            " json.dump(d, open(\"theirs.json\", \"w\"), ensure_ascii=True)'",
        &out);
    ASSERT_EQ(rc, 0) << out;
    // ensure_ascii writes every non-ASCII character as \u escapes, pairs included.
    const auto theirs = json::parse(testsupport::readFile(dir.path() / "theirs.json"));
    ASSERT_TRUE(theirs) << theirs.error().text();
    EXPECT_EQ(*theirs, v);
}

// Inputs the fuzzer found or that sit at its corners, kept in tests/regressions/json/.
TEST(Json, FuzzRegressionsHold) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(
             std::filesystem::path(testsupport::sourceDir()) / "tests/regressions/json")) {
        EXPECT_TRUE(jsonfuzz::jsonHolds(testsupport::readFile(e.path()))) << e.path();
        ++n;
    }
    EXPECT_GT(n, 0);
}

}  // namespace
