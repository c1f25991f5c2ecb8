#include "net/response_reader.h"

#include <gtest/gtest.h>

#include "core/byte_cursor.h"
#include "tests/support/pieces.h"

namespace net {
namespace {

using Pieces = std::vector<std::span<const std::byte>>;

// The response cut at random places (seeded), or byte by byte when seed is 0.
Pieces cut(std::string_view all, unsigned seed) {
    Pieces out;
    for (std::string_view piece : testsupport::cutIntoPieces(all, seed == 0 ? 1 : 40, seed))
        out.push_back(core::asBytes(piece));
    return out;
}

struct Good {
    const char* name;
    std::string bytes;
    PeerEnd end;
    int status;
    std::string body;
    std::uint64_t framed;
    std::vector<std::string> headers;
};

const std::string kChunked =
    "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
    "5\r\nhello\r\n"
    "1A ; name=\"va;lue\"\r\nabcdefghijklmnopqrstuvwxyz\r\n"
    "  0003\t\r\nxyz\n"
    "0\r\nX-Checksum: 42\r\nX-Other: a\r\n\r\n";

std::vector<Good> goodCases() {
    return {
        {"sized body",
         "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello",
         PeerEnd::Open,
         200,
         "hello",
         5,
         {"Content-Length: 5"}},
        {"sized body ignores what follows",
         "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nhello",
         PeerEnd::Open,
         200,
         "he",
         2,
         {"Content-Length: 2"}},
        {"bare LF line ends",
         "HTTP/1.1 200 OK\nContent-Length: 3\n\nabc",
         PeerEnd::Open,
         200,
         "abc",
         3,
         {"Content-Length: 3"}},
        {"until close",
         "HTTP/1.0 200 OK\r\nServer: x\r\n\r\nall of it",
         PeerEnd::Closed,
         200,
         "all of it",
         9,
         {"Server: x"}},
        {"Content-Length not a number reads until close",
         "HTTP/1.1 200 OK\r\nContent-Length: 5x\r\n\r\n1234567",
         PeerEnd::Closed,
         200,
         "1234567",
         7,
         {"Content-Length: 5x"}},
        {"Content-Length 0",
         "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n",
         PeerEnd::Open,
         200,
         "",
         0,
         {"Content-Length: 0"}},
        {"chunked with extensions, odd spacing and trailers",
         kChunked,
         PeerEnd::Open,
         200,
         "helloabcdefghijklmnopqrstuvwxyzxyz",
         // every byte after the head: sizes, data, line ends, the last chunk and the trailers
         kChunked.size() -
             std::string("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n").size(),
         {"Transfer-Encoding: chunked", "X-Checksum: 42", "X-Other: a"}},
        {"chunked wins over Content-Length",
         "HTTP/1.1 200 OK\r\nContent-Length: 100\r\nTransfer-Encoding: gzip, "
         "Chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n",
         PeerEnd::Open,
         200,
         "ok",
         12,
         {"Content-Length: 100", "Transfer-Encoding: gzip, Chunked"}},
        {"100 Continue is skipped",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nz",
         PeerEnd::Open,
         200,
         "z",
         1,
         {"Content-Length: 1"}},
        {"204 has no body",
         "HTTP/1.1 204 No Content\r\nContent-Length: 3\r\n\r\n",
         PeerEnd::Open,
         204,
         "",
         0,
         {"Content-Length: 3"}},
        {"status not a number",
         "HTTP/1.1 2x0 Odd\r\nContent-Length: 1\r\n\r\nq",
         PeerEnd::Open,
         -1,
         "q",
         1,
         {"Content-Length: 1"}},
        {"status line without a code", "garbage\r\n\r\n", PeerEnd::Closed, -1, "", 0, {}},
        {"longest line accepted",
         "HTTP/1.1 200 OK\r\nX: " + std::string(16381, 'a') + "\r\nContent-Length: 0\r\n\r\n",
         PeerEnd::Open,
         200,
         "",
         0,
         {"X: " + std::string(16381, 'a'), "Content-Length: 0"}},
    };
}

TEST(ResponseReader, ReadsWholeAndInPieces) {
    for (const auto& c : goodCases()) {
        for (unsigned seed : {1u, 0u, 7u, 99u, 12345u}) {
            SCOPED_TRACE(std::string(c.name) + " seed " + std::to_string(seed));
            Pieces pieces = seed == 1 ? Pieces{core::asBytes(c.bytes)} : cut(c.bytes, seed);
            auto r = readResponse(pieces, c.end);
            ASSERT_TRUE(r.ok()) << r.error().message();
            EXPECT_TRUE(r->complete);
            EXPECT_EQ(r->head.statusCode, c.status);
            EXPECT_EQ(r->body, c.body);
            EXPECT_EQ(r->framedBytes, c.framed);
            EXPECT_EQ(r->head.rawHeaders, c.headers);
        }
    }
}

TEST(ResponseReader, IncompleteIsNeedMoreNotAnError) {
    for (std::string partial :
         {"", "HTTP/1.1 200", "HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\nabc",
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel"}) {
        SCOPED_TRACE(partial);
        Pieces pieces{core::asBytes(partial)};
        auto r = readResponse(pieces, PeerEnd::Open);
        ASSERT_TRUE(r.ok());
        EXPECT_FALSE(r->complete);
    }
}

struct Bad {
    const char* name;
    std::string bytes;
    PeerEnd end;
    HttpErrorKind kind;
    std::string message;
};

std::string manyHeaders(std::size_t n) {
    std::string s = "HTTP/1.1 200 OK\r\n";
    for (std::size_t i = 0; i < n; ++i) s += "H: v\r\n";
    return s + "\r\n";
}

std::string bigHead() {
    std::string s = "HTTP/1.1 200 OK\r\n";
    while (s.size() <= kMaxHeadBytes) s += "X: " + std::string(16000, 'b') + "\r\n";
    return s + "\r\n";
}

TEST(ResponseReader, RefusesWhatBreaksTheRules) {
    const std::vector<Bad> cases = {
        {"close before any byte", "", PeerEnd::Closed, HttpErrorKind::ClosedEarly,
         "Connection Closed Gracefully."},
        {"close inside the status line", "HTTP/1.1 20", PeerEnd::Closed, HttpErrorKind::ClosedEarly,
         "Connection Closed Gracefully."},
        {"close inside a header line", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Len",
         PeerEnd::Closed, HttpErrorKind::ClosedEarly, "Connection Closed Gracefully."},
        {"close before the empty line", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n", PeerEnd::Closed,
         HttpErrorKind::ClosedEarly, "Connection Closed Gracefully."},
        {"close inside the head after 100 Continue",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\n", PeerEnd::Closed,
         HttpErrorKind::ClosedEarly, "Connection Closed Gracefully."},
        {"sized body cut short", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc",
         PeerEnd::Closed, HttpErrorKind::ClosedEarly, "Connection Closed Gracefully."},
        {"chunked body cut short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nab",
         PeerEnd::Closed, HttpErrorKind::ClosedEarly, "Connection Closed Gracefully."},
        {"chunked trailers cut short",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\nT: 1\r\n", PeerEnd::Closed,
         HttpErrorKind::ClosedEarly, "Connection Closed Gracefully."},
        {"16385-byte header line", "HTTP/1.1 200 OK\r\nX: " + std::string(16382, 'a') + "\r\n\r\n",
         PeerEnd::Open, HttpErrorKind::LineTooLong, "Max line length exceeded."},
        {"16385-byte status line without end", "HTTP/1.1 200 " + std::string(17000, 'a'),
         PeerEnd::Open, HttpErrorKind::LineTooLong, "Max line length exceeded."},
        {"long chunk-size line",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;" + std::string(16400, 'e'),
         PeerEnd::Open, HttpErrorKind::LineTooLong, "Max line length exceeded."},
        {"chunk size not hexadecimal",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", PeerEnd::Open,
         HttpErrorKind::BadChunkSize, "Invalid chunk size \"zz\" at offset 0."},
        {"empty chunk-size line",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n\r\n", PeerEnd::Open,
         HttpErrorKind::BadChunkSize, "Invalid chunk size \"\" at offset 6."},
        {"chunk size beyond 63 bits",
         "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n8000000000000000\r\n", PeerEnd::Open,
         HttpErrorKind::BadChunkSize, "Invalid chunk size \"8000000000000000\" at offset 0."},
        {"1001 header lines", manyHeaders(1001), PeerEnd::Open, HttpErrorKind::TooManyHeaders,
         "Response head with more than 1000 header lines."},
        {"head over 1 MiB", bigHead(), PeerEnd::Open, HttpErrorKind::HeadTooLarge,
         "Response head larger than 1048576 bytes."},
    };
    for (const auto& c : cases) {
        for (unsigned seed : {1u, 3u}) {
            SCOPED_TRACE(std::string(c.name) + " seed " + std::to_string(seed));
            Pieces pieces = seed == 1 ? Pieces{core::asBytes(c.bytes)} : cut(c.bytes, seed);
            auto r = readResponse(pieces, c.end);
            ASSERT_FALSE(r.ok());
            EXPECT_EQ(r.error().kind, c.kind);
            EXPECT_EQ(r.error().message(), c.message);
        }
    }
    // The limits are inclusive: exactly 1000 header lines are read.
    const std::string thousand = manyHeaders(1000);
    Pieces exact{core::asBytes(thousand)};
    auto r = readResponse(exact, PeerEnd::Closed);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r->head.rawHeaders.size(), 1000u);
}

TEST(ResponseHead, FieldsAndCharset) {
    ResponseHead h;
    h.statusLine = "HTTP/1.0 404 File not found";
    h.statusCode = parseStatusCode(h.statusLine);
    h.rawHeaders = {"content-type:  text/html ; Charset=\"UTF-8\" ", "Content-Length: 12 ",
                    "LOCATION: /x", "Content-Length: 99"};
    EXPECT_EQ(h.statusCode, 404);
    EXPECT_TRUE(h.isHttp10());
    EXPECT_EQ(h.contentLength(), 12);
    EXPECT_EQ(h.location(), "/x");
    EXPECT_EQ(h.charSet(), "UTF-8");
    h.rawHeaders = {"Content-Type: text/plain", "Content-Length: -5"};
    EXPECT_EQ(h.charSet(), "ISO-8859-1");
    EXPECT_EQ(h.contentLength(), -1);
    EXPECT_FALSE(h.hasContentLength());
    h.rawHeaders = {"Content-Type: application/zip", "Content-Length: 99999999999999999999"};
    EXPECT_EQ(h.charSet(), "");
    EXPECT_EQ(h.contentLength(), -1);
    for (auto [line, code] :
         std::vector<std::pair<const char*, int>>{{"HTTP/1.1 200 OK", 200},
                                                  {"HTTP/1.1 200", 200},
                                                  {"HTTP/1.1  200 OK", -1},
                                                  {"HTTP/1.1 -1 x", -1},
                                                  {"HTTP/1.1 99999999999 x", -1},
                                                  {"", -1},
                                                  {"HTTP/1.1", -1}})
        EXPECT_EQ(parseStatusCode(line), code) << line;
}

}  // namespace
}  // namespace net
