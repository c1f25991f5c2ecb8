#include "host/profile.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

using testsupport::TempDir;

struct Case {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    std::string expected;
};

// Every case reads a real file with the default "dflt".
TEST(ProfileFile, ReadingRulesOfTheProfileApi) {
    const Case cases[] = {
        {"names without regard to case", "[mysql]\nserver=db1\n", "MySQL", "SERVER", "db1"},
        {"first key wins", "[MySQL]\nSERVER=a\nSERVER=b\n", "MySQL", "SERVER", "a"},
        {"first section wins", "[MySQL]\nSERVER=a\n[MySQL]\nSERVER=b\n", "MySQL", "SERVER", "a"},
        {"blanks around key and value", "[MySQL]\n  SERVER \t=  db 2  \t\n", "MySQL", "SERVER",
         "db 2"},
        {"blanks before the section", "  [MySQL]\nSERVER=x\n", "MySQL", "SERVER", "x"},
        {"double quotes dropped", "[MySQL]\nSERVER=\" db3 \"\n", "MySQL", "SERVER", " db3 "},
        {"single quotes dropped", "[MySQL]\nSERVER='db4'\n", "MySQL", "SERVER", "db4"},
        {"unmatched quotes kept", "[MySQL]\nSERVER=\"db5'\n", "MySQL", "SERVER", "\"db5'"},
        {"a lone quote kept", "[MySQL]\nSERVER=\"\n", "MySQL", "SERVER", "\""},
        {"present but empty is empty", "[MySQL]\nSERVER=\n", "MySQL", "SERVER", ""},
        {"empty quotes are empty", "[MySQL]\nSERVER=\"\"\n", "MySQL", "SERVER", ""},
        {"missing key gives default", "[MySQL]\nUSER=root\n", "MySQL", "SERVER", "dflt"},
        {"missing section gives default", "[Other]\nSERVER=x\n", "MySQL", "SERVER", "dflt"},
        {"key before any section", "SERVER=x\n[MySQL]\n", "MySQL", "SERVER", "dflt"},
        {"key of another section", "[MySQL]\nUSER=u\n[Net]\nSERVER=x\n", "MySQL", "SERVER", "dflt"},
        {"only the first '=' splits", "[MySQL]\nSERVER=a=b\n", "MySQL", "SERVER", "a=b"},
        {"CR LF and lone CR line ends", "[MySQL]\r\nUSER=u\rSERVER=cr\r\n", "MySQL", "SERVER",
         "cr"},
        {"comment lines", "[MySQL]\n;SERVER=x\nSERVER=y\n", "MySQL", "SERVER", "y"},
        {"Windows-1252 bytes", "[MySQL]\nSERVER=caff\xE8\n", "MySQL", "SERVER", "caff\xC3\xA8"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF[MySQL]\nSERVER=caff\xC3\xA8\n", "MySQL", "SERVER",
         "caff\xC3\xA8"},
        {"UTF-16LE with BOM",
         std::string("\xFF\xFE[\0M\0y\0S\0Q\0L\0]\0\n\0S\0E\0R\0V\0E\0R\0=\0z\0", 34), "MySQL",
         "SERVER", "z"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        auto path = dir.write("config.ini", c.file).string();
        EXPECT_EQ(host::GetPrivateProfileString(c.section, c.key, "dflt", path), c.expected)
            << c.name;
    }
}

TEST(ProfileFile, MissingFileGivesDefault) {
    TempDir dir;
    EXPECT_EQ(
        host::GetPrivateProfileString("MySQL", "SERVER", "localhost", dir.str() + "config.ini"),
        "localhost");
    // The default loses trailing blanks, as the profile API strips them.
    EXPECT_EQ(
        host::GetPrivateProfileString("MySQL", "SERVER", " local \t ", dir.str() + "config.ini"),
        " local");
    // A folder in the file's place reads as a missing file.
    std::filesystem::create_directory(dir.path() / "folder.ini");
    EXPECT_EQ(host::GetPrivateProfileString("MySQL", "SERVER", "d", dir.str() + "folder.ini"), "d");
}

TEST(ProfileFile, ValuesAndDefaultsAreCutAt2047Characters) {
    TempDir dir;
    // 0xE9 is one character in Windows-1252 and two bytes in UTF-8: the cut counts characters.
    auto path = dir.write("c.ini", "[S]\nascii=" + std::string(3000, 'x') +
                                       "\nlatin=" + std::string(3000, '\xE9') +
                                       "\nexact=" + std::string(2047, 'y') + "\n")
                    .string();
    auto ini = host::ProfileFile::Load(path);
    EXPECT_EQ(ini.GetString("S", "ascii", ""), std::string(2047, 'x'));
    std::string e9;
    for (int i = 0; i < 2047; ++i) e9 += "\xC3\xA9";
    EXPECT_EQ(ini.GetString("S", "latin", ""), e9);
    EXPECT_EQ(ini.GetString("S", "exact", ""), std::string(2047, 'y'));
    EXPECT_EQ(ini.GetString("S", "missing", std::string(2100, 'd')), std::string(2047, 'd'));
}

}  // namespace
