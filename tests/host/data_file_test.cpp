// The file operations extraction relies on: reads at offsets (short only at the end), and a
// create that refuses whatever already stands at the name, a dangling link included.
#include "host/platform/data_file.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using host::DataFile;
using host::FileMode;

TEST(DataFile, ReadsAtOffsets) {
    testsupport::TempDir dir;
    const std::string path = dir.write("f", "0123456789").string();
    auto f = DataFile::open(path, FileMode::Read);
    ASSERT_TRUE(f);
    std::byte buf[4];
    struct Case {
        std::int64_t offset;
        std::string got;
    } cases[] = {{0, "0123"}, {8, "89"}, {10, ""}, {50, ""}};
    for (const auto& c : cases) {
        auto n = f->readAt(c.offset, buf);
        ASSERT_TRUE(n);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(buf), *n), c.got) << c.offset;
    }
    EXPECT_FALSE(DataFile::open((dir.path() / "missing").string(), FileMode::Read));
}

TEST(DataFile, CreateNewNeverTakesAnExistingName) {
    if (!testsupport::symbolicLinksWork()) GTEST_SKIP() << "this file system has no symbolic links";
    testsupport::TempDir dir, elsewhere;
    dir.write("file", "old");
    fs::create_symlink(elsewhere.path() / "target", dir.path() / "dangling");
    for (const char* name : {"file", "dangling"}) {
        auto f = DataFile::open((dir.path() / name).string(), FileMode::CreateNew);
        EXPECT_FALSE(f) << name;
    }
    EXPECT_FALSE(fs::exists(elsewhere.path() / "target"));
    EXPECT_EQ(testsupport::readFile(dir.path() / "file"), "old");
    auto fresh = DataFile::open((dir.path() / "fresh").string(), FileMode::CreateNew);
    ASSERT_TRUE(fresh);
    const std::string text = "new";
    ASSERT_TRUE(fresh->writeAt(0, std::as_bytes(std::span(text))));
    fresh->close();
    EXPECT_EQ(testsupport::readFile(dir.path() / "fresh"), "new");
}

}  // namespace
