// The resumable download against a scripted loopback peer: a transfer cut mid-body goes on with
// Range/If-Range, a server that ignores Range or serves a changed file starts the .part over,
// a 416 for the length we hold is complete, and failures beyond the attempts leave the .part.
#include "net/resumable_get.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "net/content_range.h"
#include "net/id_exceptions.h"
#include "net/id_http.h"
#include "net/update_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

namespace net {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

TEST(ContentRange, ParsesWhatARangedAnswerSays) {
    const struct {
        const char* value;
        bool ok;
        std::int64_t first, last, complete;
    } cases[] = {
        {"bytes 4-9/10", true, 4, 9, 10},
        {"BYTES  0-0/1", true, 0, 0, 1},
        {"bytes 4-9/*", true, 4, 9, -1},
        {"bytes */10", true, -1, -1, 10},
        {"bytes */*", false, 0, 0, 0},
        {"bytes 9-4/10", false, 0, 0, 0},
        {"bytes 4-10/10", false, 0, 0, 0},  // last beyond the length
        {"items 4-9/10", false, 0, 0, 0},
        {"bytes 4-9", false, 0, 0, 0},
        {"bytes -9/10", false, 0, 0, 0},
        {"bytes 4-9/1x", false, 0, 0, 0},
        {"bytes 1-9999999999999999999/*", false, 0, 0, 0},
    };
    for (const auto& c : cases) {
        const auto r = parseContentRange(c.value);
        ASSERT_EQ(r.has_value(), c.ok) << c.value;
        if (!r) continue;
        EXPECT_EQ(r->first, c.first) << c.value;
        EXPECT_EQ(r->last, c.last) << c.value;
        EXPECT_EQ(r->complete, c.complete) << c.value;
    }
    EXPECT_EQ(rangeValidator("\"v1\"", "Tue, 01 Dec 2026 10:00:00 GMT"), "\"v1\"");
    EXPECT_EQ(rangeValidator("W/\"v1\"", "Tue, 01 Dec 2026 10:00:00 GMT"),
              "Tue, 01 Dec 2026 10:00:00 GMT");
    EXPECT_EQ(rangeValidator("", ""), "");
}

const std::string kBody = "0123456789ABCDEFGHIJ";   // 20 bytes
const std::string kOther = "abcdefghijklmnopqrst";  // the file after it changed

std::string head200(std::size_t length, const std::string& extra) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) + "\r\n" + extra + "\r\n";
}
std::string full(const std::string& body, const std::string& extra) {
    return head200(body.size(), extra) + body;
}
// The first `n` bytes of the whole answer's body, then the connection closes.
ServerScript cutAfter(std::size_t n, const std::string& extra = "ETag: \"v1\"\r\n") {
    return {readRequest(), send(head200(kBody.size(), extra) + kBody.substr(0, n)),
            closeConnection()};
}
ServerScript answer(std::string bytes) {
    return {readRequest(), send(std::move(bytes)), closeConnection()};
}
std::string partial(std::size_t from, const std::string& body) {
    return "HTTP/1.1 206 Partial Content\r\nContent-Range: bytes " + std::to_string(from) + "-" +
           std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) +
           "\r\nContent-Length: " + std::to_string(body.size() - from) + "\r\n\r\n" +
           body.substr(from);
}

bool has(const std::string& text, const std::string& what) {
    return text.find(what) != std::string::npos;
}

struct Fetch {
    TempDir dir;
    std::string file = dir.str() + "pkg.qlzip";
    TIdHTTP http;
    ResumeSettings settings;
    std::vector<std::string> retries;
    Fetch() {
        applyUpdaterSettings(http);
        http.ReadTimeout = 10000;
        settings.attempts = 3;
        settings.firstPause = std::chrono::milliseconds(5);
        settings.onRetry = [this](const std::string& why, int next, int,
                                  std::chrono::milliseconds) {
            retries.push_back(std::to_string(next) + ": " + why);
        };
    }
    ResumeOutcome get(ScriptedServer& s) {
        return GetResumable(http, s.url("/p.zip"), file, settings);
    }
    std::string part() const { return readFile(PartFileOf(file)); }
};

TEST(ResumableGet, AnswersAfterACutDecideWhatThePartHolds) {
    const struct {
        const char* name;
        std::vector<ServerScript> scripts;
        std::string expected;
        int resumed, restarts, retries;
        std::string secondRange;  // the Range of the second request ("" none)
    } cases[] = {
        {"cut mid-body, then the rest",
         {cutAfter(7), answer(partial(7, kBody))},
         kBody,
         1,
         0,
         1,
         "bytes=7-"},
        {"cut, then the server ignores Range",
         {cutAfter(7), answer(full(kBody, "ETag: \"v1\"\r\n"))},
         kBody,
         0,
         1,
         1,
         "bytes=7-"},
        {"cut, then the file changed (If-Range failed)",
         {cutAfter(7), answer(full(kOther, "ETag: \"v2\"\r\n"))},
         kOther,
         0,
         1,
         1,
         "bytes=7-"},
        {"cut, then a 206 from another offset, then the whole",
         {cutAfter(7), answer(partial(3, kBody)), answer(full(kBody, "ETag: \"v1\"\r\n"))},
         kBody,
         0,
         1,
         1,
         "bytes=7-"},
        {"cut twice, resumed twice",
         {cutAfter(5),
          {readRequest(), send(partial(5, kBody).substr(0, partial(5, kBody).size() - 9)),
           closeConnection()},
          answer(partial(11, kBody))},
         kBody,
         2,
         0,
         2,
         "bytes=5-"},
        {"weak ETag: Last-Modified is the validator",
         {cutAfter(7, "ETag: W/\"w\"\r\nLast-Modified: Tue, 01 Dec 2026 10:00:00 GMT\r\n"),
          answer(partial(7, kBody))},
         kBody,
         1,
         0,
         1,
         "bytes=7-"},
        {"no validator: the cut bytes are fetched again",
         {cutAfter(7, ""), answer(full(kBody, ""))},
         kBody,
         0,
         1,
         1,
         ""},
    };
    for (const auto& c : cases) {
        ScriptedServer server(c.scripts);
        Fetch run;
        const ResumeOutcome out = run.get(server);
        EXPECT_EQ(run.part(), c.expected) << c.name;
        EXPECT_EQ(out.size, static_cast<std::int64_t>(c.expected.size())) << c.name;
        EXPECT_EQ(out.resumed, c.resumed) << c.name;
        EXPECT_EQ(out.restarts, c.restarts) << c.name;
        EXPECT_EQ(out.resumedAt, c.resumed ? std::stoll(c.secondRange.substr(6)) : -1) << c.name;
        EXPECT_EQ(out.status, c.resumed ? 206 : 200) << c.name;
        EXPECT_FALSE(fs::exists(PartTagFileOf(run.file))) << c.name;
        const auto req = server.requests();
        ASSERT_GE(req.size(), 2u) << c.name;
        EXPECT_FALSE(has(req[0], "Range")) << c.name;
        if (c.secondRange.empty()) {
            EXPECT_FALSE(has(req[1], "Range")) << c.name << req[1];
        } else {
            EXPECT_TRUE(has(req[1], "Range: " + c.secondRange + "\r\n")) << c.name << req[1];
            const std::string validator =
                has(c.name, "weak") ? "Tue, 01 Dec 2026 10:00:00 GMT" : "\"v1\"";
            EXPECT_TRUE(has(req[1], "If-Range: " + validator + "\r\n")) << c.name << req[1];
        }
        // A restart asks for the whole file again.
        if (req.size() > 2) {
            EXPECT_FALSE(has(req[2], "Range: bytes=7-")) << c.name;
        }
        EXPECT_EQ(static_cast<int>(run.retries.size()), c.retries) << c.name;
        // The client's own request headers are as they were.
        EXPECT_TRUE(run.http.Request.Range.empty()) << c.name;
        EXPECT_TRUE(run.http.Request.CustomHeaders.empty()) << c.name;
    }
}

TEST(ResumableGet, APartFromAnEarlierRunIsContinuedOrFoundComplete) {
    const struct {
        const char* name;
        std::string held, tag;
        ServerScript script;
        std::string expected;
        bool complete;
    } cases[] = {
        {"the rest", kBody.substr(0, 12), "\"v1\"", answer(partial(12, kBody)), kBody, false},
        {"416 for the length held", kBody, "\"v1\"",
         answer("HTTP/1.1 416 Range Not Satisfiable\r\nContent-Range: bytes */20\r\n"
                "Content-Length: 0\r\n\r\n"),
         kBody, true},
    };
    for (const auto& c : cases) {
        ScriptedServer server({c.script, answer(full(kBody, "ETag: \"v1\"\r\n"))});
        Fetch run;
        run.dir.write("pkg.qlzip.part", c.held);
        run.dir.write("pkg.qlzip.part.tag", c.tag + "\n");
        const ResumeOutcome out = run.get(server);
        EXPECT_EQ(run.part(), c.expected) << c.name;
        EXPECT_EQ(out.alreadyComplete, c.complete) << c.name;
        EXPECT_EQ(out.status, c.complete ? 416 : 206) << c.name;
        EXPECT_EQ(out.requests, 1) << c.name;
        ASSERT_EQ(server.requests().size(), 1u) << c.name;
        const std::string req = server.requests()[0];
        EXPECT_TRUE(has(req, "Range: bytes=" + std::to_string(c.held.size()) + "-\r\n")) << c.name;
        EXPECT_TRUE(has(req, "If-Range: \"v1\"\r\n")) << c.name << req;
    }
}

TEST(ResumableGet, AttemptsUsedUpRaiseTheConnectionsFailureAndKeepThePart) {
    ScriptedServer server({cutAfter(7), cutAfter(3), cutAfter(3)});
    Fetch run;
    run.settings.attempts = 2;
    EXPECT_THROW(run.get(server), EIdConnClosedGracefully);
    EXPECT_EQ(server.requests().size(), 2u);
    ASSERT_EQ(run.retries.size(), 1u);
    EXPECT_EQ(run.retries[0], "2: Connection Closed Gracefully.");
    // The second answer was a 200 for all of it (cut after 3): the .part holds those 3 bytes
    // under the validator it came with, ready for the next run.
    EXPECT_EQ(run.part(), kBody.substr(0, 3));
    EXPECT_EQ(readFile(PartTagFileOf(run.file)), "\"v1\"\n");
}

TEST(ResumableGet, AnAnswerOverTheLimitEndsTheFetch) {
    ScriptedServer server({answer(full(kBody, "ETag: \"v1\"\r\n"))});
    Fetch run;
    run.settings.limit = 10;
    EXPECT_THROW(run.get(server), EStreamTooLarge);
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(ResumableGet, ErrorStatusesAreNotRetried) {
    ScriptedServer server(
        {answer("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"), answer(full(kBody, ""))});
    Fetch run;
    try {
        run.get(server);
        ADD_FAILURE() << "a 404 fetched something";
    } catch (const EIdHTTPProtocolException& e) {
        EXPECT_EQ(e.ErrorCode(), 404);
    }
    EXPECT_EQ(server.requests().size(), 1u);
    EXPECT_TRUE(run.retries.empty());
}

}  // namespace
}  // namespace net
