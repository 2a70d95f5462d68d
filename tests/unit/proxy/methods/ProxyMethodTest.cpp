// The tunnel exchanges byte for byte against scripted proxies, and the log lines they leave.
#include "LogCapture.h"
#include "ScriptedPeer.h"

#include "net/ASocket.h"
#include "net/CTCPSocket.h"
#include "proxy/methods/AProxyMethod.h"
#include "proxy/methods/CDirectMethod.h"
#include "proxy/methods/CHttpConnectMethod.h"
#include "proxy/methods/CSocks5Method.h"
#include "proxy/methods/CSocksMethod.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using qvtest::ScriptedPeer;

const std::string kRequest5000 = "CONNECT h:5000 HTTP/1.0\r\n\r\n";

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (const int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

// Runs one attempt of `method` against the scripted proxy and keeps what it left.
struct Attempt {
    bool connected = false;
    int lastError = -1;
    std::vector<std::string> log;
    std::string proxyReceived;

    static Attempt run(AProxyMethod& method, ScriptedPeer* proxy, const std::string& targetHost,
                       std::uint16_t targetPort, const std::string& proxyHost = "127.0.0.1",
                       std::uint16_t proxyPort = 0) {
        qvtest::LogCapture capture;
        if (proxy != nullptr) {
            proxy->start();
            proxyPort = proxy->port();
        }
        CTCPSocket* socket = nullptr;
        Attempt attempt;
        attempt.connected = method.connect(&socket, targetHost, targetPort, proxyHost, proxyPort);
        attempt.lastError = method.getLastError();
        EXPECT_EQ(attempt.connected, socket != nullptr);
        if (socket != nullptr) {
            EXPECT_TRUE(socket->isConnected());
            socket->close();
            delete socket;
        }
        if (proxy != nullptr) {
            EXPECT_TRUE(proxy->waitFinished()) << "the attempt left the connection open";
            attempt.proxyReceived = proxy->received();
        }
        attempt.log = capture.lines();
        return attempt;
    }
};

struct ExchangeRow {
    const char* name;
    std::function<void(ScriptedPeer&)> script;
    bool connected;
    int lastError;
    std::vector<std::string> log;
};

void checkRow(const ExchangeRow& row, const Attempt& attempt, const std::string& request) {
    EXPECT_EQ(row.connected, attempt.connected) << row.name;
    EXPECT_EQ(row.lastError, attempt.lastError) << row.name;
    EXPECT_EQ(row.log, attempt.log) << row.name;
    EXPECT_EQ(request, attempt.proxyReceived) << row.name;
}

class ProxyMethodTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, startNetwork()); }
    void TearDown() override { stopNetwork(); }
};

TEST_F(ProxyMethodTest, HttpConnectSendsOneRequestAndJudgesTheStatusLine) {
    const std::string established = "[CONNECT h:5000] [RESPONSE HTTP/1.0:200] Connection "
                                    "established\r";
    const std::string fullBuffer(1024, 'x');
    const ExchangeRow rows[] = {
        {"200",
         [](ScriptedPeer& p) {
             p.receiveUntil("\r\n\r\n").send("HTTP/1.0 200 Connection established\r\n\r\n");
         },
         true,
         0,
         {"PROXY: " + established, ""}},
        {"407",
         [](ScriptedPeer& p) {
             p.receiveUntil("\r\n\r\n")
                 .send("HTTP/1.1 407 Proxy Authentication Required\r\n\r\n")
                 .close();
         },
         false,
         0,
         {"PROXY: [CONNECT h:5000] [RESPONSE HTTP/1.1:407] Proxy Authentication Required\r", ""}},
        {"a reason phrase that would start lines of its own",
         [](ScriptedPeer& p) {
             p.receiveUntil("\r\n\r\n")
                 .send("HTTP/1.1 407 No\r\rPROXY DETECTED OK\x1b[1A\r\n\r\n")
                 .close();
         },
         false,
         0,
         {"PROXY: [CONNECT h:5000] [RESPONSE HTTP/1.1:407] No\\r\\rPROXY DETECTED OK\\x1B[1A\r",
          ""}},
        {"200 without HTTP/",
         [](ScriptedPeer& p) { p.receiveUntil("\r\n\r\n").send("HTTPS 200 OK\r\n\r\n").close(); },
         false,
         0,
         {"PROXY: [CONNECT h:5000] error reading response: malformed status line 'HTTPS 200 OK'"}},
        {"four digits",
         [](ScriptedPeer& p) {
             p.receiveUntil("\r\n\r\n").send("HTTP/1.1 2000 OK\r\n\r\n").close();
         },
         false,
         0,
         {"PROXY: [CONNECT h:5000] error reading response: malformed status line 'HTTP/1.1 2000 "
          "OK'"}},
        {"answer in small pieces",
         [](ScriptedPeer& p) {
             p.receiveUntil("\r\n\r\n");
             for (const char* piece :
                  {"HT", "TP/1.0 2", "00 Connection established\r", "\n", "\r", "\n"}) {
                 p.send(piece).pause(20);
             }
         },
         true,
         0,
         {"PROXY: " + established, ""}},
        {"1024 bytes without an empty line",
         [&](ScriptedPeer& p) { p.receiveUntil("\r\n\r\n").send(fullBuffer); },
         false,
         0,
         {"PROXY: [CONNECT h:5000] error reading response 0"}},
        {"closes without answering",
         [](ScriptedPeer& p) { p.receiveUntil("\r\n\r\n").close(); },
         false,
         0,
         {"PROXY: [CONNECT h:5000] error reading response 0"}},
    };
    for (const ExchangeRow& row : rows) {
        ScriptedPeer proxy;
        row.script(proxy);
        CHttpConnectMethod method;
        const Attempt attempt = Attempt::run(method, &proxy, "h", 5000);
        checkRow(row, attempt, kRequest5000);
    }
}

TEST_F(ProxyMethodTest, ProxiesThatWantAPasswordAreNamedAndNeverSentOne) {
    const std::string prefix = "PROXY: [CONNECT h:5000] ";
    const ExchangeRow rows[] = {
        {"Basic and Digest",
         [](ScriptedPeer& p) {
             p.receiveUntil("\r\n\r\n")
                 .send("HTTP/1.1 407 Proxy Authentication Required\r\n"
                       "Proxy-Authenticate: Basic realm=\"user@corp\"\r\n"
                       "Proxy-Authenticate: Digest realm=\"r\", nonce=\"n\"\r\n"
                       "Content-Length: 3\r\n\r\nabc");
         },
         false,
         0,
         {prefix + "[RESPONSE HTTP/1.1:407] Proxy Authentication Required\r", "",
          prefix + "proxy asks for authentication: Basic Digest",
          prefix + "proxy wants Basic, which needs a stored password: not answered",
          prefix + "proxy wants Digest, which needs a stored password: not answered",
          prefix + "authentication failed: no scheme that the signed-in user's credentials can "
                   "answer"}},
    };
    for (const ExchangeRow& row : rows) {
        ScriptedPeer proxy;
        row.script(proxy);
        CHttpConnectMethod method;
        checkRow(row, Attempt::run(method, &proxy, "h", 5000), kRequest5000);
    }
}

TEST_F(ProxyMethodTest, HttpConnectReportsProxiesItCannotReach) {
    CHttpConnectMethod refusedMethod;
    const Attempt refused =
        Attempt::run(refusedMethod, nullptr, "h", 5000, "127.0.0.1", ScriptedPeer::closedPort());
    EXPECT_FALSE(refused.connected);
    EXPECT_EQ(10061, refused.lastError);
    EXPECT_EQ(std::vector<std::string>{"PROXY: [CONNECT h:5000] error connecting 10061"},
              refused.log);

    CHttpConnectMethod unknownMethod;
    const Attempt unknown = Attempt::run(unknownMethod, nullptr, "h", 5000, "name.invalid", 3128);
    EXPECT_EQ(11001, unknown.lastError);
    EXPECT_EQ((std::vector<std::string>{
                  "PROXY: [CONNECT h:5000] exception connecting to proxy 'ASocket::lookupHostname "
                  "-- failed to lookup host name in DNS -- name.invalid' 0",
                  "PROXY: [CONNECT h:5000] error connecting 11001"}),
              unknown.log);
}

TEST_F(ProxyMethodTest, HostileOrOverlongTargetsAreRefusedBeforeAnythingIsSent) {
    struct Row {
        std::string host;
        std::string line;
    };
    const Row rows[] = {
        {"t\r\nX-Forwarded-For: 1.2.3.4",
         "PROXY: [CONNECT t\\r\\nX-Forwarded-For: 1.2.3.4:80] target host refused: it holds a "
         "line break or a zero byte"},
        {std::string("t\0u", 3),
         "PROXY: [CONNECT t\\0u:80] target host refused: it holds a line break or a zero byte"},
        {std::string(2000, 'l'), "PROXY: [CONNECT " + std::string(2000, 'l') +
                                     ":80] target host refused: too long for the request"},
    };
    for (const Row& row : rows) {
        ScriptedPeer proxy;
        proxy.start();
        CHttpConnectMethod method;
        qvtest::LogCapture capture;
        CTCPSocket* socket = nullptr;
        EXPECT_FALSE(method.connect(&socket, row.host, 80, "127.0.0.1", proxy.port()));
        EXPECT_EQ(nullptr, socket);
        EXPECT_EQ(std::vector<std::string>{row.line}, capture.lines());
        EXPECT_EQ("", proxy.received());
    }

    // SOCKS 4 has no room for an IPv6 address; the proxy is not even asked.
    const Row socksRows[] = {
        {"t\nu", "PROXY: [SOCKS t\\nu:80] target host refused: it holds a line break or a zero "
                 "byte"},
        {"fd00::1",
         "PROXY: [SOCKS [fd00::1]:80] target host refused: SOCKS 4 cannot carry an IPv6 address"},
    };
    for (const Row& row : socksRows) {
        ScriptedPeer proxy;
        proxy.start();
        CSocksMethod socks;
        qvtest::LogCapture capture;
        CTCPSocket* socket = nullptr;
        EXPECT_FALSE(socks.connect(&socket, row.host, 80, "127.0.0.1", proxy.port()));
        EXPECT_EQ(std::vector<std::string>{row.line}, capture.lines());
        EXPECT_EQ(10022, socks.getLastError());
    }
}

// Names the tests resolve without asking any name service.
int fixedResolver(const std::string& host, std::vector<platform::IpAddress>& addresses) {
    if (host == "known.example") {
        addresses.assign(1, platform::IpAddress{});
        const unsigned char bytes[4] = {192, 0, 2, 7};
        std::memcpy(addresses.front().bytes.data(), bytes, 4);
        return 0;
    }
    return 11001;
}

class SocksMethodTest : public ProxyMethodTest {
protected:
    void SetUp() override {
        ProxyMethodTest::SetUp();
        previous = ASocket::setNameResolver(&fixedResolver);
    }
    void TearDown() override {
        ASocket::setNameResolver(previous);
        ProxyMethodTest::TearDown();
    }
    ASocket::NameResolver previous = nullptr;
};

TEST_F(SocksMethodTest, RequestsAreSocks4ForResolvableTargetsAnd4aForOthers) {
    struct Row {
        std::string host;
        std::uint16_t port;
        std::string request;
    };
    const Row rows[] = {
        {"10.0.0.5", 80, bytes({4, 1, 0, 80, 10, 0, 0, 5, 0})},
        {"known.example", 443, bytes({4, 1, 1, 187, 192, 0, 2, 7, 0})},
        {"unresolved1", 80, bytes({4, 1, 0, 80, 0, 0, 0, 1, 0}) + "unresolved1" + bytes({0})},
        {"255.255.255.255", 7, bytes({4, 1, 0, 7, 0, 0, 0, 1, 0}) + "255.255.255.255" + bytes({0})},
    };
    for (const Row& row : rows) {
        ScriptedPeer proxy;
        proxy.receive(row.request.size()).send(bytes({0, 90, 1, 2, 3, 4, 5, 6}));
        CSocksMethod method;
        const Attempt attempt = Attempt::run(method, &proxy, row.host, row.port);
        EXPECT_TRUE(attempt.connected) << row.host;
        EXPECT_EQ(row.request, attempt.proxyReceived) << row.host;
        EXPECT_TRUE(attempt.log.empty()) << row.host;
    }
}

TEST_F(SocksMethodTest, RepliesOtherThanGrantedFailWithTheirLine) {
    const std::string request = bytes({4, 1, 0, 80, 10, 0, 0, 5, 0});
    const ExchangeRow rows[] = {
        {"rejected",
         [](ScriptedPeer& p) {
             p.receive(9).send(bytes({0, 91, 0, 0, 0, 0, 0, 0}));
         },
         false,
         0,
         {"PROXY: [SOCKS 10.0.0.5:80] rejected 91"}},
        {"92",
         [](ScriptedPeer& p) {
             p.receive(9).send(bytes({0, 92, 0, 0, 0, 0, 0, 0}));
         },
         false,
         0,
         {"PROXY: [SOCKS 10.0.0.5:80] Unknown response 92"}},
        {"255",
         [](ScriptedPeer& p) {
             p.receive(9).send(bytes({0, 255, 0, 0, 0, 0, 0, 0}));
         },
         false,
         0,
         {"PROXY: [SOCKS 10.0.0.5:80] Unknown response -1"}},
        {"version 4",
         [](ScriptedPeer& p) {
             p.receive(9).send(bytes({4, 90, 0, 0, 0, 0, 0, 0}));
         },
         false,
         0,
         {"PROXY: [SOCKS 10.0.0.5:80] Unknown version 4"}},
        {"5 bytes then close",
         [](ScriptedPeer& p) {
             p.receive(9).send(bytes({0, 90, 0, 0, 0})).close();
         },
         false,
         0,
         {"PROXY: [SOCKS 10.0.0.5:80] error reading response 0"}},
        {"reply in pieces",
         [](ScriptedPeer& p) {
             p.receive(9)
                 .send(bytes({0}))
                 .pause(20)
                 .send(bytes({90, 0, 0}))
                 .pause(20)
                 .send(bytes({0, 0, 0, 0}));
         },
         true,
         0,
         {}},
    };
    for (const ExchangeRow& row : rows) {
        ScriptedPeer proxy;
        row.script(proxy);
        CSocksMethod method;
        checkRow(row, Attempt::run(method, &proxy, "10.0.0.5", 80), request);
    }
}

TEST_F(SocksMethodTest, NamesTooLongForThe4aRequestFailWithoutSendingIt) {
    const std::string longName(491, 'n');
    ScriptedPeer proxy;
    CSocksMethod method;
    const Attempt attempt = Attempt::run(method, &proxy, longName, 80);
    EXPECT_FALSE(attempt.connected);
    EXPECT_EQ("", attempt.proxyReceived);
    EXPECT_EQ(std::vector<std::string>{"PROXY: [SOCKS " + longName +
                                       ":80] target host too long for the request (491 "
                                       "characters, at most 490)"},
              attempt.log);

    ScriptedPeer fits;
    fits.receive(500).send(bytes({0, 90, 0, 0, 0, 0, 0, 0}));
    CSocksMethod fitting;
    const Attempt longest = Attempt::run(fitting, &fits, std::string(490, 'n'), 80);
    EXPECT_TRUE(longest.connected);
    EXPECT_EQ(500u, longest.proxyReceived.size());
}

// A SOCKS 5 proxy's answers, step by step; an empty step is never reached. The proxy closes after
// its last step.
struct Socks5Row {
    const char* name;
    bool withPassword; // the method holds the user name and password below
    std::string choice, loginReply, reply;
    bool connected;
    const char* line; // behind "PROXY: [SOCKS5 10.0.0.5:80] "; empty: none
};

TEST_F(ProxyMethodTest, Socks5NegotiatesThenReadsTheReplyByItsAddressType) {
    const std::string login = bytes({1, 4}) + "user" + bytes({6}) + "s3cret";
    const std::string request = bytes({5, 1, 0, 1, 10, 0, 0, 5, 0, 80});
    const std::string ipv4 = bytes({5, 0, 0, 1, 192, 0, 2, 1, 4, 56});
    const std::string ipv6 = bytes({5, 0, 0, 4}) + std::string(16, '\1') + bytes({0, 1});
    const Socks5Row rows[] = {
        {"IPv4 bound address", false, bytes({5, 0}), "", ipv4, true, ""},
        {"password accepted, IPv6 bound address", true, bytes({5, 2}), bytes({1, 0}), ipv6, true,
         ""},
        {"password offered, not asked for", true, bytes({5, 0}), "", ipv4, true, ""},
        {"password refused", true, bytes({5, 2}), bytes({1, 1}), "", false,
         "user name and password refused (status 1)"},
        {"password reply of version 5", true, bytes({5, 2}), bytes({5, 0}), "", false,
         "password reply version 5 (expected 1)"},
        {"no acceptable method", false, bytes({5, 0xFF}), "", "", false,
         "proxy accepts none of the methods offered (none)"},
        {"password chosen though not offered", false, bytes({5, 2}), "", "", false,
         "proxy chose method 2, which was not offered"},
        {"a SOCKS 4 proxy's answer", false, bytes({0, 91}), "", "", false,
         "method choice version 0 (expected 5)"},
        {"half a choice", false, bytes({5}), "", "", false,
         "error reading method choice: 1 of 2 bytes, error 0"},
        {"bound address cut short", false, bytes({5, 0}), "", bytes({5, 0, 0, 1, 1, 2}), false,
         "error reading reply: 2 of 6 bytes, error 0"},
        {"unknown bound address type", false, bytes({5, 0}), "", bytes({5, 0, 0, 2, 1, 2}), false,
         "reply with bound address type 2 (expected 1, 3 or 4)"},
        {"reply of version 4", false, bytes({5, 0}), "", bytes({4, 0, 0, 1}), false,
         "reply version 4 (expected 5)"},
        {"connection refused", false, bytes({5, 0}), "", bytes({5, 5, 0, 1, 0, 0, 0, 0, 0, 0}),
         false, "reply 5: connection refused"},
    };
    for (const Socks5Row& row : rows) {
        ScriptedPeer proxy;
        const std::string greeting = row.withPassword ? bytes({5, 2, 0, 2}) : bytes({5, 1, 0});
        std::string expected = greeting;
        proxy.receive(greeting.size()).send(row.choice);
        if (!row.loginReply.empty()) {
            proxy.receive(login.size()).send(row.loginReply);
            expected += login;
        }
        if (!row.reply.empty()) {
            proxy.receive(request.size()).send(row.reply);
            expected += request;
        }
        proxy.close();
        CSocks5Method method(row.withPassword ? ProxyCredentials{"user", "s3cret"}
                                              : ProxyCredentials{});
        const Attempt attempt = Attempt::run(method, &proxy, "10.0.0.5", 80);
        std::vector<std::string> log;
        if (*row.line != '\0') {
            log.push_back("PROXY: [SOCKS5 10.0.0.5:80] " + std::string(row.line));
        }
        EXPECT_EQ(row.connected, attempt.connected) << row.name;
        EXPECT_EQ(log, attempt.log) << row.name;
        EXPECT_EQ(expected, attempt.proxyReceived) << row.name;
    }
}

// What the target sends right behind the reply is the stream's, not the handshake's.
TEST_F(ProxyMethodTest, Socks5LeavesTheTargetsFirstBytesInTheStream) {
    ScriptedPeer proxy;
    proxy.receive(3).send(bytes({5, 0})).receive(10);
    proxy.send(bytes({5, 0, 0, 3, 1, 'b', 0, 80}) + "220 ready\r\n").start();
    CSocks5Method method;
    CTCPSocket* socket = nullptr;
    ASSERT_TRUE(method.connect(&socket, "10.0.0.5", 80, "127.0.0.1", proxy.port()));
    const std::unique_ptr<CTCPSocket> owned(socket);
    char line[32];
    int error = -1;
    EXPECT_EQ(9, socket->readLine(line, sizeof line, &error));
    EXPECT_EQ(std::string("220 ready"), line);
    socket->close();
}

TEST_F(ProxyMethodTest, Socks5RefusesWhatItCannotSendBeforeReachingTheProxy) {
    const std::pair<ProxyCredentials, std::string> rows[] = {
        {{}, "target host refused: a name longer than 255 bytes"},
        {{"", "s3cret"},
         "user name empty, or user name or password longer than 255 bytes: not sent"},
    };
    const std::string longName(256, 'n');
    for (const auto& [credentials, line] : rows) {
        CSocks5Method method(credentials);
        const std::string host = credentials.empty() ? longName : "t";
        const Attempt attempt =
            Attempt::run(method, nullptr, host, 80, "127.0.0.1", ScriptedPeer::closedPort());
        EXPECT_EQ(10022, attempt.lastError);
        EXPECT_EQ(std::vector<std::string>{"PROXY: [SOCKS5 " + host + ":80] " + line}, attempt.log);
    }
}

TEST_F(ProxyMethodTest, DirectAndNullMethods) {
    CDirectMethod direct;
    const Attempt unknown = Attempt::run(direct, nullptr, "name.invalid", 80);
    EXPECT_FALSE(unknown.connected);
    EXPECT_EQ(11001, unknown.lastError);
    EXPECT_TRUE(unknown.log.empty());

    ScriptedPeer target;
    target.start();
    CTCPSocket* socket = nullptr;
    ASSERT_TRUE(direct.connect(&socket, "127.0.0.1", target.port(), "", 0));
    EXPECT_EQ("127.0.0.1", socket->getConnectedAddress());
    socket->close();
    delete socket;

    AProxyMethod null;
    CTCPSocket* untouched = reinterpret_cast<CTCPSocket*>(&null);
    EXPECT_FALSE(null.connect(&untouched, "127.0.0.1", target.port(), "", 0));
    EXPECT_EQ(reinterpret_cast<CTCPSocket*>(&null), untouched);
    EXPECT_FALSE(null.connectList(nullptr, {}, "", 0));
}

} // namespace
