// qltool keygen, sign and verify run as the publisher runs them: files, exit codes, reasons.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
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

// qltool with the blank-separated words of `args` (temporary paths have no blanks).
ToolResult tool(const std::string& args) {
    std::vector<std::string> argv{testsupport::qltoolPath()};
    std::istringstream words(args);
    for (std::string w; words >> w;) argv.push_back(w);
    const testsupport::ToolRun run = testsupport::runTool(argv, testsupport::Stderr::WithStdout);
    return {run.status, run.out};
}

// "SHA256|" line of the package's bytes "the package bytes", from sha256sum (an independent
// producer).
const std::string kPackageSha256Line =
    "SHA256|33303d0264a0628f380dc5be4d6933ddf91381d6cb0cb7078f75939ecfb48bea\r\n";

void replaceInFile(const fs::path& file, const std::string& from, const std::string& to) {
    std::string text = testsupport::readFile(file);
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << file;
    text.replace(at, from.size(), to);
    std::ofstream(file, std::ios::binary) << text;
}

class Publisher : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(tool("keygen " + dir.str() + "keys").status, 0);
        pkg = dir.write("www/2014c.zip", "the package bytes");
        version = dir.str() + "www/UPDATEQL.txt";
        body = "VE|2014c\r\n" + kPackageSha256Line + "SIZE|17\r\nSEQ|4\r\n";
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
#ifndef _WIN32  // Windows: the key's DACL is checked by the host tests
    EXPECT_EQ(fs::status(key()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
#endif
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
    EXPECT_EQ(r.out, "VE|2014c\n" + kPackageSha256Line.substr(0, 71) +
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
        std::function<void()> setUp;  // run first
        std::string args;
        std::string reason;
    } cases[] = {
        {"package with one byte changed", [&] { replaceInFile(pkg, "the", "The"); },
         pub() + " " + version + " " + pkg.string(),
         "SHA-256 del pacchetto diverso da quello firmato: aggiornamento rifiutato!\n"},
        {"version file with one line changed", [&] { replaceInFile(version, "SEQ|4", "SEQ|5"); },
         pub() + " " + version,
         "Firma del file di versione non valida: aggiornamento rifiutato!\n"},
        {"another key", nullptr, other.str() + "public.key " + version,
         "Firma del file di versione non valida: aggiornamento rifiutato!\n"},
        {"no signature", [&] { ASSERT_TRUE(fs::remove(version + ".sig")); }, pub() + " " + version,
         "Firma del file di versione mancante: aggiornamento rifiutato!\n"},
    };
    for (const auto& c : cases) {
        // A fresh key and signed release for each case.
        fs::remove_all(dir.path() / "keys");
        SetUp();
        if (c.setUp) {
            SCOPED_TRACE(c.name);
            c.setUp();
            if (HasFatalFailure()) return;
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
