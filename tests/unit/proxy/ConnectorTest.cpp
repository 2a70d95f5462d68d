// The connector's modes over an in-memory store, with real tries to loopback peers and the probe
// replaced by a stand-in that records its calls.
#include "FakeProxySettings.h"
#include "FullListener.h"
#include "LogCapture.h"
#include "MemoryStore.h"
#include "ScriptedPeer.h"

#include "net/ASocket.h"
#include "net/CTCPSocket.h"
#include "proxy/CTCPProxyConnector.h"
#include "proxy/DetectedProbe.h"
#include "proxy/probe/ParallelProbe.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using qvtest::FakeSettings;
using qvtest::MemoryStore;
using qvtest::ScriptedPeer;

std::atomic<int> probeCalls{0};
std::atomic<bool> probeResult{false};
TargetList probeTargets;

bool fakeProbe(CTCPProxyConnector*, TargetList targets, ASettingsStore*) {
    ++probeCalls;
    probeTargets = targets;
    return probeResult;
}

void storeRecord(MemoryStore& store, const std::string& record, const std::string& method,
                 const std::string& address, const std::string& port,
                 const std::string& proxyHost = "", const std::string& proxyPort = "") {
    store.put(record, "ProxyMethod", method);
    store.put(record, "Address", address);
    store.put(record, "Port", port);
    if (!proxyHost.empty()) {
        store.put(record, "ProxyHost", proxyHost);
    }
    if (!proxyPort.empty()) {
        store.put(record, "ProxyPort", proxyPort);
    }
}

bool hasRecord(const MemoryStore& store, const std::string& record) {
    return !store.at(record, "ProxyMethod").empty();
}

class ConnectorTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0, startNetwork());
        probeCalls = 0;
        probeResult = false;
        connector.setProbe(&fakeProbe);
    }
    void TearDown() override { stopNetwork(); }

    // A target that accepts one connection and waits for it to close.
    std::string startTarget(ScriptedPeer& peer) {
        peer.start();
        return std::to_string(peer.port());
    }

    MemoryStore store;
    CTCPProxyConnector connector{nullptr, &store};
    qvtest::LogCapture log;
    const std::string refused = std::to_string(ScriptedPeer::closedPort());
};

TEST_F(ConnectorTest, AutoWithNothingStoredLogsBothAbsencesThenAsksTheProbe) {
    probeResult = true;
    const TargetList targets{{"target.example", 443}};
    EXPECT_TRUE(connector.connect(targets, ModeAuto, "", 0));
    EXPECT_EQ((std::vector<std::string>{"PROXY: No Manual settings", "PROXY: No LastGood setting"}),
              log.lines());
    EXPECT_EQ(1, probeCalls);
    EXPECT_EQ(targets, probeTargets);
    EXPECT_FALSE(hasRecord(store, "LastGood")) << "the automatic mode never writes LastGood";
}

TEST_F(ConnectorTest, AWorkingManualRecordEndsTheAutomaticMode) {
    ScriptedPeer target;
    storeRecord(store, "Manual", "0", "127.0.0.1", startTarget(target));
    EXPECT_TRUE(connector.connect(TargetList{{"elsewhere.example", 1}}, ModeAuto, "", 0));
    EXPECT_EQ(std::vector<std::string>{"PROXY: Using Manual settings"}, log.lines());
    EXPECT_EQ(0, probeCalls);
    EXPECT_TRUE(target.waitFinished()) << "without a socket attached the connection is closed";
}

TEST_F(ConnectorTest, StaleRecordsAreDeletedWhenReached) {
    struct Row {
        const char* name;
        TargetList targets;
        std::string address;
        std::string port;
        bool stale;
    };
    const Row rows[] = {
        {"empty target list", {}, "127.0.0.1", "80", true},
        {"letter case differs", {{"Target.example", 80}}, "target.example", "80", true},
        {"port differs", {{"127.0.0.1", 81}}, "127.0.0.1", "80", true},
        {"port compared in 16 bits", {{"127.0.0.1", 80}}, "127.0.0.1", "65616", false},
    };
    for (const Row& row : rows) {
        MemoryStore records;
        CTCPProxyConnector walker(nullptr, &records);
        walker.setProbe(&fakeProbe);
        qvtest::LogCapture capture;
        storeRecord(records, "LastGood", "0", row.address, row.port);
        storeRecord(records, "Detected\\0000", "0", row.address, row.port);
        walker.connect(row.targets, ModeLastGood, "", 0);
        walker.connect(row.targets, ModeDetected, "", 0);
        EXPECT_EQ(!row.stale, hasRecord(records, "LastGood")) << row.name;
        EXPECT_EQ(!row.stale, hasRecord(records, "Detected\\0000")) << row.name;
        EXPECT_EQ(row.stale, capture.has("PROXY: LastGood setting is stale")) << row.name;
        EXPECT_EQ(row.stale, capture.has("PROXY: Detected\\0000 setting is stale")) << row.name;
    }

    qvtest::LogCapture manualLog;
    storeRecord(store, "Manual", "0", "127.0.0.1", refused);
    EXPECT_FALSE(connector.connect(TargetList{}, ModeManual, "", 0));
    EXPECT_TRUE(manualLog.has("PROXY: Manual 127.0.0.1:" + refused + "[0]:0 failed [10061]"))
        << "Manual has no staleness test";
    EXPECT_TRUE(hasRecord(store, "Manual"));
}

TEST_F(ConnectorTest, MethodTextsAreReadAsAtoiReadsThem) {
    ScriptedPeer target;
    storeRecord(store, "Manual", "x", "127.0.0.1", startTarget(target));
    EXPECT_TRUE(connector.connect(TargetList{}, ModeManual, "", 0)) << "x reads as 0: a direct try";

    storeRecord(store, "Manual", "150", "127.0.0.1", refused, "proxy", "8080");
    EXPECT_FALSE(connector.connect(TargetList{}, ModeManual, "", 0));
    EXPECT_TRUE(log.has("PROXY: Manual 127.0.0.1:" + refused + "[150]proxy:8080 failed [0]"));

    storeRecord(store, "Manual", "-1", "127.0.0.1", refused);
    const std::size_t before = log.lines().size();
    EXPECT_FALSE(connector.connect(TargetList{}, ModeManual, "", 0));
    EXPECT_EQ(before, log.lines().size()) << "a negative method fails without a line";
}

TEST_F(ConnectorTest, TheDetectedWalkGoesOnPastStaleRecordsAndStopsAtTheGapNextTime) {
    ScriptedPeer target;
    const std::string port = startTarget(target);
    const TargetList targets{{"127.0.0.1", static_cast<std::uint16_t>(std::stoi(port))}};
    storeRecord(store, "Detected\\0000", "0", "127.0.0.1", refused);
    storeRecord(store, "Detected\\0001", "0", "other.example", port);
    storeRecord(store, "Detected\\0002", "0", "127.0.0.1", port);
    const TargetList withRefused{targets[0],
                                 {"127.0.0.1", static_cast<std::uint16_t>(std::stoi(refused))}};

    EXPECT_TRUE(connector.connect(withRefused, ModeDetected, "", 0));
    EXPECT_TRUE(log.has("PROXY: Detected\\0000 127.0.0.1:" + refused + "[0]:0 failed [10061]"));
    EXPECT_TRUE(log.has("PROXY: Detected\\0001 setting is stale"));
    EXPECT_FALSE(hasRecord(store, "Detected\\0001"));
    EXPECT_EQ("0", store.at("LastGood", "ProxyMethod")) << "the walk keeps what worked";
    EXPECT_EQ(port, store.at("LastGood", "Port"));
    EXPECT_EQ("127.0.0.1", store.at("LastGood", "Address"));

    EXPECT_FALSE(connector.connect(withRefused, ModeDetected, "", 0));
    EXPECT_TRUE(log.has("PROXY: No Detected\\0001 settings"));
}

TEST_F(ConnectorTest, StoredTriesThatHangEndAtTheirDeadlineAndTheWalkGoesOn) {
    // A proxy that accepts and never answers, and a listener whose queue is full.
    ScriptedPeer silentHttp;
    silentHttp.receiveUntil("\r\n\r\n");
    ScriptedPeer silentSocks;
    silentSocks.receive(9);
    qvtest::FullListener full;
    ScriptedPeer target;
    const std::string port = startTarget(target);
    const std::string hung = std::to_string(full.port());
    storeRecord(store, "Manual", "100", "127.0.0.1", port, "127.0.0.1", startTarget(silentHttp));
    storeRecord(store, "LastGood", "0", "127.0.0.1", hung);
    storeRecord(store, "Detected\\0000", "200", "127.0.0.1", hung, "127.0.0.1",
                startTarget(silentSocks));
    storeRecord(store, "Detected\\0001", "0", "127.0.0.1", port);
    const TargetList targets{{"127.0.0.1", static_cast<std::uint16_t>(std::stoi(port))},
                             {"127.0.0.1", full.port()}};
    connector.setStoredTryDeadline(std::chrono::milliseconds(300));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connector.connect(targets, ModeAuto, "", 0)) << "the fake probe finds nothing";
    store.values.erase({"Manual", "ProxyMethod"});
    EXPECT_TRUE(connector.connect(targets, ModeStored, "", 0));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    EXPECT_EQ(1, probeCalls);
    EXPECT_EQ((std::vector<std::string>{
                  "PROXY: Manual 127.0.0.1:" + port +
                      "[100]127.0.0.1:" + std::to_string(silentHttp.port()) + " failed [10004]",
                  "PROXY: LastGood 127.0.0.1:" + hung + "[0]:0 failed [10004]",
                  "PROXY: LastGood 127.0.0.1:" + hung + "[0]:0 failed [10004]",
                  "PROXY: Detected\\0000 127.0.0.1:" + hung +
                      "[200]127.0.0.1:" + std::to_string(silentSocks.port()) + " failed [10004]"}),
              log.lines())
        << "a stopped try writes no line of its method";
    EXPECT_EQ(port, store.at("LastGood", "Port"));
}

TEST_F(ConnectorTest, StoredModeTriesOnlyManualWhenItIsSet) {
    ScriptedPeer target;
    const std::string port = startTarget(target);
    storeRecord(store, "Manual", "0", "127.0.0.1", refused);
    storeRecord(store, "LastGood", "0", "127.0.0.1", port);
    EXPECT_FALSE(connector.connect(
        TargetList{{"127.0.0.1", static_cast<std::uint16_t>(std::stoi(port))}}, ModeStored, "", 0));
    EXPECT_EQ(
        std::vector<std::string>{"PROXY: Manual 127.0.0.1:" + refused + "[0]:0 failed [10061]"},
        log.lines());
}

TEST_F(ConnectorTest, StoredModeWritesLastGoodAgainInPlainDecimal) {
    ScriptedPeer target;
    const std::string port = startTarget(target);
    const auto targetPort = static_cast<std::uint16_t>(std::stoi(port));
    storeRecord(store, "LastGood", "0000", "127.0.0.1", "0" + port, "", "00");
    EXPECT_TRUE(connector.connect(TargetList{{"127.0.0.1", targetPort}}, ModeStored, "", 0));
    EXPECT_EQ("0", store.at("LastGood", "ProxyMethod"));
    EXPECT_EQ(port, store.at("LastGood", "Port"));
    EXPECT_EQ("0", store.at("LastGood", "ProxyPort"));
    EXPECT_TRUE(log.lines().empty()) << "the stored mode looks at Manual without a line";
}

TEST_F(ConnectorTest, MethodCodesAndUnknownCodesAreNoModes) {
    for (const ProxyMethodCode code : {MethodDirect, MethodHttpConnect, MethodSocks, -1, -55, 7}) {
        EXPECT_FALSE(connector.connect(TargetList{{"127.0.0.1", 1}}, code, "", 0)) << code;
    }
    EXPECT_TRUE(log.lines().empty());
    EXPECT_EQ(0, probeCalls);

    EXPECT_FALSE(connector.connect("127.0.0.1", 1, ModeProbe, "", 0));
    EXPECT_EQ(1, probeCalls) << "the single-try form runs a mode for its one target";
    EXPECT_EQ((TargetList{{"127.0.0.1", 1}}), probeTargets);
}

TEST_F(ConnectorTest, AnAttachedSocketReceivesTheConnection) {
    ScriptedPeer target;
    target.receive(4);
    const std::string port = startTarget(target);
    CTCPSocket socket(false);
    MemoryStore records;
    CTCPProxyConnector handing(&socket, &records);
    ASSERT_TRUE(handing.connect("127.0.0.1", std::stoi(port), MethodDirect, "", 0));
    EXPECT_TRUE(socket.isConnected());
    EXPECT_EQ(MethodDirect, handing.getConnectedMethod());
    EXPECT_EQ("127.0.0.1", socket.getTargetAddress());
    int error = -1;
    EXPECT_EQ(4, socket.write(CTCPSocket::BlockingAll, "ping", 4, &error));
    EXPECT_THROW(handing.connect(TargetList{}, ModeAuto, "", 0), std::runtime_error);
    socket.close();
    EXPECT_TRUE(target.waitFinished());
    EXPECT_EQ("ping", target.received());
}

TEST_F(ConnectorTest, ConcurrentTriesEachReadTheirOwnError) {
    constexpr int kTries = 50;
    std::vector<std::unique_ptr<ScriptedPeer>> listening;
    for (int i = 0; i < kTries / 2; ++i) {
        listening.push_back(std::make_unique<ScriptedPeer>());
        listening.back()->start();
    }
    const int closed = ScriptedPeer::closedPort();
    std::vector<int> errors(kTries, -1);
    std::vector<char> results(kTries, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < kTries; ++i) {
        threads.emplace_back([&, i] {
            const int port = i % 2 == 0 ? listening[i / 2]->port() : closed;
            results[i] = connector.connect("127.0.0.1", port, MethodDirect, "", 0);
            errors[i] = connector.getLastError();
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (int i = 0; i < kTries; ++i) {
        EXPECT_EQ(i % 2 == 0, results[i] != 0) << i;
        EXPECT_EQ(i % 2 == 0 ? 0 : 10061, errors[i]) << i;
    }
}

} // namespace

namespace {

// The run of a connector with a socket attached: only the caller's thread hands a connection
// over or writes LastGood, once every attempt has ended.
class ConnectorRunTest : public ConnectorTest {
protected:
    CTCPSocket socket{true};
    MemoryStore records;
    CTCPProxyConnector handing{&socket, &records};
    FakeSettings noProxy{""};
};

TEST_F(ConnectorRunTest, AProbeWithTwoReachableTargetsHandsTheFirstOverAndClosesTheOther) {
    ScriptedPeer first;
    first.receive(4);
    ScriptedPeer second;
    const TargetList targets{{"127.0.0.1", first.port()}, {"127.0.0.1", second.port()}};
    first.start();
    second.start();
    ASSERT_TRUE(probeDetected(&handing, targets, &records, noProxy));
    EXPECT_TRUE(second.waitFinished()) << "the connection not handed over is closed";
    int error = -1;
    EXPECT_EQ(4, socket.write(CTCPSocket::BlockingAll, "ping", 4, &error));
    socket.close();
    EXPECT_TRUE(first.waitFinished());
    EXPECT_EQ("ping", first.received());
}

TEST_F(ConnectorRunTest, AProbeAfterAStoredRunWritesNoLastGood) {
    ScriptedPeer target;
    target.start();
    const TargetList targets{{"127.0.0.1", target.port()}};
    CTCPProxyConnector unattached(nullptr, &records);
    EXPECT_FALSE(unattached.connect(targets, ModeStored, "", 0));
    EXPECT_TRUE(probeDetected(&unattached, targets, &records, noProxy));
    EXPECT_FALSE(hasRecord(records, "LastGood")) << "only the run writes LastGood";
    EXPECT_TRUE(hasRecord(records, "Detected\\0000"));
}

TEST_F(ConnectorRunTest, BytesThatFollowTheProxysAnswerReachTheFirstRead) {
    const std::string greeting = "220 ready\r\n";
    ScriptedPeer proxy;
    proxy.receiveUntil("\r\n\r\n")
        .send("HTTP/1.0 200 Connection established\r\n\r\n" + greeting)
        .close();
    proxy.start();
    ASSERT_TRUE(handing.connect("127.0.0.1", 25, MethodHttpConnect, "127.0.0.1", proxy.port()));
    char buffer[64] = {};
    int error = -1;
    ASSERT_EQ(
        static_cast<int>(greeting.size()),
        socket.read(CTCPSocket::BlockingAll, buffer, static_cast<int>(greeting.size()), &error));
    EXPECT_EQ(greeting, std::string(buffer, greeting.size()));
    socket.close();
}

} // namespace
