// `qltool query` against the sandbox: tab-separated result sets, \N for NULL, and the
// "EMyError #CODE: message" line with exit code 1.
#include <gtest/gtest.h>

#include "tests/support/mariadb_sandbox.h"
#include "tests/support/tools.h"

namespace {

using testsupport::ToolRun;

ToolRun qltool(const testsupport::MariaDbSandbox& sb, const std::string& password,
               const std::string& sql) {
    return testsupport::runTool({testsupport::qltoolPath(), "query", "--host", sb.host, "--port",
                                 std::to_string(sb.port), "--user", "root", "--password", password,
                                 sql});
}

TEST(QltoolQuery, PrintsEveryResultSet) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    ToolRun r = qltool(sb, sb.rootPassword,
                       "SELECT 1, NULL, 'a b'; DO 0; SELECT 'caf\xc3\xa9' UNION SELECT ''");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1\t\\N\ta b\ncaf\xc3\xa9\n\n");
    EXPECT_EQ(r.err, "");
}

TEST(QltoolQuery, ErrorsAsEMyErrorLines) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    ToolRun refused = qltool(sb, "wrong", "SELECT 1");
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(refused.err.starts_with("EMyError #1045: \r\n#28000Access denied")) << refused.err;

    ToolRun second = qltool(sb, sb.rootPassword, "SELECT 7; SELECT * FROM mysql.no_such_table");
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.out, "7\n");
    EXPECT_TRUE(second.err.starts_with("EMyError #1146: \r\n#42S02")) << second.err;
}

}  // namespace
