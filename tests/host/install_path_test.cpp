#include "host/install_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "host/paths.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

TEST(InstallPath, ProgramFilesDirGetsExactlyOneTrailingSeparator) {
    if (host::kPathDelim != '/')
        GTEST_SKIP() << "POSIX path forms (tests/host/win32 has the Windows ones)";
    struct {
        std::optional<std::string> folder;
        const char* expectedInstall;
    } cases[] = {
        {"/srv/Program Files", "/srv/Program Files/Ostrel/"},
        {"/srv/Program Files/", "/srv/Program Files/Ostrel/"},
        {"", "/Ostrel/"},  // the system names no folder
        {std::nullopt, "/opt/Ostrel/"},
    };
    for (const auto& c : cases) {
        host::HostSettings s;
        s.programFilesDir = c.folder;
        EXPECT_EQ(host::DefaultInstallPath(s), c.expectedInstall)
            << c.folder.value_or("(platform)");
    }
    EXPECT_EQ(host::GetProgramFilesDir({}), "/opt/");
}

TEST(InstallPath, TrailingSeparatorRules) {
    if (host::kPathDelim != '/')
        GTEST_SKIP() << "POSIX path forms (tests/host/win32 has the Windows ones)";
    EXPECT_EQ(host::IncludeTrailingPathDelimiter("/d/Ostrel"), "/d/Ostrel/");
    EXPECT_EQ(host::IncludeTrailingPathDelimiter("/d/Ostrel/"), "/d/Ostrel/");
    EXPECT_EQ(host::IncludeTrailingPathDelimiter("/"), "/");
    EXPECT_EQ(host::ExcludeTrailingPathDelimiter("/tmp/x/"), "/tmp/x");
    EXPECT_EQ(host::ExcludeTrailingPathDelimiter("/tmp/x"), "/tmp/x");
    EXPECT_EQ(host::ExcludeTrailingPathDelimiter("/"), "/");
    EXPECT_EQ(host::GetConfigFileName("/d/Ostrel/"), "/d/Ostrel/config.ini");
}

TEST(InstallPath, ConfigFileExistsOnlyForAFile) {
    TempDir dir;
    EXPECT_FALSE(host::ConfigFileExists(dir.str()));
    fs::create_directory(dir.path() / "config.ini");
    EXPECT_FALSE(host::ConfigFileExists(dir.str())) << "a folder named config.ini";
    fs::remove(dir.path() / "config.ini");
    dir.write("config.ini", "");
    EXPECT_TRUE(host::ConfigFileExists(dir.str())) << "an empty file still exists";

    // Links are followed: a link to the file counts, a dangling one does not.
    if (!testsupport::symbolicLinksWork()) return;  // no links on this file system
    TempDir other;
    fs::create_directory(other.path() / "inst");
    fs::create_symlink(dir.path() / "config.ini", other.path() / "inst" / "config.ini");
    EXPECT_TRUE(host::ConfigFileExists(other.str() + "inst/"));
    fs::remove(dir.path() / "config.ini");
    EXPECT_FALSE(host::ConfigFileExists(other.str() + "inst/"));
}

}  // namespace
