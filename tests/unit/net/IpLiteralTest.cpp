#include "net/IpLiteral.h"
#include "net/HostText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct LiteralRow {
    const char* text;
    bool ipv4;
    bool ipv6;
};

// Texts that hosts, proxy lists and URLs really carry, and the near misses beside them.
constexpr LiteralRow kLiterals[] = {
    {"192.0.2.1", true, false},
    {"255.255.255.255", true, false},
    {"256.1.1.1", false, false},
    {"1.2.3", false, false},
    {"1.2.3.4.", false, false},
    {"01.2.3.4", true, false},
    {"1.2.3.-4", false, false},
    {"::", false, true},
    {"::1", false, true},
    {"2001:db8::1", false, true},
    {"fd00::1:3128", false, true},
    {"::ffff:192.0.2.1", false, true},
    {"1:2:3:4:5:6:7:8", false, true},
    {"1:2:3:4:5:6:7:8:9", false, false},
    {"1:2:3:4:5:6:7::8", false, false},
    {"1::2::3", false, false},
    {":1::", false, false},
    {"1::2:", false, false},
    {"12345::1", false, false},
    {"g::1", false, false},
    {"[::1]", false, false},
    {"fe80::1%eth0", false, false},
    {"1.2.3.4::", false, false},
    {"example.com", false, false},
    {"", false, false},
};

TEST(IpLiteralTest, TellsLiteralsFromNamesAndNearMisses) {
    for (const LiteralRow& row : kLiterals) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.ipv4, net::ipv4Literal(row.text).has_value());
        EXPECT_EQ(row.ipv6, net::ipv6Literal(row.text).has_value());
    }
}

TEST(IpLiteralTest, BytesAreInNetworkOrder) {
    EXPECT_EQ((net::Ipv4Bytes{192, 0, 2, 1}), net::ipv4Literal("192.0.2.1"));
    EXPECT_EQ((net::Ipv6Bytes{0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x02}),
              net::ipv6Literal("2001:DB8::102"));
    EXPECT_EQ((net::Ipv6Bytes{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff, 192, 0, 2, 1}),
              net::ipv6Literal("::ffff:192.0.2.1"));
}

TEST(IpLiteralTest, BracketsGoOnAndComeOffOnlyAroundIpv6) {
    EXPECT_EQ("::1", net::withoutBrackets("[::1]"));
    EXPECT_EQ("[example.com]", net::withoutBrackets("[example.com]"));
    EXPECT_EQ("192.0.2.1", net::withoutBrackets("192.0.2.1"));
    EXPECT_EQ("[fd00::1]", net::bracketed("fd00::1"));
    EXPECT_EQ("proxy.local", net::bracketed("proxy.local"));
    EXPECT_EQ("[::1]", net::bracketed(net::withoutBrackets("[::1]")));
}

TEST(HostText, HostAndPortAreReadWithIpv6AddressesInBrackets) {
    using R = net::HostPortRead;
    struct Row {
        const char* text;
        R read;
        const char* host; // as read, or "-" when left alone
        std::uint16_t port;
    };
    const Row rows[] = {
        {"proxy.corp:3128", R::Ok, "proxy.corp", 3128},
        {"10.0.0.1:80/", R::Ok, "10.0.0.1", 80},
        {"[fd00::1]:3128", R::Ok, "fd00::1", 3128},
        {"[::ffff:192.0.2.1]:443/", R::Ok, "::ffff:192.0.2.1", 443},
        {"[fd00::1]", R::NoPort, "-", 0},
        {"proxy", R::NoPort, "-", 0},
        {"fd00::1:3128", R::BadHost, "-", 0},
        {"1:2:3:4:5:6:7:8:9", R::BadHost, "-", 0},
        {"[fd00::1]x:80", R::BadHost, "-", 0},
        {"[example.com]:80", R::BadHost, "-", 0},
        {"[fe80::1%eth0]:80", R::BadHost, "-", 0},
        {"a/b:80", R::BadHost, "-", 0},
        {":80", R::BadHost, "-", 0},
        {"[fd00::1]:", R::BadPort, "fd00::1", 0},
        {"h:65536", R::BadPort, "h", 0},
        {"h:80//", R::BadPort, "h", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        net::HostAndPort read{"-", 0};
        EXPECT_EQ(row.read, net::readHostAndPort(row.text, read));
        EXPECT_EQ(row.host, read.host);
        EXPECT_EQ(row.port, read.port);
    }
    EXPECT_EQ("[fd00::1]:3128", net::hostAndPortText("fd00::1", 3128));
    EXPECT_EQ("proxy.corp:80", net::hostAndPortText("proxy.corp", 80));
    EXPECT_EQ("[x]:80", net::hostAndPortText("[x]", 80));
}

} // namespace
