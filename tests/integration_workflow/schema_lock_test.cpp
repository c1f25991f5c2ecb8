// A company's lock on the server (SchemaLock) between real sessions of the MariaDB sandbox.
#include "app/schema_lock.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/md5.h"
#include "db/my_connection.h"
#include "tests/support/mariadb_sandbox.h"

namespace {

std::unique_ptr<db::TMyConnection> session(const testsupport::MariaDbSandbox& sb) {
    auto c = std::make_unique<db::TMyConnection>("test");
    c->Server = sb.host;
    c->Port = sb.port;
    c->Username = sb.rootUser;
    c->Password = sb.rootPassword;
    c->Open();
    return c;
}

app::SchemaLockResult lockOn(app::SchemaLock& lock, const char* schema, int wait,
                             int* waits = nullptr) {
    std::string error;
    const auto r = lock.acquire(
        schema, wait,
        [waits] {
            if (waits) ++*waits;
        },
        {}, error);
    EXPECT_EQ(error, "") << schema;
    return r;
}

TEST(SchemaLock, NameIsShortCaseDistinctAndWhatTheServerWouldHash) {
    EXPECT_EQ(app::SchemaLockName("OSF0101"), "qlupdate:" + core::Md5Hex("OSF0101"));
    EXPECT_NE(app::SchemaLockName("OSFab"), app::SchemaLockName("OSFAB"));
    EXPECT_EQ(app::SchemaLockName(std::string(200, 'x')).size(), 41u);
}

TEST(SchemaLock, SameSchemaWaitsOtherSchemasDoNotAndTheLockEndsWithItsSession) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    auto a = session(sb), b = session(sb);
    using R = app::SchemaLockResult;
    auto held = std::make_unique<app::SchemaLock>(*a);
    ASSERT_EQ(lockOn(*held, "OSF7701", 0), R::Acquired);

    const struct {
        const char* name;
        const char* schema;
        int wait;
        R expected;
        int waits;
    } cases[] = {
        {"same schema, no wait", "OSF7701", 0, R::TimedOut, 0},
        {"same schema, waits a second", "OSF7701", 1, R::TimedOut, 1},
        {"another schema", "OSF7702", 0, R::Acquired, 0},
        {"the same name but for case", "osf7701", 0, R::Acquired, 0},
    };
    for (const auto& c : cases) {
        app::SchemaLock mine(*b);
        int waits = 0;
        EXPECT_EQ(lockOn(mine, c.schema, c.wait, &waits), c.expected) << c.name;
        EXPECT_EQ(waits, c.waits) << c.name;
    }
    // Released by its owner: the next one gets it.
    held.reset();
    {
        app::SchemaLock mine(*b);
        EXPECT_EQ(lockOn(mine, "OSF7701", 0), R::Acquired);
        // Held by b now.
        app::SchemaLock other(*a);
        EXPECT_EQ(lockOn(other, "OSF7701", 0), R::TimedOut);
    }
    app::SchemaLock again(*a);
    ASSERT_EQ(lockOn(again, "OSF7701", 0), R::Acquired);
    // A session that ends gives up its locks.
    a->Close();
    app::SchemaLock after(*b);
    EXPECT_EQ(lockOn(after, "OSF7701", 0), R::Acquired);
}

TEST(SchemaLock, VersionIsReadFromTheSchemaAsItIsNow) {
    const auto& sb = QL_REQUIRE_SANDBOX();
    const std::string s = testsupport::uniqueName("lockvid");
    ASSERT_EQ(testsupport::runSql(sb, "CREATE DATABASE " + s + "; CREATE TABLE " + s +
                                          "._versione (versione VARCHAR(10), VID VARCHAR(10));"
                                          "INSERT INTO " +
                                          s + "._versione VALUES ('1', '2014b')")
                  .exitCode,
              0);
    auto c = session(sb);
    EXPECT_EQ(app::ReadCompanyVid(*c, s), "2014b");
    EXPECT_EQ(app::ReadCompanyVid(*c, s + "_missing"), std::nullopt);
    testsupport::runSql(sb, "DROP DATABASE " + s);
}

}  // namespace
