// File names beyond ASCII through the host calls, on every build: a Windows build that handed a
// UTF-8 name to the C library's narrow calls would make (or miss) a file of another name.
#include "host/platform/file_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/install_lock.h"
#include "host/install_path.h"
#include "host/paths.h"
#include "host/platform/this_process.h"
#include "host/profile.h"
#include "host/tree_ops.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::TempDir;

// The name as std::filesystem itself spells a listed entry in UTF-8 (its own conversion from
// the system's UTF-16 on Windows, not ours).
std::string listedName(const fs::path& entry) {
    const std::u8string u = entry.filename().u8string();
    return std::string(u.begin(), u.end());
}

struct NameCase {
    const char* what;
    const char* name;
};

const NameCase kNames[] = {
    {"ASCII", "Ostrel"},
    {"Latin-1 letter", "Ostr\xC3\xA8l"},
    {"beyond Windows-1252", "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xAC\xCE\xB4\xCE\xB1"},
    {"CJK", "\xE6\x97\xA5\xE6\x9C\xAC \xE8\xAA\x9E"},
    {"outside the BMP",
     "pi\xF0\x9F\x98\x80"
     "a"},
};

TEST(FileNames, FoldersAndFilesKeepTheirNames) {
    for (const NameCase& c : kNames) {
        SCOPED_TRACE(c.what);
        TempDir t;
        const std::string folder = t.str() + c.name;
        ASSERT_TRUE(fs::create_directory(host::fsPath(folder)));
        const std::string file = folder + host::kPathDelim + c.name + ".txt";
        ASSERT_TRUE(host::writeWholeFile(file, std::string("one\0two", 7)));

        std::vector<std::string> listed;
        for (const auto& e : fs::directory_iterator(t.path())) listed.push_back(listedName(e));
        EXPECT_EQ(listed, std::vector<std::string>{c.name});
        EXPECT_EQ(host::pathText(host::fsPath(file)), file);
        EXPECT_EQ(host::pathText(*fs::directory_iterator(host::fsPath(folder))), file);

        EXPECT_EQ(host::readWholeFile(file), std::string("one\0two", 7));
        std::FILE* f = host::openFile(file, "ab");
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(std::fwrite("!", 1, 1, f), 1u);
        EXPECT_EQ(std::fclose(f), 0);
        EXPECT_EQ(host::readWholeFile(file), std::string("one\0two!", 8));
    }
}

TEST(FileNames, ReadAndWriteWholeFiles) {
    TempDir t;
    const std::string file = t.str() + "d\xC3\xA0ta";
    const std::string folder = t.str() + "f\xC3\xB6lder";
    ASSERT_TRUE(fs::create_directory(host::fsPath(folder)));
    ASSERT_TRUE(host::writeWholeFile(file, "0123456789"));
    struct Case {
        const char* what;
        std::string name;
        std::size_t limit;
        std::optional<std::string> expected;
    } cases[] = {
        {"whole", file, std::string::npos, "0123456789"},
        {"cut at the limit", file, 4, "0123"},
        {"limit one past the end", file, 11, "0123456789"},
        {"missing file", t.str() + "missing", std::string::npos, std::nullopt},
        {"a folder reads as missing", folder, std::string::npos, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(host::readWholeFile(c.name, c.limit), c.expected) << c.what;

    ASSERT_TRUE(host::writeWholeFile(file, ""));
    EXPECT_EQ(host::readWholeFile(file), "") << "written over, not appended";
    EXPECT_FALSE(host::writeWholeFile(t.str() + "no" + host::kPathDelim + "file", "x"));
    EXPECT_FALSE(host::writeWholeFile(folder, "x"));
    EXPECT_EQ(host::openFile(t.str() + "missing", "rb"), nullptr);
}

TEST(FileNames, GenericFormUsesSlashes) {
    const fs::path rel = host::fsPath("Upd\xC3\xA0te") / host::fsPath("2014c.dbql");
    EXPECT_EQ(host::genericPathText(rel), "Upd\xC3\xA0te/2014c.dbql");
    EXPECT_EQ(host::pathText(rel), std::string("Upd\xC3\xA0te") + host::kPathDelim + "2014c.dbql");
}

// The installation's own files below a folder whose name is not ASCII.
TEST(FileNames, AnInstallationFolderBeyondAscii) {
    TempDir t;
    const std::string install = t.str() + "Ostr\xC3\xA8l" + host::kPathDelim;
    ASSERT_TRUE(fs::create_directory(host::fsPath(install)));
    EXPECT_FALSE(host::ConfigFileExists(install));
    ASSERT_TRUE(host::writeWholeFile(host::GetConfigFileName(install),
                                     "\xEF\xBB\xBF[MySQL]\nServer=caf\xC3\xA9\n"));
    EXPECT_TRUE(host::ConfigFileExists(install));
    EXPECT_EQ(host::ProfileFile::Load(host::GetConfigFileName(install))
                  .GetString("MySQL", "Server", "dflt"),
              "caf\xC3\xA9");

    host::InstallLock lock, second;
    std::error_code ec;
    ASSERT_EQ(lock.acquire(install, ec), host::LockResult::Acquired) << ec.message();
    EXPECT_EQ(second.acquire(install, ec), host::LockResult::Held);
    EXPECT_EQ(second.holder().pid, host::thisProcessId()) << "the holder text was read back";
    lock.release();

    // A tree copied into it and deleted again.
    const std::string source = t.str() +
                               "p\xC3\xA0"
                               "ck";
    t.write(
        "p\xC3\xA0"
        "ck/\xC3\xBC"
        "ber/n\xC3\xA9w.txt",
        "new");
    std::string error;
    ASSERT_TRUE(host::MergeTree(source, install, error)) << error;
    EXPECT_EQ(host::readWholeFile(install +
                                  "\xC3\xBC"
                                  "ber" +
                                  host::kPathDelim + "n\xC3\xA9w.txt"),
              "new");
    EXPECT_TRUE(host::DeleteTree(source));
    EXPECT_FALSE(fs::exists(host::fsPath(source)));
}

}  // namespace
