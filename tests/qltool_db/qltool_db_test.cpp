#include <gtest/gtest.h>

#include <string>

#include "json_text.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace {

struct Outcome {
    int exitCode;
    std::string out, err;
};

Outcome qltool(std::vector<std::string> args) {
    args.insert(args.begin(), testsupport::qltoolPath());
    testsupport::ToolRun r = testsupport::runTool(args);
    return {r.status, r.out, r.err};
}

TEST(QltoolJson, Escaping) {
    EXPECT_EQ(jsonString("a\"b\\c"), R"("a\"b\\c")");
    EXPECT_EQ(jsonString("\r\n\t\f\x01\x7F"), R"("\u000d\u000a\u0009\u000c\u0001\u007f")");
    EXPECT_EQ(jsonString("caff\xC3\xA8 \xE2\x82\xAC"), "\"caff\xC3\xA8 \xE2\x82\xAC\"");
    EXPECT_EQ(jsonString(std::string("\0", 1)), R"("\u0000")");
}

TEST(QltoolLex, LexemesAsJsonLines) {
    testsupport::TempDir dir;
    // No BOM: the file is Windows-1252, so 0xE8 becomes U+00E8 in the output.
    const std::string file = dir.write("a.sql", "SELECT 'caff\xE8',1.5;-- x\r\n").string();
    Outcome r = qltool({"lex", file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"kind\": \"keyword\", \"text\": \"SELECT\"}\n"
              "{\"kind\": \"blank\", \"text\": \" \"}\n"
              "{\"kind\": \"string\", \"text\": \"'caff\xC3\xA8'\"}\n"
              "{\"kind\": \"symbol\", \"text\": \",\"}\n"
              "{\"kind\": \"number\", \"text\": \"1.5\"}\n"
              "{\"kind\": \"symbol\", \"text\": \";\"}\n"
              "{\"kind\": \"comment\", \"text\": \"-- x\"}\n"
              "{\"kind\": \"blank\", \"text\": \"\\u000d\\u000a\"}\n");
}

TEST(QltoolLex, UnknownSymbolExitsOne) {
    testsupport::TempDir dir;
    Outcome r = qltool({"lex", dir.write("f.sql", "a\fb").string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Parser: The unknown symbol '\f'  $000C\n");
    EXPECT_EQ(r.out, "{\"kind\": \"identifier\", \"text\": \"a\"}\n");
}

TEST(QltoolSplit, StatementsAsJsonLines) {
    testsupport::TempDir dir;
    const std::string file =
        dir.write("s.sql",
                  "DELIMITER $$\nCREATE PROCEDURE p() BEGIN SELECT 1; END$$\nDELIMITER ;\n"
                  "  SELECT \"a\";\n\n")
            .string();
    Outcome r = qltool({"split", file});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out,
              "{\"n\":1,\"omit\":true,\"kind\":\"delimiter\",\"start\":[1,1],\"end\":[1,12],"
              "\"text\":\"DELIMITER $$\"}\n"
              "{\"n\":2,\"omit\":false,\"kind\":\"ordinary\",\"start\":[2,1],\"end\":[2,40],"
              "\"text\":\"CREATE PROCEDURE p() BEGIN SELECT 1; END\"}\n"
              "{\"n\":3,\"omit\":true,\"kind\":\"delimiter\",\"start\":[3,1],\"end\":[3,11],"
              "\"text\":\"DELIMITER ;\"}\n"
              "{\"n\":4,\"omit\":false,\"kind\":\"ordinary\",\"start\":[4,3],\"end\":[4,12],"
              "\"text\":\"SELECT \\\"a\\\"\"}\n");
}

TEST(QltoolSplit, RoutineKindAndFailures) {
    testsupport::TempDir dir;
    Outcome ok = qltool({"split", dir.write("r.sql", "create trigger t a; b\r\n/\r\n").string()});
    EXPECT_EQ(ok.exitCode, 0);
    EXPECT_NE(ok.out.find("\"kind\":\"routine\""), std::string::npos) << ok.out;
    Outcome bad = qltool({"split", dir.write("f.sql", "SELECT 1;\f").string() + "x"});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_EQ(bad.out, "");
    Outcome lexFail = qltool({"split", dir.write("g.sql", "SELECT 1;\fx").string()});
    EXPECT_EQ(lexFail.exitCode, 1);
    EXPECT_EQ(lexFail.err, "Parser: The unknown symbol '\f'  $000C\n");
    EXPECT_EQ(lexFail.out, "");
}

// A lexer failure at a NUL names it: the message comes out whole, NUL and code included.
TEST(QltoolLexAndSplit, MessageWithANulComesOutWhole) {
    testsupport::TempDir dir;
    const std::string file = dir.write("n.sql", std::string("SELECT 1;\0;", 11)).string();
    const std::string message = std::string("Parser: The unknown symbol '\0'  $0000\n", 38);
    for (const char* command : {"lex", "split"}) {
        Outcome r = qltool({command, file});
        EXPECT_EQ(r.exitCode, 1) << command;
        EXPECT_EQ(r.err, message) << command;
    }
}

// Wrong connection options are refused with the usage text before any server is reached.
TEST(QltoolConnectionOptions, BadPortOrMissingValueIsAUsageError) {
    testsupport::TempDir dir;
    const std::string file = dir.write("s.sql", "SELECT 1;").string();
    const std::vector<std::string> cases[] = {
        {"run-script", "--port", "abc", "--schema", "s", file},
        {"run-script", "--port", "0", "--schema", "s", file},
        {"run-script", "--port", "70000", "--schema", "s", file},
        {"run-script", "--schema", "s", file, "--host"},
        {"query", "--port", "33x", "SELECT 1"},
        {"query", "--user"}};
    for (const auto& args : cases) {
        Outcome o = qltool(args);
        EXPECT_EQ(o.exitCode, 64) << args[0] << " " << args[1];
        EXPECT_EQ(o.err.rfind("usage: qltool ", 0), 0u)
            << args[0] << " " << args[1] << ": " << o.err;
    }
}

}  // namespace
