#include "host/tcp_connect.h"

#include <gtest/gtest.h>

namespace {

TEST(ConnectByName, DottedAddresses) {
    struct Case {
        const char* text;
        bool dotted;
    } cases[] = {
        {"127.0.0.1", true}, {"0.0.0.0", true},    {"255.255.255.255", true}, {"256.1.1.1", false},
        {"1.2.3", false},    {"1.2.3.4.5", false}, {"1..3.4", false},         {"localhost", false},
        {"1.2.3.4 ", false}, {"", false},          {"0001.2.3.4", false},     {"1.2.3.", false},
    };
    for (const Case& c : cases) EXPECT_EQ(host::isDottedAddress(c.text), c.dotted) << c.text;
}

TEST(ConnectByName, NamesAndAddressesConnectAndARefusalSaysWhy) {
    auto listener = host::Listener::open({host::AddressFamily::IPv4, "127.0.0.1", 0});
    ASSERT_TRUE(listener.ok());
    for (const char* name : {"127.0.0.1", "localhost"}) {
        auto s = host::connectByName(name, listener->port(), host::AddressFamily::IPv4);
        ASSERT_TRUE(s.ok()) << name << ": " << s.error().text;
        EXPECT_TRUE(s->isOpen());
    }
    const std::uint16_t port = listener->port();
    listener->close();
    auto refused = host::connectByName("127.0.0.1", port, host::AddressFamily::IPv4);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().op, host::SocketOp::Connect);
    EXPECT_FALSE(refused.error().text.empty());
    auto unknown = host::connectByName("no-such-host.invalid", port, host::AddressFamily::IPv4);
    ASSERT_FALSE(unknown.ok());
    EXPECT_EQ(unknown.error().op, host::SocketOp::Resolve);
}

}  // namespace
