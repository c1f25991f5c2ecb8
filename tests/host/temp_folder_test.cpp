#include "host/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/md5.h"
#include "host/paths.h"
#include "host/platform/files.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

host::HostSettings rootedAt(const TempDir& dir) {
    host::HostSettings s;
    s.tempRoot = dir.path().string();  // without its trailing separator on purpose
    return s;
}

TEST(TempFolder, DriveOfProgramFile) {
    struct {
        const char* path;
        const char* drive;
    } cases[] = {
        {"C:\\Program Files\\Ostrel\\QLUpdate.exe", "C:"},
        {"d:", "d:"},
        {"\\\\srv\\share\\dir\\QLUpdate.exe", "\\\\srv\\share"},
        {"\\\\srv\\share", "\\\\srv\\share"},
        {"/usr/local/bin/qlupdate", "/"},
        {"qlupdate", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(host::DriveOf(c.path), c.drive) << c.path;
}

TEST(TempFolder, NamedAfterMd5OfTheVersion) {
    TempDir dir;
    auto s = rootedAt(dir);
    const char sep = host::kPathDelim;
    EXPECT_EQ(host::TmpDirPath("V", s), dir.str() + core::Md5Hex("V") + sep);
    // An empty identifier names the folder after the digest of zero bytes.
    EXPECT_EQ(host::TmpDirPath("", s), dir.str() + "d41d8cd98f00b204e9800998ecf8427e" + sep);
    // Without an injected base the program file's drive is used: on POSIX "/", on Windows
    // the drive of the test program ("Z:" under wine) and its separator.
#if defined(_WIN32)
    const std::string root = host::DriveOf(host::programFilePath()) + "\\";
#else
    const std::string root = "/";
#endif
    EXPECT_EQ(host::TmpDirPath("2014a", {}), root + core::Md5Hex("2014a") + sep);
    EXPECT_FALSE(fs::exists(host::TmpDirPath("V", s))) << "naming creates nothing";
}

TEST(TempFolder, GetTmpDirTwiceCreatesOnceAndGivesTheSamePath) {
    TempDir dir;
    auto s = rootedAt(dir);
    std::string first = host::GetTmpDir("2014b", s);
    ASSERT_TRUE(fs::is_directory(first));
    dir.write(core::Md5Hex("2014b") + "/keep.txt", "x");
    std::string second = host::GetTmpDir("2014b", s);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(fs::exists(second + "keep.txt")) << "the second call must not recreate the folder";

    // Every call repeats the creation: after a delete the folder comes back.
    fs::remove_all(first);
    EXPECT_EQ(host::GetTmpDir("2014b", s), first);
    EXPECT_TRUE(fs::is_directory(first));
}

TEST(TempFolder, PackageFileNameCreatesTheFolder) {
    TempDir dir;
    auto s = rootedAt(dir);
    std::string pkg = host::GetPackageFileName("2014c", s);
    EXPECT_EQ(pkg, dir.str() + core::Md5Hex("2014c") + host::kPathDelim + "2014c.qlzip");
    EXPECT_TRUE(fs::is_directory(host::TmpDirPath("2014c", s)));
    EXPECT_EQ(host::GetPackageFileName("", s), host::TmpDirPath("", s) + ".qlzip");
}

// Every name built from the version identifier stays inside its folder, even if an identifier
// the version check refuses were to arrive here.
TEST(JoinUnder, RefusesAnythingButOneComponent) {
    struct Case {
        const char* name;
        const char* joined;  // "" refused
    };
    const Case cases[] = {
        {"2014c.qlzip", "/b/2014c.qlzip"},
        {"", "/b/"},
        {"..x", "/b/..x"},
        {"..", ""},
        {".", ""},
        {"../../victim", ""},
        {"a/b", ""},
        {"a\\b", ""},
        {"C:evil", ""},
        {"/abs", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(host::JoinUnder("/b/", c.name), c.joined) << c.name;
    EXPECT_EQ(host::JoinUnder("/b/", std::string("x\0.exe", 6)), "");
    TempDir dir;
    EXPECT_EQ(host::GetPackageFileName("../../victim", rootedAt(dir)), "");
}

TEST(TempFolder, UncreatableFolderIsNotReported) {
    TempDir dir;
    host::HostSettings s;
    s.tempRoot = dir.write("a-file", "x").string();  // the base is a file: no folder below it
    std::string path = host::GetTmpDir("V", s);
    EXPECT_EQ(path, s.tempRoot.value() + host::kPathDelim + core::Md5Hex("V") + host::kPathDelim);
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
