// Entry selection by mask, and where a selected entry may be written.
#include <gtest/gtest.h>

#include "archive/zip_mask.h"
#include "archive/zip_paths.h"

namespace {

TEST(Mask, SelectsEntries) {
    struct Case {
        const char* entry;
        const char* mask;
        bool match;
    } cases[] = {
        {"1.2.3/README", "*.*", true},  // "*.*" takes names without a dot
        {"1.2.3/", "*.*", true},        // a directory, compared without its separator
        {"", "*.*", false},
        {"/", "*.*", false},
        {"a/b/c.txt", "*", true},
        {"readme", "*.txt", false},
        {"Dir/Notes.TXT", "*.txt", true},  // ASCII case ignored, any folder
        {"x.sql", "*.exe; *.sql", true},   // parts split at ";" and trimmed
        {"x.sql", "*.exe;", false},
        {"bin/app.exe", "bin\\*.exe", true},
        {"bin/app.exe", "lib\\*.exe", false},
        {"app.exe", "bin\\*.exe", false},
        {"1.2.3/bin/app.exe", "*\\bin\\a?p.*", true},
        {"abc", "a?c", true},
        {"abc", "a?", false},
        {"aXbXc", "a*b*c", true},
        {"aXbXd", "a*b*c", false},
        {"\xC3\xA8.txt", "\xC3\xA8.TXT", true},  // bytes beyond ASCII compared as they are
        {"\xC3\xA8.txt", "\xC3\x88.TXT", false},
        // "?" is one character, whatever its length in UTF-8.
        {"file\xC3\xA9.txt", "file?.txt", true},
        {"file\xC3\xA9\xC3\xA9.txt", "file?.txt", false},
        {"file\xC3\xA9\xC3\xA9.txt", "file??.txt", true},
        {"\xE2\x82\xAC", "?", true},        // three bytes
        {"\xF0\x9F\x98\x80x", "?x", true},  // four bytes
        {"\xF0\x9F\x98\x80", "??", false},
        {"a\xC3\xA9"
         "b\xC3\xA9"
         "c",
         "*?c", true},  // after a "*" too
        {"a\xC3\xA9"
         "b",
         "*?\xA9"
         "b",
         false},                // never half a character
        {"\xA9x", "?x", true},  // a stray continuation byte is one character
    };
    for (const auto& c : cases)
        EXPECT_EQ(archive::matchesMask(c.entry, c.mask), c.match) << c.entry << " ~ " << c.mask;
}

TEST(OutputPath, KeepsFoldersBelowTheBase) {
    using archive::PathMode;
    using namespace std::string_view_literals;
    struct Case {
        std::string_view entry;
        PathMode mode;
        const char* path;  // nullptr: refused
    } cases[] = {
        {"1.2.3/bin/app.exe", PathMode::RestorePath, "1.2.3/bin/app.exe"},
        {"1.2.3\\Update\\x.sql", PathMode::RestorePath, "1.2.3/Update/x.sql"},
        {"1.2.3/", PathMode::RestorePath, "1.2.3"},
        {"./a/./b", PathMode::RestorePath, "a/b"},
        {"1.2.3/bin/app.exe", PathMode::NameOnly, "app.exe"},
        {"a..b/c..", PathMode::RestorePath, "a..b/c.."},
        // Names that would leave the base directory.
        {"../evil", PathMode::RestorePath, nullptr},
        {"a/../../evil", PathMode::RestorePath, nullptr},
        {"a\\..\\evil", PathMode::RestorePath, nullptr},
        {"/etc/passwd", PathMode::RestorePath, nullptr},
        {"\\evil", PathMode::RestorePath, nullptr},
        {"\\\\server\\share\\x", PathMode::RestorePath, nullptr},
        {"a\\\\b", PathMode::RestorePath, nullptr},
        {"C:\\evil", PathMode::RestorePath, nullptr},
        {"C:evil", PathMode::RestorePath, nullptr},
        {"file:stream", PathMode::RestorePath, nullptr},
        {"../evil", PathMode::NameOnly, nullptr},
        {"", PathMode::RestorePath, nullptr},
        {"./", PathMode::RestorePath, nullptr},
        // The system would cut the name at the NUL and write "x.txt".
        {"x.txt\0.exe"sv, PathMode::RestorePath, nullptr},
        {"dir\0/x.txt"sv, PathMode::NameOnly, nullptr},
    };
    for (const auto& c : cases) {
        auto p = archive::relativeOutputPath(c.entry, c.mode);
        if (c.path == nullptr) {
            EXPECT_FALSE(p) << c.entry;
        } else {
            ASSERT_TRUE(p) << c.entry << ": " << p.error();
            EXPECT_EQ(*p, c.path);
        }
    }
}

TEST(OutputPath, BaseDirectoryLosesItsTrailingSeparator) {
    EXPECT_EQ(archive::normaliseBaseDirectory("/tmp/dl/"), "/tmp/dl");
    EXPECT_EQ(archive::normaliseBaseDirectory("C:\\Temp\\"), "C:\\Temp");
    EXPECT_EQ(archive::normaliseBaseDirectory("C:\\"), "C:\\");  // a drive root keeps it
    EXPECT_EQ(archive::normaliseBaseDirectory("/"), "/");
    EXPECT_EQ(archive::normaliseBaseDirectory(""), "");
}

}  // namespace
