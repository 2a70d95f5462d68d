// The tunnel exchanges byte for byte against scripted proxies, and the log lines they leave.
#include "LogCapture.h"
#include "ScriptedPeer.h"

#include "net/ASocket.h"
#include "net/CTCPSocket.h"
#include "proxy/methods/AProxyMethod.h"
#include "proxy/methods/CDirectMethod.h"
#include "proxy/methods/CHttpConnectMethod.h"
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
int fixedResolver(const std::string& host, std::uint32_t& address) {
    if (host == "known.example") {
        const unsigned char bytes[4] = {192, 0, 2, 7};
        std::memcpy(&address, bytes, 4);
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
