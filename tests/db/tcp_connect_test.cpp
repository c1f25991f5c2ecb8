#include "db/tcp_connect.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "host/platform/socket.h"

namespace {

// A resolver that does not finish within the connect time-out is abandoned: the caller leaves
// with 2003 and "Connection timed out"; the late socket is closed by the abandoned thread.
TEST(TcpConnect, SlowResolutionIsAbandonedAfterTheTimeOut) {
    auto listener = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
    ASSERT_TRUE(listener.ok());
    const std::uint16_t port = listener->port();
    auto finished = std::make_shared<std::atomic<bool>>(false);
    auto slow = [finished](const std::string& name, std::uint16_t p) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        auto s = db::resolveAndConnect(name, p);
        finished->store(true);
        return s;
    };
    const auto start = std::chrono::steady_clock::now();
    auto r = db::connectTcp("slow.example", port, 1, slow);
    const auto waited = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(r.ok());
    EXPECT_EQ(r.error().code, 2003u);
    EXPECT_EQ(r.error().text,
              "Can't connect to MySQL server on 'slow.example' (10061)\r\nConnection timed out");
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_LT(waited, std::chrono::milliseconds(2400));
    EXPECT_FALSE(finished->load());
}

TEST(TcpConnect, FastResolutionConnects) {
    auto listener = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
    ASSERT_TRUE(listener.ok());
    auto r = db::connectTcp("localhost", listener->port(), 5);
    ASSERT_TRUE(r.ok()) << r.error().text;
    EXPECT_TRUE(r->isOpen());
    auto direct = db::connectTcp("127.0.0.1", listener->port(), 0);
    EXPECT_TRUE(direct.ok());
}

TEST(TcpConnect, DottedAddresses) {
    struct Case {
        const char* text;
        bool dotted;
    } cases[] = {
        {"127.0.0.1", true}, {"0.0.0.0", true},    {"255.255.255.255", true}, {"256.1.1.1", false},
        {"1.2.3", false},    {"1.2.3.4.5", false}, {"1..3.4", false},         {"localhost", false},
        {"1.2.3.4 ", false}, {"", false},          {"0001.2.3.4", false},     {"1.2.3.", false},
    };
    for (const Case& c : cases) EXPECT_EQ(db::isDottedAddress(c.text), c.dotted) << c.text;
}

}  // namespace
