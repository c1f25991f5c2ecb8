// TAbUnZipper as the updater drives it (BaseDirectory, FileName, ExtractFiles("*.*"),
// CloseArchive) over archives written by Info-ZIP zip and 7-Zip, and hand-built ones for what
// no tool writes.
#include "archive/unzipper.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "archive/zip_crypto.h"
#include "host/platform.h"
#include "tests/archive/archive_test_util.h"
#include "tests/support/zip_builder.h"

// Designated initializers leave the other fields of an entry at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

namespace fs = std::filesystem;
using archive::ErrorClass;
using archive::TAbUnZipper;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::ZipEntrySpec;

struct Fixture {
    TempDir src;  // what the archivers pack
    TempDir out;  // the base directory
    std::string zip() const { return (src.path() / "package.qlzip").string(); }
};

std::vector<archive::FailedEntry> extract(const std::string& zipPath, const std::string& base,
                                          const std::string& mask = "*.*") {
    TAbUnZipper u;
    u.SetBaseDirectory(base);
    u.SetFileName(zipPath);
    u.ExtractFiles(mask);
    auto failed = u.FailedEntries();
    u.CloseArchive();
    return failed;
}

std::string writeZip(const TempDir& dir, const std::string& bytes,
                     const std::string& name = "hand.qlzip") {
    return dir.write(name, bytes).string();
}

TEST(UnZipper, PackageTreeFromInfoZip) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    const std::string app = archtest::sampleContent(200000, 3);
    f.src.write("1.2.3/bin/app.exe", app);
    f.src.write("1.2.3/Update/x.sql", "INSERT INTO t VALUES (1);\r\n");
    f.src.write("1.2.3/README", "no dot in this name");
    f.src.write("1.2.3/empty.txt", "");
    archtest::runIn(f.src, "zip -q -r package.qlzip 1.2.3");

    EXPECT_TRUE(extract(f.zip(), f.out.str()).empty());
    EXPECT_EQ(readFile(f.out.path() / "1.2.3/bin/app.exe"), app);
    EXPECT_EQ(readFile(f.out.path() / "1.2.3/Update/x.sql"), "INSERT INTO t VALUES (1);\r\n");
    EXPECT_EQ(readFile(f.out.path() / "1.2.3/README"), "no dot in this name");
    EXPECT_EQ(readFile(f.out.path() / "1.2.3/empty.txt"), "");
}

TEST(UnZipper, EveryMethodOfTheArchivers) {
    struct Case {
        const char* tool;
        const char* command;
    } cases[] = {
        {"zip", "zip -q -0 package.qlzip -r d"},
        {"zip", "zip -q -9 package.qlzip -r d"},
        {"zip", "zip -q -Z bzip2 package.qlzip -r d"},
        {"7z", "7z a -bd -tzip -mm=Deflate package.qlzip d"},
        {"7z", "7z a -bd -tzip -mm=BZip2 package.qlzip d"},
        {"7z", "7z a -bd -tzip -mm=LZMA package.qlzip d"},
        // Local headers with sizes after the data, some of them known.
        {"bsdtar", "bsdtar --format zip -cf package.qlzip d"},
    };
    const std::string big = archtest::sampleContent(700000, 5);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        if (!testsupport::haveTool(c.tool)) continue;
        Fixture f;
        f.src.write("d/big.bin", big);
        f.src.write("d/sub/small.txt", "small");
        archtest::runIn(f.src, c.command);
        const auto failed = extract(f.zip(), f.out.str());
        EXPECT_TRUE(failed.empty()) << (failed.empty() ? "" : failed[0].message);
        EXPECT_TRUE(readFile(f.out.path() / "d/big.bin") == big);
        EXPECT_EQ(readFile(f.out.path() / "d/sub/small.txt"), "small");
    }
}

TEST(UnZipper, FoldersWithoutDirectoryEntriesAreCreatedLevelByLevel) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    f.src.write("a/b/c.txt", "c");
    archtest::runIn(f.src, "zip -q -D package.qlzip a/b/c.txt");
    EXPECT_TRUE(extract(f.zip(), f.out.str()).empty());
    EXPECT_TRUE(fs::is_directory(f.out.path() / "a/b"));
    EXPECT_EQ(readFile(f.out.path() / "a/b/c.txt"), "c");
}

TEST(UnZipper, ExistingFilesAreReplacedButReadOnlyOnesFail) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    f.src.write("keep.txt", "new keep");
    f.src.write("locked.txt", "new locked");
    f.src.write("other.txt", "other");
    archtest::runIn(f.src, "zip -q package.qlzip keep.txt locked.txt other.txt");
    f.out.write("keep.txt", "old keep");
    const std::string locked = f.out.write("locked.txt", "old locked").string();
    ASSERT_TRUE(host::setReadOnly(locked));

    int reports = 0;
    TAbUnZipper u;
    u.OnProcessItemFailure = [&](TAbUnZipper&, const archive::TAbZipItem& item,
                                 archive::ProcessType p, ErrorClass cls, int code) {
        ++reports;
        EXPECT_EQ(item.FileName, "locked.txt");
        EXPECT_EQ(p, archive::ProcessType::Extract);
        EXPECT_EQ(cls, ErrorClass::FileCreate);
        EXPECT_EQ(code, 0);
    };
    u.SetBaseDirectory(f.out.str());
    u.SetFileName(f.zip());
    u.ExtractFiles("*.*");
    EXPECT_EQ(reports, 1);
    ASSERT_EQ(u.FailedEntries().size(), 1U);
    EXPECT_EQ(u.FailedEntries()[0].className, "EFCreateError");
    EXPECT_EQ(readFile(f.out.path() / "keep.txt"), "new keep");
    EXPECT_EQ(readFile(locked), "old locked");
    EXPECT_EQ(readFile(f.out.path() / "other.txt"), "other");
}

TEST(UnZipper, OverwriteQuestionAnsweredNoKeepsTheFile) {
    Fixture f;
    const std::string zip =
        writeZip(f.src, testsupport::buildZip({ZipEntrySpec{.name = "a.txt", .data = "new"}}));
    f.out.write("a.txt", "old");
    TAbUnZipper u;
    std::string asked;
    u.OnConfirmOverwrite = [&](TAbUnZipper&, const archive::TAbZipItem&, std::string& name,
                               bool& confirm) {
        asked = name;
        confirm = false;
    };
    u.SetBaseDirectory(f.out.str());
    u.SetFileName(zip);
    u.ExtractFiles("*.*");
    EXPECT_EQ(asked, "a.txt");
    EXPECT_EQ(readFile(f.out.path() / "a.txt"), "old");
    EXPECT_TRUE(u.FailedEntries().empty());
}

TEST(UnZipper, LaterDuplicateWinsAndFailedReplacementLeavesNothing) {
    Fixture f;
    const std::string zip = writeZip(
        f.src, testsupport::buildZip(
                   {ZipEntrySpec{.name = "dup.txt", .data = "first"},
                    ZipEntrySpec{.name = "dup.txt", .data = "second"},
                    ZipEntrySpec{.name = "bad.txt", .data = "corrupt", .crc = 0x12345678}}));
    f.out.write("bad.txt", "previous content");
    const auto failed = extract(zip, f.out.str());
    EXPECT_EQ(readFile(f.out.path() / "dup.txt"), "second");
    ASSERT_EQ(failed.size(), 1U);
    EXPECT_EQ(failed[0].name, "bad.txt");
    EXPECT_EQ(failed[0].className, "EAbZipBadCRC");
    EXPECT_EQ(failed[0].code, 19);
    EXPECT_EQ(failed[0].errorClass, ErrorClass::Archive);
    EXPECT_EQ(failed[0].message, "Failed CRC Check");
    EXPECT_FALSE(fs::exists(f.out.path() / "bad.txt"));
}

TEST(UnZipper, BadCrcFromAToolMadeArchiveLeavesNoFile) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    f.src.write("data.bin", archtest::sampleContent(5000, 9));
    f.src.write("fine.txt", "fine");
    archtest::runIn(f.src, "zip -q -0 package.qlzip data.bin fine.txt");
    std::string bytes = readFile(f.zip());
    bytes[30 + 8 + 100] ^= 0x01;  // a byte inside data.bin's stored data
    writeZip(f.src, bytes, "package.qlzip");
    const auto failed = extract(f.zip(), f.out.str());
    ASSERT_EQ(failed.size(), 1U);
    EXPECT_EQ(failed[0].code, 19);
    EXPECT_FALSE(fs::exists(f.out.path() / "data.bin"));
    EXPECT_EQ(readFile(f.out.path() / "fine.txt"), "fine");
}

// A wrong password whose check byte does not happen to match this archive's random header (one
// in 256 would, and would then fail later as corrupt data).
std::string wrongPassword(const std::string& zip) {
    const auto entry = archtest::firstEntry(zip);
    std::array<std::uint8_t, 12> header{};
    for (std::size_t i = 0; i < 12; ++i) header[i] = static_cast<std::uint8_t>(entry.data[i]);
    const auto check = static_cast<std::uint8_t>(
        (entry.header.flags & 8) != 0 ? entry.header.dosTime >> 8 : entry.header.crc32 >> 24);
    for (int i = 0;; ++i) {
        const std::string pw = "wrong" + std::to_string(i);
        archive::ZipCryptoKeys keys(pw);
        if (!archive::checkZipCryptoHeader(keys, header, check)) return pw;
    }
}

TEST(UnZipper, EncryptedEntriesFailWithoutAFileUnlessThePasswordIsKnown) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    const std::string secret = archtest::sampleContent(40000, 11);
    f.src.write("secret.bin", secret);
    archtest::runIn(f.src, "zip -q -P s3cret package.qlzip secret.bin");
    archtest::runIn(
        f.src,
        "zip -q -P s3cret - secret.bin | cat > streamed.qlzip");  // sizes in a data descriptor
    for (const char* name : {"package.qlzip", "streamed.qlzip"}) {
        SCOPED_TRACE(name);
        const std::string zip = (f.src.path() / name).string();
        const std::string entry = "secret.bin";
        fs::remove(f.out.path() / entry);
        const std::string wrong = wrongPassword(readFile(zip));

        const auto failed = extract(zip, f.out.str());
        ASSERT_EQ(failed.size(), 1U);
        EXPECT_EQ(failed[0].className, "EAbZipInvalidPassword");
        EXPECT_EQ(failed[0].code, 4);
        EXPECT_FALSE(fs::exists(f.out.path() / entry));

        // A password handler is asked again after a wrong answer, at most PasswordRetries times.
        TAbUnZipper u;
        int asked = 0;
        u.OnNeedPassword = [&](TAbUnZipper&, std::string& pw) {
            pw = ++asked < 3 ? wrong : "s3cret";
        };
        u.SetBaseDirectory(f.out.str());
        u.SetFileName(zip);
        u.ExtractFiles("*.*");
        EXPECT_TRUE(u.FailedEntries().empty());
        EXPECT_EQ(asked, 3);
        EXPECT_TRUE(readFile(f.out.path() / entry) == secret);
    }
}

TEST(UnZipper, CommentsAndStreamedEntries) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    f.src.write("a.txt", "with a comment");
    archtest::runIn(f.src, "printf 'Package 1.2.3 %04000d' 7 | zip -q -z package.qlzip a.txt");
    // Output to a pipe: zip cannot go back, so the sizes follow the data in a descriptor.
    archtest::runIn(f.src, "printf 'from a pipe' | zip -q - - | cat > streamed.qlzip");
    EXPECT_TRUE(extract(f.zip(), f.out.str()).empty());
    EXPECT_EQ(readFile(f.out.path() / "a.txt"), "with a comment");
    EXPECT_TRUE(extract((f.src.path() / "streamed.qlzip").string(), f.out.str()).empty());
    EXPECT_EQ(readFile(f.out.path() / "-"), "from a pipe");
}

TEST(UnZipper, UnixModesAndSymbolicLinks) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    const auto ro = f.src.write("ro.txt", "read only");
    const auto rw = f.src.write("rw.txt", "read write");
    fs::permissions(ro, fs::perms(0444));
    fs::permissions(rw, fs::perms(0644));
    fs::create_symlink("rw.txt", f.src.path() / "link");
    archtest::runIn(f.src, "zip -q -y package.qlzip ro.txt rw.txt link");
    EXPECT_TRUE(extract(f.zip(), f.out.str()).empty());
    EXPECT_TRUE(host::isWriteProtected((f.out.path() / "ro.txt").string()));
    EXPECT_FALSE(host::isWriteProtected((f.out.path() / "rw.txt").string()));
    EXPECT_EQ(readFile(f.out.path() / "ro.txt"), "read only");
    // The link entry becomes a plain file holding the link's text.
    EXPECT_FALSE(fs::is_symlink(f.out.path() / "link"));
    EXPECT_EQ(readFile(f.out.path() / "link"), "rw.txt");
}

TEST(UnZipper, DosTimeIsSetAsLocalTimeAndAnInvalidOneIsReported) {
    Fixture f;
    const std::uint16_t date = static_cast<std::uint16_t>(((2021 - 1980) << 9) | (7 << 5) | 14);
    const std::uint16_t time = static_cast<std::uint16_t>((9 << 11) | (30 << 5) | (42 / 2));
    const std::string zip = writeZip(
        f.src,
        testsupport::buildZip(
            {ZipEntrySpec{.name = "dated.txt", .data = "d", .dosTime = time, .dosDate = date},
             ZipEntrySpec{.name = "nodate.txt",
                          .data = "n",
                          .dosTime = 0,
                          .dosDate = 0,
                          .externalAttributes = 0x21},
             ZipEntrySpec{.name = "hour25.txt", .data = "h", .dosTime = 25 << 11},
             ZipEntrySpec{
                 .name = "feb30.txt", .data = "f", .dosDate = (45 << 9) | (2 << 5) | 30}}));
    const auto failed = extract(zip, f.out.str());
    host::LocalDateTime t;
    ASSERT_TRUE(host::fileTimeLocal((f.out.path() / "dated.txt").string(), t));
    EXPECT_EQ((std::vector<int>{t.year, t.month, t.day, t.hour, t.minute, t.second}),
              (std::vector<int>{2021, 7, 14, 9, 30, 42}));
    ASSERT_EQ(failed.size(), 3U);
    for (const auto& e : failed) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(e.className, "EAbInvalidDateTime");
        EXPECT_EQ(e.errorClass, ErrorClass::Other);
        EXPECT_TRUE(fs::exists(f.out.path() / e.name));  // written in full, then reported
    }
    // Time and attributes are both skipped: the read-only bit of nodate.txt was not applied.
    EXPECT_FALSE(host::isWriteProtected((f.out.path() / "nodate.txt").string()));
}

TEST(UnZipper, ReadOnlyFromDosAttributesOrTheUnixOwnerWriteBit) {
    constexpr std::uint16_t kUnix = 0x0314, kDos = 20;
    struct Case {
        const char* name;
        std::uint16_t madeBy;
        std::uint32_t attributes;
        bool readOnly;
    } cases[] = {
        {"dos-ro", kDos, 0x21, true},
        {"dos-hidden", kDos, 0x22, false},
        {"unix-444", kUnix, 0100444U << 16, true},
        {"unix-555", kUnix, 0100555U << 16, true},
        {"unix-644", kUnix, 0100644U << 16, false},
        {"unix-200", kUnix, 0100200U << 16, false},
        {"unix-mode-0", kUnix, 0, true},  // no mode at all: owner-write clear
        {"unix-mode-0-dos-ro", kUnix, 0x01, true},
        {"unix-no-type-644", kUnix, 0644U << 16, false},
        // Another host with a mode in the high half: the mode decides.
        {"ntfs-with-mode-444", 0x0A14, 0100444U << 16, true},
    };
    Fixture f;
    std::vector<ZipEntrySpec> entries;
    for (const auto& c : cases)
        entries.push_back(ZipEntrySpec{.name = c.name,
                                       .data = "x",
                                       .versionMadeBy = c.madeBy,
                                       .externalAttributes = c.attributes});
    EXPECT_TRUE(extract(writeZip(f.src, testsupport::buildZip(entries)), f.out.str()).empty());
    for (const auto& c : cases)
        EXPECT_EQ(host::isWriteProtected((f.out.path() / c.name).string()), c.readOnly) << c.name;
}

// A local header that describes another entry, and several entries claiming one stream of
// bytes, fail each entry concerned before any of it is written; the others come out.
TEST(UnZipper, EntriesWhoseLayoutDisagreesAreRefused) {
    const std::string big(64 * 1024, 'z');
    struct Case {
        const char* name;
        std::vector<ZipEntrySpec> entries;
        std::vector<std::string> refused;
    } cases[] = {
        {"four headers, one stream",
         {ZipEntrySpec{.name = "a", .data = big}, ZipEntrySpec{.name = "a", .sameDataAs = 0},
          ZipEntrySpec{.name = "a", .sameDataAs = 0}, ZipEntrySpec{.name = "a", .sameDataAs = 0},
          ZipEntrySpec{.name = "ok", .data = "fine"}},
         {"a", "a", "a", "a"}},
        {"another name's stream",
         {ZipEntrySpec{.name = "a", .data = big},
          ZipEntrySpec{.name = "b", .data = big, .sameDataAs = 0},
          ZipEntrySpec{.name = "ok", .data = "fine"}},
         {"a", "b"}},
        {"data over the next header",
         {ZipEntrySpec{.name = "a", .data = "aaaa", .compressedSize = 20},
          ZipEntrySpec{.name = "b", .data = "bbbb"}, ZipEntrySpec{.name = "ok", .data = "fine"}},
         {"a", "b"}},
        {"data into the central directory",
         {ZipEntrySpec{.name = "ok", .data = "fine"},
          ZipEntrySpec{.name = "a", .data = "aaaa", .compressedSize = 40}},
         {"a"}},
        {"local name",
         {ZipEntrySpec{.name = "a.txt", .data = "x", .localName = "a.exe"},
          ZipEntrySpec{.name = "ok", .data = "fine"}},
         {"a.txt"}},
        {"local method",
         {ZipEntrySpec{.name = "a.txt", .data = "x", .localMethod = 8},
          ZipEntrySpec{.name = "ok", .data = "fine"}},
         {"a.txt"}},
        {"local size",
         {ZipEntrySpec{.name = "a.txt", .data = "x", .localUncompressedSize = 1u << 30},
          ZipEntrySpec{.name = "ok", .data = "fine"}},
         {"a.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir src, out;
        const auto failed = extract(writeZip(src, testsupport::buildZip(c.entries)), out.str());
        std::vector<std::string> names;
        for (const auto& e : failed) {
            names.push_back(e.name);
            EXPECT_EQ(e.className, "EAbZipInvalid");
            EXPECT_EQ(e.code, 24);
            EXPECT_FALSE(fs::exists(out.path() / e.name));
        }
        EXPECT_EQ(names, c.refused);
        EXPECT_EQ(readFile(out.path() / "ok"), "fine");
    }
}

TEST(UnZipper, NotEnoughFreeSpaceFailsBeforeAnythingIsWritten) {
    Fixture f;
    const auto free = host::freeDiskSpace(f.out.str());
    ASSERT_TRUE(free);
    // Entries that claim 4 GiB each, enough of them to exceed what the disk has free.
    std::vector<ZipEntrySpec> entries{ZipEntrySpec{.name = "first.txt", .data = "1"}};
    const std::uint64_t each = 0xFFFFFFFFu;
    for (std::uint64_t i = 0; i <= *free / each; ++i)
        entries.push_back(ZipEntrySpec{.name = "big/" + std::to_string(i),
                                       .data = "x",
                                       .uncompressedSize = static_cast<std::uint32_t>(each)});
    const std::string zip = writeZip(f.src, testsupport::buildZip(entries));
    TAbUnZipper u;
    u.SetBaseDirectory(f.out.str());
    u.SetFileName(zip);
    try {
        u.ExtractFiles("*.*");
        ADD_FAILURE() << "extracted";
    } catch (const archive::EInOutError& e) {
        EXPECT_EQ(
            std::string(e.what()).rfind("Not enough free space to extract: the files need ", 0), 0U)
            << e.what();
    }
    EXPECT_TRUE(fs::is_empty(f.out.path()));  // not even a folder
    // What the mask leaves out does not count.
    u.ExtractFiles("first.txt");
    EXPECT_EQ(readFile(f.out.path() / "first.txt"), "1");
}

// Whatever stands at an entry's name in the destination (a link, dangling or not, leading
// outside or inside, a FIFO, a hard link to a file elsewhere) is replaced by the entry's own
// file; nothing outside the destination is created or changed.
TEST(UnZipper, LinksInTheWayAreReplacedNeverWrittenThrough) {
    if (!testsupport::symbolicLinksWork()) GTEST_SKIP() << "this file system has no symbolic links";
    Fixture f;
    TempDir outside;
    const std::string victim = outside.write("victim.txt", "keep me").string();
    const std::string hardVictim = outside.write("hard.txt", "keep me too").string();
    const auto in = [&](const char* name) { return f.out.path() / name; };
    fs::create_symlink(outside.path() / "created-through-dangling", in("dangling.txt"));
    fs::create_symlink(victim, in("to-outside.txt"));
    fs::create_symlink("inside-target.txt", in("to-inside.txt"));
    f.out.write("inside-target.txt", "inside");
    fs::create_directory_symlink(outside.path(), in("dir-link"));
    fs::create_symlink(outside.path() / "missing-folder", in("dangling-dir"));
    fs::create_hard_link(hardVictim, in("hard.txt"));
    ASSERT_EQ(testsupport::runShell("mkfifo " + testsupport::shellQuote(in("fifo.txt").string())),
              0);

    const char* names[] = {"dangling.txt", "to-outside.txt", "to-inside.txt",
                           "dir-link",     "hard.txt",       "fifo.txt"};
    std::vector<ZipEntrySpec> entries;
    for (const char* n : names)
        entries.push_back(ZipEntrySpec{.name = n, .data = std::string("new ") + n});
    entries.push_back(
        ZipEntrySpec{.name = "dangling-dir/", .data = "", .externalAttributes = 0x10});
    entries.push_back(ZipEntrySpec{.name = "dangling-dir/x.txt", .data = "x"});
    EXPECT_TRUE(extract(writeZip(f.src, testsupport::buildZip(entries)), f.out.str()).empty());

    for (const char* n : names) {
        SCOPED_TRACE(n);
        EXPECT_EQ(fs::symlink_status(in(n)).type(), fs::file_type::regular);
        EXPECT_EQ(readFile(in(n)), std::string("new ") + n);
    }
    EXPECT_EQ(fs::symlink_status(in("dangling-dir")).type(), fs::file_type::directory);
    EXPECT_EQ(readFile(in("dangling-dir/x.txt")), "x");
    EXPECT_EQ(readFile(in("inside-target.txt")), "inside");
    EXPECT_EQ(readFile(victim), "keep me");
    EXPECT_EQ(readFile(hardVictim), "keep me too");
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(outside.path()))
        left.push_back(e.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"hard.txt", "victim.txt"}));
}

TEST(UnZipper, EntryFailuresOfHandBuiltArchives) {
    Fixture f;
    const std::string zip = writeZip(
        f.src, testsupport::buildZip({
                   ZipEntrySpec{.name = "v64.txt", .data = "x", .versionNeeded = 64},
                   ZipEntrySpec{.name = "v63.txt", .data = "ok", .versionNeeded = 63},
                   ZipEntrySpec{.name = "badlocal.txt", .data = "x", .badLocalSignature = true},
                   ZipEntrySpec{.name = "method7.txt", .data = "x", .method = 7},
                   ZipEntrySpec{.name = "method99empty.txt", .data = "", .method = 99},
                   ZipEntrySpec{.name = "short.txt", .data = "abc", .uncompressedSize = 10},
                   ZipEntrySpec{.name = "encrypted-empty.txt", .data = "", .flags = 1},
               }));
    const auto failed = extract(zip, f.out.str());
    struct Want {
        const char* name;
        const char* cls;
        int code;
        ErrorClass errorClass;
    } want[] = {
        {"v64.txt", "EAbZipVersion", 1, ErrorClass::Archive},
        {"badlocal.txt", "EAbZipInvalid", 24, ErrorClass::Archive},
        {"method7.txt", "EAbZipInvalidMethod", 2, ErrorClass::Archive},
        {"short.txt", "EAbDecodeError", 0, ErrorClass::Other},
        {"encrypted-empty.txt", "EAbZipInvalidPassword", 4, ErrorClass::Archive},
    };
    ASSERT_EQ(failed.size(), std::size(want));
    for (std::size_t i = 0; i < failed.size(); ++i) {
        SCOPED_TRACE(want[i].name);
        EXPECT_EQ(failed[i].name, want[i].name);
        EXPECT_EQ(failed[i].className, want[i].cls);
        EXPECT_EQ(failed[i].code, want[i].code);
        EXPECT_EQ(failed[i].errorClass, want[i].errorClass);
        EXPECT_FALSE(fs::exists(f.out.path() / want[i].name));
    }
    EXPECT_EQ(readFile(f.out.path() / "v63.txt"), "ok");
    EXPECT_EQ(readFile(f.out.path() / "method99empty.txt"),
              "");  // size 0: the method is never asked
}

TEST(UnZipper, NamesFromDosHostsAndUnicodeExtras) {
    Fixture f;
    const std::string zip = writeZip(
        f.src,
        testsupport::buildZip({
            ZipEntrySpec{.name = "CAFF\x90.TXT", .data = "850"},  // DOS host: CP850 É
            ZipEntrySpec{.name = "M\x9B", .data = "ø"},           // CP850 ø (CP437 would give ¢)
            ZipEntrySpec{.name = "x.txt",
                         .data = "7075",
                         .extra = testsupport::infoZipUnicodePath("x.txt", "\xE4\xB8\x83.txt")},
            ZipEntrySpec{.name = "y.txt",
                         .data = "554e",
                         .extra = testsupport::xceedUnicode(std::string("d\0\\\0z\0", 6), 3)},
            ZipEntrySpec{.name = "Caff\xC3\xA8.txt", .data = "utf8"},
        }));
    EXPECT_TRUE(extract(zip, f.out.str()).empty());
    EXPECT_EQ(readFile(f.out.path() / host::fsPath("CAFF\xC3\x89.TXT")), "850");
    EXPECT_EQ(readFile(f.out.path() / host::fsPath("M\xC3\xB8")), "ø");
    EXPECT_EQ(readFile(f.out.path() / host::fsPath("\xE4\xB8\x83.txt")), "7075");
    EXPECT_EQ(readFile(f.out.path() / "d/z"), "554e");  // a backslash in the name is a separator
    EXPECT_EQ(readFile(f.out.path() / host::fsPath("Caff\xC3\xA8.txt")), "utf8");
}

TEST(UnZipper, EndRecordWithZeroEntriesStillListsTheHeadersPresent) {
    Fixture f;
    const std::string zip = writeZip(
        f.src, testsupport::buildZip(
                   {ZipEntrySpec{.name = "a", .data = "1"}, ZipEntrySpec{.name = "b", .data = "2"}},
                   {.totalEntries = 0}));
    EXPECT_TRUE(extract(zip, f.out.str()).empty());
    EXPECT_EQ(readFile(f.out.path() / "b"), "2");
}

TEST(UnZipper, UnsafeNamesAreRefusedAndNothingLandsOutside) {
    Fixture f;
    TempDir outside;
    std::vector<ZipEntrySpec> entries{
        ZipEntrySpec{.name = "../evil1", .data = "x"},
        ZipEntrySpec{.name = "a/../../evil2", .data = "x"},
        ZipEntrySpec{.name = "..\\evil3", .data = "x"},
        ZipEntrySpec{.name = outside.str() + "evil4", .data = "x"},
        ZipEntrySpec{.name = "\\\\server\\share\\evil5", .data = "x"},
        ZipEntrySpec{.name = "C:\\evil6", .data = "x"},
        ZipEntrySpec{.name = std::string("x.txt\0.exe", 10), .data = "x"},
        ZipEntrySpec{.name = "safe/ok.txt", .data = "fine"},
    };
    // A link inside the target that leads outside (where the file system has links).
    if (testsupport::symbolicLinksWork()) {
        fs::create_directory_symlink(outside.path(), f.out.path() / "escape");
        entries.push_back(ZipEntrySpec{.name = "escape/evil7", .data = "x"});
        entries.push_back(ZipEntrySpec{.name = "escape/sub/evil8", .data = "x"});
    }
    const std::string zip = writeZip(f.src, testsupport::buildZip(entries));
    const auto failed = extract(zip, f.out.str());
    ASSERT_EQ(failed.size(), entries.size() - 1);
    for (const auto& e : failed) {
        EXPECT_EQ(e.className, "EAbUnsafePath") << e.name;
        EXPECT_EQ(e.errorClass, ErrorClass::Other);
    }
    EXPECT_TRUE(fs::is_empty(outside.path()));
    EXPECT_FALSE(fs::exists(f.out.path().parent_path() / "evil1"));
    EXPECT_FALSE(fs::exists(f.out.path() / "x.txt"));
    EXPECT_EQ(readFile(f.out.path() / "safe/ok.txt"), "fine");
}

TEST(UnZipper, OptionsMaskAndDirectoryEntries) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    f.src.write("p/bin/app.exe", "exe");
    f.src.write("p/Update/x.sql", "sql");
    fs::create_directories(f.src.path() / "p/empty");
    archtest::runIn(f.src, "zip -q -r package.qlzip p");
    {
        TempDir out;
        TAbUnZipper u;
        u.ExtractOptions = {};  // neither folders nor stored paths
        u.SetBaseDirectory(out.str());
        u.SetFileName(f.zip());
        u.ExtractFiles("*.*");
        EXPECT_EQ(readFile(out.path() / "app.exe"), "exe");
        EXPECT_EQ(readFile(out.path() / "x.sql"), "sql");
        EXPECT_FALSE(fs::exists(out.path() / "p"));
        EXPECT_FALSE(fs::exists(out.path() / "empty"));
    }
    {
        TempDir out;
        EXPECT_TRUE(extract(f.zip(), out.str(), "*.sql").empty());
        EXPECT_EQ(readFile(out.path() / "p/Update/x.sql"), "sql");
        EXPECT_FALSE(fs::exists(out.path() / "p/bin/app.exe"));
        EXPECT_FALSE(fs::exists(out.path() / "p/empty"));
    }
    {
        TempDir out;
        EXPECT_TRUE(extract(f.zip(), out.str()).empty());
        EXPECT_TRUE(fs::is_directory(out.path() / "p/empty"));
    }
}

TEST(UnZipper, OpeningFailures) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    f.src.write("a.txt", archtest::sampleContent(3000, 2));
    archtest::runIn(f.src, "zip -q package.qlzip a.txt");
    const std::string whole = readFile(f.zip());
    const std::string truncated = whole.substr(0, whole.size() - 30);
    struct Case {
        const char* name;
        std::string file;  // written to the source folder ("" = not written)
        std::string bytes;
        std::string base;  // base directory
        const char* cls;
        int code;
        const char* message;
    } cases[] = {
        {"missing", "", "", f.out.str(), "EAbFileNotFound", 21, "File not found"},
        {"empty", "empty.qlzip", "", f.out.str(), "EAbBadStream", 17, "Invalid Stream"},
        {"cut short", "cut.qlzip", truncated, f.out.str(), "EAbUnhandledType", 28,
         "Unhandled Archive Type"},
        {"cut short .zip", "cut.zip", truncated, f.out.str(), "EAbZipInvalid", 24,
         "Invalid file - not a PKZip file"},
        {"text file", "notes.qlzip", std::string(4000, 'n'), f.out.str(), "EAbUnhandledType", 28,
         "Unhandled Archive Type"},
        {"cabinet", "x.qlzip", "MSCF" + std::string(100, '\0'), f.out.str(), "EAbUnhandledType", 28,
         "Unhandled Archive Type"},
        {"bad directory header", "bad.qlzip",
         whole.substr(0, whole.find("PK\x01\x02")) + "PK\x01\x09" +
             whole.substr(whole.find("PK\x01\x02") + 4),
         f.out.str(), "EAbZipInvalid", 24, "Invalid file - not a PKZip file"},
        {"spanned", "span.qlzip", std::string("PK\x07\x08", 4) + whole, f.out.str(),
         "EAbZipInvalid", 24, "Invalid file - not a PKZip file"},
        {"missing base directory", "ok.qlzip", whole, f.out.str() + "nope/", "EAbNoSuchDirectory",
         15, "Directory does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = c.file.empty() ? (f.src.path() / "absent.qlzip").string()
                                                : f.src.write(c.file, c.bytes).string();
        TAbUnZipper u;
        u.SetBaseDirectory(c.base);
        try {
            u.SetFileName(path);
            ADD_FAILURE() << "opened";
        } catch (const archive::EAbException& e) {
            EXPECT_STREQ(e.className(), c.cls);
            EXPECT_EQ(e.code(), c.code);
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_THROW(u.ExtractFiles("*.*"), archive::EAbNoArchive);
    }
}

TEST(UnZipper, ArchiveWithoutEntriesAndSelfExtractorStubs) {
    QL_REQUIRE_TOOL("zip");
    Fixture f;
    f.src.write("a.txt", "payload");
    archtest::runIn(f.src, "zip -q plain.zip a.txt");
    // A stub in front, offsets as recorded (not adjusted) and adjusted by zip -A.
    f.src.write("stub", "MZ" + std::string(1000, 's'));
    archtest::runIn(
        f.src, "cat stub plain.zip > sfx.exe && cp sfx.exe adjusted.exe && zip -q -A adjusted.exe");
    for (const char* name : {"sfx.exe", "adjusted.exe"}) {
        SCOPED_TRACE(name);
        TempDir out;
        TAbUnZipper u;
        u.SetBaseDirectory(out.str());
        u.SetFileName((f.src.path() / name).string());
        EXPECT_EQ(u.Archive()->kind(), archive::ArchiveKind::SelfExtractingZip);
        u.ExtractFiles("*.*");
        EXPECT_TRUE(u.FailedEntries().empty());
        EXPECT_EQ(readFile(out.path() / "a.txt"), "payload");
    }
    const std::string empty = writeZip(f.src, testsupport::buildZip({}));
    EXPECT_TRUE(extract(empty, f.out.str()).empty());
}

TEST(UnZipper, BaseDirectoryAppliesToTheOpenArchive) {
    Fixture f;
    const std::string zip =
        writeZip(f.src, testsupport::buildZip({ZipEntrySpec{.name = "a.txt", .data = "a"}}));
    TempDir second;
    TAbUnZipper u;
    u.SetBaseDirectory(f.out.str());
    u.SetFileName(zip);
    EXPECT_EQ(u.Archive()->BaseDirectory(), f.out.path().string());
    u.SetBaseDirectory(second.str());
    u.ExtractFiles("*.*");
    EXPECT_EQ(readFile(second.path() / "a.txt"), "a");
    EXPECT_THROW(u.SetBaseDirectory(second.str() + "missing/"), archive::EAbNoSuchDirectory);
    u.CloseArchive();
    EXPECT_EQ(u.FileName(), "");
    EXPECT_EQ(u.Archive(), nullptr);
    EXPECT_THROW(u.ExtractFiles("*.*"), archive::EAbNoArchive);
}

}  // namespace
