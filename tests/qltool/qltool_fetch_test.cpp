// qltool fetch run as a program against a loopback peer: a .part from an earlier run goes on
// with Range/If-Range, a transfer cut mid-body is tried again and resumed, a server that ignores
// Range starts over, and a cut with no attempt left keeps the .part for the next run.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tools.h"

namespace {

using namespace testsupport;
namespace fs = std::filesystem;

const std::string kBody = "hello world";

std::string head(int status, const std::string& extra, std::size_t length) {
    return "HTTP/1.1 " + std::to_string(status) + (status == 206 ? " Partial Content" : " OK") +
           "\r\nContent-Length: " + std::to_string(length) + "\r\n" + extra + "\r\n";
}
// The whole body under ETag "v1", cut after `n` bytes when n is below its size.
ServerScript whole(std::size_t n = kBody.size()) {
    return {readRequest(), send(head(200, "ETag: \"v1\"\r\n", kBody.size()) + kBody.substr(0, n)),
            closeConnection()};
}
ServerScript rest(std::size_t from) {
    const std::string range = "Content-Range: bytes " + std::to_string(from) + "-" +
                              std::to_string(kBody.size() - 1) + "/" +
                              std::to_string(kBody.size()) + "\r\n";
    return {readRequest(), send(head(206, range, kBody.size() - from) + kBody.substr(from)),
            closeConnection()};
}

TEST(QltoolFetch, SaysWhatTheResumableDownloadDid) {
    const struct {
        const char* name;
        std::string held;  // FILE.part before the run (tag "v1"); "" none
        std::vector<ServerScript> scripts;
        std::vector<std::string> options;
        int status;
        std::string out;
        std::string err;
        std::string file;  // FILE afterwards ("" absent)
        std::string part;  // FILE.part afterwards ("" absent)
        std::string secondRequestRange;
    } cases[] = {
        {"a .part from an earlier run goes on",
         "hello ",
         {rest(6)},
         {},
         0,
         "resumed at 6\ncomplete: 11 bytes, status 206\n",
         "",
         kBody,
         "",
         ""},
        {"cut mid-body, tried again, resumed",
         "",
         {whole(4), rest(4)},
         {"--attempts", "2"},
         0,
         "interrupted: Connection Closed Gracefully. (attempt 2 of 2 in 1000 ms)\n"
         "resumed at 4\ncomplete: 11 bytes, status 206\n",
         "",
         kBody,
         "",
         "Range: bytes=4-\r\n"},
        {"the server ignores Range",
         "hello ",
         {whole()},
         {},
         0,
         "started over\ncomplete: 11 bytes, status 200\n",
         "",
         kBody,
         "",
         ""},
        {"cut with no attempt left",
         "",
         {whole(4)},
         {"--attempts", "1", "--idle-timeout", "5"},
         1,
         "kept FILE.part (4 bytes)\n",
         "EIdConnClosedGracefully: Connection Closed Gracefully.\n",
         "",
         "hell",
         ""},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string file = dir.str() + "pkg.qlzip";
        if (!c.held.empty()) {
            dir.write("pkg.qlzip.part", c.held);
            dir.write("pkg.qlzip.part.tag", "\"v1\"\n");
        }
        ScriptedServer server(c.scripts);
        std::vector<std::string> args = {qltoolPath(), "fetch", server.url("/p.zip"), file};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolRun r = runTool(args);
        std::string expectedOut = c.out;
        if (const auto at = expectedOut.find("FILE"); at != std::string::npos)
            expectedOut.replace(at, 4, file);
        EXPECT_EQ(r.status, c.status) << c.name << "\n" << r.err;
        EXPECT_EQ(r.out, expectedOut) << c.name;
        EXPECT_EQ(r.err, c.err) << c.name;
        EXPECT_EQ(fs::exists(file) ? readFile(file) : "", c.file) << c.name;
        EXPECT_EQ(fs::exists(file + ".part") ? readFile(file + ".part") : "", c.part) << c.name;
        // The validator stays only beside bytes kept for the next run.
        EXPECT_EQ(fs::exists(file + ".part.tag"), !c.part.empty()) << c.name;
        const std::vector<std::string> requests = server.requests();
        ASSERT_EQ(requests.size(), c.scripts.size()) << c.name;
        // A held .part is asked for from its end, under the validator kept beside it.
        const std::string& resuming = c.held.empty() ? requests.back() : requests.front();
        const std::string range = c.held.empty()
                                      ? c.secondRequestRange
                                      : "Range: bytes=" + std::to_string(c.held.size()) + "-\r\n";
        if (!range.empty()) {
            EXPECT_NE(resuming.find(range), std::string::npos) << c.name << "\n" << resuming;
            EXPECT_NE(resuming.find("If-Range: \"v1\"\r\n"), std::string::npos) << c.name;
        }
    }
}

TEST(QltoolFetch, WrongArgumentsAreAUsageError) {
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"fetch", "http://127.0.0.1:1/x"},
             {"fetch", "http://127.0.0.1:1/x", "f", "--attempts", "0"},
             {"fetch", "http://127.0.0.1:1/x", "f", "--idle-timeout"},
             {"fetch", "http://127.0.0.1:1/x", "f", "--resume"},
         }) {
        std::vector<std::string> argv = args;
        argv.insert(argv.begin(), qltoolPath());
        const ToolRun r = runTool(argv);
        EXPECT_EQ(r.status, 64) << args.back();
        EXPECT_NE(r.err.find("usage: qltool fetch URL FILE"), std::string::npos) << r.err;
    }
}

}  // namespace
