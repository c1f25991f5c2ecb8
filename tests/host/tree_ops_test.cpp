#include "host/tree_ops.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "host/shell_errors.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using testsupport::readFile;
using testsupport::TempDir;

// Every file below `dir`, as relative paths, for checking that no temporary file is left.
std::vector<std::string> filesBelow(const fs::path& dir) {
    std::vector<std::string> out;
    for (auto& e : fs::recursive_directory_iterator(dir))
        out.push_back(fs::relative(e.path(), dir).string());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(CopyTree, MergesIntoTheExistingFolderAndReplacesFiles) {
    TempDir t;
    t.write("pkg/Ostrel/a.txt", "new a");
    t.write("pkg/Ostrel/new.txt", "brand new");
    t.write("pkg/Ostrel/Update/2014c.dbql", "script");
    t.write("inst/Ostrel/a.txt", "old a, longer than the new one");
    t.write("inst/Ostrel/keep.txt", "kept");
    t.write("inst/Ostrel/Update/2014a.dbql", "old script");

    std::string err = "stale";
    EXPECT_TRUE(host::CopyTree(t.str() + "pkg/Ostrel", t.str() + "inst/", err));
    EXPECT_EQ(err, "");
    EXPECT_EQ(readFile(t.path() / "inst/Ostrel/a.txt"), "new a");
    EXPECT_EQ(readFile(t.path() / "inst/Ostrel/new.txt"), "brand new");
    EXPECT_EQ(readFile(t.path() / "inst/Ostrel/keep.txt"), "kept");
    EXPECT_EQ(filesBelow(t.path() / "inst"),
              (std::vector<std::string>{"Ostrel", "Ostrel/Update", "Ostrel/Update/2014a.dbql",
                                        "Ostrel/Update/2014c.dbql", "Ostrel/a.txt",
                                        "Ostrel/keep.txt", "Ostrel/new.txt"}));
    // The source is left as it was.
    EXPECT_EQ(readFile(t.path() / "pkg/Ostrel/a.txt"), "new a");
}

TEST(CopyTree, MissingDestinationBecomesTheCopy) {
    TempDir t;
    t.write("src/x/y.txt", "y");
    std::string err;
    EXPECT_TRUE(host::CopyTree(t.str() + "src/", t.str() + "out/deeper/dst", err)) << err;
    EXPECT_EQ(readFile(t.path() / "out/deeper/dst/x/y.txt"), "y");
}

TEST(CopyTree, FolderSharingTheSourcesNamePrefixIsNotInsideIt) {
    TempDir t;
    t.write("src/a.txt", "a");
    t.write("srcx/b.txt", "b");
    std::string err;
    EXPECT_TRUE(host::CopyTree(t.str() + "src", t.str() + "srcx", err)) << err;
    EXPECT_EQ(readFile(t.path() / "srcx/src/a.txt"), "a");
}

TEST(CopyTree, KeepsPermissionBitsAndModificationTime) {
    TempDir t;
    auto script = t.write("src/run.sh", "#!/bin/sh\n");
    fs::permissions(script, fs::perms::owner_all | fs::perms::group_read);
    auto when = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    fs::last_write_time(script, when);
    fs::create_directory(t.path() / "dst");
    std::string err;
    ASSERT_TRUE(host::CopyTree(t.str() + "src", t.str() + "dst", err)) << err;
    auto copy = t.path() / "dst/src/run.sh";
    EXPECT_EQ(fs::status(copy).permissions(), fs::perms::owner_all | fs::perms::group_read);
    EXPECT_EQ(fs::last_write_time(copy), when);
}

// A replaced file keeps the owner, group and permission bits of the file it replaces; a new file
// takes the source's bits. Another name (hard link) of the old file keeps the old bytes.
TEST(CopyTree, ReplacedFileKeepsOwnerGroupAndMode) {
    TempDir t;
    auto src = t.write("pkg/Ostrel/a.txt", "new a");
    t.write("pkg/Ostrel/b.txt", "new b");
    fs::permissions(src, fs::perms::owner_all | fs::perms::group_all | fs::perms::others_all);
    fs::permissions(t.path() / "pkg/Ostrel/b.txt", fs::perms::owner_read | fs::perms::owner_write);
    auto old = t.write("inst/Ostrel/a.txt", "old a");
    fs::permissions(old, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const bool root = ::geteuid() == 0;
    // As root the old file can belong to someone else; otherwise it is our own.
    const uid_t uid = root ? 65534 : ::geteuid();
    const gid_t gid = root ? 65534 : ::getegid();
    ASSERT_EQ(::chown(old.c_str(), uid, gid), 0);
    fs::create_hard_link(old, t.path() / "inst/other-name.txt");

    std::string err;
    ASSERT_TRUE(host::MergeTree(t.str() + "pkg", t.str() + "inst", err)) << err;
    struct stat st {};
    ASSERT_EQ(::stat((t.path() / "inst/Ostrel/a.txt").c_str(), &st), 0);
    EXPECT_EQ(readFile(t.path() / "inst/Ostrel/a.txt"), "new a");
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, uid);
    EXPECT_EQ(st.st_gid, gid);
    EXPECT_EQ(fs::status(t.path() / "inst/Ostrel/b.txt").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(readFile(t.path() / "inst/other-name.txt"), "old a");
}

// Links in the destination: a folder link that was there before the update is followed (an
// administrator's choice); a link where a file goes is replaced by the file and what it named
// stays as it was; a dangling link where a folder goes fails the copy and nothing is written
// through it.
TEST(MergeTree, LinksInTheDestination) {
    struct Case {
        const char* name;
        const char* link;    // below inst/, pointing at outside/<target>
        const char* target;  // "" for a dangling link
        bool ok;
        const char* written;  // below outside/: what the copy wrote there ("" nothing)
    };
    const Case cases[] = {
        {"folder link followed", "Data", "data", true, "data/x.txt"},
        {"file link replaced", "a.txt", "a.txt", true, ""},
        {"dangling link where a file goes", "a.txt", "", true, ""},
        {"dangling link where a folder goes", "Data", "", false, ""},
    };
    for (const Case& c : cases) {
        TempDir t;
        t.write("pkg/a.txt", "new a");
        t.write("pkg/Data/x.txt", "new x");
        t.write("inst/keep.txt", "k");
        t.write("outside/a.txt", "outside a");
        fs::create_directories(t.path() / "outside/data");
        const fs::path target = t.path() / "outside" / (*c.target ? c.target : "missing");
        fs::create_symlink(target, t.path() / "inst" / c.link);
        std::string err;
        EXPECT_EQ(host::MergeTree(t.str() + "pkg/", t.str() + "inst/", err), c.ok) << c.name << err;
        std::vector<std::string> outside = filesBelow(t.path() / "outside");
        std::vector<std::string> expected = {"a.txt", "data"};
        if (*c.written) expected.push_back(c.written);
        EXPECT_EQ(outside, expected) << c.name;
        EXPECT_EQ(readFile(t.path() / "outside/a.txt"), "outside a") << c.name;
        if (c.ok) {
            EXPECT_EQ(readFile(t.path() / "inst/a.txt"), "new a") << c.name;
            EXPECT_FALSE(fs::is_symlink(t.path() / "inst/a.txt")) << c.name;
        }
    }
}

TEST(CopyTree, FailureTexts) {
    struct Case {
        const char* name;
        std::function<void(const TempDir&)> setup;
        const char* source;
        const char* dest;
        const char* text;
    };
    const Case cases[] = {
        {"source missing", [](const TempDir&) {}, "nothing", "dst",
         "Il percorso di origine o di destinazione o di entrambi non è valido"},
        {"destination is a file",
         [](const TempDir& t) {
             t.write("src/a", "a");
             t.write("dst", "");
         },
         "src", "dst", "Il percorso di destinazione è un file esistente"},
        {"destination inside the source", [](const TempDir& t) { t.write("src/sub/a", "a"); },
         "src", "src/sub", "La destinazione è una sottostruttura della fonte"},
        {"copy onto itself", [](const TempDir& t) { t.write("src/a", "a"); }, "src", "",
         "I file di origine e di destinazione sono lo stesso file"},
        {"a file where the destination has a folder",
         [](const TempDir& t) {
             t.write("src/a", "a");
             t.write("dst/src/a/inner", "i");
         },
         "src", "dst", "Il percorso di destinazione è una cartella esistente"},
        {"a folder where the destination has a file",
         [](const TempDir& t) {
             t.write("src/a/inner", "i");
             t.write("dst/src/a", "a");
         },
         "src", "dst", "Il percorso di destinazione è un file esistente"},
    };
    for (const Case& c : cases) {
        TempDir t;
        c.setup(t);
        std::string err;
        EXPECT_FALSE(host::CopyTree(t.str() + c.source, t.str() + c.dest, err)) << c.name;
        EXPECT_EQ(err, c.text) << c.name;
    }
}

TEST(CopyTree, PathTooLong) {
    TempDir t;
    // The source fits PATH_MAX (4096); below a destination 300 bytes deeper it does not.
    std::string deep = "src";
    for (int i = 0; i < 19; ++i) deep += "/" + std::string(200, 'd');
    t.write(deep + "/f.txt", "f");
    std::string dst = std::string(250, 'D') + "/" + std::string(50, 'E');
    fs::create_directories(t.path() / dst);
    std::string err;
    EXPECT_FALSE(host::CopyTree(t.str() + "src", t.str() + dst, err));
    EXPECT_EQ(err, "La sorgente o il percorso di destinazione supera o supera MAX_PATH");
}

TEST(CopyTree, FailureMidCopyLeavesEveryOldFileWhole) {
    TempDir t;
    // Reading /proc/self/mem at offset 0 fails with EIO after the open succeeded: the copy of
    // b.txt breaks half way, once its new file beside the old one has been created. Whichever
    // order the folder lists them in, a.txt and b.txt keep their old bytes.
    t.write("pkg/Ostrel/a.txt", "new a");
    fs::create_symlink("/proc/self/mem", t.path() / "pkg/Ostrel/b.txt");
    t.write("pkg/Ostrel/sub/c.txt", "new c");
    t.write("inst/Ostrel/a.txt", "old a");
    t.write("inst/Ostrel/b.txt", "old b");
    std::string err;
    EXPECT_FALSE(host::CopyTree(t.str() + "pkg/Ostrel", t.str() + "inst", err));
    EXPECT_EQ(err, "Errore Sconosciuto");
    EXPECT_EQ(readFile(t.path() / "inst/Ostrel/a.txt"), "old a");
    EXPECT_EQ(readFile(t.path() / "inst/Ostrel/b.txt"), "old b");
    EXPECT_FALSE(fs::exists(t.path() / "inst/Ostrel/sub/c.txt"));
    for (const std::string& f : filesBelow(t.path() / "inst"))
        EXPECT_EQ(f.find(".qlcopy-"), std::string::npos) << "left behind: " << f;
}

TEST(CopyTree, UnreadableSourceIsAccessDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    TempDir t;
    auto secret = t.write("src/secret.txt", "s");
    fs::permissions(secret, fs::perms::none);
    fs::create_directory(t.path() / "dst");
    std::string err;
    EXPECT_FALSE(host::CopyTree(t.str() + "src", t.str() + "dst", err));
    EXPECT_EQ(err, "Le impostazioni di protezione negato l'accesso alla fonte");
}

TEST(CopyTree, LinkLoopEndsTheCopy) {
    TempDir t;
    t.write("src/a.txt", "a");
    fs::create_directory_symlink("..", t.path() / "src/up");
    fs::create_directory(t.path() / "dst");
    std::string err;
    EXPECT_FALSE(host::CopyTree(t.str() + "src", t.str() + "dst", err));
    EXPECT_EQ(err, "MAX_PATH stato superato durante l'operazione");
}

TEST(ShellErrors, CodesAndTexts) {
    struct {
        host::IoFailure failure;
        int code;
    } mapped[] = {
        {{std::make_error_code(std::errc::permission_denied), host::IoSide::Source},
         host::kDeAccessDeniedSrc},
        {{std::make_error_code(std::errc::permission_denied), host::IoSide::Destination},
         host::kErrorOnDest},
        {{std::make_error_code(std::errc::read_only_file_system), host::IoSide::Destination},
         host::kErrorOnDest},
        {{std::make_error_code(std::errc::no_space_on_device), host::IoSide::Destination},
         host::kDeFileTooLarge},
        {{std::make_error_code(std::errc::filename_too_long), host::IoSide::Destination},
         host::kDePathTooDeep},
        {{std::make_error_code(std::errc::no_such_file_or_directory), host::IoSide::Source},
         host::kDeInvalidFiles},
        {{std::make_error_code(std::errc::io_error), host::IoSide::Source}, host::kDeUnknownError},
        {{std::make_error_code(std::errc::io_error), host::IoSide::Destination},
         host::kErrorOnDest},
        // The system's own codes, as the platform layer reports them.
        {{std::error_code(EACCES, std::system_category()), host::IoSide::Source},
         host::kDeAccessDeniedSrc},
#ifdef EDQUOT
        {{std::error_code(EDQUOT, std::system_category()), host::IoSide::Destination},
         host::kDeFileTooLarge},
#endif
    };
    for (const auto& m : mapped)
        EXPECT_EQ(host::ShellCodeForFailure(m.failure), m.code) << m.failure.error.message();

    EXPECT_EQ(host::ShellErrorText(0), "");
    for (int code : {119, 123, 127, 2, 5, 0x10001})
        EXPECT_EQ(host::ShellErrorText(code), "") << code;
    EXPECT_EQ(host::ShellErrorText(0x10074),
              "Destinazione è una directory principale e non possono essere rinominati");
    EXPECT_EQ(host::ShellErrorText(0x402), "Errore Sconosciuto");
}

TEST(DeleteTree, RemovesEverythingWithoutAsking) {
    TempDir t;
    t.write("tmp/a.txt", "a");
    t.write("tmp/sub/deeper/b.txt", "b");
    auto ro = t.write("tmp/sub/ro.txt", "r");
    fs::permissions(ro, fs::perms::owner_read);
    EXPECT_TRUE(host::DeleteTree(t.str() + "tmp"));
    EXPECT_FALSE(fs::exists(t.path() / "tmp"));
}

TEST(DeleteTree, RefusesWhatIsNotThere) {
    TempDir t;
    EXPECT_FALSE(host::DeleteTree(t.str() + "missing"));
    EXPECT_FALSE(host::DeleteTree(""));
    EXPECT_FALSE(host::DeleteTree("/"));
}

TEST(DeleteTree, ALinkGoesButNotWhatItPointsTo) {
    TempDir t;
    t.write("real/a.txt", "a");
    fs::create_directory_symlink(t.path() / "real", t.path() / "link");
    EXPECT_TRUE(host::DeleteTree(t.str() + "link"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(t.path() / "link")));
    EXPECT_EQ(readFile(t.path() / "real/a.txt"), "a");
}

}  // namespace
