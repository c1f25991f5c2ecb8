// The checks of a signed release, in the order the updater makes them, and the installation's
// accepted SEQ kept between runs.
#include "trust/release_check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"
#include "trust/accepted_state.h"
#include "trust/key_setting.h"
#include "trust/keys.h"
#include "trust/signature_file.h"
#include "trust/version_file.h"

namespace {

using trust::Refusal;

const trust::PrivateKey& publisher() {
    static const trust::PrivateKey key = trust::newPrivateKey();
    return key;
}

std::string signatureOf(std::string_view body, const trust::PrivateKey& key = publisher()) {
    return trust::formatSignatureFile(trust::ed25519Sign(key.seed, trust::asBytes(body)));
}

const std::string kPackage = "PK\x03\x04 not really a zip, but bytes to check";

std::string versionFile(const std::string& extra = "", const std::string& seq = "7") {
    return "VE|2014c\r\nSHA256|" + trust::hexDigest(trust::sha256(trust::asBytes(kPackage))) +
           "\r\nSIZE|" + std::to_string(kPackage.size()) + "\r\nSEQ|" + seq + "\r\n" + extra;
}

constexpr std::int64_t kNow = 1700000000;  // 2023-11-14T22:13:20Z

TEST(ReleaseCheck, SignedReleaseIsAccepted) {
    const std::string body = versionFile("EXPIRES|2023-11-14T22:13:21Z\r\n");
    auto r = trust::verifyRelease(publisher().publicKey, body, signatureOf(body), kNow, 7);
    ASSERT_TRUE(r) << trust::refusalText(r.error());
    EXPECT_EQ(r->vid, "2014c");
    EXPECT_EQ(r->seq, 7u);
    EXPECT_EQ(r->size, kPackage.size());
    EXPECT_EQ(r->expires, kNow + 1);
}

TEST(ReleaseCheck, EachRefusal) {
    const std::string body = versionFile();
    const trust::PrivateKey other = trust::newPrivateKey();
    std::string changed = body;
    changed.replace(changed.find("2014c"), 5, "2014d");
    struct Case {
        const char* name;
        std::string body;
        std::optional<std::string> signature;
        std::optional<std::uint64_t> lastSeq;
        Refusal refusal;
        std::string text;
    };
    const auto signedCase = [&](const char* name, const std::string& b,
                                std::optional<std::uint64_t> last, Refusal refusal,
                                std::string text) {
        return Case{name, b, signatureOf(b), last, refusal, std::move(text)};
    };
    const Case cases[] = {
        {"no signature",
         body,
         std::nullopt,
         {},
         Refusal::SignatureMissing,
         "Firma del file di versione mancante: aggiornamento rifiutato!"},
        {"signature not base64",
         body,
         "????",
         {},
         Refusal::SignatureMalformed,
         "Firma del file di versione non leggibile: aggiornamento rifiutato!"},
        {"signature by another key",
         body,
         signatureOf(body, other),
         {},
         Refusal::SignatureWrong,
         "Firma del file di versione non valida: aggiornamento rifiutato!"},
        {"one line changed after signing",
         changed,
         signatureOf(body),
         {},
         Refusal::SignatureWrong,
         "Firma del file di versione non valida: aggiornamento rifiutato!"},
        {"a line end added after signing",
         body + "\r\n",
         signatureOf(body),
         {},
         Refusal::SignatureWrong,
         "Firma del file di versione non valida: aggiornamento rifiutato!"},
        signedCase("expired a second ago", versionFile("EXPIRES|2023-11-14T22:13:20Z\r\n"), {},
                   Refusal::Expired,
                   "File di versione scaduto il 2023-11-14T22:13:20Z: aggiornamento rifiutato!"),
        signedCase("lower SEQ than accepted", body, 8, Refusal::Replayed,
                   "File di versione precedente all'ultimo accettato (SEQ 7 < 8): aggiornamento "
                   "rifiutato!"),
        signedCase("SEQ repeated", versionFile("SEQ|9\r\n"), {}, Refusal::VersionFileMalformed,
                   "File di versione non valido (SEQ ripetuto): aggiornamento rifiutato!"),
        signedCase("SEQ out of form", versionFile("", "x7"), {}, Refusal::VersionFileMalformed,
                   "File di versione non valido (SEQ|x7): aggiornamento rifiutato!"),
        signedCase("no SEQ", "VE|a\r\nSHA256|" + std::string(64, '0') + "\r\nSIZE|1\r\n", {},
                   Refusal::VersionFileMalformed,
                   "File di versione non valido (manca SEQ): aggiornamento rifiutato!"),
        signedCase("no SHA256", "VE|a\r\nSIZE|1\r\nSEQ|1\r\n", {}, Refusal::VersionFileMalformed,
                   "File di versione non valido (manca SHA256): aggiornamento rifiutato!"),
        signedCase("no SIZE", "VE|a\r\nSHA256|" + std::string(64, '0') + "\r\nSEQ|1\r\n", {},
                   Refusal::VersionFileMalformed,
                   "File di versione non valido (manca SIZE): aggiornamento rifiutato!"),
        signedCase("no VE", "SHA256|" + std::string(64, '0') + "\r\nSIZE|1\r\nSEQ|1\r\n", {},
                   Refusal::VersionFileMalformed,
                   "File di versione non valido (manca VE): aggiornamento rifiutato!"),
    };
    for (const Case& c : cases) {
        std::optional<std::string_view> sig;
        if (c.signature) sig = *c.signature;
        auto r = trust::verifyRelease(publisher().publicKey, c.body, sig, kNow, c.lastSeq);
        ASSERT_FALSE(r) << c.name;
        EXPECT_EQ(r.error().refusal, c.refusal) << c.name;
        EXPECT_EQ(trust::refusalText(r.error()), c.text) << c.name;
    }
}

TEST(ReleaseCheck, InstallationKeepsTheHighestAcceptedSeq) {
    testsupport::TempDir install;
    const auto accept = [&](const std::string& seq) {
        const std::string body = versionFile("", seq);
        return trust::acceptRelease(publisher().publicKey, install.str(), body, signatureOf(body),
                                    kNow);
    };
    EXPECT_FALSE(trust::readAcceptedSeq(install.str()).value());
    ASSERT_TRUE(accept("5"));
    EXPECT_EQ(testsupport::readFile(install.path() / "qlupdate.state"), "SEQ|5\r\n");
    ASSERT_TRUE(accept("5"));  // the same release again (a rerun after a failed download)
    ASSERT_TRUE(accept("9"));
    auto replay = accept("5");
    ASSERT_FALSE(replay);
    EXPECT_EQ(replay.error().refusal, Refusal::Replayed);
    EXPECT_EQ(trust::readAcceptedSeq(install.str()).value(), 9u);
    // A refused release does not touch the state.
    const std::string bad = versionFile("", "12");
    EXPECT_FALSE(
        trust::acceptRelease(publisher().publicKey, install.str(), bad, signatureOf("x"), kNow));
    EXPECT_EQ(trust::readAcceptedSeq(install.str()).value(), 9u);
    EXPECT_FALSE(std::filesystem::exists(install.path() / "qlupdate.state.new"));
}

TEST(ReleaseCheck, DamagedOrUnwritableStateRefusesInsteadOfForgetting) {
    const std::string body = versionFile();
    const struct {
        const char* name;
        std::string content;  // "" = a folder in the file's place
    } damaged[] = {
        {"no SEQ line", "garbage\r\n"}, {"SEQ out of form", "SEQ|-3\r\n"}, {"a folder", ""}};
    for (const auto& c : damaged) {
        testsupport::TempDir install;
        if (c.content.empty())
            std::filesystem::create_directory(install.path() / "qlupdate.state");
        else
            install.write("qlupdate.state", c.content);
        auto r = trust::acceptRelease(publisher().publicKey, install.str(), body, signatureOf(body),
                                      kNow);
        ASSERT_FALSE(r) << c.name;
        EXPECT_EQ(r.error().refusal, Refusal::StateUnreadable) << c.name;
        EXPECT_EQ(r.error().detail, install.str() + "qlupdate.state") << c.name;
    }
    // An installation folder that is not there cannot keep the state.
    testsupport::TempDir base;
    auto r = trust::acceptRelease(publisher().publicKey, base.str() + "gone/", body,
                                  signatureOf(body), kNow);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().refusal, Refusal::StateNotSaved);
}

TEST(ReleaseCheck, PackageAgainstSignedSizeAndDigest) {
    testsupport::TempDir dir;
    const std::string body = versionFile();
    auto release = trust::verifyRelease(publisher().publicKey, body, signatureOf(body), kNow, {});
    ASSERT_TRUE(release);
    std::string flipped = kPackage;
    flipped[10] ^= 0x01;
    const struct {
        const char* name;
        std::optional<std::string> bytes;
        std::optional<Refusal> refusal;
    } cases[] = {
        {"the signed bytes", kPackage, std::nullopt},
        {"one byte changed", flipped, Refusal::PackageDigest},
        {"one byte more", kPackage + "x", Refusal::PackageSize},
        {"one byte less", kPackage.substr(1), Refusal::PackageSize},
        {"empty", std::string(), Refusal::PackageSize},
        {"no file", std::nullopt, Refusal::PackageUnreadable},
    };
    for (const auto& c : cases) {
        const std::string file = dir.str() + "2014c.qlzip";
        std::filesystem::remove(file);
        if (c.bytes) dir.write("2014c.qlzip", *c.bytes);
        auto r = trust::checkPackage(file, *release);
        if (!c.refusal) {
            EXPECT_TRUE(r) << c.name;
        } else {
            ASSERT_FALSE(r) << c.name;
            EXPECT_EQ(r.error().refusal, *c.refusal) << c.name;
        }
    }
}

TEST(KeySetting, ConfigOverBuiltInAndNeverSilentlyOff) {
    const std::string a = trust::formatPublicKey(publisher().publicKey);
    const std::string b = trust::formatPublicKey(trust::newPrivateKey().publicKey);
    const struct {
        const char* name;
        std::optional<std::string> configured;
        std::string builtIn;
        std::optional<std::string> key;  // nullopt: no key
        bool error;
    } cases[] = {
        {"neither", std::nullopt, "", std::nullopt, false},
        {"empty value is absent", "", "", std::nullopt, false},
        {"config.ini", a, "", a, false},
        {"config.ini before the built-in key", a, b, a, false},
        {"built-in", std::nullopt, b, b, false},
        {"empty value leaves the built-in key", "", b, b, false},
        {"config.ini value that is not a key", "xyz", b, std::nullopt, true},
        {"built-in value that is not a key", std::nullopt, "xyz", std::nullopt, true},
    };
    for (const auto& c : cases) {
        auto r = trust::chooseUpdateKey(c.configured, c.builtIn);
        ASSERT_EQ(r.ok(), !c.error) << c.name;
        if (c.error) {
            EXPECT_EQ(r.error().refusal, Refusal::BadPublicKey) << c.name;
            continue;
        }
        ASSERT_EQ(r->has_value(), c.key.has_value()) << c.name;
        if (c.key) {
            EXPECT_EQ(trust::formatPublicKey(**r), *c.key) << c.name;
        }
    }
}

TEST(KeySetting, ReadFromTheInstallationsConfigIni) {
    testsupport::TempDir install;
    const std::string a = trust::formatPublicKey(publisher().publicKey);
    install.write("config.ini", "[MySQL]\r\nSERVER=x\r\n[update]\r\npublickey = " + a + "\r\n");
    auto r = trust::updateKeyOf(install.str());
    ASSERT_TRUE(r);
    ASSERT_TRUE(r->has_value());
    EXPECT_EQ(**r, publisher().publicKey);
}

}  // namespace
