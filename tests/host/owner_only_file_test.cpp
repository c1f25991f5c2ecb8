// The publisher's private key file: owner-only from its creation, never written over or through
// something already in its place.
#include "host/platform/owner_only_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

TEST(OwnerOnlyFile, CreatedReadableByItsOwnerOnly) {
    testsupport::TempDir dir;
    const std::string path = dir.str() + "private.key";
    ASSERT_FALSE(host::writeNewOwnerOnlyFile(path, "secret\n"));
    EXPECT_EQ(testsupport::readFile(path), "secret\n");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(OwnerOnlyFile, NothingInThePathsPlaceIsReplacedOrFollowed) {
    testsupport::TempDir dir;
    dir.write("taken", "old");
    EXPECT_EQ(host::writeNewOwnerOnlyFile(dir.str() + "taken", "new"), std::errc::file_exists);
    EXPECT_EQ(testsupport::readFile(dir.path() / "taken"), "old");
    // A link to a file that does not exist yet: O_EXCL refuses it rather than creating the target.
    fs::create_symlink(dir.path() / "elsewhere", dir.path() / "link");
    EXPECT_EQ(host::writeNewOwnerOnlyFile(dir.str() + "link", "new"), std::errc::file_exists);
    EXPECT_FALSE(fs::exists(dir.path() / "elsewhere"));
    EXPECT_TRUE(host::writeNewOwnerOnlyFile(dir.str() + "no/such/folder", "x"));
}

}  // namespace
