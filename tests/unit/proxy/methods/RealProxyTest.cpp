// The tunnel methods through real proxies (tinyproxy for HTTP CONNECT, dante for SOCKS 4, a
// SOCKS 5-only dante and microsocks with a password for SOCKS 5) to an echo server, all started
// for these tests on free loopback ports.
#include "LogCapture.h"
#include "MemoryStore.h"
#include "TestSupport.h"

#include "net/ASocket.h"
#include "net/CTCPSocket.h"
#include "proxy/CTCPProxyConnector.h"
#include "proxy/StoredRecords.h"
#include "proxy/methods/CHttpConnectMethod.h"
#include "proxy/methods/CSocks5Method.h"
#include "proxy/methods/CSocksMethod.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>

namespace {

// The folder where the proxies' ports are written, as this program's file functions name it.
std::string proxiesFolder() {
    const char* folder = std::getenv("QV_REAL_PROXIES");
    if (folder == nullptr) {
        return std::string();
    }
    return qvtest::hostPath(folder);
}

std::string firstLineOf(const std::string& file) {
    const std::string text = qvtest::readText(proxiesFolder() + "/" + file);
    return text.substr(0, text.find_first_of("\r\n"));
}

std::uint16_t portOf(const std::string& name) {
    return static_cast<std::uint16_t>(std::atoi(firstLineOf(name + ".port").c_str()));
}

// microsocks' user name and password, as "user password".
ProxyCredentials microsocksLogin() {
    std::istringstream words(firstLineOf("microsocks.login"));
    ProxyCredentials login;
    words >> login.user >> login.password;
    return login;
}

class RealProxyTest : public testing::Test {
protected:
    void SetUp() override {
        if (proxiesFolder().empty()) {
            GTEST_SKIP() << "QV_REAL_PROXIES names no folder with running proxies";
        }
        ASSERT_EQ(0, startNetwork());
        echo = portOf("echo");
        ASSERT_NE(0, echo);
    }
    void TearDown() override { stopNetwork(); }

    // Sends a text through the tunnel and reads the echo of it back.
    static std::string roundTrip(CTCPSocket& tunnel, const std::string& text) {
        int error = -1;
        EXPECT_EQ(static_cast<int>(text.size()),
                  tunnel.write(CTCPSocket::BlockingAll, text.c_str(), static_cast<int>(text.size()),
                               &error));
        std::string back(text.size(), '\0');
        EXPECT_EQ(
            static_cast<int>(text.size()),
            tunnel.read(CTCPSocket::BlockingAll, &back[0], static_cast<int>(back.size()), &error));
        EXPECT_EQ(0, error);
        return back;
    }

    // Connects through a SOCKS 5 proxy to the echo server by the name only the proxy resolves,
    // prints how long the handshake took, and checks bytes go both ways.
    static void socks5RoundTrip(const char* proxyName, const ProxyCredentials& login,
                                std::uint16_t proxyPort, std::uint16_t echoPort) {
        const std::string name = firstLineOf("proxy-only.name");
        ASSERT_THROW(ASocket::lookupHostname(name), std::exception)
            << name << " must be known to the proxy only";
        qvtest::LogCapture log;
        CSocks5Method method(login);
        CTCPSocket* tunnel = nullptr;
        const auto start = std::chrono::steady_clock::now();
        ASSERT_TRUE(method.connect(&tunnel, name, echoPort, "127.0.0.1", proxyPort))
            << testing::PrintToString(log.lines());
        const auto took = std::chrono::steady_clock::now() - start;
        std::cout << "SOCKS 5 handshake through " << proxyName << ": "
                  << std::chrono::duration_cast<std::chrono::microseconds>(took).count() / 1000.0
                  << " ms (connect to the proxy included)" << std::endl;
        const std::unique_ptr<CTCPSocket> owned(tunnel);
        EXPECT_EQ("through " + std::string(proxyName) + "\n",
                  roundTrip(*tunnel, "through " + std::string(proxyName) + "\n"));
        EXPECT_EQ(std::string(4000, 'z'), roundTrip(*tunnel, std::string(4000, 'z')));
        tunnel->close();
    }

    std::uint16_t echo = 0;
};

TEST_F(RealProxyTest, HttpConnectThroughTinyproxyCarriesBytesBothWays) {
    qvtest::LogCapture log;
    CHttpConnectMethod method;
    CTCPSocket* tunnel = nullptr;
    ASSERT_TRUE(method.connect(&tunnel, "127.0.0.1", echo, "127.0.0.1", portOf("http")))
        << testing::PrintToString(log.lines());
    const std::unique_ptr<CTCPSocket> owned(tunnel);
    EXPECT_EQ("through tinyproxy\n", roundTrip(*tunnel, "through tinyproxy\n"));
    EXPECT_EQ(1u, log.linesStartingWith("PROXY: [CONNECT 127.0.0.1:" + std::to_string(echo) +
                                        "] [RESPONSE HTTP/1.")
                      .size());
    tunnel->close();

    CHttpConnectMethod refused;
    CTCPSocket* none = nullptr;
    EXPECT_FALSE(refused.connect(&none, "127.0.0.1", 1, "127.0.0.1", portOf("http")))
        << "tinyproxy allows CONNECT to the echo server's port only";
    EXPECT_EQ(0, refused.getLastError());
}

TEST_F(RealProxyTest, Socks4ThroughDanteCarriesBytesBothWays) {
    CSocksMethod method;
    CTCPSocket* tunnel = nullptr;
    ASSERT_TRUE(method.connect(&tunnel, "127.0.0.1", echo, "127.0.0.1", portOf("socks")));
    const std::unique_ptr<CTCPSocket> owned(tunnel);
    EXPECT_EQ("through dante\n", roundTrip(*tunnel, "through dante\n"));
    EXPECT_EQ(std::string(4000, 'z'), roundTrip(*tunnel, std::string(4000, 'z')));
    tunnel->close();
}

TEST_F(RealProxyTest, Socks5ThroughASocks5OnlyDanteReachesANameOnlyTheProxyKnows) {
    socks5RoundTrip("dante", {}, portOf("socks5"), echo);

    qvtest::LogCapture log;
    CSocksMethod socks4;
    CTCPSocket* none = nullptr;
    EXPECT_FALSE(socks4.connect(&none, "127.0.0.1", echo, "127.0.0.1", portOf("socks5")))
        << "this dante speaks SOCKS 5 only";
}

TEST_F(RealProxyTest, Socks5ThroughMicrosocksLogsInWithTheUrlsCredentialsOnly) {
    const ProxyCredentials login = microsocksLogin();
    ASSERT_FALSE(login.password.empty());
    socks5RoundTrip("microsocks", login, portOf("microsocks"), echo);

    qvtest::LogCapture log;
    CSocks5Method anonymous;
    CTCPSocket* none = nullptr;
    EXPECT_FALSE(anonymous.connect(&none, "127.0.0.1", echo, "127.0.0.1", portOf("microsocks")));
    EXPECT_EQ(std::vector<std::string>{"PROXY: [SOCKS5 127.0.0.1:" + std::to_string(echo) +
                                       "] proxy accepts none of the methods offered (none)"},
              log.lines());
}

// A stored record with method 300, as an installer or an administrator writes one on Windows,
// where no system setting names a SOCKS 5 proxy.
TEST_F(RealProxyTest, AManualRecordWithMethod300TunnelsThroughSocks5) {
    qvtest::MemoryStore store;
    store.put(records::kManual, records::kProxyMethod, "300");
    store.put(records::kManual, records::kProxyHost, "127.0.0.1");
    store.put(records::kManual, records::kProxyPort, std::to_string(portOf("socks5")));
    store.put(records::kManual, records::kAddress, firstLineOf("proxy-only.name"));
    store.put(records::kManual, records::kPort, std::to_string(echo));
    CTCPProxyConnector connector(nullptr, &store);
    EXPECT_TRUE(connector.connect(TargetList{}, ModeManual, "", 0));

    store.put(records::kManual, records::kProxyPort, std::to_string(portOf("socks")));
    qvtest::LogCapture log;
    EXPECT_FALSE(connector.connect(TargetList{}, ModeManual, "", 0))
        << "the SOCKS 4 dante does not answer SOCKS 5";
}

} // namespace
