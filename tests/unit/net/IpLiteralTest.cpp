#include "net/IpLiteral.h"

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

} // namespace
