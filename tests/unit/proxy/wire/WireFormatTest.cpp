#include "proxy/wire/Base64.h"
#include "proxy/wire/HttpBodyReader.h"
#include "proxy/wire/HttpConnectWire.h"
#include "proxy/wire/ProxyAuthWire.h"
#include "proxy/wire/Socks5Wire.h"
#include "proxy/wire/SocksWire.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

TEST(HttpConnectRequest, IsTheRequestLineAndAnEmptyLineAndNothingElse) {
    std::string request;
    ASSERT_EQ(httpconnect::RequestProblem::None, httpconnect::buildRequest("h", 5000, request));
    EXPECT_EQ("CONNECT h:5000 HTTP/1.0\r\n\r\n", request);
    ASSERT_EQ(httpconnect::RequestProblem::None,
              httpconnect::buildRequest("2001:db8::1", 443, request));
    EXPECT_EQ("CONNECT [2001:db8::1]:443 HTTP/1.0\r\n\r\n", request);
}

TEST(HttpConnectRequest, RefusesHostsThatBreakTheLineOrDoNotFit) {
    using httpconnect::RequestProblem;
    const std::string longest(1024 - std::string("CONNECT :65535 HTTP/1.0\r\n\r\n").size() - 1,
                              'a');
    struct Row {
        std::string host;
        std::uint16_t port;
        RequestProblem expected;
    };
    const Row rows[] = {
        {"evil\r\nX-Injected: 1", 80, RequestProblem::HostBreaksTheLine},
        {"evil\nhost", 80, RequestProblem::HostBreaksTheLine},
        {"evil\rhost", 80, RequestProblem::HostBreaksTheLine},
        {std::string("evil\0host", 9), 80, RequestProblem::HostBreaksTheLine},
        {longest, 65535, RequestProblem::None},
        {longest + "a", 65535, RequestProblem::TooLong},
        {std::string(5000, 'b'), 1, RequestProblem::TooLong},
    };
    for (const Row& row : rows) {
        std::string request = "untouched";
        EXPECT_EQ(row.expected, httpconnect::buildRequest(row.host, row.port, request))
            << row.host.size() << " characters";
        if (row.expected != RequestProblem::None) {
            EXPECT_EQ("untouched", request);
        } else {
            EXPECT_EQ(1023u, request.size());
        }
    }
}

TEST(HttpConnectAnswer, StatusLinesAreScannedAndJudged) {
    struct Row {
        std::string answer;
        std::string version; // empty: not a well-formed status line
        int status;
        std::string rest;
        bool open;
    };
    const Row rows[] = {
        {"HTTP/1.0 200 Connection established\r\n\r\n", "HTTP/1.0", 200,
         " Connection established\r", true},
        {"HTTP/1.1 407 Proxy Authentication Required\r\n\r\n", "HTTP/1.1", 407,
         " Proxy Authentication Required\r", false},
        {"HTTP/1.1 299\r\n\r\n", "HTTP/1.1", 299, "\r", true},
        {"HTTP/1.1 204\n", "HTTP/1.1", 204, "", true},
        {"HTTP/1.1 200", "HTTP/1.1", 200, "", true},
        {"HTTP/1.1 300 x\r\n\r\n", "HTTP/1.1", 300, " x\r", false},
        {"HTTP/1.1 199 x\r\n\r\n", "HTTP/1.1", 199, " x\r", false},
        {"ICAP/1.0 200 OK\r\n\r\n", "", 0, "", false},
        {"HTTP/1.1 2000 OK\r\n\r\n", "", 0, "", false}, // four digits
        {"HTTP/1.0 2001 OK\r\n", "", 0, "", false},
        {"HTTP/1.1xx200 OK\r\n\r\n", "", 0, "", false},
        {"HTTP/1.1  200 OK\r\n", "", 0, "", false}, // two blanks
        {"HTTP/1.1 20 OK\r\n", "", 0, "", false},
        {"HTTP/1.1 200x\r\n", "", 0, "", false},
        {"HTTP/1.1 200\rx\n", "", 0, "", false},
        {"HTTP/1.1\n200\n", "", 0, "", false},
        {"HTTP/1.1 abc\r\n\r\n", "", 0, "", false},
        {"HTTP/11 200 OK\r\n", "", 0, "", false},
        {" HTTP/1.1 200 OK\r\n", "", 0, "", false},
        {"HTTP/", "", 0, "", false},
        {"", "", 0, "", false},
    };
    for (const Row& row : rows) {
        const httpconnect::StatusLine line = httpconnect::scanStatusLine(row.answer.c_str());
        EXPECT_EQ(!row.version.empty(), line.wellFormed) << row.answer;
        EXPECT_EQ(row.version, line.version) << row.answer;
        EXPECT_EQ(row.status, line.status) << row.answer;
        EXPECT_EQ(row.rest, line.rest) << row.answer;
        EXPECT_EQ(row.open, httpconnect::tunnelOpened(line)) << row.answer;
    }
}

TEST(HttpConnectAnswer, AStatusLineLongerThanTheBufferIsCutNotOverflowed) {
    const std::string answer = "HTTP/1.0 200 " + std::string(5000, 'r');
    const httpconnect::StatusLine line = httpconnect::scanStatusLine(answer.c_str());
    EXPECT_EQ(200, line.status);
    EXPECT_EQ(httpconnect::kBufferSize, line.rest.size());
    EXPECT_EQ(httpconnect::kBufferSize, httpconnect::firstLine(answer.c_str()).size());
    EXPECT_EQ("HTTP/1.1 2000 OK", httpconnect::firstLine("HTTP/1.1 2000 OK\r\nVia: x\r\n"));
}

std::vector<int> bytesOf(const std::uint8_t* data, std::size_t length) {
    return std::vector<int>(data, data + length);
}

TEST(SocksRequest, PlainAnd4aFormsAreLaidOutByteForByte) {
    std::uint8_t buffer[socks::kBufferSize];
    const std::uint8_t dotted[4] = {10, 0, 0, 5};
    ASSERT_EQ(9u, socks::buildRequest(buffer, 80, dotted, "10.0.0.5"));
    EXPECT_EQ((std::vector<int>{4, 1, 0, 80, 10, 0, 0, 5, 0}), bytesOf(buffer, 9));

    const std::uint8_t resolved[4] = {192, 0, 2, 7};
    ASSERT_EQ(9u, socks::buildRequest(buffer, 443, resolved, "known.example"));
    EXPECT_EQ((std::vector<int>{4, 1, 1, 187, 192, 0, 2, 7, 0}), bytesOf(buffer, 9));

    const std::string name = "unresolved1";
    ASSERT_EQ(11u, name.size());
    ASSERT_EQ(21u, socks::buildRequest(buffer, 80, nullptr, name));
    std::vector<int> expected{4, 1, 0, 80, 0, 0, 0, 1, 0};
    expected.insert(expected.end(), name.begin(), name.end());
    expected.push_back(0);
    EXPECT_EQ(expected, bytesOf(buffer, 21));
}

TEST(SocksRequest, NamesTooLongForTheBufferOrWithAZeroAreRefused) {
    std::uint8_t buffer[socks::kBufferSize];
    EXPECT_EQ(socks::kBufferSize, socks::buildRequest(buffer, 1, nullptr, std::string(490, 'n')));
    EXPECT_EQ(0, buffer[socks::kBufferSize - 1]);
    EXPECT_EQ(0u, socks::buildRequest(buffer, 1, nullptr, std::string(491, 'n')));
    EXPECT_EQ(0u, socks::buildRequest(buffer, 1, nullptr, std::string(100000, 'n')));
    EXPECT_EQ(0u, socks::buildRequest(buffer, 1, nullptr, std::string("a\0b", 3)));
    EXPECT_EQ(0u, socks::buildRequest(buffer, 1, nullptr, "a\r\nb"));
}

TEST(SocksReply, IsJudgedByVersionThenCode) {
    using socks::ReplyVerdict;
    struct Row {
        std::uint8_t version;
        std::uint8_t code;
        ReplyVerdict expected;
    };
    const Row rows[] = {
        {0, 90, ReplyVerdict::Granted},          {0, 91, ReplyVerdict::Rejected},
        {0, 92, ReplyVerdict::UnknownResponse},  {0, 93, ReplyVerdict::UnknownResponse},
        {0, 0, ReplyVerdict::UnknownResponse},   {0, 255, ReplyVerdict::UnknownResponse},
        {4, 90, ReplyVerdict::UnknownVersion},   {4, 91, ReplyVerdict::UnknownVersion},
        {255, 90, ReplyVerdict::UnknownVersion}, {5, 0, ReplyVerdict::UnknownVersion},
    };
    for (const Row& row : rows) {
        const std::uint8_t reply[socks::kReplyLength] = {row.version, row.code, 1, 2, 3, 4, 5, 6};
        EXPECT_EQ(row.expected, socks::judgeReply(reply))
            << int(row.version) << " " << int(row.code);
    }
}

std::string socks5Bytes(const std::vector<std::uint8_t>& built) {
    return std::string(built.begin(), built.end());
}

TEST(Socks5Request, LiteralsGoAsAddressesNamesToTheProxyAndCredentialsCounted) {
    const std::string head("\5\1\0", 3), port443("\1\273", 2);
    const std::pair<std::string, std::string> rows[] = {
        {"10.0.0.5", head + std::string("\1\12\0\0\5", 5) + port443},
        {"[::ffff:10.0.0.5]", head + std::string("\4", 1) + std::string(10, '\0') +
                                  std::string("\377\377\12\0\0\5", 6) + port443},
        {"10.0.0.256", head + "\3\12" + "10.0.0.256" + port443},
        {std::string(255, 'n'), head + "\3\377" + std::string(255, 'n') + port443},
        {std::string(256, 'n'), ""},
        {"a\nb", ""},
        {"", ""},
    };
    for (const auto& [host, request] : rows) {
        EXPECT_EQ(request, socks5Bytes(socks5::buildRequest(host, 443))) << host;
    }
    EXPECT_EQ(std::string("\5\1\0", 3), socks5Bytes(socks5::buildGreeting(false)));
    EXPECT_EQ(std::string("\5\2\0\2", 4), socks5Bytes(socks5::buildGreeting(true)));
    EXPECT_EQ("\1\4user\6p@ss:w", socks5Bytes(socks5::buildPasswordRequest("user", "p@ss:w")));
    EXPECT_EQ("", socks5Bytes(socks5::buildPasswordRequest(std::string(256, 'u'), "p")));
    EXPECT_EQ(std::string("\1\1u\0", 4), socks5Bytes(socks5::buildPasswordRequest("u", "")));
    EXPECT_EQ("", socks5Bytes(socks5::buildPasswordRequest("", "p")));
}

TEST(Socks5Reply, IsJudgedByVersionCodeAndAddressType) {
    using socks5::ReplyVerdict;
    struct Row {
        std::uint8_t head[socks5::kReplyHeadLength];
        ReplyVerdict expected;
        std::size_t boundLength; // still to read after the head (and a name's length byte, 9)
    };
    const Row rows[] = {
        {{5, 0, 0, 1}, ReplyVerdict::Succeeded, 6},
        {{5, 0, 0, 3}, ReplyVerdict::Succeeded, 11},
        {{5, 0, 0, 4}, ReplyVerdict::Succeeded, 18},
        {{5, 0, 0, 2}, ReplyVerdict::BadAddressType, 0},
        {{5, 1, 0, 1}, ReplyVerdict::Failed, 6},
        {{5, 9, 0, 9}, ReplyVerdict::Failed, 0},
        {{4, 90, 0, 1}, ReplyVerdict::BadVersion, 6},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.expected, socks5::judgeReplyHead(row.head)) << int(row.head[1]);
        EXPECT_EQ(row.boundLength, socks5::boundAddressLength(row.head[3], 9)) << int(row.head[3]);
    }
    std::set<std::string> texts;
    for (std::uint8_t code = 1; code <= 9; ++code) {
        texts.insert(socks5::replyCodeText(code));
    }
    EXPECT_EQ(9u, texts.size()) << "codes 1 to 8 each have a text, others one of their own";
}

TEST(ProxyAuthenticate, EveryChallengeOfEveryFieldIsFound) {
    using proxyauth::Challenge;
    using proxyauth::Scheme;
    const std::string status = "HTTP/1.1 407 Proxy Authentication Required\r\n";
    struct Row {
        std::string fields;
        std::vector<Challenge> expected;
    };
    const Row rows[] = {
        {"Proxy-Authenticate: Negotiate\r\nProxy-Authenticate: NTLM\r\n",
         {{Scheme::Negotiate, ""}, {Scheme::Ntlm, ""}}},
        {"proxy-authenticate:NTLM, negotiate ,Basic realm=\"a, b\"\r\n",
         {{Scheme::Ntlm, ""}, {Scheme::Negotiate, ""}, {Scheme::Basic, ""}}},
        {"Proxy-Authenticate: Digest realm=\"x\\\", Negotiate\", qop=auth, nonce=n,"
         " Basic realm=r\r\n",
         {{Scheme::Digest, ""}, {Scheme::Basic, ""}}},
        {"Proxy-Authenticate: NTLM TlRMTVNTUAACAA==\r\n",
         {{Scheme::Ntlm, std::string("NTLMSSP\0\2\0", 10)}}},
        {"Proxy-Authenticate: Negotiate YWJj, NTLM\r\n",
         {{Scheme::Negotiate, "abc"}, {Scheme::Ntlm, ""}}},
        {"Proxy-Authenticate: Negotiate a-b_c===\r\n", {{Scheme::Negotiate, ""}}},
        {"Proxy-Authenticate: Negotiate YWJ\r\n", {{Scheme::Negotiate, ""}}},
        {"Proxy-Authenticate: Bearer realm=x, Negotiate\r\n",
         {{Scheme::Other, ""}, {Scheme::Negotiate, ""}}},
        {"Proxy-Authenticate: Basic\r\n realm=x,\r\n\tNTLM\r\n",
         {{Scheme::Basic, ""}, {Scheme::Ntlm, ""}}},
        {"WWW-Authenticate: Negotiate\r\nX-Proxy-Authenticate: NTLM\r\n", {}},
        {"Proxy-Authenticate: , ,\r\nProxy-Authenticate:\r\n", {}},
        {"Proxy-Authenticate: Negotiate, Basic realm=\"unclosed\\\r\n",
         {{Scheme::Negotiate, ""}, {Scheme::Basic, ""}}},
    };
    for (const Row& row : rows) {
        std::vector<Challenge> found = proxyauth::parseChallenges(status + row.fields + "\r\n");
        for (Challenge& challenge : found) {
            challenge.token = challenge.token.substr(0, 11);
        }
        EXPECT_EQ(row.expected, found) << row.fields;
    }
}

TEST(ProxyAuthenticate, FramingSaysWhetherTheConnectionCarriesTheNextRound) {
    using Body = proxyauth::Framing::Body;
    struct Row {
        std::string header;
        Body body;
        std::size_t length;
        bool reusable;
    };
    const Row rows[] = {
        {"HTTP/1.1 407 x\r\nContent-Length: 3120\r\n", Body::Length, 3120, true},
        {"HTTP/1.1 407 x\r\ncontent-length:0\r\nConnection: close\r\n", Body::Length, 0, false},
        {"HTTP/1.0 407 x\r\nContent-Length: 5\r\n", Body::Length, 5, false},
        {"HTTP/1.0 407 x\r\nContent-Length: 5\r\nProxy-Connection: Keep-Alive\r\n", Body::Length, 5,
         true},
        {"HTTP/1.1 407 x\r\nTransfer-Encoding: gzip, chunked\r\nContent-Length: 5\r\n",
         Body::Chunked, 0, true},
        {"HTTP/1.1 407 x\r\nTransfer-Encoding: chunked, gzip\r\n", Body::UntilClose, 0, false},
        {"HTTP/1.1 407 x\r\n", Body::UntilClose, 0, false},
        {"HTTP/1.1 407 x\r\nContent-Length: 5\r\nContent-Length: 6\r\n", Body::UntilClose, 0,
         false},
        {"HTTP/1.1 407 x\r\nContent-Length: -5\r\n", Body::UntilClose, 0, false},
        {"HTTP/1.1 407 x\r\nContent-Length: 99999999999\r\n", Body::UntilClose, 0, false},
        {"HTTP/1.1 407 x\r\nContent-Length: 1\r\nConnection: te, close\r\n", Body::Length, 1,
         false},
    };
    for (const Row& row : rows) {
        const proxyauth::Framing framing = proxyauth::parseFraming(row.header + "\r\n");
        EXPECT_EQ(row.body, framing.body) << row.header;
        EXPECT_EQ(row.length, framing.length) << row.header;
        EXPECT_EQ(row.reusable, framing.reusable()) << row.header;
    }
}

TEST(ProxyAuthenticate, BodiesAreReadOffToTheirEndAndNoFurther) {
    using Body = proxyauth::Framing::Body;
    struct Row {
        Body body;
        std::size_t length;
        std::string arriving; // fed one byte at a time, then whole
        std::size_t used;     // bytes that belong to the body
        bool done;
        bool failed;
    };
    const std::string next = "HTTP/1.1 200 OK\r\n\r\n";
    const Row rows[] = {
        {Body::Length, 5, "abcde" + next, 5, true, false},
        {Body::Length, 0, next, 0, true, false},
        {Body::Length, 9, "abc", 3, false, false},
        {Body::Chunked, 0, "5;x=y\r\nabcde\r\nA\r\n0123456789\r\n0\r\n\r\n" + next, 34, true,
         false},
        {Body::Chunked, 0, "1\r\na\r\n0\r\nX-Trailer: t\r\n\r\n" + next, 25, true, false},
        {Body::Chunked, 0, "3\r\nabcX\r\n", 9, false, true},
        {Body::Chunked, 0, "zz\r\n", 4, false, true},
        {Body::Chunked, 0, "200000\r\n", 8, false, true},
        {Body::Length, proxyauth::kMaxBodyBytes + 1, "a", 0, false, true},
    };
    for (const Row& row : rows) {
        proxyauth::Framing framing;
        framing.body = row.body;
        framing.length = row.length;
        proxyauth::HttpBodyReader whole(framing);
        proxyauth::HttpBodyReader bytewise(framing);
        std::size_t usedBytewise = 0;
        for (const char c : row.arriving) {
            usedBytewise += bytewise.take(&c, 1);
        }
        EXPECT_EQ(row.used, whole.take(row.arriving.data(), row.arriving.size())) << row.arriving;
        EXPECT_EQ(row.used, usedBytewise) << row.arriving;
        EXPECT_EQ(row.done, whole.done()) << row.arriving;
        EXPECT_EQ(row.failed, whole.failed()) << row.arriving;
        EXPECT_EQ(row.done, bytewise.done()) << row.arriving;
    }
}

TEST(ProxyAuthenticate, TheAuthenticatingRequestCarriesTheTokenAndAsksToKeepTheConnection) {
    std::string request;
    ASSERT_TRUE(proxyauth::buildRequest("h", 5000, proxyauth::Scheme::Ntlm,
                                        std::string("\xff\0a", 3), request));
    EXPECT_EQ("CONNECT h:5000 HTTP/1.0\r\nProxy-Authorization: NTLM /wBh\r\n"
              "Proxy-Connection: keep-alive\r\n\r\n",
              request);
    ASSERT_TRUE(proxyauth::buildRequest("::1", 443, proxyauth::Scheme::Basic, "", request));
    EXPECT_EQ(0u, request.find("CONNECT [::1]:443 HTTP/1.0\r\n")) << request;
    EXPECT_FALSE(
        proxyauth::buildRequest("h\r\nX: y", 1, proxyauth::Scheme::Negotiate, "t", request));
    for (const std::string& bytes :
         std::vector<std::string>{"", "f", "fo", "foo", "foob", std::string("\0\xff\x7f", 3)}) {
        std::string back;
        EXPECT_TRUE(base64::decode(base64::encode(bytes), back));
        EXPECT_EQ(bytes, back);
    }
    EXPECT_EQ("Zm9vYg==", base64::encode("foob"));
    std::string ignored;
    for (const char* bad : {"Zm9", "Zm=v", "=m9v", "Zm9v====", "Zm9*", "Z==="}) {
        EXPECT_FALSE(base64::decode(bad, ignored)) << bad;
    }
}

} // namespace
