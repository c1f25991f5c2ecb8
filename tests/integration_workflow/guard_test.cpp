// qlupdate --console end to end with another updater at work: a second run on one installation,
// and a company whose scripts another updater runs on the same database server.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>

#include "app/schema_lock.h"
#include "db/my_connection.h"
#include "tests/integration_workflow/world.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::shellQuote;
using workflowtest::indexOf;
using workflowtest::logLines;
using workflowtest::RunResult;
using workflowtest::World;

bool has(const std::string& output, const std::string& text) {
    return output.find(text) != std::string::npos;
}

// Polls `file` until it holds `text` (10 s at most).
bool waitForText(const fs::path& file, const std::string& text) {
    for (int i = 0; i < 500; ++i) {
        std::error_code ec;
        if (fs::exists(file, ec) && has(readFile(file), text)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A session of "another updater" holding a company's lock on the sandbox.
struct OtherUpdater {
    explicit OtherUpdater(const testsupport::MariaDbSandbox& sb, const char* schema) {
        c.Server = sb.host;
        c.Port = sb.port;
        c.Username = sb.rootUser;
        c.Password = sb.rootPassword;
        c.Open();
        lock = std::make_unique<app::SchemaLock>(c);
        std::string error;
        if (lock->acquire(schema, 0, {}, {}, error) != app::SchemaLockResult::Acquired)
            throw std::runtime_error("cannot take the company's lock: " + error);
    }
    db::TMyConnection c{"other"};
    std::unique_ptr<app::SchemaLock> lock;
};

TEST(Guards, SecondRunOnAnInstallationSaysWhoHoldsItAndTouchesNothing) {
    World w;
    const std::string out = w.dir().str() + "holder.out";
    std::string pid;
    ASSERT_EQ(testsupport::runShell(shellQuote(testsupport::qltoolPath()) + " lock " +
                                        shellQuote(w.install()) + " 60 >" + shellQuote(out) +
                                        " 2>&1 & echo $!",
                                    &pid),
              0);
    pid = core::Trim(pid);
    ASSERT_TRUE(waitForText(out, "locked pid=" + pid));

    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 6) << r.output;
    EXPECT_TRUE(has(r.output,
                    "Stato: Aggiornamento già in corso su questa installazione "
                    "(processo " +
                        pid + ", avviato il "))
        << r.output;
    EXPECT_EQ(readFile(fs::path(w.install()) / "QLMain.txt"), "old program\n");
    EXPECT_EQ(w.vid("OSF0101"), "2014a");
    EXPECT_EQ(w.netLog(), "");

    // Killed, the holder leaves no lock: the next run updates.
    ASSERT_EQ(std::system(("kill -KILL " + pid).c_str()), 0);
    RunResult next;
    for (int i = 0; i < 50 && (next = w.run()).exitCode == 6; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(next.exitCode, 0) << next.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
}

TEST(Guards, CompanyWhoseLockIsHeldElsewhereIsSkippedAfterTheWait) {
    World w;
    OtherUpdater other(w.db(), "OSF0101");
    const RunResult r = w.run("--yes --lock-wait 1");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    const auto lines = logLines(r.output);
    const std::size_t wait =
        indexOf(lines, ">> Attesa: la ditta è in aggiornamento da un altro programma: OSF0101");
    ASSERT_NE(wait, std::string::npos) << r.output;
    EXPECT_NE(indexOf(lines, ">> Ditta in aggiornamento da un altro programma, script non eseguiti",
                      wait),
              std::string::npos);
    EXPECT_TRUE(has(r.output, "saltata (another updater kept the company's lock)")) << r.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014a");
    // Other schemas never wait for it.
    EXPECT_EQ(w.vid("OSF0102"), "2014c");
}

TEST(Guards, CompanyUpdatedElsewhereDuringTheWaitRunsNothingTwice) {
    World w;
    auto other = std::make_unique<OtherUpdater>(w.db(), "OSF0101");
    const std::string out = w.dir().str() + "run.out";
    ASSERT_EQ(testsupport::runShell("(" + w.command("--yes --lock-wait 60") +
                                    "; echo \"exit=$?\") >" + shellQuote(out) + " 2>&1 &"),
              0);
    ASSERT_TRUE(waitForText(out,
                            "Attesa: la ditta è in aggiornamento da un altro programma: "
                            "OSF0101"))
        << readFile(out);
    // The other updater brings the company to the latest version, then lets go.
    ASSERT_EQ(w.query("UPDATE OSF0101._versione SET VID = '2014c'; SELECT 1"), "1");
    other.reset();
    ASSERT_TRUE(waitForText(out, "exit=")) << readFile(out);
    const std::string output = readFile(out);
    EXPECT_TRUE(has(output, "exit=0")) << output;
    const auto lines = logLines(output);
    const std::size_t begin = indexOf(lines, ">> Begin Apply Update For OSF0101");
    const std::size_t again = indexOf(lines, ">> Current VID (letto di nuovo) = 2014c", begin);
    const std::size_t end = indexOf(lines, ">> End Apply Update For OSF0101", begin);
    ASSERT_LT(again, end) << output;
    for (std::size_t i = begin; i < end; ++i)
        EXPECT_FALSE(lines[i].starts_with(">> Launch Script")) << lines[i];
    // The column the package's 2014b.dbql adds was never added to OSF0101 by this run.
    EXPECT_EQ(w.query("SELECT COUNT(*) FROM information_schema.columns WHERE "
                      "table_schema='OSF0101' AND column_name='email'"),
              "0");
}

}  // namespace
