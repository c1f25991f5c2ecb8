// TIdHTTP against a scripted loopback peer: exact request bytes, status handling, framing,
// work events, keep-alive and cookies, for the corners a real server does not show.
#include "net/id_http.h"

#include <gtest/gtest.h>

#include <tuple>

#include "core/byte_cursor.h"
#include "net/id_exceptions.h"
#include "net/response_reader.h"
#include "net/update_server.h"
#include "tests/support/scripted_server.h"
#include "tests/support/temp_dir.h"

namespace net {
namespace {

using namespace testsupport;

struct Events {
    std::vector<std::pair<char, std::int64_t>> log;  // 'B' begin (max), 'W' work (count), 'E' end
    void attach(TIdHTTP& http) {
        http.OnWorkBegin = [this](TIdHTTP&, TWorkMode m, std::int64_t max) {
            EXPECT_EQ(m, TWorkMode::wmRead);
            log.emplace_back('B', max);
        };
        http.OnWork = [this](TIdHTTP&, TWorkMode, std::int64_t n) { log.emplace_back('W', n); };
        http.OnWorkEnd = [this](TIdHTTP&, TWorkMode) { log.emplace_back('E', 0); };
    }
    std::vector<std::int64_t> works() const {
        std::vector<std::int64_t> out;
        for (auto [k, n] : log)
            if (k == 'W') out.push_back(n);
        return out;
    }
};

struct Client {
    TIdHTTP http;
    Events events;
    Client() {
        applyUpdaterSettings(http);
        events.attach(http);
        http.ReadTimeout = 10000;  // a fault shows as a failure, not a hung test
    }
};

std::string ok(const std::string& body, const std::string& extra = "") {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra +
           "\r\n" + body;
}

std::string pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 131 + i / 7) & 0xFF);
    return s;
}

template <class E, class F>
E expectThrow(F&& f) {
    try {
        f();
    } catch (const E& e) {
        return e;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected exception: " << e.what();
        throw;
    }
    ADD_FAILURE() << "no exception";
    throw std::runtime_error("no exception");
}

TEST(TIdHTTP, FirstRequestBytesAreExact) {
    ScriptedServer server({{readRequest(), send(ok("VE|1.2.3\r\n"))}});
    Client c;
    MemoryStream out;
    UpdateServer us(server.url("/"));
    c.http.Get(us.versionFileUrl(), out);
    EXPECT_EQ(out.text(), "VE|1.2.3\r\n");
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0],
              "GET /public/qlupdate/UPDATEQL.txt HTTP/1.1\r\n"
              "Host: 127.0.0.1:" +
                  std::to_string(server.port()) +
                  "\r\n"
                  "Accept: text/html, */*\r\n"
                  "Accept-Encoding: identity\r\n"
                  "User-Agent: Mozilla/5.0 (Windows; U; Windows NT 6.0; it; rv:1.8.1.12)\r\n\r\n");
    EXPECT_EQ(c.http.Response().ResponseCode, 200);
    EXPECT_EQ(c.http.Response().ResponseText, "HTTP/1.1 200 OK");
}

TEST(TIdHTTP, FragmentNeverGoesOnTheWire) {
    ScriptedServer server({{readRequest(), send(ok("a")), readRequest(), send(ok("b"))}});
    Client c;
    MemoryStream out;
    c.http.Get(server.url("/d/x.txt?a=b#frag"), out);
    c.http.Get(server.url("/d#x/y.txt"), out);
    ASSERT_EQ(server.requests().size(), 2u);
    EXPECT_TRUE(server.requests()[0].starts_with("GET /d/x.txt?a=b HTTP/1.1\r\n"))
        << server.requests()[0];
    EXPECT_TRUE(server.requests()[1].starts_with("GET /d HTTP/1.1\r\n")) << server.requests()[1];
}

// The client reads responses cut anywhere on the wire exactly as the one-shot reader reads them
// whole: the same head, body and trailers.
TEST(TIdHTTP, ResponsesCutAnywhereReadAsWhole) {
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1a;x=y\r\n" +
                                std::string(26, 'c') + "\r\n0003\r\nxyz\n0\r\nX-Sum: 1\r\n\r\n";
    const std::string responses[] = {
        ok(pattern(5000), "X-A: 1\r\n"),
        chunked,
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\n" + std::string("Content-Length: 3\n\nabc"),
    };
    for (const std::string& response : responses) {
        SCOPED_TRACE(response.substr(0, 60));
        ScriptedServer server({{readRequest(), sendInPieces(response), waitPeerClose()}});
        Client c;
        MemoryStream out;
        c.http.Get(server.url("/"), out);
        const std::span<const std::byte> whole[] = {core::asBytes(response)};
        auto expected = readResponse(whole, PeerEnd::Open);
        ASSERT_TRUE(expected.ok() && expected->complete);
        EXPECT_EQ(out.text(), expected->body);
        EXPECT_EQ(c.http.Response().RawHeaders, expected->head.rawHeaders);
        EXPECT_EQ(c.events.works().back(), static_cast<std::int64_t>(expected->framedBytes));
        c.http.Disconnect();
    }
}

TEST(TIdHTTP, SizedBodyInBlocksIntoAPresizedFile) {
    const std::string body = pattern(100000);
    ScriptedServer server(
        {{readRequest(), send("HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\n"), pause(100),
          send(body)}});
    TempDir dir;
    Client c;
    std::int64_t sizeAtFirstWork = -1;
    FileStream file((dir.path() / "p.zip").string());
    auto work = c.http.OnWork;
    c.http.OnWork = [&](TIdHTTP& s, TWorkMode m, std::int64_t n) {
        if (sizeAtFirstWork < 0) sizeAtFirstWork = file.Size();
        work(s, m, n);
    };
    c.http.Get(server.url("/p.zip"), file);
    file.Close();
    EXPECT_EQ(sizeAtFirstWork, 100000);  // the final size is claimed before the first byte
    EXPECT_EQ(readFile(dir.path() / "p.zip"), body);
    EXPECT_EQ(c.events.log.front(), std::make_pair('B', std::int64_t{100000}));
    EXPECT_EQ(c.events.log.back().first, 'E');
    EXPECT_EQ(c.events.works(), (std::vector<std::int64_t>{32768, 65536, 98304, 100000}));
}

TEST(TIdHTTP, BytesThatCameWithTheHeadAreOneWorkStep) {
    const std::string body = pattern(40000);
    ScriptedServer server(
        {{readRequest(),
          send("HTTP/1.1 200 OK\r\nContent-Length: 40000\r\n\r\n" + body.substr(0, 100)),
          pause(100), send(body.substr(100))}});
    Client c;
    MemoryStream out;
    c.http.Get(server.url("/f"), out);
    EXPECT_EQ(out.text(), body);
    EXPECT_EQ(c.events.works(), (std::vector<std::int64_t>{100, 100 + 32768, 40000}));
}

TEST(TIdHTTP, ChunkedCountsItsFraming) {
    const std::string framed = "4\r\nWiki\r\n5;x=1\r\npedia\r\n0\r\nX-T: 1\r\n\r\n";
    ScriptedServer server(
        {{readRequest(), send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"), pause(50),
          send(framed)}});
    Client c;
    MemoryStream out;
    c.http.Get(server.url("/c"), out);
    EXPECT_EQ(out.text(), "Wikipedia");
    EXPECT_EQ(c.events.log.front(), std::make_pair('B', std::int64_t{0}));
    // One step per element: size line, data, line end, ..., last chunk, trailer, empty line.
    EXPECT_EQ(c.events.works(), (std::vector<std::int64_t>{3, 7, 9, 16, 21, 23, 26, 34, 36}));
    EXPECT_EQ(c.events.works().back(), static_cast<std::int64_t>(framed.size()));
    EXPECT_EQ(c.http.Response().RawHeaders.back(), "X-T: 1");  // the trailer joins the headers
}

TEST(TIdHTTP, UntilCloseStoresEverythingAndReconnectsNextTime) {
    ScriptedServer server(
        {{readRequest(), send("HTTP/1.1 200 OK\r\n\r\nno length"), shutdownSend()},
         {readRequest(), send(ok("second"))}});
    Client c;
    MemoryStream a, b;
    c.http.Get(server.url("/a"), a);
    EXPECT_EQ(a.text(), "no length");
    EXPECT_EQ(c.events.log.front(), std::make_pair('B', std::int64_t{0}));
    c.http.Get(server.url("/b"), b);
    EXPECT_EQ(b.text(), "second");
    EXPECT_EQ(c.http.ConnectCount(), 2);
}

TEST(TIdHTTP, SizedBodyCutShortFailsAndKeepsWhatArrived) {
    ScriptedServer server(
        {{readRequest(), send("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n0123456789"),
          pause(50), shutdownSend()}});
    TempDir dir;
    Client c;
    FileStream file((dir.path() / "v.txt").string());
    auto e = expectThrow<EIdConnClosedGracefully>([&] { c.http.Get(server.url("/v.txt"), file); });
    EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    EXPECT_STREQ(e.className(), "EIdConnClosedGracefully");
    EXPECT_EQ(file.Size(), 10);
    file.Close();
    EXPECT_EQ(readFile(dir.path() / "v.txt"), "0123456789");
    EXPECT_EQ(c.events.log.back().first, 'E');  // the work section is closed on failure too
}

struct Refusal {
    const char* name;
    std::string response;
    int code;
    std::string message;
    std::string errorMessage;
};

TEST(TIdHTTP, RefusedStatusesLeaveTheDestinationUntouched) {
    const std::vector<Refusal> cases = {
        {"Location on a 200", ok("moved", "Location: http://elsewhere/\r\n"), 200,
         "HTTP/1.1 200 OK", "moved"},
        {"302 redirect",
         "HTTP/1.1 302 Found\r\nLocation: /other.zip\r\nContent-Length: 3\r\n\r\nabc", 302,
         "HTTP/1.1 302 Found", "abc"},
        {"404 with an HTML body",
         "HTTP/1.0 404 File not found\r\nContent-Type: text/html\r\nContent-Length: "
         "18\r\n\r\n<p>non c\xE8 pi\xF9</p>\n",
         404, "HTTP/1.0 404 File not found", "<p>non c\xC3\xA8 pi\xC3\xB9</p>\n"},
        {"utf-8 error body",
         "HTTP/1.1 500 Oops\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: "
         "3\r\n\r\n\xC3\xA8!",
         500, "HTTP/1.1 500 Oops", "\xC3\xA8!"},
        {"401 needs credentials", "HTTP/1.1 401 Unauthorized\r\nContent-Length: 4\r\n\r\nauth", 401,
         "HTTP/1.1 401 Unauthorized", "auth"},
        {"304 without a body", "HTTP/1.1 304 Not Modified\r\nContent-Length: 500\r\n\r\n", 304,
         "HTTP/1.1 304 Not Modified", ""},
        {"chunked error body",
         "HTTP/1.1 503 Busy\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nbus\r\n1\r\ny\r\n0\r\n\r\n",
         503, "HTTP/1.1 503 Busy", "busy"},
        {"status that is not a number", "HTTP/1.1 abc Weird\r\nContent-Length: 1\r\n\r\nw", -1,
         "HTTP/1.1 abc Weird", "w"},
    };
    for (const auto& rc : cases) {
        SCOPED_TRACE(rc.name);
        ScriptedServer server({{readRequest(), send(rc.response), waitPeerClose()}});
        TempDir dir;
        Client c;
        FileStream file((dir.path() / "out").string());
        auto e = expectThrow<EIdHTTPProtocolException>([&] { c.http.Get(server.url("/x"), file); });
        EXPECT_EQ(e.what(), rc.message);
        EXPECT_EQ(e.ErrorCode(), rc.code);
        EXPECT_EQ(e.ErrorMessage(), rc.errorMessage);
        EXPECT_EQ(file.Size(), 0);
        EXPECT_EQ(c.http.Response().ResponseCode, rc.code);
        c.http.Disconnect();
    }
}

// An error status decides the exception even when its body breaks off: the body is read as
// far as it goes, and the connection, out of step after it, is not used again.
TEST(TIdHTTP, ErrorStatusWinsOverItsBrokenBody) {
    const std::vector<std::tuple<const char*, ServerScript, int, std::string, std::string>> cases =
        {
            {"404 sized body cut short",
             {readRequest(), send("HTTP/1.1 404 Not Found\r\nContent-Length: 100\r\n\r\nnot h"),
              shutdownSend()},
             404,
             "HTTP/1.1 404 Not Found",
             "not h"},
            {"302 chunked body cut short",
             {readRequest(),
              send("HTTP/1.1 302 Found\r\nLocation: /x\r\nTransfer-Encoding: "
                   "chunked\r\n\r\n5\r\nmov"),
              shutdownSend()},
             302,
             "HTTP/1.1 302 Found",
             "mov"},
            {"500 with a chunk size that is not hexadecimal",
             {readRequest(),
              send("HTTP/1.1 500 Oops\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\nzz\r\n"),
              waitPeerClose()},
             500,
             "HTTP/1.1 500 Oops",
             "abc"},
            {"401 cut inside a chunk-size line",
             {readRequest(),
              send("HTTP/1.1 401 Unauthorized\r\nTransfer-Encoding: chunked\r\n\r\n1"),
              shutdownSend()},
             401,
             "HTTP/1.1 401 Unauthorized",
             ""},
        };
    for (const auto& [name, script, code, message, body] : cases) {
        SCOPED_TRACE(name);
        ScriptedServer server({script, {readRequest(), send(ok("fresh"))}});
        Client c;
        MemoryStream out;
        auto e = expectThrow<EIdHTTPProtocolException>([&] { c.http.Get(server.url("/x"), out); });
        EXPECT_EQ(e.what(), message);
        EXPECT_EQ(e.ErrorCode(), code);
        EXPECT_EQ(e.ErrorMessage(), body);
        EXPECT_EQ(out.Size(), 0);
        EXPECT_EQ(c.events.log.back().first, 'E');
        c.http.Get(server.url("/n"), out);
        EXPECT_EQ(out.text(), "fresh");
        EXPECT_EQ(c.http.ConnectCount(), 2);
    }
}

TEST(TIdHTTP, InterimAndEmptyResponses) {
    {
        ScriptedServer server(
            {{readRequest(), send("HTTP/1.1 100 Continue\r\n\r\n"), pause(30), send(ok("after"))}});
        Client c;
        MemoryStream out;
        c.http.Get(server.url("/"), out);
        EXPECT_EQ(out.text(), "after");
        EXPECT_EQ(c.http.Response().ResponseCode, 200);
    }
    {
        // 204: stray bytes after the head are dropped, the destination keeps what it had, and a
        // connection that carried stray bytes is not reused.
        ScriptedServer server({{readRequest(), send("HTTP/1.1 204 No Content\r\n\r\nstray"),
                                pause(20), send("more"), waitPeerClose()},
                               {readRequest(), send(ok("fresh"))}});
        Client c;
        MemoryStream out;
        out.Write(core::asBytes("before"));
        c.http.Get(server.url("/"), out);
        EXPECT_EQ(out.text(), "before");
        EXPECT_TRUE(c.events.log.empty());
        MemoryStream next;
        c.http.Get(server.url("/n"), next);
        EXPECT_EQ(next.text(), "fresh");
        EXPECT_EQ(c.http.ConnectCount(), 2);
    }
    {
        ScriptedServer server(
            {{readRequest(), send("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n")}});
        Client c;
        MemoryStream out;
        c.http.Get(server.url("/"), out);
        EXPECT_EQ(out.Size(), 0);
        EXPECT_TRUE(c.events.log.empty());
    }
}

TEST(TIdHTTP, KeepAliveCloseAndIdleClose) {
    // Two requests on one connection.
    {
        ScriptedServer server({{readRequest(), send(ok("one")), readRequest(), send(ok("two"))}});
        Client c;
        MemoryStream a, b;
        c.http.Get(server.url("/1"), a);
        c.http.Get(server.url("/2"), b);
        EXPECT_EQ(std::string(a.text()) + std::string(b.text()), "onetwo");
        EXPECT_EQ(server.connectionsAccepted(), 1);
        EXPECT_EQ(server.requests().size(), 2u);
    }
    // "Connection: close" makes the next Get open a new connection.
    {
        ScriptedServer server(
            {{readRequest(), send(ok("one", "Connection: Close\r\n")), waitPeerClose()},
             {readRequest(), send(ok("two"))}});
        Client c;
        MemoryStream a, b;
        c.http.Get(server.url("/1"), a);
        c.http.Get(server.url("/2"), b);
        EXPECT_EQ(b.text(), "two");
        EXPECT_EQ(server.connectionsAccepted(), 2);
    }
    // A kept connection the server closed while idle is noticed before sending.
    {
        ScriptedServer server({{readRequest(), send(ok("one")), closeConnection()},
                               {readRequest(), send(ok("two"))}});
        Client c;
        MemoryStream a, b;
        c.http.Get(server.url("/1"), a);
        ASSERT_TRUE(server.waitFinished(1));
        c.http.Get(server.url("/2"), b);
        EXPECT_EQ(b.text(), "two");
        EXPECT_EQ(server.requests().size(), 2u);
        EXPECT_EQ(c.http.ConnectCount(), 2);
    }
    // The server drops the kept connection just as the request goes out: retried once.
    {
        ScriptedServer server({{readRequest(), send(ok("one")), readRequest(), closeConnection()},
                               {readRequest(), send(ok("two"))}});
        Client c;
        MemoryStream a, b;
        c.http.Get(server.url("/1"), a);
        c.http.Get(server.url("/2"), b);
        EXPECT_EQ(b.text(), "two");
        EXPECT_EQ(server.requests().size(), 3u);
    }
    // An HTTP/1.0 answer without keep-alive does not keep the connection (RFC 9112 9.3).
    {
        ScriptedServer server(
            {{readRequest(), send("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx"),
              waitPeerClose()},
             {readRequest(), send(ok("y"))}});
        Client c;
        MemoryStream a, b;
        c.http.Get(server.url("/1"), a);
        c.http.Get(server.url("/2"), b);
        EXPECT_EQ(std::string(a.text()) + std::string(b.text()), "xy");
        EXPECT_EQ(server.connectionsAccepted(), 2);
    }
}

TEST(TIdHTTP, CookieGoesBackOnTheSecondRequest) {
    ScriptedServer server({{readRequest(), send(ok("v", "Set-Cookie: sess=abc123; Path=/\r\n")),
                            readRequest(), send(ok("p"))}});
    Client c;
    MemoryStream a, b;
    c.http.Get(server.url("/public/qlupdate/UPDATEQL.txt"), a);
    c.http.Get(server.url("/public/qlupdate/1.zip"), b);
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0].find("Cookie"), std::string::npos);
    const std::string tail =
        "User-Agent: Mozilla/5.0 (Windows; U; Windows NT 6.0; it; rv:1.8.1.12)\r\n"
        "Cookie: sess=abc123\r\nCookie2: $Version=\"1\"\r\n\r\n";
    EXPECT_TRUE(reqs[1].ends_with(tail)) << reqs[1];
}

struct Broken {
    const char* name;
    ServerScript script;
    std::string cls;
    std::string message;
    std::int64_t kept = 1;  // the destination's size afterwards (1: untouched)
};

TEST(TIdHTTP, BrokenResponsesRaiseTheirClass) {
    const std::vector<Broken> cases = {
        {"close before the status line",
         {readRequest(), shutdownSend()},
         "EIdConnClosedGracefully",
         "Connection Closed Gracefully."},
        {"close inside the head",
         {readRequest(), send("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Len"),
          shutdownSend()},
         "EIdConnClosedGracefully",
         "Connection Closed Gracefully."},
        {"close inside a chunked body",
         {readRequest(), send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n10\r\nabc"),
          shutdownSend()},
         "EIdConnClosedGracefully",
         "Connection Closed Gracefully.",
         4},
        {"16385-byte header line",
         {readRequest(), send("HTTP/1.1 200 OK\r\nX: " + std::string(16382, 'h') + "\r\n\r\n"),
          waitPeerClose()},
         "EIdReadLnMaxLineLengthExceeded",
         "Max line length exceeded."},
        {"endless header lines",
         {readRequest(),
          send("HTTP/1.1 200 OK\r\n" +
               [] {
                   std::string s;
                   for (int i = 0; i < 1500; ++i) s += "A: b\r\n";
                   return s;
               }()),
          waitPeerClose()},
         "EIdHTTPResponseInvalid",
         "Response head with more than 1000 header lines."},
        {"garbage chunk size",
         {readRequest(), send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nnope\r\n"),
          waitPeerClose()},
         "EIdHTTPResponseInvalid",
         "Invalid chunk size \"nope\" at offset 0."},
        {"length beyond the stream's range",
         {readRequest(), send("HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\nx"),
          waitPeerClose()},
         "EIdIOHandlerStreamDataTooLarge",
         "Data is too large for stream"},
    };
    for (const auto& bc : cases) {
        SCOPED_TRACE(bc.name);
        ScriptedServer server({bc.script});
        Client c;
        MemoryStream out;
        out.Write(core::asBytes("p"));  // position 1: the length case overflows
        try {
            c.http.Get(server.url("/"), out);
            ADD_FAILURE() << "no exception";
        } catch (const core::Exception& e) {
            EXPECT_EQ(e.className(), bc.cls);
            EXPECT_EQ(e.what(), bc.message);
        }
        EXPECT_EQ(out.Size(), bc.kept);
    }
}

TEST(TIdHTTP, HugeErrorBodyIsBoundedAndTheConnectionStaysInStep) {
    const std::string big(3 * 1024 * 1024, 'e');
    ScriptedServer server({{readRequest(),
                            send("HTTP/1.1 404 Not Found\r\nContent-Length: " +
                                 std::to_string(big.size()) + "\r\n\r\n" + big),
                            readRequest(), send(ok("next"))}});
    Client c;
    MemoryStream out;
    auto e = expectThrow<EIdHTTPProtocolException>([&] { c.http.Get(server.url("/a"), out); });
    EXPECT_EQ(e.ErrorMessage().size(), 1024u * 1024u);
    EXPECT_EQ(c.events.works().back(), static_cast<std::int64_t>(big.size()));
    c.http.Get(server.url("/b"), out);
    EXPECT_EQ(out.text(), "next");
    EXPECT_EQ(server.connectionsAccepted(), 1);
}

TEST(TIdHTTP, FailuresBeforeConnecting) {
    Client c;
    MemoryStream out;
    auto https =
        expectThrow<EIdIOHandlerPropInvalid>([&] { c.http.Get("https://127.0.0.1/x", out); });
    EXPECT_STREQ(https.what(), "IOHandler value is not valid");
    EXPECT_EQ(c.http.ConnectCount(), 0);
    expectThrow<EIdUnknownProtocol>([&] { c.http.Get("ftp://127.0.0.1/x", out); });
    expectThrow<EIdURIException>([&] { c.http.Get("http://127.0.0.1:99999/x", out); });

    // A port nobody listens on: take a free one and close it again.
    std::uint16_t port;
    {
        auto l = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
        ASSERT_TRUE(l);
        port = l->port();
    }
    auto refused = expectThrow<EIdSocketError>(
        [&] { c.http.Get("http://127.0.0.1:" + std::to_string(port) + "/", out); });
    // The system's number for a refused connection: ECONNREFUSED, or WSAECONNREFUSED.
#if defined(_WIN32)
    const int kRefused = 10061;
#else
    const int kRefused = 111;
#endif
    EXPECT_EQ(refused.LastError(), kRefused);
    EXPECT_EQ(std::string(refused.what()),
              "Socket Error # " + std::to_string(kRefused) + "\nConnection refused.");
    EXPECT_EQ(out.Size(), 0);
}

TEST(TIdHTTP, ReadTimeoutEndsAStalledBody) {
    ScriptedServer server({{readRequest(), send("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nab"),
                            waitPeerClose()}});
    Client c;
    c.http.ReadTimeout = 200;
    MemoryStream out;
    auto e = expectThrow<EIdReadTimeout>([&] { c.http.Get(server.url("/"), out); });
    EXPECT_STREQ(e.what(), "Read timed out.");
    EXPECT_EQ(out.text(), "ab");
}

TEST(TIdHTTP, BoundedMemoryDestinationFailsInsteadOfGrowing) {
    // A sized body over the limit fails before any byte is stored; an unsized one when it gets
    // there.
    ScriptedServer server({{readRequest(), send(ok(std::string(5000, 'v')))},
                           {readRequest(), send("HTTP/1.1 200 OK\r\n\r\n" + std::string(5000, 'w')),
                            shutdownSend()}});
    Client c;
    MemoryStream sized(4096, Overflow::Fail);
    auto e = expectThrow<EStreamError>([&] { c.http.Get(server.url("/a"), sized); });
    EXPECT_STREQ(e.what(), "Memory stream limit of 4096 bytes exceeded.");
    EXPECT_EQ(sized.Size(), 0);
    MemoryStream unsized(4096, Overflow::Fail);
    expectThrow<EStreamError>([&] { c.http.Get(server.url("/b"), unsized); });
    EXPECT_LE(unsized.Size(), 4096);
    EXPECT_EQ(c.http.ConnectCount(), 2);  // a failed body leaves the connection out of step: closed
}

TEST(TIdHTTP, Http10AsksForKeepAlive) {
    ScriptedServer server(
        {{readRequest(),
          send("HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 1\r\n\r\nx"),
          readRequest(), send("HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\ny"), waitPeerClose()},
         {readRequest(), send(ok("z"))}});
    Client c;
    c.http.ProtocolVersion = TIdHTTPProtocolVersion::pv1_0;
    MemoryStream a, b, d;
    c.http.Get(server.url("/1"), a);
    c.http.Get(server.url("/2"), b);
    c.http.Get(server.url("/3"), d);
    EXPECT_EQ(std::string(a.text()) + std::string(b.text()) + std::string(d.text()), "xyz");
    auto reqs = server.requests();
    ASSERT_EQ(reqs.size(), 3u);
    EXPECT_TRUE(reqs[0].starts_with("GET /1 HTTP/1.0\r\nConnection: keep-alive\r\nHost: "))
        << reqs[0];
    EXPECT_EQ(server.connectionsAccepted(), 2);
}

TEST(UpdateServer, UrlsOfBothResources) {
    UpdateServer def;
    EXPECT_EQ(def.versionFileUrl(), "http://update.quillora.it/public/qlupdate/UPDATEQL.txt");
    EXPECT_EQ(def.packageUrl("2024.05"), "http://update.quillora.it/public/qlupdate/2024.05.zip");
    UpdateServer local("http://127.0.0.1:8080/");
    EXPECT_EQ(local.packageUrl(""), "http://127.0.0.1:8080/public/qlupdate/.zip");
}

}  // namespace
}  // namespace net
