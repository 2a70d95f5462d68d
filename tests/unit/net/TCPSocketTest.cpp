#include "TestSupport.h"

#include "net/AddressRace.h"
#include "net/CTCPSocket.h"
#include "net/CancelToken.h"
#include "net/IpLiteral.h"
#include "platform/Socket.h"

#include "FullListener.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using qvtest::thrownMessage;

using qvtest::ScriptedPeer;

const std::string kLoopback = "127.0.0.1";

// Everything a Closed object shows: no handle, no connection, no endpoints.
void expectClosed(CTCPSocket& socket) {
    EXPECT_FALSE(socket.isConnected());
    EXPECT_EQ("ASocket::getHandle -- socket handle is not valid",
              thrownMessage([&] { socket.getHandle(); }));
    EXPECT_EQ("", socket.getLocalAddress());
    EXPECT_EQ("", socket.getPeerAddress());
    EXPECT_EQ("", socket.getTargetAddress());
    EXPECT_EQ(0, socket.getLocalPort());
    EXPECT_EQ(0, socket.getPeerPort());
    EXPECT_EQ(0, socket.getTargetPort());
}

TEST(TCPConnect, ARefusedConnectReturnsFalseClosedWithTheCodeStillReadable) {
    const std::uint16_t port = ScriptedPeer::closedPort();
    CTCPSocket socket(false);
    EXPECT_FALSE(socket.connect(kLoopback, port));
    EXPECT_EQ(platform::kSockConnRefused, platform::lastSocketError());
    expectClosed(socket);
}

TEST(TCPConnect, AnUnresolvableNameThrowsTheLookupAndLeavesItsCode) {
    CTCPSocket socket(false);
    platform::setLastSocketError(0);
    EXPECT_EQ("ASocket::lookupHostname -- failed to lookup host name in DNS -- name.invalid",
              thrownMessage([&] { socket.connect("name.invalid", 80); }));
    EXPECT_EQ(platform::kSockHostNotFound, platform::lastSocketError());
    expectClosed(socket);
}

TEST(TCPConnect, ANameIsKeptAsWrittenAndThePeerAsReached) {
    ScriptedPeer peer;
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect("localhost", peer.port()));
    EXPECT_EQ("localhost", socket.getConnectedAddress());
    EXPECT_EQ(peer.port(), socket.getConnectedPort());
    EXPECT_EQ(kLoopback, socket.getPeerAddress());
    EXPECT_EQ(peer.port(), socket.getPeerPort());
    EXPECT_EQ(kLoopback, socket.getLocalAddress());
    EXPECT_NE(0, socket.getLocalPort());
    socket.close();
    expectClosed(socket);
    EXPECT_TRUE(peer.waitFinished());
}

TEST(TCPConnect, ConnectingTwiceThrowsAndKeepsTheConnection) {
    ScriptedPeer peer;
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    const platform::SocketHandle handle = socket.getHandle();
    EXPECT_EQ("CTCPSocket::connect -- already connected",
              thrownMessage([&] { socket.connect(kLoopback, peer.port()); }));
    EXPECT_TRUE(socket.isConnected());
    EXPECT_EQ(handle, socket.getHandle());
    int error = -1;
    EXPECT_EQ(4, socket.write(CTCPSocket::BlockingAll, "ping", 4, &error));
    socket.close();
    ASSERT_TRUE(peer.waitFinished());
    EXPECT_EQ("ping", peer.received());
}

TEST(TCPConnect, TheObjectConnectsAgainAfterClose) {
    ScriptedPeer first;
    ScriptedPeer second;
    first.start();
    second.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, first.port()));
    socket.close();
    ASSERT_TRUE(socket.connect(kLoopback, second.port()));
    EXPECT_EQ(second.port(), socket.getPeerPort());
    socket.close();
    EXPECT_TRUE(first.waitFinished());
    EXPECT_TRUE(second.waitFinished());
}

TEST(TCPSocket, MisuseOnAClosedObjectThrowsItsOwnMessage) {
    CTCPSocket socket(false);
    char buffer[8];
    int error = 0;
    const struct {
        const char* expected;
        std::function<void()> call;
    } rows[] = {
        {"CTCPSocket::write -- length is negative",
         [&] { socket.write(CTCPSocket::Blocking, "x", -1, &error); }},
        {"CTCPSocket::write -- not connected",
         [&] { socket.write(CTCPSocket::Blocking, "x", 1, &error); }},
        {"CTCPSocket::read -- not connected",
         [&] { socket.read(CTCPSocket::Blocking, buffer, 8, &error); }},
        {"CTCPSocket::read -- length is negative",
         [&] { socket.read(CTCPSocket::Blocking, buffer, -8, &error); }},
        {"CTCPSocket::readLine -- not connected", [&] { socket.readLine(buffer, 8, &error); }},
        {"CTCPSocket::getConnectedAddress -- not connected", [&] { socket.getConnectedAddress(); }},
        {"CTCPSocket::getConnectedPort -- not connected", [&] { socket.getConnectedPort(); }},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.expected, thrownMessage(row.call));
    }
    expectClosed(socket);
}

TEST(TCPSocket, WriteLengthsZeroTerminatedNothingAndNegative) {
    ScriptedPeer peer;
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    int error = -1;
    EXPECT_EQ(0, socket.write(CTCPSocket::Blocking, "not sent", 0, &error));
    EXPECT_EQ(0, error);
    error = -1;
    EXPECT_EQ(
        5, socket.write(CTCPSocket::Blocking, "hello\0world", CTCPSocket::kZeroTerminated, &error));
    EXPECT_EQ(0, error);
    EXPECT_EQ("CTCPSocket::write -- length is negative",
              thrownMessage([&] { socket.write(CTCPSocket::Blocking, "x", -1, &error); }));
    socket.close();
    ASSERT_TRUE(peer.waitFinished());
    EXPECT_EQ("hello", peer.received());
}

TEST(TCPSocket, BlockingAllWritesEveryByte) {
    constexpr int kSize = 4 * 1024 * 1024;
    std::string data(kSize, '\0');
    for (int i = 0; i < kSize; ++i) {
        data[i] = static_cast<char>(i * 7 + i / 251);
    }
    ScriptedPeer peer;
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    int error = -1;
    EXPECT_EQ(kSize, socket.write(CTCPSocket::BlockingAll, data.data(), kSize, &error));
    EXPECT_EQ(0, error);
    socket.close();
    ASSERT_TRUE(peer.waitFinished());
    EXPECT_TRUE(peer.received() == data) << "received " << peer.received().size() << " bytes";
}

TEST(TCPSocket, WritingToAPeerThatResetFailsWithACodeAndNoSignal) {
    ScriptedPeer peer;
    peer.receive(1).reset();
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    int error = 0;
    ASSERT_EQ(1, socket.write(CTCPSocket::BlockingAll, "x", 1, &error));
    ASSERT_TRUE(peer.waitFinished());
    const std::string chunk(64 * 1024, 'y');
    int written = 0;
    // The reset may arrive after a write or two has been taken into the buffers.
    for (int attempt = 0; attempt < 1000 && error == 0; ++attempt) {
        written = socket.write(CTCPSocket::BlockingAll, chunk.data(), 65536, &error);
    }
    EXPECT_EQ(platform::kSockConnReset, error);
    EXPECT_LT(written, 65536);
    socket.close();
}

TEST(TCPSocket, AfterOurOwnShutdownReadsAndWritesFailAsShutdown) {
    ScriptedPeer peer;
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    socket.shutdown(platform::kShutdownReceive);
    char buffer[4];
    int error = 0;
    EXPECT_EQ(0, socket.read(CTCPSocket::Blocking, buffer, 4, &error));
    EXPECT_EQ(platform::kSockShutdown, error);
    socket.shutdown(platform::kShutdownSend);
    ASSERT_TRUE(peer.waitFinished()) << "the peer sees our end of data and closes too";
    EXPECT_EQ(0, socket.write(CTCPSocket::Blocking, "late", 4, &error));
    EXPECT_EQ(platform::kSockShutdown, error);
    socket.close();
    EXPECT_EQ("", peer.received());
}

TEST(TCPSocket, BlockingAllReadWaitsForTheWholeLength) {
    ScriptedPeer peer;
    peer.send("12345").pause(100).send("678");
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    char buffer[8];
    int error = -1;
    EXPECT_EQ(8, socket.read(CTCPSocket::BlockingAll, buffer, 8, &error));
    EXPECT_EQ(0, error);
    EXPECT_EQ("12345678", std::string(buffer, 8));
    socket.close();
}

TEST(TCPSocket, APeerClosingMidReadDeliversWhatCameThenReportsTheClose) {
    ScriptedPeer peer;
    peer.send("12345").close();
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    char buffer[8];
    int error = -1;
    EXPECT_EQ(5, socket.read(CTCPSocket::BlockingAll, buffer, 8, &error));
    EXPECT_EQ(0, error);
    EXPECT_EQ("12345", std::string(buffer, 5));
    error = -1;
    EXPECT_EQ(CTCPSocket::kPeerClosed, socket.read(CTCPSocket::BlockingAll, buffer, 8, &error));
    EXPECT_EQ(0, error);
    socket.close();
}

TEST(TCPSocket, ReadsOfNothingAndOfNothingYetAvailable) {
    ScriptedPeer peer;
    peer.receive(1).send("z");
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    char buffer[4];
    int error = -1;
    EXPECT_EQ(CTCPSocket::kPeerClosed, socket.read(CTCPSocket::Blocking, buffer, 0, &error));
    EXPECT_EQ(0, error);
    error = -1;
    EXPECT_EQ(0, socket.read(CTCPSocket::NonBlocking, buffer, 4, &error));
    EXPECT_EQ(0, error) << "would-block is no error";
    ASSERT_EQ(1, socket.write(CTCPSocket::Blocking, "?", 1, &error));
    EXPECT_EQ(1, socket.read(CTCPSocket::Blocking, buffer, 4, &error));
    EXPECT_EQ('z', buffer[0]);
    socket.close();
}

TEST(TCPSocket, AResetReachesTheReaderAsConnectionReset) {
    // Wine's server, polling a socket under load, now and then takes a reset's pending error
    // before the reader asks, which then sees an orderly close (about 1 in 700 tries on 2
    // busy cores); there a few tries show the mapping all the same.
#ifdef _WIN32
    constexpr int kTries = 10;
#else
    constexpr int kTries = 1;
#endif
    for (int attempt = 1; attempt <= kTries; ++attempt) {
        ScriptedPeer peer;
        peer.receive(1).reset();
        peer.start();
        CTCPSocket socket(false);
        ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
        int error = -1;
        ASSERT_EQ(1, socket.write(CTCPSocket::Blocking, "!", 1, &error));
        char buffer[4];
        const int result = socket.read(CTCPSocket::Blocking, buffer, 4, &error);
        socket.close();
        if (result == 0) {
            EXPECT_EQ(platform::kSockConnReset, error);
            return;
        }
        ASSERT_EQ(CTCPSocket::kPeerClosed, result) << "try " << attempt;
        ASSERT_EQ(0, error) << "try " << attempt;
    }
    ADD_FAILURE() << "no try of " << kTries << " saw the reset";
}

TEST(TCPSocket, ReadLineEndsAtLineFeedFullBufferOrClose) {
    const struct {
        const char* name;
        std::string bytes;
        bool thenClose;
        int size;
        int result;
        int error;
        std::string text;
        std::string next; // what the following readLine gives, if anything
    } rows[] = {
        {"CR LF", "abc\r\n", false, 16, 3, 0, "abc", ""},
        {"LF alone", "abc\ndef\n", false, 16, 3, 0, "abc", "def"},
        {"empty line", "\r\nx\n", false, 16, 0, 0, "", "x"},
        {"inner CR kept", "a\rb\n", false, 16, 3, 0, "a\rb", ""},
        {"longer than the buffer", "abcdef\n", false, 4, 3, -1, "abc", "def"},
        {"exactly the buffer", "abc\n", false, 4, 3, -1, "abc", ""},
        {"CR fills the buffer", "ab\rc\n", false, 4, 2, -1, "ab", "c"},
        {"closed mid-line", "ab", true, 16, -1, 0, "ab", ""},
        {"closed after CR", "ab\r", true, 16, -1, 0, "ab", ""},
        {"closed at once", "", true, 16, -1, 0, "", ""},
        {"room for no character", "abc\n", false, 1, 0, -1, "", "abc"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedPeer peer;
        peer.send(row.bytes);
        if (row.thenClose) {
            peer.close();
        }
        peer.start();
        CTCPSocket socket(false);
        ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
        char buffer[17];
        std::memset(buffer, '#', sizeof buffer);
        int error = 99;
        EXPECT_EQ(row.result, socket.readLine(buffer, row.size, &error));
        EXPECT_EQ(row.error, error);
        EXPECT_EQ(row.text, std::string(buffer));
        EXPECT_EQ('#', buffer[row.size]) << "nothing written past the buffer";
        if (!row.next.empty()) {
            EXPECT_EQ(static_cast<int>(row.next.size()), socket.readLine(buffer, 16, &error));
            EXPECT_EQ(row.next, std::string(buffer));
        }
        socket.close();
    }
}

TEST(TCPSocket, ReadLineWithNoBufferWritesNothing) {
    ScriptedPeer peer;
    peer.send("abc\n");
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    char buffer[2] = {'#', '#'};
    int error = 0;
    EXPECT_EQ(0, socket.readLine(buffer, 0, &error));
    EXPECT_EQ(-1, error);
    EXPECT_EQ(0, socket.readLine(buffer, -5, &error));
    EXPECT_EQ('#', buffer[0]);
    socket.close();
}

TEST(TCPDonation, AHandleMovesToAnotherObjectWithItsEndpoints) {
    ScriptedPeer peer;
    peer.start();
    CTCPSocket first(false);
    ASSERT_TRUE(first.connect(kLoopback, peer.port()));
    CTCPSocket second(false);
    second.donateConnectedSocketHandle(first.getHandle(), "proxy.example", 3128, "localhost", 443);
    EXPECT_TRUE(second.isConnected());
    EXPECT_EQ("proxy.example", second.getConnectedAddress());
    EXPECT_EQ(3128, second.getConnectedPort());
    EXPECT_EQ("127.0.0.1", second.getTargetAddress());
    EXPECT_EQ(443, second.getTargetPort());
    EXPECT_EQ(first.getPeerPort(), second.getPeerPort());
    EXPECT_EQ(first.getLocalPort(), second.getLocalPort());
    EXPECT_EQ("CTCPSocket::donateConnectedSocketHandle -- socket already connected",
              thrownMessage(
                  [&] { second.donateConnectedSocketHandle(first.getHandle(), "x", 1, "", 0); }));
    EXPECT_EQ("proxy.example", second.getConnectedAddress());
    second.close();
    ASSERT_TRUE(peer.waitFinished());
}

TEST(TCPDonation, ATargetThatDoesNotResolveLeavesTheTargetEmpty) {
    ScriptedPeer peer;
    peer.start();
    CTCPSocket first(false);
    ASSERT_TRUE(first.connect(kLoopback, peer.port()));
    CTCPSocket second(false);
    EXPECT_NO_THROW(second.donateConnectedSocketHandle(first.getHandle(), "localhost", peer.port(),
                                                       "name.invalid", 443));
    EXPECT_TRUE(second.isConnected());
    EXPECT_EQ("", second.getTargetAddress());
    EXPECT_EQ(443, second.getTargetPort());
    EXPECT_EQ("localhost", second.getConnectedAddress());
    second.close();
    ASSERT_TRUE(peer.waitFinished());
}

TEST(TCPDonation, AnUnconnectedHandleIsRefusedAndStaysTheCallers) {
    const platform::SocketHandle handle = platform::sockCreateTcp(platform::AddressFamily::IPv4);
    ASSERT_NE(platform::kInvalidSocket, handle);
    CTCPSocket socket(false);
    const std::string message =
        thrownMessage([&] { socket.donateConnectedSocketHandle(handle, "x", 1, "", 0); });
#ifdef _WIN32
    // Winsock has no local name for a socket that was never bound.
    EXPECT_EQ("CTCPSocket::donateConnectedSocketHandle -- error calling getsockname -- "
              "Invalid argument",
              message);
#else
    EXPECT_EQ("CTCPSocket::donateConnectedSocketHandle -- error calling getpeername -- "
              "Socket is not connected",
              message);
#endif
    expectClosed(socket);
    EXPECT_EQ(0, platform::sockSetBlocking(handle, true)) << "the handle is still open";
    platform::sockClose(handle);

    EXPECT_EQ("CTCPSocket::donateConnectedSocketHandle -- error calling getsockname -- "
              "Socket operation on non-socket",
              thrownMessage([&] {
                  socket.donateConnectedSocketHandle(platform::kInvalidSocket, "x", 1, "", 0);
              }));
}

TEST(TCPLifetime, WithoutCloseOnDestroyTheHandleOutlivesTheObject) {
    ScriptedPeer peer;
    peer.start();
    platform::SocketHandle handle = platform::kInvalidSocket;
    {
        CTCPSocket socket(false);
        ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
        handle = socket.getHandle();
    }
    CTCPSocket heir(false);
    heir.donateConnectedSocketHandle(handle, kLoopback, peer.port(), "", 0);
    int error = -1;
    EXPECT_EQ(5, heir.write(CTCPSocket::BlockingAll, "alive", 5, &error));
    heir.close();
    ASSERT_TRUE(peer.waitFinished());
    EXPECT_EQ("alive", peer.received());
}

TEST(TCPLifetime, WithCloseOnDestroyThePeerSeesTheClose) {
    ScriptedPeer peer;
    peer.start();
    {
        CTCPSocket socket(true);
        ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    }
    EXPECT_TRUE(peer.waitFinished());
}

TEST(TCPCancel, ABlockedReadReturnsOnCancel) {
    ScriptedPeer peer;
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect(kLoopback, peer.port()));
    CancelToken token;
    int result = 99;
    int error = 0;
    std::thread reader([&] {
        CancelToken::Scope scope(token);
        char buffer[8];
        result = socket.read(CTCPSocket::BlockingAll, buffer, 8, &error);
    });
    // Whether the cancel comes before or during the read, the read ends the same way.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    token.cancel();
    reader.join();
    EXPECT_EQ(0, result);
    EXPECT_EQ(platform::kSockInterrupted, error);
    socket.close();
    EXPECT_TRUE(peer.waitFinished());
}

TEST(TCPCancel, AConnectThatHangsReturnsOnCancel) {
    // A listener that never accepts takes a connection or two into its queue; once the queue is
    // full the system leaves further connects hanging.
    constexpr int kMostQueued = 8;
    constexpr auto kHangs = std::chrono::seconds(2);
    ScriptedPeer stalled;
    std::vector<std::unique_ptr<CTCPSocket>> queued;
    for (int attempt = 0; attempt < kMostQueued; ++attempt) {
        auto socket = std::make_unique<CTCPSocket>(true);
        CancelToken token;
        std::promise<bool> outcome;
        std::future<bool> connected = outcome.get_future();
        int error = 0;
        std::thread connector([&] {
            CancelToken::Scope scope(token);
            const bool made = socket->connect(kLoopback, stalled.port());
            error = platform::lastSocketError();
            outcome.set_value(made);
        });
        const bool hung = connected.wait_for(kHangs) == std::future_status::timeout;
        if (hung) {
            token.cancel();
        }
        connector.join();
        const bool made = connected.get();
        if (hung && !made) {
            EXPECT_EQ(platform::kSockInterrupted, error);
            expectClosed(*socket);
            return;
        }
        ASSERT_TRUE(made) << "connect " << attempt << " failed with " << error;
        queued.push_back(std::move(socket));
    }
    FAIL() << "no connect hung behind a full queue";
}

TEST(TCPCancel, ACancelledTokenRefusesToConnect) {
    ScriptedPeer peer;
    peer.start();
    CancelToken token;
    token.cancel();
    CancelToken::Scope scope(token);
    CTCPSocket socket(false);
    EXPECT_FALSE(socket.connect(kLoopback, peer.port()));
    EXPECT_EQ(platform::kSockInterrupted, platform::lastSocketError());
    expectClosed(socket);
}

platform::IpAddress address(const std::string& text) {
    platform::IpAddress parsed;
    if (const auto v4 = net::ipv4Literal(text)) {
        std::copy(v4->begin(), v4->end(), parsed.bytes.begin());
    } else {
        parsed.family = platform::AddressFamily::IPv6;
        const net::Ipv6Bytes v6 = net::ipv6Literal(text).value();
        std::copy(v6.begin(), v6.end(), parsed.bytes.begin());
    }
    return parsed;
}

std::vector<std::string> texts(const std::vector<platform::IpAddress>& addresses) {
    std::vector<std::string> result;
    for (const platform::IpAddress& one : addresses) {
        result.push_back(platform::addressText(one));
    }
    return result;
}

TEST(AddressRace, FamiliesTakeTurnsIpv6FirstAndTheVerdictIsTheFarEnds) {
    const std::vector<std::string> given = {"10.0.0.1", "10.0.0.2", "fd00::1", "10.0.0.3",
                                            "fd00::2"};
    std::vector<platform::IpAddress> addresses;
    for (const std::string& text : given) {
        addresses.push_back(address(text));
    }
    EXPECT_EQ((std::vector<std::string>{"fd00::1", "10.0.0.1", "fd00::2", "10.0.0.2", "10.0.0.3"}),
              texts(AddressRace::order(addresses)));

    const struct {
        std::vector<int> errors;
        int verdict;
    } rows[] = {
        {{platform::kSockNetUnreachable, platform::kSockConnRefused}, platform::kSockConnRefused},
        {{platform::kSockTimedOut, platform::kSockConnRefused}, platform::kSockTimedOut},
        {{platform::kSockFamilyUnsupported, platform::kSockAddressUnavailable},
         platform::kSockFamilyUnsupported},
        {{}, 0},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.verdict, AddressRace::meaningfulError(row.errors));
    }
}

// The addresses the race tests give a name.
std::vector<platform::IpAddress> raceAnswer;

int raceResolver(const std::string&, std::vector<platform::IpAddress>& addresses) {
    addresses = raceAnswer;
    return 0;
}

TEST(TCPRace, TheFirstAddressThatAnswersWinsWhateverTheOthersDo) {
    // 127.0.0.2 is loopback too: a full listener there makes a silent address on the port where
    // the peer listens on 127.0.0.1.
    const char* kSilent = "127.0.0.2";
    const struct {
        const char* name;
        std::vector<std::string> addresses; // literals, and "silent" for the full listener
        bool connects; // whether the peer listens on 127.0.0.1, else nothing does
        int error;
    } rows[] = {
        {"a refused IPv6 address hands over to IPv4", {"127.0.0.1", "::1"}, true, 0},
        {"a silent address is passed by the next", {"silent", "127.0.0.1"}, true, 0},
        {"every address refused", {"::1", "127.0.0.1"}, false, platform::kSockConnRefused},
    };
    const ASocket::NameResolver previous = ASocket::setNameResolver(&raceResolver);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScriptedPeer peer;
        peer.start();
        const std::uint16_t port = row.connects ? peer.port() : ScriptedPeer::closedPort();
        std::unique_ptr<qvtest::FullListener> silent;
        raceAnswer.clear();
        for (const std::string& text : row.addresses) {
            if (text == "silent") {
                silent = std::make_unique<qvtest::FullListener>(kSilent, port);
            }
            raceAnswer.push_back(address(text == "silent" ? kSilent : text));
        }
        CTCPSocket socket(false);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(row.connects, socket.connect("race.example", port));
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start);
        std::printf("[ race     ] %s: %lld ms\n", row.name, static_cast<long long>(took.count()));
        if (row.connects) {
            EXPECT_EQ(kLoopback, socket.getPeerAddress());
            socket.close();
            EXPECT_TRUE(peer.waitFinished());
        } else {
            EXPECT_EQ(row.error, platform::lastSocketError());
            expectClosed(socket);
        }
    }
    ASocket::setNameResolver(previous);
}

} // namespace
