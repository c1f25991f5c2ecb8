// The package cache end to end: a run that could not reach the database leaves the package in
// the installation's cache; the rerun installs from it without the server having it, and once
// that update completes the cache keeps only the current version's package. A download whose
// attempts are used up keeps its .part, and the next run asks only for the rest.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/integration_workflow/world.h"
#include "tests/support/http_servers.h"
#include "tests/support/scripted_server.h"
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

TEST(PackageCache, AttemptsUsedUpKeepThePartAndTheNextRunAsksForTheRest) {
    using namespace testsupport;
    World w;
    const fs::path www = w.dir().path() / "www" / "public" / "qlupdate";
    const std::string versionFile = readFile(www / "UPDATEQL.txt");
    const std::string package = readFile(www / "2014c.zip");
    ASSERT_GT(package.size(), 30u);
    const std::size_t first = package.size() / 3, second = 2 * package.size() / 3;
    const auto versionAnswer = [&] {
        return ServerScript{
            readRequest(),
            send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(versionFile.size()) +
                 "\r\nConnection: close\r\n\r\n" + versionFile),
            closeConnection()};
    };
    const auto range = [&](std::size_t from) {
        return "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) +
               "-" + std::to_string(package.size() - 1) + "/" + std::to_string(package.size()) +
               "\r\nContent-Length: " + std::to_string(package.size() - from) +
               "\r\nConnection: close\r\n\r\n";
    };
    const fs::path cache = fs::path(w.install()) / ".qlupdate" / "packages";
    const std::string pauseMs = "QLUPDATE_RETRY_PAUSE_MS=50 ";
    {
        // Cut after a third; the retry gets a 206 and is cut after two thirds; no attempt left.
        ScriptedServer server({
            versionAnswer(),
            {readRequest(),
             send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(package.size()) +
                  "\r\nETag: \"p1\"\r\nConnection: close\r\n\r\n" + package.substr(0, first)),
             closeConnection()},
            {readRequest(), send(range(first) + package.substr(first, second - first)),
             closeConnection()},
        });
        w.serverUrl = "http://127.0.0.1:" + std::to_string(server.port());
        RunResult r;
        r.exitCode = runShell(pauseMs + w.command("--yes --download-attempts 2"), &r.output);
        EXPECT_EQ(r.exitCode, 3) << r.output;
        const std::vector<std::string> lines = workflowtest::logLines(r.output);
        const std::vector<std::string> expected = {
            ">> Download interrotto: Connection Closed Gracefully. (nuovo tentativo 2 di 2 tra 50 "
            "ms)",
            ">> Download non riuscito: Connection Closed Gracefully."};
        EXPECT_EQ(lines, expected) << r.output;
        EXPECT_TRUE(has(r.output, "Problemi nel download dell'aggiornamento.")) << r.output;
        const std::vector<std::string> requests = server.requests();
        ASSERT_EQ(requests.size(), 3u) << r.output;
        EXPECT_TRUE(has(requests[2], "Range: bytes=" + std::to_string(first) + "-\r\n"))
            << requests[2];
        // What came is kept for the next run, under its validator; nothing was installed.
        EXPECT_EQ(readFile(cache / "2014c.qlzip.part"), package.substr(0, second));
        EXPECT_EQ(readFile(cache / "2014c.qlzip.part.tag"), "\"p1\"\n");
        EXPECT_FALSE(fs::exists(cache / "2014c.qlzip"));
        EXPECT_EQ(readFile(fs::path(w.install()) / "QLMain.txt"), "old program\n");
        EXPECT_EQ(w.vid("OSF0101"), "2014a");
        EXPECT_EQ(w.netLog(), "");
        EXPECT_TRUE(w.logFiles().empty());
    }
    // A healthy server: the rerun asks for the rest only, then installs.
    ScriptedServer server(
        {versionAnswer(),
         {readRequest(), send(range(second) + package.substr(second)), closeConnection()}});
    w.serverUrl = "http://127.0.0.1:" + std::to_string(server.port());
    RunResult r;
    r.exitCode = runShell(pauseMs + w.command(), &r.output);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u) << r.output;
    EXPECT_TRUE(requests[1].starts_with("GET /public/qlupdate/2014c.zip ")) << requests[1];
    EXPECT_TRUE(has(requests[1], "Range: bytes=" + std::to_string(second) + "-\r\n"))
        << requests[1];
    EXPECT_TRUE(has(requests[1], "If-Range: \"p1\"\r\n")) << requests[1];
    EXPECT_EQ(readFile(fs::path(w.install()) / "QLMain.txt"), "new program 2014c\n");
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_EQ(readFile(cache / "2014c.qlzip"), package);
    EXPECT_FALSE(fs::exists(cache / "2014c.qlzip.part"));
    EXPECT_FALSE(fs::exists(cache / "2014c.qlzip.part.tag"));
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
    EXPECT_TRUE(has(r.output,
                    ">> Pacchetto già scaricato scartato, nuovo download: archivio non "
                    "leggibile\n"))
        << r.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_GT(fs::file_size(cache / "2014c.qlzip"), 100u);
}

}  // namespace
