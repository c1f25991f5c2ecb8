// The lexer and the statement reader over real SQL: MariaDB's test suite (Debian's
// mariadb-test-data) and the sys schema script of mariadb-server. Skipped when absent.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/text.h"
#include "db/lexer.h"
#include "db/script_reader.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

const char* const kTestSuite = "/usr/share/mysql/mysql-test";
const char* const kSysSchema = "/usr/share/mysql/mysql_sys_schema.sql";

std::vector<fs::path> corpusFiles() {
    std::vector<fs::path> files;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(kTestSuite, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const fs::path& p = it->path();
        if (it->is_regular_file() && (p.extension() == ".test" || p.extension() == ".sql"))
            files.push_back(p);
    }
    return files;
}

bool isControl(unsigned char c) {
    return (c < 32 && c != 9 && c != 10 && c != 13) || c == 127;
}

TEST(Corpus, LexemesJoinedGiveBackEveryFile) {
    const std::vector<fs::path> files = corpusFiles();
    if (files.empty())
        GTEST_SKIP() << kTestSuite << " is not installed (package mariadb-test-data)";
    std::size_t accepted = 0, bytes = 0;
    for (const fs::path& p : files) {
        const std::string text = testsupport::readFile(p);
        auto r = db::lexAll(text);
        if (!r) {
            // Only a control character outside quotes and comments may stop the lexer.
            ASSERT_LT(r.error().offset, text.size()) << p;
            EXPECT_TRUE(isControl(static_cast<unsigned char>(text[r.error().offset]))) << p;
            continue;
        }
        std::string joined;
        joined.reserve(text.size());
        for (const auto& lx : *r) joined += lx.text;
        ASSERT_EQ(joined, text) << p;
        ++accepted;
        bytes += text.size();
    }
    EXPECT_GT(accepted, files.size() * 9 / 10);
    RecordProperty("files", static_cast<int>(accepted));
    RecordProperty("bytes", static_cast<int>(bytes));
}

// Statements are non-blank stretches of the script, in order, never overlapping.
TEST(Corpus, StatementsAreOrderedStretchesOfEveryFile) {
    const std::vector<fs::path> files = corpusFiles();
    if (files.empty())
        GTEST_SKIP() << kTestSuite << " is not installed (package mariadb-test-data)";
    for (const fs::path& p : files) {
        const std::string text = core::TrimRightBelow(testsupport::readFile(p), 33);
        auto r = db::splitStatements(text, ";");
        if (!r) continue;
        std::size_t after = 0;
        for (const auto& st : *r) {
            ASSERT_GE(st.offset, after) << p;
            ASSERT_EQ(st.text, std::string_view(text).substr(st.offset, st.text.size())) << p;
            ASSERT_FALSE(core::Trim(st.text).empty()) << p;
            after = st.offset + st.text.size();
        }
    }
}

TEST(Corpus, SysSchemaScript) {
    if (!fs::exists(kSysSchema)) GTEST_SKIP() << kSysSchema << " is not installed (mariadb-server)";
    const std::string text =
        core::TrimRightBelow(core::decodeText(testsupport::readFile(kSysSchema)), 33);
    auto r = db::splitStatements(text, ";");
    ASSERT_TRUE(r.ok()) << r.error().message;
    int commands = 0, routines = 0;
    for (const auto& st : *r) {
        const std::string t = core::Trim(st.text);
        if (st.omit) {
            ++commands;
            // The comment block in front of a command is part of the command's text.
            EXPECT_TRUE(t.ends_with("\nDELIMITER $$") || t.ends_with("\nDELIMITER ;") ||
                        t == "DELIMITER $$" || t == "DELIMITER ;")
                << t;
            continue;
        }
        EXPECT_EQ(st.kind, db::StatementKind::Ordinary);
        // A body defined under "$$" is one statement that ends with its END.
        std::string upper = core::asciiUpper(t);
        if (upper.find("CREATE DEFINER") != std::string::npos &&
            (upper.find(" PROCEDURE ") != std::string::npos ||
             upper.find(" FUNCTION ") != std::string::npos) &&
            upper.find("BEGIN") != std::string::npos) {
            ++routines;
            EXPECT_TRUE(upper.ends_with("END")) << t.substr(t.size() > 80 ? t.size() - 80 : 0);
        }
        EXPECT_FALSE(upper.starts_with("DELIMITER")) << t.substr(0, 80);
        EXPECT_FALSE(t.ends_with("$")) << t.substr(t.size() > 80 ? t.size() - 80 : 0);
    }
    EXPECT_EQ(commands, 114);
    EXPECT_GT(routines, 40);
}

}  // namespace
