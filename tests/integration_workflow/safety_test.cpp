// qlupdate --console end to end where an update could destroy or skip what it must protect:
// a version identifier that is a path, a package with a failed entry, scripts that cannot be
// launched, companies not updated, an installation folder of another name, a company listed
// twice, a connection lost during the download, a link in the installation.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/integration_workflow/world.h"
#include "tests/support/scripted_server.h"

namespace {

namespace fs = std::filesystem;
using workflowtest::indexOf;
using workflowtest::logLines;
using workflowtest::RunResult;
using workflowtest::World;

const std::string kRule = ">> " + std::string(45, '*');

bool has(const std::string& output, const std::string& text) {
    return output.find(text) != std::string::npos;
}

// Nothing of the update happened: no service stopped, no file copied, no script run, no log.
void expectUntouched(const World& w, const std::string& what) {
    EXPECT_EQ(testsupport::readFile(fs::path(w.install()) / "QLMain.txt"), "old program\n") << what;
    EXPECT_FALSE(fs::exists(fs::path(w.install()) / "readme-2014c.txt")) << what;
    EXPECT_EQ(w.vid("OSF0101"), "2014a") << what;
    EXPECT_EQ(w.netLog(), "") << what;
    EXPECT_TRUE(w.logFiles().empty()) << what;
    EXPECT_TRUE(w.tmpEmpty()) << what;
}

TEST(Safety, VersionIdentifierThatIsAPathFailsPhaseOne) {
    World w("WORLD_VE=../../victim");
    // What a path-like identifier would reach from the temporary folder.
    w.dir().write("victim/keep.txt", "keep");
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_TRUE(has(r.output, "Stato: Impossibile verificare l'aggiornamento!")) << r.output;
    EXPECT_TRUE(has(r.output, "Percorso: ERRORE"));
    EXPECT_EQ(testsupport::readFile(w.dir().path() / "victim/keep.txt"), "keep");
    expectUntouched(w, "path identifier");
    EXPECT_FALSE(fs::exists(w.dir().path() / "victim.uplog"));
}

TEST(Safety, PackageWithAFailedEntryIsNotInstalled) {
    const struct {
        const char* fault;
        const char* entry;
    } cases[] = {
        {"crc", "Voce non estratta: 2014c/broken.txt: "},
        {"unsafe", "Voce non estratta: 2014c/../../escaped.txt: "},
        {"method", "Voce non estratta: 2014c/method11.txt: "},
    };
    for (const auto& c : cases) {
        World w(std::string("WORLD_PACKAGE_FAULT=") + c.fault);
        const RunResult r = w.run();
        EXPECT_EQ(r.exitCode, 3) << c.fault << r.output;
        EXPECT_TRUE(has(r.output, "Problemi nel download dell'aggiornamento.")) << c.fault;
        EXPECT_TRUE(has(r.output, c.entry)) << c.fault << r.output;
        EXPECT_FALSE(has(r.output, "Aggiornamento effetuato con successo")) << c.fault;
        expectUntouched(w, c.fault);
        EXPECT_FALSE(fs::exists(w.dir().path() / "escaped.txt")) << c.fault;
    }
}

TEST(Safety, ScriptsThatCannotBeLaunchedAreLoggedCountedAndTheNextOnesRun) {
    World w("WORLD_UNLAUNCHABLE=1");
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 1) << r.output;
    const std::vector<std::string> lines = logLines(r.output);
    const std::string folder = w.install() + "/Update/";
    // The reader's failure: nothing of the script was sent.
    const std::size_t bb = indexOf(lines, ">> Launch Script db = 2014bb.dbql");
    ASSERT_NE(bb, std::string::npos) << r.output;
    ASSERT_LT(bb + 5, lines.size());
    EXPECT_EQ(std::vector<std::string>(lines.begin() + bb + 1, lines.begin() + bb + 6),
              (std::vector<std::string>{kRule, ">> Parser: The unknown symbol '\f'  $000C",
                                        ">> Errore su: ", ">> " + folder + "2014bb.dbql", kRule}));
    EXPECT_EQ(w.query("SELECT COUNT(*) FROM OSF0101.clienti WHERE id = 99"), "0");
    // A script the file system cannot give.
    const std::size_t bd = indexOf(lines, ">> Launch Script db = 2014bd.dbql", bb);
    ASSERT_NE(bd, std::string::npos) << r.output;
    ASSERT_LT(bd + 5, lines.size());
    EXPECT_EQ(lines[bd + 1], kRule);
    EXPECT_TRUE(lines[bd + 2].starts_with(">> Cannot open file")) << lines[bd + 2];
    EXPECT_EQ(lines[bd + 4], ">> " + folder + "2014bd.dbql");
    // The company's later scripts still ran, as after a failed statement.
    EXPECT_NE(indexOf(lines, ">> Launch Script db = 2014c.dbql", bd), std::string::npos);
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_EQ(w.vid("OSF0102"), "2014c");
    EXPECT_TRUE(
        has(r.output, "  OSF0101 (Alfa Costruzioni): 0 istruzioni fallite, 2 script non avviati\n"))
        << r.output;
    EXPECT_TRUE(has(r.output, "  OSF0103 (Gamma Trasporti): aggiornata\n"));
}

TEST(Safety, UnreachableDatabaseInPhaseOneIsNotACompleteUpdate) {
    World w;
    w.mysqlPort = 1;  // nothing listens there: the grid stays empty
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_TRUE(has(r.output, "Elenco ditte interrotto: ")) << r.output;
    EXPECT_TRUE(
        has(r.output, "  elenco ditte interrotto, le ditte seguenti non sono state lette ("))
        << r.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014a");
}

TEST(Safety, PackageGoesIntoTheInstallationFolderWhateverItsName) {
    for (const std::string folder : {"Quillora", "Ostrel/Ostrel"}) {
        World w("", folder);
        const RunResult r = w.run();
        EXPECT_EQ(r.exitCode, 0) << folder << r.output;
        const fs::path inst = w.install();
        EXPECT_EQ(testsupport::readFile(inst / "QLMain.txt"), "new program 2014c\n") << folder;
        EXPECT_EQ(testsupport::readFile(inst / "readme-2014c.txt"), "added in 2014c\n") << folder;
        EXPECT_TRUE(fs::exists(inst / "Update/2014c.dbql")) << folder;
        // Neither a new folder below the installation nor one beside it.
        EXPECT_FALSE(fs::exists(inst / "Ostrel")) << folder;
        EXPECT_FALSE(fs::exists(inst.parent_path() / "readme-2014c.txt")) << folder;
        EXPECT_FALSE(fs::exists(inst.parent_path() / "Ostrel/readme-2014c.txt") &&
                     inst.parent_path() / "Ostrel" != inst)
            << folder;
        EXPECT_NE(indexOf(logLines(r.output), ">> Copy update dirercory in " + w.install() + "/"),
                  std::string::npos)
            << folder << r.output;
        EXPECT_EQ(w.vid("OSF0101"), "2014c") << folder;
    }
}

TEST(Safety, SchemaListedTwiceIsUpdatedOnce) {
    World w("WORLD_DUPLICATE=1");
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 0) << r.output;
    // The grid shows what the table holds.
    EXPECT_TRUE(has(r.output, "Alfa Costruzioni (copia)")) << r.output;
    const std::vector<std::string> lines = logLines(r.output);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), ">> Begin Apply Update For OSF0101"), 1);
    EXPECT_EQ(w.query("SELECT COUNT(*) FROM OSF0101.storico"), "1");
    EXPECT_TRUE(has(r.output,
                    "  OSF0101 (Alfa Costruzioni (copia)): già aggiornata con una riga "
                    "precedente\n"))
        << r.output;
}

TEST(Safety, ConnectionLostDuringTheDownloadIsOpenedAgain) {
    World w("WORLD_KILL_CONNECTIONS=1");
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 0) << r.output;
    // The connection of phase 1 was killed before phase 3 ran its first script.
    EXPECT_FALSE(testsupport::readFile(w.dir().path() / "killed").empty());
    EXPECT_FALSE(has(r.output, "gone away")) << r.output;
    EXPECT_FALSE(has(r.output, "Lost connection")) << r.output;
    for (const char* schema : {"OSF0101", "OSF0102", "OSF0103"}) EXPECT_EQ(w.vid(schema), "2014c");
}

TEST(Safety, LinkInTheInstallationIsReplacedNotWrittenThrough) {
    World w("WORLD_INSTALL_LINK=1");
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(testsupport::readFile(w.dir().path() / "outside.txt"), "outside the installation\n");
    const fs::path file = fs::path(w.install()) / "QLMain.txt";
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(testsupport::readFile(file), "new program 2014c\n");
}

// A server that answers the package's request with its head and 4 bytes and then sends
// nothing: with a single attempt allowed the console run gives up after --idle-timeout seconds
// without a byte, says why, and phase 2 fails (each further attempt would cost the same again).
TEST(Safety, PackageThatStallsAfterItsHeadFailsPhaseTwoAtTheIdleTimeout) {
    World w;
    const std::string versionFile =
        testsupport::readFile(w.dir().path() / "www/public/qlupdate/UPDATEQL.txt");
    using namespace testsupport;
    ScriptedServer server({
        {readRequest(),
         send("HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(versionFile.size()) +
              "\r\nConnection: close\r\n\r\n" + versionFile),
         closeConnection()},
        {readRequest(),
         send("HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nContent-Length: 1048576\r\n"
              "\r\nPK\x03\x04"),
         waitPeerClose()},
    });
    w.serverUrl = "http://127.0.0.1:" + std::to_string(server.port());
    const int idleSeconds = 2;
    const auto start = std::chrono::steady_clock::now();
    const RunResult r =
        w.run("--yes --download-attempts 1 --idle-timeout " + std::to_string(idleSeconds));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.exitCode, 3) << r.output;
    EXPECT_TRUE(has(r.output, ">> Download non riuscito: Read timed out.")) << r.output;
    EXPECT_FALSE(has(r.output, "nuovo tentativo")) << r.output;
    EXPECT_TRUE(has(r.output, "Problemi nel download dell'aggiornamento.")) << r.output;
    // Not before the time-out; well before the default of 300 s (the margin is for a busy
    // machine, not a speed target).
    EXPECT_GE(seconds, idleSeconds) << r.output;
    EXPECT_LT(seconds, idleSeconds + 30.0) << r.output;
    const std::vector<std::string> requests = server.requests();
    ASSERT_EQ(requests.size(), 2u) << r.output;
    EXPECT_TRUE(requests[1].starts_with("GET /public/qlupdate/2014c.zip ")) << requests[1];
    expectUntouched(w, "stalled package");
}

}  // namespace
