#include "TestSupport.h"

#include "net/ASocket.h"
#include "net/CTCPSocket.h"
#include "net/CancelToken.h"
#include "net/IpLiteral.h"
#include "platform/Socket.h"

#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using qvtest::thrownMessage;

const std::string kLookupFailed =
    "ASocket::lookupHostname -- failed to lookup host name in DNS -- ";

// Puts a resolver in place of the name service for one test.
class ResolverSwap {
public:
    explicit ResolverSwap(ASocket::NameResolver resolver)
        : previous(ASocket::setNameResolver(resolver)) {}
    ~ResolverSwap() { ASocket::setNameResolver(previous); }

private:
    ASocket::NameResolver previous;
};

std::mutex askedMutex;
std::vector<std::string> askedNames;

platform::IpAddress dotted(const char* text) {
    platform::IpAddress address;
    const std::uint32_t value = platform::parseDotted(text);
    std::memcpy(address.bytes.data(), &value, sizeof value);
    return address;
}

platform::IpAddress v6(const char* text) {
    platform::IpAddress address;
    address.family = platform::AddressFamily::IPv6;
    const net::Ipv6Bytes bytes = net::ipv6Literal(text).value();
    std::copy(bytes.begin(), bytes.end(), address.bytes.begin());
    return address;
}

// Knows a few names; records every name it is asked for.
int recordingResolver(const std::string& host, std::vector<platform::IpAddress>& addresses) {
    std::lock_guard<std::mutex> lock(askedMutex);
    askedNames.push_back(host);
    if (host == "ten.example") {
        addresses = {v6("fd00::10"), dotted("10.1.2.3")};
    } else if (host == "255.255.255.255") {
        addresses = {dotted("127.0.0.1")};
    } else if (host == "six.example") {
        addresses = {v6("fd00::6"), v6("fd00::7")};
    } else {
        return platform::kSockHostNotFound;
    }
    return 0;
}

std::vector<std::string> takeAskedNames() {
    std::lock_guard<std::mutex> lock(askedMutex);
    std::vector<std::string> names;
    names.swap(askedNames);
    return names;
}

TEST(ErrorText, KnownCodesHaveTheirTextOthersTheirNumber) {
    const struct {
        int code;
        const char* text;
    } rows[] = {
        {0, "No error"},
        {10004, "Interrupted system call"},
        {10035, "Operation would block"},
        {10049, "Can't assign requested address"},
        {10061, "Connection refused"},
        {10101, "Graceful shutdown in progress"},
        {11001, "Host not found"},
        {11004, "No host data of that type was found"},
        {11002, "Unknown Error: 11002"},
        {11003, "Unknown Error: 11003"},
        {10000, "Unknown Error: 10000"},
        {-1, "Unknown Error: -1"},
        {-2147483647 - 1, "Unknown Error: -2147483648"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.text, ASocket::errorText(row.code)) << "code " << row.code;
    }
}

TEST(DottedAddress, OnlyDottedTextIsAnAddress) {
    const struct {
        const char* text;
        bool dotted;
        const char* parsed; // the address as bytes in network order, when dotted
    } rows[] = {
        {"192.168.1.10", true, "\xC0\xA8\x01\x0A"},
        {"127.0.0.1", true, "\x7F\x00\x00\x01"},
        {"0.0.0.0", true, "\x00\x00\x00\x00"},
        {" ", false, nullptr},
        {"", false, nullptr},
        {"255.255.255.255", false, nullptr},
        {"256.1.1.1", false, nullptr},
        {"256.256.256.256", false, nullptr},
        {"1.2.3.4.5", false, nullptr},
        {"localhost", false, nullptr},
        {"proxy.example", false, nullptr},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.dotted, ASocket::isDottedAddress(row.text)) << '"' << row.text << '"';
        if (row.parsed != nullptr) {
            std::uint32_t expected = 0;
            std::memcpy(&expected, row.parsed, sizeof expected);
            EXPECT_EQ(expected, ASocket::parseAddress(row.text)) << row.text;
        } else if (std::string(row.text) != " ") {
            EXPECT_EQ(platform::kAddressNone, ASocket::parseAddress(row.text)) << row.text;
        }
    }
}

TEST(LookupHostname, DottedTextIsKeptAndEverythingElseGoesToTheResolver) {
    ResolverSwap swap(&recordingResolver);
    takeAskedNames();

    EXPECT_EQ("192.168.1.10", ASocket::lookupHostname("192.168.1.10"));
    EXPECT_TRUE(takeAskedNames().empty()) << "a dotted address needs no name service";

    EXPECT_EQ("10.1.2.3", ASocket::lookupHostname("ten.example")) << "IPv4 before IPv6";
    EXPECT_EQ("fd00::6", ASocket::lookupHostname("six.example"));
    // 255.255.255.255 parses like a failure, so the resolver answers for it.
    EXPECT_EQ("127.0.0.1", ASocket::lookupHostname("255.255.255.255"));
    EXPECT_EQ(kLookupFailed + " ", thrownMessage([] { ASocket::lookupHostname(" "); }));
    EXPECT_EQ("2001:db8::1", ASocket::lookupHostname("[2001:db8::1]"));
    EXPECT_EQ(1u, ASocket::lookupAddresses("2001:db8::1").size());
    EXPECT_EQ((std::vector<std::string>{"ten.example", "six.example", "255.255.255.255", " "}),
              takeAskedNames())
        << "literals need no name service";
}

TEST(LookupHostname, AnUnknownNameThrowsWithTheNameAndLeavesTheResolversCode) {
    ResolverSwap swap(&recordingResolver);
    platform::setLastSocketError(0);
    EXPECT_EQ(kLookupFailed + "nobody.example",
              thrownMessage([] { ASocket::lookupHostname("nobody.example"); }));
    EXPECT_EQ(platform::kSockHostNotFound, platform::lastSocketError());
}

TEST(LookupHostname, TheSystemResolverAnswersAndFailsInWinsockTerms) {
    EXPECT_EQ("127.0.0.1", ASocket::lookupHostname("localhost"));
    EXPECT_EQ("255.255.255.255", ASocket::lookupHostname("255.255.255.255"));
    EXPECT_NO_THROW(ASocket::lookupHostname("")) << "the empty name is this machine's own";
    platform::setLastSocketError(0);
    EXPECT_EQ(kLookupFailed + "name.invalid",
              thrownMessage([] { ASocket::lookupHostname("name.invalid"); }));
    EXPECT_EQ(platform::kSockHostNotFound, platform::lastSocketError());
}

TEST(LookupHostname, ManyThreadsAtOnceEachGetTheirOwnAnswer) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 10;
    std::vector<std::thread> threads;
    std::vector<std::string> faults(kThreads);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &faults] {
            std::string& fault = faults[t];
            for (int round = 0; round < kRounds && fault.empty(); ++round) {
                const int code = 20000 + t * kRounds + round;
                const std::string text = ASocket::errorText(code);
                if (text != "Unknown Error: " + std::to_string(code)) {
                    fault = "errorText(" + std::to_string(code) + ") gave " + text;
                } else if (round % 2 == 0) {
                    const std::string address = ASocket::lookupHostname("localhost");
                    if (address != "127.0.0.1") {
                        fault = "localhost resolved to " + address;
                    }
                } else {
                    try {
                        fault =
                            "name.invalid resolved to " + ASocket::lookupHostname("name.invalid");
                    } catch (const std::runtime_error&) {
                        if (platform::lastSocketError() != platform::kSockHostNotFound) {
                            fault = "name.invalid failed with " +
                                    std::to_string(platform::lastSocketError());
                        }
                    }
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(std::vector<std::string>(kThreads), faults);
}

// A resolver that holds its caller until the test opens the gate.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool entered = false;
    bool open = false;
    bool left = false;
} gate;

int hangingResolver(const std::string&, std::vector<platform::IpAddress>& addresses) {
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.entered = true;
    gate.changed.notify_all();
    gate.changed.wait(lock, [] { return gate.open; });
    addresses = {dotted("10.9.9.9")};
    gate.left = true;
    gate.changed.notify_all();
    return 0;
}

TEST(LookupHostname, UnderACancelTokenTheCallerStopsWaitingOnCancel) {
    ResolverSwap swap(&hangingResolver);
    CancelToken token;
    std::thread canceller([&token] {
        std::unique_lock<std::mutex> lock(gate.mutex);
        gate.changed.wait(lock, [] { return gate.entered; });
        lock.unlock();
        token.cancel();
    });
    {
        CancelToken::Scope scope(token);
        EXPECT_EQ(kLookupFailed + "slow.example",
                  thrownMessage([] { ASocket::lookupHostname("slow.example"); }));
        EXPECT_EQ(platform::kSockInterrupted, platform::lastSocketError());
        EXPECT_EQ(kLookupFailed + "other.example",
                  thrownMessage([] { ASocket::lookupHostname("other.example"); }))
            << "a cancelled token refuses the next lookup at once";
    }
    canceller.join();
    std::unique_lock<std::mutex> lock(gate.mutex);
    gate.open = true;
    gate.changed.notify_all();
    gate.changed.wait(lock, [] { return gate.left; });
}

TEST(LookupHostname, UnderACancelTokenAnswersAndCodesReachTheCaller) {
    CancelToken token;
    CancelToken::Scope scope(token);
    EXPECT_EQ("127.0.0.1", ASocket::lookupHostname("localhost"));
    platform::setLastSocketError(0);
    EXPECT_EQ(kLookupFailed + "name.invalid",
              thrownMessage([] { ASocket::lookupHostname("name.invalid"); }));
    EXPECT_EQ(platform::kSockHostNotFound, platform::lastSocketError());
}

TEST(SocketBase, WithoutAHandleGetHandleThrowsAndCloseDoesNothing) {
    ASocket socket(true);
    EXPECT_EQ("ASocket::getHandle -- socket handle is not valid",
              thrownMessage([&] { socket.getHandle(); }));
    socket.close();
    socket.close();
    socket.shutdown(platform::kShutdownBoth);
    EXPECT_EQ("ASocket::getHandle -- socket handle is not valid",
              thrownMessage([&] { socket.getHandle(); }));
}

TEST(SocketBase, OnlyTheInetDomainsMakeAHandle) {
    ATCPSocket socket(true);
    EXPECT_EQ("ATCPSocket::createSocketHandle -- unhandled domain",
              thrownMessage([&] { socket.createSocketHandle(1); }));
    socket.createSocketHandle(ATCPSocket::kDomainInet);
    EXPECT_NO_THROW(socket.getHandle());
}

TEST(SocketBase, SetBlockingSwitchesTheHandleBackAndForth) {
    qvtest::ScriptedPeer peer;
    peer.receive(1).send("x");
    peer.start();
    CTCPSocket socket(false);
    ASSERT_TRUE(socket.connect("127.0.0.1", peer.port()));
    const platform::SocketHandle handle = socket.getHandle();
    char byte = 0;

    EXPECT_EQ(0, socket.setBlocking(false));
    EXPECT_EQ(platform::kSockFailed, platform::sockRecv(handle, &byte, 1));
    EXPECT_EQ(platform::kSockWouldBlock, platform::lastSocketError());

    EXPECT_EQ(0, socket.setBlocking(true));
    EXPECT_EQ(1, platform::sockSend(handle, "?", 1));
    EXPECT_EQ(1, platform::sockRecv(handle, &byte, 1)) << "a blocking receive waits for the byte";
    EXPECT_EQ('x', byte);
    socket.close();
}

} // namespace
