// qltool keygen, sign and verify run as the publisher runs them: files, exit codes, reasons.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

struct ToolResult {
    int status;
    std::string out;
};

ToolResult tool(const std::string& args) {
    ToolResult r{-1, {}};
    std::FILE* p = ::popen((testsupport::qltoolPath() + " " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) r.out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// "SHA256|" line of the bytes, from the system's sha256sum (an independent producer).
std::string sha256Line(const fs::path& file) {
    std::FILE* p = ::popen(("sha256sum '" + file.string() + "'").c_str(), "r");
    char buf[65] = {};
    const std::size_t n = p ? std::fread(buf, 1, 64, p) : 0;
    if (p) ::pclose(p);
    return "SHA256|" + std::string(buf, n) + "\r\n";
}

class Publisher : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(tool("keygen " + dir.str() + "keys").status, 0);
        pkg = dir.write("www/2014c.zip", "the package bytes");
        version = dir.str() + "www/UPDATEQL.txt";
        body = "VE|2014c\r\n" + sha256Line(pkg) + "SIZE|17\r\nSEQ|4\r\n";
        dir.write("www/UPDATEQL.txt", body);
        ASSERT_EQ(tool("sign " + key() + " " + version).status, 0);
    }
    std::string key() const { return dir.str() + "keys/private.key"; }
    std::string pub() const { return dir.str() + "keys/public.key"; }

    TempDir dir;
    fs::path pkg;
    std::string version;
    std::string body;
};

TEST_F(Publisher, KeygenWritesAnOwnerOnlyPrivateKeyAndKeepsExistingFiles) {
    EXPECT_EQ(fs::status(key()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    const std::string pubLine = testsupport::readFile(pub());
    EXPECT_EQ(pubLine.size(), 45u);
    const std::string before = testsupport::readFile(key());
    const ToolResult again = tool("keygen " + dir.str() + "keys");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.out.find("already exists"), std::string::npos) << again.out;
    EXPECT_EQ(testsupport::readFile(key()), before);
    EXPECT_EQ(testsupport::readFile(pub()), pubLine);
}

TEST_F(Publisher, VerifyAcceptsTheSignedReleaseWithItsPackage) {
    const ToolResult r = tool("verify " + pub() + " " + version + " " + pkg.string());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out, "VE|2014c\n" + sha256Line(pkg).substr(0, 71) +
                         "\nSIZE|17\nSEQ|4\nfirma e pacchetto verificati\n");
    // The key given as its line instead of its file.
    const std::string line = testsupport::readFile(pub()).substr(0, 44);
    EXPECT_EQ(tool("verify " + line + " " + version).status, 0);
}

TEST_F(Publisher, VerifyRefusalsGiveTheUpdatersReason) {
    TempDir other;
    ASSERT_EQ(tool("keygen " + other.str()).status, 0);
    const struct {
        const char* name;
        std::string setUp;  // shell commands run first
        std::string args;
        std::string reason;
    } cases[] = {
        {"package with one byte changed",
         "printf 'The' | dd of=" + pkg.string() + " conv=notrunc 2>/dev/null",
         pub() + " " + version + " " + pkg.string(),
         "SHA-256 del pacchetto diverso da quello firmato: aggiornamento rifiutato!\n"},
        {"version file with one line changed", "sed -i 's/SEQ|4/SEQ|5/' " + version,
         pub() + " " + version,
         "Firma del file di versione non valida: aggiornamento rifiutato!\n"},
        {"another key", "", other.str() + "public.key " + version,
         "Firma del file di versione non valida: aggiornamento rifiutato!\n"},
        {"no signature", "rm " + version + ".sig", pub() + " " + version,
         "Firma del file di versione mancante: aggiornamento rifiutato!\n"},
    };
    for (const auto& c : cases) {
        // A fresh key and signed release for each case.
        fs::remove_all(dir.path() / "keys");
        SetUp();
        if (!c.setUp.empty()) {
            ASSERT_EQ(std::system(c.setUp.c_str()), 0) << c.name;
        }
        const ToolResult r = tool("verify " + c.args);
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.out, c.reason) << c.name;
    }
}

TEST_F(Publisher, SignRefusesAPublicKeyAndAnUnsignableVersionFile) {
    const ToolResult withPublic = tool("sign " + pub() + " " + version);
    EXPECT_EQ(withPublic.status, 1);
    EXPECT_NE(withPublic.out.find("not a private key"), std::string::npos) << withPublic.out;
    dir.write("www/old.txt", "VE|2014c\r\n");
    const ToolResult unsigned_ = tool("sign " + key() + " " + dir.str() + "www/old.txt");
    EXPECT_EQ(unsigned_.status, 1);
    EXPECT_NE(unsigned_.out.find("manca SHA256"), std::string::npos) << unsigned_.out;
    EXPECT_FALSE(fs::exists(dir.path() / "www/old.txt.sig"));
    EXPECT_EQ(tool("sign " + key()).status, 64);
    EXPECT_EQ(tool("verify " + pub()).status, 64);
}

}  // namespace
