#include "proxy/HttpConnectWire.h"
#include "proxy/SocksWire.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(HttpConnectRequest, IsTheRequestLineAndAnEmptyLineAndNothingElse) {
    std::string request;
    ASSERT_EQ(httpconnect::RequestProblem::None, httpconnect::buildRequest("h", 5000, request));
    EXPECT_EQ("CONNECT h:5000 HTTP/1.0\r\n\r\n", request);
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

} // namespace
