// The tunnel methods through real proxies (tinyproxy for HTTP CONNECT, dante for SOCKS 4) to an
// echo server, all started for these tests on free loopback ports.
#include "LogCapture.h"
#include "TestSupport.h"

#include "net/ASocket.h"
#include "net/CTCPSocket.h"
#include "proxy/methods/CHttpConnectMethod.h"
#include "proxy/methods/CSocksMethod.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
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

std::uint16_t portOf(const std::string& name) {
    return static_cast<std::uint16_t>(
        std::atoi(qvtest::readText(proxiesFolder() + "/" + name + ".port").c_str()));
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

} // namespace
