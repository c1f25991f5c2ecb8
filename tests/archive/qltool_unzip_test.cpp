// qltool unzip as a separate process: one FAILED line per failed entry and the exit codes
// 0 (all extracted), 1 (some failed), 2 (not opened).
#include <gtest/gtest.h>

#include <filesystem>

#include "host/platform.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"
#include "tests/support/zip_builder.h"

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

namespace fs = std::filesystem;
using testsupport::ZipEntrySpec;

TEST(QltoolUnzip, ExitCodesAndFailureLines) {
    testsupport::TempDir dir;
    const std::string good =
        dir.write("good.qlzip",
                  testsupport::buildZip({ZipEntrySpec{.name = "a/b.txt", .data = "b"}}))
            .string();
    const std::string partial =
        dir.write("partial.qlzip",
                  testsupport::buildZip({ZipEntrySpec{.name = "ok.txt", .data = "ok"},
                                         ZipEntrySpec{.name = "bad.txt", .data = "x", .crc = 1},
                                         ZipEntrySpec{.name = "../up.txt", .data = "x"}}))
            .string();
    const std::string empty = dir.write("empty.qlzip", "").string();
    fs::create_directory(dir.path() / "out");
    const std::string out = (dir.path() / "out").string();
    const std::string nul = dir.write("nulname.qlzip",  // not "nul.*": a device name on Windows
                                      testsupport::buildZip({ZipEntrySpec{
                                          .name = std::string("x.txt\0.exe", 10), .data = "x"}}))
                                .string();
    // More than the disk has free: 4 GiB claimed by each of enough entries.
    std::vector<ZipEntrySpec> huge;
    for (std::uint64_t i = 0; i <= host::freeDiskSpace(out).value_or(0) / 0xFFFFFFFFu; ++i)
        huge.push_back(
            ZipEntrySpec{.name = std::to_string(i), .data = "x", .uncompressedSize = 0xFFFFFFFFu});
    const std::string tooBig = dir.write("big.qlzip", testsupport::buildZip(huge)).string();

    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exit;
        std::string output;
    } cases[] = {
        {"all extracted", {good, out}, 0, ""},
        {"mask selecting nothing", {good, out, "*.sql"}, 0, ""},
        {"some failed",
         {partial, out},
         1,
         "FAILED bad.txt: EAbZipBadCRC 19 Failed CRC Check\n"
         "FAILED ../up.txt: EAbUnsafePath 0 Unsafe entry name - name with a \"..\" part\n"},
        {"empty archive file", {empty, out}, 2, "EAbBadStream: Invalid Stream\n"},
        {"missing archive", {out + "/none.qlzip", out}, 2, "EAbFileNotFound: File not found\n"},
        {"missing folder",
         {good, out + "/none"},
         2,
         "EAbNoSuchDirectory: Directory does not exist\n"},
        {"folder that is a file",
         {good, good},
         2,
         "EAbNoSuchDirectory: Directory does not exist\n"},
        {"NUL in a name, printed whole",
         {nul, out},
         1,
         std::string("FAILED x.txt\0.exe: EAbUnsafePath 0 Unsafe entry name - name with a NUL "
                     "character\n",
                     80)},
        {"not enough free space",
         {tooBig, out},
         2,
         "EInOutError: Not enough free space to extract: the files need "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> argv{testsupport::qltoolPath(), "unzip"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const testsupport::ToolRun r = testsupport::runTool(argv, testsupport::Stderr::WithStdout);
        EXPECT_EQ(r.status, c.exit);
        if (c.output.ends_with("\n"))
            EXPECT_EQ(r.out, c.output);
        else  // the figures depend on the disk
            EXPECT_EQ(r.out.rfind(c.output, 0), 0U) << r.out;
    }
    EXPECT_EQ(testsupport::readFile(dir.path() / "out/a/b.txt"), "b");
    EXPECT_EQ(testsupport::readFile(dir.path() / "out/ok.txt"), "ok");
    EXPECT_FALSE(fs::exists(dir.path() / "up.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "out/x.txt"));
    EXPECT_FALSE(fs::exists(dir.path() / "out/0"));
}

}  // namespace
