// The package cache end to end: a run that could not reach the database leaves the package in
// the installation's cache; the rerun installs from it without the server having it, and once
// that update completes the cache keeps only the current version's package.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/integration_workflow/world.h"
#include "tests/support/http_servers.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using workflowtest::RunResult;
using workflowtest::World;

bool has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

TEST(PackageCache, TheRerunAfterADatabaseFailureUsesTheCachedPackage) {
    World w;
    const fs::path cache = fs::path(w.install()) / ".qlupdate" / "packages";
    w.mysqlPort = testsupport::freeLoopbackPort();  // nobody listens: no company is updated
    const RunResult first = w.run();
    EXPECT_NE(first.exitCode, 0) << first.output;
    EXPECT_NE(first.exitCode, 3) << first.output;
    ASSERT_TRUE(fs::is_regular_file(cache / "2014c.qlzip")) << first.output;
    EXPECT_FALSE(fs::exists(cache / "2014c.qlzip.part"));

    // The server no longer has the package; stale files of other downloads wait in the cache.
    fs::remove(w.dir().path() / "www" / "public" / "qlupdate" / "2014c.zip");
    std::ofstream(cache / "2013z.qlzip") << "an older package";
    std::ofstream(cache / "2014b.qlzip.part") << "an abandoned download";
    w.mysqlPort = 0;
    const RunResult second = w.run();
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_TRUE(has(second.output, "Uso il pacchetto già scaricato: ")) << second.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_TRUE(fs::is_regular_file(cache / "2014c.qlzip"));
    EXPECT_FALSE(fs::exists(cache / "2013z.qlzip"));
    EXPECT_FALSE(fs::exists(cache / "2014b.qlzip.part"));
    // The run log (in the log's own code page) says where the package came from.
    bool logged = false;
    for (const auto& f : w.logFiles())
        logged =
            logged || has(testsupport::readFile(fs::path(w.install()) / f), "Uso il pacchetto gi");
    EXPECT_TRUE(logged);
}

TEST(PackageCache, ACorruptCachedPackageIsFetchedAgain) {
    World w;
    const fs::path cache = fs::path(w.install()) / ".qlupdate" / "packages";
    fs::create_directories(cache);
    // Not a ZIP archive: unpacking it fails, so the package is downloaded after all.
    std::ofstream(cache / "2014c.qlzip") << "PK\x03\x04 but broken";
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(has(r.output, "Uso il pacchetto già scaricato: ")) << r.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_GT(fs::file_size(cache / "2014c.qlzip"), 100u);
}

}  // namespace
