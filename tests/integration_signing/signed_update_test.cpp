// qlupdate --console against nginx serving a release signed by tools/publish: the release that
// verifies is installed; each one that does not is refused with its text and exit status, before
// any service is stopped, any file copied or any statement but the survey's sent.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/text.h"
#include "tests/support/http_servers.h"
#include "tests/support/mariadb_sandbox.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"
#include "trust/keys.h"
#include "trust/signature_file.h"
#include "trust/version_file.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::shellQuote;

struct RunResult {
    int exitCode = -1;
    std::string output;
};

class SignedWorld {
  public:
    SignedWorld() {
        m_db = &QL_REQUIRE_SANDBOX();
        sh(shellQuote(QL_WORKFLOW_DIR "/make_world.sh") + " " + shellQuote(m_dir.str()) + " " +
           shellQuote(testsupport::sandboxInfoFile()) + " && " +
           shellQuote(QL_WORKFLOW_DIR "/fake_product.sh") + " " + shellQuote(m_dir.str()) +
           " start-service OsReplicator");
        m_originalConfig = readFile(install() + "config.ini");
        sh(shellQuote(QL_QLTOOL) + " keygen " + shellQuote(m_dir.str() + "keys"));
        publish();
        useKey(publicKeyLine());
        fs::create_directories(m_dir.path() / "nginx");
        m_http = std::make_unique<testsupport::NginxServer>(m_dir.path() / "www",
                                                            m_dir.path() / "nginx");
        if (!m_http->running()) throw std::runtime_error(m_http->why());
    }
    ~SignedWorld() {
        testsupport::runShell("f=" + shellQuote(m_dir.str() + "run/OsReplicator.pid") +
                              "; [ -f \"$f\" ] && kill -KILL $(cat \"$f\") 2>/dev/null; true");
    }

    // tools/publish of the world's package into the server's folder.
    void publish(const std::string& options = "") {
        sh(shellQuote(QL_SOURCE_DIR "/tools/publish") + " --qltool " + shellQuote(QL_QLTOOL) + " " +
           options + " " + shellQuote(m_dir.str() + "keys/private.key") + " " +
           shellQuote(package()) + " 2014c " + shellQuote(serverDir()));
    }
    // config.ini with [Update] PublicKey = line, or without the section.
    void useKey(const std::optional<std::string>& line) {
        std::string ini = m_originalConfig;
        if (line) ini += "[Update]\r\nPublicKey=" + *line + "\r\n";
        write(install() + "config.ini", ini);
    }
    std::string publicKeyLine() const {
        return core::Trim(readFile(m_dir.str() + "keys/public.key"));
    }

    RunResult run(const std::string& extra = "--yes") {
        RunResult r;
        r.exitCode = testsupport::runShell(
            "PATH=" + shellQuote(m_dir.str() + "tools") + ":$PATH " + shellQuote(QL_QLUPDATE) +
                " --console " + extra + " --install-path " + shellQuote(install()) +
                " --server http://127.0.0.1:" + std::to_string(m_http->port()) + " --temp-root " +
                shellQuote(m_dir.str() + "tmp") + " --mysql-port " + std::to_string(m_db->port) +
                " </dev/null 2>&1",
            &r.output);
        return r;
    }

    // The server's statement log, from now until statements() is read.
    void logStatements() {
        sql("SET GLOBAL log_output = 'TABLE'; SET GLOBAL general_log = 'ON'; "
            "TRUNCATE TABLE mysql.general_log;");
    }
    // The statements the updater sent since logStatements: those of the connections it opened to
    // its database "ostrellib" (other tests' connections beside it are not its).
    std::vector<std::string> statements() {
        const std::string out =
            sql("SET GLOBAL general_log = 'OFF'; SELECT argument FROM mysql.general_log WHERE "
                "command_type = 'Query' AND thread_id IN (SELECT thread_id FROM mysql.general_log "
                "WHERE command_type = 'Connect' AND argument LIKE '% on ostrellib %') "
                "ORDER BY event_time;");
        std::vector<std::string> lines;
        for (const std::string& l : core::splitLines(out))
            if (!l.empty()) lines.push_back(l);
        return lines;
    }

    std::string install() const { return m_dir.str() + "Ostrel/"; }
    std::string serverUrl() const { return "http://127.0.0.1:" + std::to_string(m_http->port()); }
    std::string serverDir() const { return m_dir.str() + "www/public/qlupdate/"; }
    std::string versionFile() const { return serverDir() + "UPDATEQL.txt"; }
    std::string package() const { return serverDir() + "2014c.zip"; }
    std::string vid(const std::string& schema) {
        return core::Trim(sql("SELECT VID FROM " + schema + "._versione"));
    }
    std::string netLog() const {
        const fs::path p = m_dir.path() / "net.log";
        return fs::exists(p) ? readFile(p) : std::string();
    }
    bool tmpEmpty() const {
        std::error_code ec;
        return !fs::exists(m_dir.path() / "tmp", ec) || fs::is_empty(m_dir.path() / "tmp", ec);
    }
    std::string installedProgram() const { return readFile(install() + "QLMain.txt"); }
    const testsupport::TempDir& dir() const { return m_dir; }

    static void write(const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    }
    static void sh(const std::string& command) {
        std::string out;
        if (testsupport::runShell(command + " 2>&1", &out) != 0)
            throw std::runtime_error(command + ": " + out);
    }

  private:
    std::string sql(const std::string& text) {
        auto r = testsupport::runSql(*m_db, text);
        if (r.exitCode != 0) throw std::runtime_error(text + ": " + r.output);
        return r.output;
    }

    testsupport::TempDir m_dir;
    const testsupport::MariaDbSandbox* m_db = nullptr;
    std::unique_ptr<testsupport::NginxServer> m_http;
    std::string m_originalConfig;
};

bool contains(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) ++n;
    return n;
}

// Nothing of the release reached the machine: no service stopped, the installation's files as
// they were, no company changed, no temporary folder left.
void expectNothingInstalled(SignedWorld& w, const std::string& name) {
    EXPECT_EQ(w.netLog(), "") << name;
    EXPECT_EQ(w.installedProgram(), "old program\n") << name;
    EXPECT_EQ(w.vid("OSF0101"), "2014a") << name;
    EXPECT_EQ(w.vid("OSF0102"), "2014b") << name;
    EXPECT_TRUE(w.tmpEmpty()) << name;
}

// The statements of the company survey, and nothing that writes.
void expectOnlySurvey(const std::vector<std::string>& statements, const std::string& name) {
    EXPECT_FALSE(statements.empty()) << name;
    for (const std::string& s : statements) {
        const bool survey = s.starts_with("SELECT * FROM librerie") ||
                            s.starts_with("SELECT * FROM OSF") ||
                            s.starts_with("show triggers in ");
        EXPECT_TRUE(survey) << name << ": " << s;
    }
}

TEST(SignedUpdate, VerifiedReleaseIsInstalledAndItsSeqKept) {
    SignedWorld w;
    const RunResult r = w.run();
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_EQ(w.installedProgram(), "new program 2014c\n");
    EXPECT_EQ(count(r.output, ">> Aggiornamento verificato: firma valida, SEQ 1\n"), 1u)
        << r.output;
    EXPECT_FALSE(contains(r.output, "NON verificato"));
    EXPECT_EQ(readFile(w.install() + "qlupdate.state"), "SEQ|1\r\n");
    // The saved run log starts with the verification (newest line first, so it is the last).
    bool found = false;
    for (const auto& e : fs::directory_iterator(w.install()))
        if (e.path().extension() == ".uplog")
            found = readFile(e.path()).ends_with(
                ">> Aggiornamento verificato: firma valida, SEQ 1\r\n");
    EXPECT_TRUE(found);
}

TEST(SignedUpdate, RefusedVersionFilesFailPhaseOneBeforeTheSurvey) {
    const std::string wrong = "Firma del file di versione non valida: aggiornamento rifiutato!";
    struct Case {
        const char* name;
        std::function<void(SignedWorld&)> tamper;
        std::string text;
    };
    const Case cases[] = {
        {"version file with one line changed",
         [](SignedWorld& w) {
             std::string body = readFile(w.versionFile());
             body.replace(body.find("SIZE|"), 5, "SIZE|1");
             SignedWorld::write(w.versionFile(), body);
         },
         wrong},
        {"signature by another key",
         [](SignedWorld& w) {
             SignedWorld::sh(shellQuote(QL_QLTOOL) + " keygen " +
                             shellQuote(w.dir().str() + "other"));
             SignedWorld::sh(shellQuote(QL_QLTOOL) + " sign " +
                             shellQuote(w.dir().str() + "other/private.key") + " " +
                             shellQuote(w.versionFile()));
         },
         wrong},
        {"missing signature", [](SignedWorld& w) { fs::remove(w.versionFile() + ".sig"); },
         "Firma del file di versione mancante: aggiornamento rifiutato!"},
        {"expired version file",
         [](SignedWorld& w) {
             // Signed with the publisher's key through the library: qltool sign refuses an
             // expired file.
             std::string body = readFile(w.versionFile()) + "EXPIRES|2020-01-01T00:00:00Z\r\n";
             SignedWorld::write(w.versionFile(), body);
             trust::PrivateKeyError why{};
             const auto key =
                 trust::parsePrivateKey(readFile(w.dir().str() + "keys/private.key"), why);
             ASSERT_TRUE(key);
             SignedWorld::write(
                 w.versionFile() + ".sig",
                 trust::formatSignatureFile(trust::ed25519Sign(key->seed, trust::asBytes(body))));
         },
         "File di versione scaduto il 2020-01-01T00:00:00Z: aggiornamento rifiutato!"},
        {"public key in config.ini that is not a key",
         [](SignedWorld& w) { w.useKey(w.publicKeyLine().substr(1)); },
         "Chiave pubblica per la verifica non valida (config.ini, [Update] PublicKey): "
         "aggiornamento rifiutato!"},
    };
    for (const Case& c : cases) {
        SignedWorld w;
        c.tamper(w);
        w.logStatements();
        const RunResult r = w.run();
        EXPECT_EQ(r.exitCode, 2) << c.name << "\n" << r.output;
        EXPECT_TRUE(contains(r.output, "Stato: " + c.text + "\n")) << c.name << "\n" << r.output;
        EXPECT_EQ(w.statements(), std::vector<std::string>{}) << c.name;
        expectNothingInstalled(w, c.name);
        EXPECT_FALSE(fs::exists(w.install() + "qlupdate.state")) << c.name;
    }
}

TEST(SignedUpdate, OlderSignedVersionFileReplayedIsRefused) {
    SignedWorld w;
    const std::string oldBody = readFile(w.versionFile());
    const std::string oldSig = readFile(w.versionFile() + ".sig");
    w.publish();  // SEQ 2
    EXPECT_TRUE(contains(readFile(w.versionFile()), "SEQ|2\r\n"));
    // Phase 1 accepts SEQ 2; the user does not go on.
    const RunResult first = w.run("");
    EXPECT_EQ(first.exitCode, 5) << first.output;
    EXPECT_EQ(readFile(w.install() + "qlupdate.state"), "SEQ|2\r\n");
    // Someone answering for the server brings back the release of SEQ 1, signature and all.
    SignedWorld::write(w.versionFile(), oldBody);
    SignedWorld::write(w.versionFile() + ".sig", oldSig);
    w.logStatements();
    const RunResult r = w.run();
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_TRUE(contains(r.output,
                         "Stato: File di versione precedente all'ultimo accettato (SEQ 1 < 2): "
                         "aggiornamento rifiutato!\n"))
        << r.output;
    EXPECT_EQ(w.statements(), std::vector<std::string>{});
    expectNothingInstalled(w, "replay");
    EXPECT_EQ(readFile(w.install() + "qlupdate.state"), "SEQ|2\r\n");
}

TEST(SignedUpdate, PackageNotTheSignedOneFailsPhaseTwoBeforeExtraction) {
    const struct {
        const char* name;
        std::function<void(std::string&)> change;
        std::string text;
    } cases[] = {
        {"one byte changed", [](std::string& b) { b[b.size() / 2] ^= 0x20; },
         "SHA-256 del pacchetto diverso da quello firmato: aggiornamento rifiutato!"},
        {"one byte added", [](std::string& b) { b += '\0'; },
         "Dimensione del pacchetto diversa da quella firmata (oltre "},
    };
    for (const auto& c : cases) {
        SignedWorld w;
        std::string bytes = readFile(w.package());
        c.change(bytes);
        SignedWorld::write(w.package(), bytes);
        w.logStatements();
        const RunResult r = w.run();
        EXPECT_EQ(r.exitCode, 3) << c.name << "\n" << r.output;
        EXPECT_TRUE(contains(r.output, c.text)) << c.name << "\n" << r.output;
        EXPECT_FALSE(contains(r.output, "Estrazione aggiornamento in corso...")) << c.name;
        expectOnlySurvey(w.statements(), c.name);
        expectNothingInstalled(w, c.name);
    }
}

// A cached package that is not the signed one (a byte flipped on the disk) is never unpacked:
// it is refused, downloaded again, and the run log says so after the verification line.
TEST(SignedUpdate, CachedPackageNotTheSignedOneIsDownloadedAgain) {
    SignedWorld w;
    const std::string package = readFile(w.package());
    std::string damaged = package;
    damaged[damaged.size() / 2] ^= 0x20;
    const fs::path cache = fs::path(w.install()) / ".qlupdate" / "packages";
    fs::create_directories(cache);
    SignedWorld::write((cache / "2014c.qlzip").string(), damaged);
    const RunResult r = w.run();
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const std::string refused =
        ">> Pacchetto già scaricato scartato, nuovo download: SHA-256 del pacchetto diverso da "
        "quello firmato: aggiornamento rifiutato!";
    EXPECT_EQ(count(r.output, refused + "\n"), 1u) << r.output;
    EXPECT_FALSE(contains(r.output, "Uso il pacchetto già scaricato")) << r.output;
    EXPECT_EQ(w.installedProgram(), "new program 2014c\n");
    EXPECT_EQ(w.vid("OSF0101"), "2014c");
    EXPECT_EQ(readFile(cache / "2014c.qlzip"), package);
    // The saved run log (newest line first, in its own code page) has the line under the
    // verification.
    std::string log;
    for (const auto& e : fs::directory_iterator(w.install()))
        if (e.path().extension() == ".uplog") log = readFile(e.path());
    const std::size_t at = log.find("Pacchetto gi");
    ASSERT_NE(at, std::string::npos) << log;
    EXPECT_TRUE(log.ends_with(">> Aggiornamento verificato: firma valida, SEQ 1\r\n")) << log;
    EXPECT_NE(log.find("nuovo download: SHA-256 del pacchetto diverso", at), std::string::npos);
}

TEST(SignedUpdate, WithoutKeyTheUpdateRunsAsBeforeAndSaysItIsUnverified) {
    SignedWorld w;
    w.useKey(std::nullopt);
    fs::remove(w.versionFile() + ".sig");
    const RunResult r = w.run();
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(w.vid("OSF0102"), "2014c");
    EXPECT_EQ(count(r.output, "NON verificato"), 1u) << r.output;
    EXPECT_TRUE(contains(r.output,
                         ">> Aggiornamento NON verificato: nessuna chiave pubblica configurata\n"));
    EXPECT_FALSE(fs::exists(w.install() + "qlupdate.state"));
}

TEST(SignedUpdate, PublishNumbersFromTheServersVerifiedSeq) {
    SignedWorld w;
    const std::string publish = shellQuote(QL_SOURCE_DIR "/tools/publish") + " --qltool " +
                                shellQuote(QL_QLTOOL) + " --server " + w.serverUrl() + " " +
                                shellQuote(w.dir().str() + "keys/private.key") + " " +
                                shellQuote(w.package()) + " 2014c ";
    // A mirror published from the running server: one above the server's SEQ 1.
    SignedWorld::sh(publish + shellQuote(w.dir().str() + "mirror"));
    auto fields = trust::readReleaseFields(readFile(w.dir().str() + "mirror/UPDATEQL.txt"));
    ASSERT_TRUE(fields);
    EXPECT_EQ(fields->seq, 2u);
    EXPECT_EQ(fields->size, fs::file_size(w.package()));
    // A server whose version file does not verify with the publisher's key gives no number.
    SignedWorld::sh(shellQuote(QL_QLTOOL) + " keygen " + shellQuote(w.dir().str() + "other"));
    SignedWorld::sh(shellQuote(QL_QLTOOL) + " sign " +
                    shellQuote(w.dir().str() + "other/private.key") + " " +
                    shellQuote(w.versionFile()));
    std::string out;
    EXPECT_EQ(
        testsupport::runShell(publish + shellQuote(w.dir().str() + "mirror2") + " 2>&1", &out), 1);
    EXPECT_TRUE(contains(out, "does not verify")) << out;
    EXPECT_FALSE(fs::exists(w.dir().path() / "mirror2" / "UPDATEQL.txt"));
}

}  // namespace
