#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/text.h"
#include "host/platform/process.h"
#include "tests/host/product_processes.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(SplitCommandLine, WordsAtBlanksWithDoubleQuotesGrouping) {
    struct Case {
        const char* name;
        const char* line;
        std::vector<std::string> words;
    };
    const std::vector<Case> cases = {
        {"service command", "net stop OsReceiver", {"net", "stop", "OsReceiver"}},
        {"runs of blanks and tabs",
         "  net \t start   OsBalancer \t",
         {"net", "start", "OsBalancer"}},
        {"empty", "", {}},
        {"blanks only", " \t ", {}},
        {"quoted blanks", "prog \"a b\" c", {"prog", "a b", "c"}},
        {"quotes inside a word", "prog x\"y z\"w", {"prog", "xy zw"}},
        {"empty quotes are a word", "prog \"\" end", {"prog", "", "end"}},
        {"unterminated quote runs to the end", "prog \"a  b", {"prog", "a  b"}},
        {"no shell syntax", "echo $HOME *;x", {"echo", "$HOME", "*;x"}},
    };
    for (const Case& c : cases) EXPECT_EQ(host::splitCommandLine(c.line), c.words) << c.name;
}

TEST(RunAndWait, GivesTheExitCodeOrMinusOneWhenNothingStarts) {
    testsupport::TempDir dir;
    std::filesystem::path plain = dir.write("not-a-program", "data\n");
    struct Case {
        std::string line;
        int expected;
    };
    const std::vector<Case> cases = {
        {"true", 0},
        {"false", 1},
        {"sh -c \"exit 7\"", 7},
        {"sh -c \"exit 255\"", 255},
        {"sh -c \"kill -9 $$\"", 128 + 9},
        {"qlupdate-no-such-program", -1},
        {plain.string(), -1},
        {"", -1},
        {"   ", -1},
        {"\"\" x", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(host::RunAndWait(c.line), c.expected) << c.line;
}

TEST(RunAndWait, CommandLinesUpTo512CharactersNotBytes) {
    const std::string blanks512 = "true" + std::string(508, ' ');
    EXPECT_EQ(host::RunAndWait(blanks512), 0);
    EXPECT_EQ(host::RunAndWait(blanks512 + " "), -1);
    // 5 + 507 two-byte characters: 512 characters in 1019 bytes.
    std::string accented = "true ";
    for (int i = 0; i < 507; ++i) accented += "\xC3\xA9";
    EXPECT_EQ(host::RunAndWait(accented), 0);
    EXPECT_EQ(host::RunAndWait(accented + "\xC3\xA9"), -1);
}

TEST(RunAndWait, FindsTheProgramThroughPathAndPassesTheWordsAsArguments) {
    servicetest::ProductProcesses procs;  // puts its tools folder first on PATH
    const std::string out = procs.dir().str() + "args.txt";
    procs.dir().write(
        "tools/ql-echo-args",
        "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]\\n' \"$a\"; done > " + out + "\n");
    std::filesystem::permissions(procs.dir().path() / "tools/ql-echo-args",
                                 std::filesystem::perms::owner_all);
    ASSERT_EQ(host::RunAndWait("ql-echo-args one  \"two words\" $HOME \"\""), 0);
    EXPECT_EQ(testsupport::readFile(out), "[one]\n[two words]\n[$HOME]\n[]\n");
}

TEST(RunAndWait, TheCommandReadsNothingFromOurInput) {
    servicetest::ProductProcesses procs;
    // Our own input is a file for the duration of the run, so inheriting it would show.
    const std::filesystem::path input = procs.dir().write("input.txt", "typed\n");
    const int saved = ::dup(0);
    const int fd = ::open(input.c_str(), O_RDONLY);
    ASSERT_TRUE(saved >= 0 && fd >= 0);
    ::dup2(fd, 0);
    ::close(fd);
    const std::string seen = procs.shellOutput("readlink /proc/self/fd/0");
    ::dup2(saved, 0);
    ::close(saved);
    EXPECT_EQ(seen, "/dev/null\n");
}

}  // namespace
